#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite headless. With --sanitize: the whole
# suite built with AddressSanitizer and UndefinedBehaviorSanitizer, then the engine's suites with
# ThreadSanitizer; any sanitizer report fails the test that drew it.
set -euo pipefail
source "$(dirname "$0")/scripts/prepare.sh"

sanitize=0
case "${1:-}" in
    "") ;;
    --sanitize) sanitize=1 ;;
    *)
        echo "usage: $0 [--sanitize]" >&2
        exit 2
        ;;
esac

run_sanitized_suites() {
    local address_dir=$PROJECT_DIR/build-sanitize
    local thread_dir=$PROJECT_DIR/build-tsan
    local jobs
    jobs=$(nproc)

    export QT_QPA_PLATFORM=offscreen
    export ASAN_OPTIONS="halt_on_error=1:print_stacktrace=1:detect_leaks=1:strict_string_checks=1:check_initialization_order=1"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
    # -O1 with line tables only: a third of the compile time of the default flags, same reports.
    local flags=(-DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g1")
    configure_and_build "$address_dir" -DSANITIZE=address,undefined "${flags[@]}"
    # The package tests install and start the program as it ships, which the plain suite does.
    (cd "$address_dir" && ctest -LE install --output-on-failure -j"$jobs")

    export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1"
    cmake -S "$PROJECT_DIR" -B "$thread_dir" -DSANITIZE=thread "${flags[@]}" >/dev/null
    cmake --build "$thread_dir" --target engine_tests -j"$jobs"
    (cd "$thread_dir" && ctest -L engine --output-on-failure -j"$jobs")
}

install_packages "${PACKAGES[@]}"
if [ "$sanitize" -eq 1 ]; then
    run_sanitized_suites
    exit 0
fi
configure_and_build "$BUILD_DIR"
cd "$BUILD_DIR"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
