#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite headless.
set -euo pipefail
source "$(dirname "$0")/scripts/prepare.sh"

install_packages "${PACKAGES[@]}"
configure_and_build "$BUILD_DIR"
cd "$BUILD_DIR"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
