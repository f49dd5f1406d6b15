#!/usr/bin/env bash
# Benchmarks against the physical limits: builds build-bench in Release, serves bench data from the
# stand-in on a free port of 127.0.0.1, and prints one line per figure; exits non-zero when one misses.
set -euo pipefail
source "$(dirname "$0")/../scripts/prepare.sh"

BENCH_BUILD_DIR=${BENCH_BUILD_DIR:-$PROJECT_DIR/build-bench}
ENGINE_REPETITIONS=${ENGINE_REPETITIONS:-12}

install_packages "${PACKAGES[@]}" libbenchmark-dev python3
cmake -S "$PROJECT_DIR" -B "$BENCH_BUILD_DIR" -DCMAKE_BUILD_TYPE=Release -DBUILD_BENCHMARKS=ON >/dev/null
cmake --build "$BENCH_BUILD_DIR" -j2 --target engine_bench window_bench empty_window_bench postcode-service

data="$BENCH_BUILD_DIR/bench_postcodes.tsv"
service_out="$BENCH_BUILD_DIR/bench_service.out"
engine_json="$BENCH_BUILD_DIR/engine_bench.json"
"$BENCH_BUILD_DIR/bench/window_bench" make-data "$data"

service_pid=
stop_service() {
    if [ -n "$service_pid" ]; then
        kill "$service_pid" 2>/dev/null || true
        wait "$service_pid" 2>/dev/null || true
    fi
}
trap stop_service EXIT

"$BENCH_BUILD_DIR/service/postcode-service" --port 0 --data "$data" >"$service_out" &
service_pid=$!
url=
for _ in $(seq 100); do
    url=$(sed -n 's/^listening on //p' "$service_out")
    [ -n "$url" ] && break
    kill -0 "$service_pid" 2>/dev/null || break
    sleep 0.05
done
if [ -z "$url" ]; then
    echo "The stand-in service did not start." >&2
    exit 1
fi
echo "Stand-in service on $url with $data"

# Repetitions of each side in random order, so that both see the same machine; medians are compared.
"$BENCH_BUILD_DIR/bench/engine_bench" --service="$url" \
    --benchmark_repetitions="$ENGINE_REPETITIONS" --benchmark_enable_random_interleaving=true \
    --benchmark_report_aggregates_only=true \
    --benchmark_out="$engine_json" --benchmark_out_format=json >/dev/null

python3 "$PROJECT_DIR/bench/figures.py" "$BENCH_BUILD_DIR" "$url" "$engine_json"
