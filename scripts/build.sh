#!/usr/bin/env bash
# Installs what is missing, then configures and builds into build/ (warnings are errors).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/setup-debian.sh"
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNOLTNOLT_WERROR=ON >/dev/null
cmake --build "$here/build" --parallel "$(nproc)"
