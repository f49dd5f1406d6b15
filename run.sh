#!/usr/bin/env bash
# Installs what is missing, builds, and opens the main window (under Xvfb when there is no display).
set -euo pipefail
source "$(dirname "$0")/scripts/prepare.sh"

install_packages "${PACKAGES[@]}"
configure_and_build "$BUILD_DIR"

pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

free_display() {
    local n
    for n in $(seq 99 199); do
        if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then
            echo "$n"
            return 0
        fi
    done
    return 1
}

port_open() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# The window asks the service its build names; the bundled stand-in serves the default address.
service_url=$(sed -n 's/^POSTCODE_SERVICE_URL:STRING=//p' "$BUILD_DIR/CMakeCache.txt")
if [ "$service_url" = "http://127.0.0.1:8138" ]; then
    if port_open 8138; then
        echo "Something already listens on 127.0.0.1:8138; the window will ask it."
    else
        "$BUILD_DIR/service/postcode-service" --port 8138 >/dev/null &
        pids+=($!)
        for _ in $(seq 50); do port_open 8138 && break; sleep 0.1; done
        echo "The stand-in postcode service runs on $service_url (demonstration data)."
    fi
else
    echo "The window asks the postcode service at $service_url."
fi

headless=0
if [ -z "${DISPLAY:-}" ]; then
    headless=1
    display_number=$(free_display)
    export DISPLAY=":$display_number"
    echo "No display found: starting Xvfb on $DISPLAY"
    Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
fi

"$BUILD_DIR/app/postcode-lookup" &
app_pid=$!
pids+=($app_pid)

if [ "$headless" -eq 1 ]; then
    window_id=
    for _ in $(seq 100); do
        window_id=$(xwininfo -root -tree 2>/dev/null | awk '/栎舟/ {print $1; exit}')
        [ -n "$window_id" ] && break
        sleep 0.1
    done
    sleep 1
    import -window "${window_id:-root}" "$BUILD_DIR/screenshot.png"
    echo "The window is open on the virtual display; a screenshot is in $BUILD_DIR/screenshot.png"
    if [ ! -t 0 ]; then
        exit 0
    fi
    echo "Press Ctrl+C to close it."
fi
wait "$app_pid"
