#!/usr/bin/env bash
# Builds into build-sanitized/ with AddressSanitizer and UndefinedBehaviorSanitizer and runs every test there.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/setup-debian.sh"
cmake -S "$here" -B "$here/build-sanitized" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g -DNDEBUG" \
    -DNOLTNOLT_WERROR=ON -DNOLTNOLT_SANITIZE=ON >/dev/null
cmake --build "$here/build-sanitized" --parallel "$(nproc)"
export QT_QPA_PLATFORM=offscreen
# The fault kit's library is loaded ahead of the sanitizer's runtime in the processes it runs; leaks at exit are
# Qt's and the deliberate ones of a write that outlives its window, not faults.
export ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$here/build-sanitized"
ctest --output-on-failure --timeout 900 "$@"
