#!/usr/bin/env bash
# Runs a command on an X server of its own. Xvfb picks a free display itself (-displayfd) and names it only once it
# listens, so two servers never race for one number and nothing connects too early. XVFB_SCREEN sets its size.
set -u
dir=$(mktemp -d) || exit 1
Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-1280x900x24}" -nolisten tcp 3>"$dir/display" 2>"$dir/log" &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; rm -rf "$dir"' EXIT
for _ in $(seq 300); do
    [ -s "$dir/display" ] && break
    kill -0 "$server" 2>/dev/null || break
    sleep 0.1
done
if [ ! -s "$dir/display" ]; then
    echo "Xvfb did not start:" >&2
    cat "$dir/log" >&2
    exit 1
fi
DISPLAY=":$(head -n 1 "$dir/display")" "$@"
