#!/usr/bin/env bash
# Builds the engine's fuzz targets with clang's libFuzzer and runs each for SECONDS, failing when any of
# them finds an input that crashes, breaks a checked rule, leaks, hangs or runs out of memory.
# SECONDS 0 means no time limit, for runs bounded otherwise: tests/fuzz/run.sh 0 -runs=10000000
# Further arguments go to libFuzzer as they are. Findings are kept in build-fuzz/findings/.
set -euo pipefail
source "$(dirname "$0")/../../scripts/prepare.sh"

if [ $# -lt 1 ] || ! [[ $1 =~ ^[0-9]+$ ]]; then
    echo "usage: $0 SECONDS [libFuzzer options...]" >&2
    exit 2
fi
seconds=$1
shift

install_packages clang libclang-rt-14-dev
build_dir=${FUZZ_BUILD_DIR:-$PROJECT_DIR/build-fuzz}
CXX=clang++ cmake -S "$PROJECT_DIR/tests/fuzz" -B "$build_dir" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"

targets=(text row_loop conversion)
corpus=$build_dir/corpus
findings=$build_dir/findings
rm -rf "$corpus/seeds"
for target in "${targets[@]}"; do
    mkdir -p "$corpus/seeds/$target" "$corpus/$target"
done
mkdir -p "$findings"
"$build_dir/seed_corpus" "$corpus/seeds" "$PROJECT_DIR"/tests/fixtures/*.tsv

failed=()
for target in "${targets[@]}"; do
    echo "== ${target}_fuzzer"
    # The first corpus directory collects what the run learns and carries it to the next run.
    if ! "$build_dir/${target}_fuzzer" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$findings/$target-" "$@" "$corpus/$target" "$corpus/seeds/$target"; then
        failed+=("$target")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "Findings in: ${failed[*]} (inputs in $findings)" >&2
    exit 1
fi
