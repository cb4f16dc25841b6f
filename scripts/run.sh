#!/usr/bin/env bash
# Installs what is missing, builds, and starts Nolt Nolt. Without a display it starts the app under Xvfb,
# saves a screenshot of the first window and says where.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/build.sh"
app="$here/build/bin/noltnolt"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$app" "$@"
fi
shot="$here/build/screenshot.png"
export NOLTNOLT_SCREENSHOT="$shot"
xvfb-run -a -s "-screen 0 1280x900x24" bash -c '
    "$0" "${@}" &
    app=$!
    for _ in $(seq 50); do
        if xdotool search --onlyvisible --classname noltnolt >/dev/null 2>&1; then break; fi
        sleep 0.2
    done
    sleep 1
    import -window root "$NOLTNOLT_SCREENSHOT"
    kill "$app"; wait "$app" || true
' "$app" "$@"
echo "No display here: ran Nolt Nolt under Xvfb; screenshot of the first window: $shot"
