#!/usr/bin/env bash
# The Debian package as a user meets it: built with cpack, its dependencies as computed, unpacked into a
# scratch root, and the unpacked program started under Xvfb against the unpacked stand-in service: "GET"
# clicked, the stand-in asked, the window closed with Escape, the program ended with exit code 0.
# usage: package_test.sh BUILD_DIR SCRATCH_DIR SERVICE_URL
set -euo pipefail

build_dir=$1
scratch=$2
service_url=$3

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
}
trap cleanup EXIT

rm -rf "$scratch"
mkdir -p "$scratch/packages" "$scratch/root"
cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$scratch/packages" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log" >&2; fail "cpack did not make the package"; }
package=$(ls "$scratch"/packages/postcode-lookup_*.deb)

depends=$(dpkg-deb -f "$package" Depends)
echo "Depends: $depends"
for needed in fonts-wqy-microhei libqt6widgets6 libqt6gui6 libcurl4 libasound2; do
    [[ ", $depends," == *", $needed"[\ ,]* ]] || fail "the package does not depend on $needed"
done

dpkg -x "$package" "$scratch/root"
for file in usr/bin/postcode-lookup usr/bin/postcode-service usr/share/postcode-lookup/postcodes.tsv \
    usr/share/applications/org.example.PostcodeLookup.desktop \
    usr/share/metainfo/org.example.PostcodeLookup.metainfo.xml \
    usr/share/icons/hicolor/48x48/apps/org.example.PostcodeLookup.png \
    usr/share/icons/hicolor/scalable/apps/org.example.PostcodeLookup.svg; do
    [ -f "$scratch/root/$file" ] || fail "the package holds no $file"
done

# The program asks the address it was built with; the stand-in can serve it when that is a free port of
# 127.0.0.1.
if ! [[ $service_url =~ ^http://127\.0\.0\.1:([0-9]+)/?$ ]]; then
    echo "SKIP: the program asks $service_url, which the stand-in cannot serve here"
    exit 0
fi
port=${BASH_REMATCH[1]}
if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    echo "SKIP: something already listens on 127.0.0.1:$port"
    exit 0
fi

"$scratch/root/usr/bin/postcode-service" --port "$port" --log "$scratch/requests.log" >"$scratch/service.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do
    grep -q "^listening on" "$scratch/service.out" && break
    sleep 0.05
done
grep -q "^listening on" "$scratch/service.out" || fail "the unpacked stand-in did not start: $(cat "$scratch/service.out")"

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$scratch/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do
    [ -s "$scratch/display" ] && break
    sleep 0.05
done
[ -s "$scratch/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$scratch/display")"
unset QT_QPA_PLATFORM

"$scratch/root/usr/bin/postcode-lookup" >"$scratch/program.out" 2>&1 &
program=$!
pids+=($program)

window=
for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name "栎舟" 2>/dev/null | head -n1) && [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || fail "the unpacked program showed no window: $(cat "$scratch/program.out")"

# "GET" with the boxes empty asks the stand-in for the first page and the page count.
read -r x y < <(xdotool getwindowgeometry --shell "$window" | awk -F= '/^X=/{x=$2} /^Y=/{y=$2} END{print x, y}')
xdotool mousemove $((x + 468)) $((y + 224)) click 1
for _ in $(seq 100); do
    [ -s "$scratch/requests.log" ] && break
    sleep 0.1
done
[ -s "$scratch/requests.log" ] || fail "the unpacked program did not ask the stand-in after GET"
echo "The stand-in was asked $(wc -l <"$scratch/requests.log") times"

# Keys go to the window under the pointer. Escape closes the window, or first the "失败" box that an empty
# query may have opened above it.
for _ in $(seq 20); do
    kill -0 "$program" 2>/dev/null || break
    xdotool key Escape
    sleep 0.3
done
kill -0 "$program" 2>/dev/null && fail "the unpacked program did not end after Escape"
status=0
wait "$program" || status=$?
[ "$status" -eq 0 ] || fail "the unpacked program ended with $status: $(cat "$scratch/program.out")"
echo "PASS"
