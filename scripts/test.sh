#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/build.sh"
export QT_QPA_PLATFORM=offscreen
cd "$here/build"
# Tests that need a session bus get their own inside the test; nothing here depends on the caller's desktop.
ctest --output-on-failure --timeout 600 "$@"
