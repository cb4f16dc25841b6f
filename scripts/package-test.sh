#!/usr/bin/env bash
# Builds the Debian package, holds it to lintian, installs it and checks the app as installed (run by an ordinary
# user where that matters), then removes and purges it and checks that nothing of it is left.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    if ! sudo -n true 2>/dev/null; then
        echo "package-test: skipped: installing the package needs root or sudo without a password."
        exit 0
    fi
    sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
apt=($sudo apt-get -o DPkg::Lock::Timeout=300 -y -q)
app_id=com.quorbell.noltnolt
nobody=65534

work=$(mktemp -d)
trap '$sudo rm -rf "$work"' EXIT
chmod 755 "$work"

timings=()
passed=0
started=$SECONDS
step_start=$SECONDS
step_name=""
step() {
    if [ -n "$step_name" ]; then
        timings+=("$(printf '%5d s  %s' $((SECONDS - step_start)) "$step_name")")
        passed=$((passed + 1))
    fi
    step_name=$1
    step_start=$SECONDS
    [ -n "$step_name" ] && echo "== $step_name"
    return 0
}
fail() {
    echo "package-test: FAILED: $step_name: $*" >&2
    echo "package-test: $passed passed, 1 failed"
    exit 1
}
# Runs a command as an ordinary user with a home of its own: root passes checks that a user would not.
as_user() {
    $sudo setpriv --reuid=$nobody --regid=$nobody --clear-groups \
        env -i HOME="$work/home" TMPDIR="$work/home" PATH="$work/home/bin:/usr/bin:/bin" "$@"
}

step "build the package"
deb=$(bash "$here/scripts/package.sh")
[ -f "$deb" ] || fail "scripts/package.sh named no package"
version=$(sed -n 's/^project(noltnolt VERSION \([^ ]*\) .*/\1/p' "$here/CMakeLists.txt")
package_version=$(dpkg-deb -f "$deb" Version)
[ "${package_version%-*}" = "$version" ] || fail "the package is $package_version but CMakeLists.txt says $version"

step "lintian"
lintian --fail-on error,warning "$deb" || fail "lintian reports errors or warnings"

step "install"
# A copy left by an earlier run goes first, so that what is checked is this build.
if dpkg-query -W -f='${Status}' noltnolt 2>/dev/null | grep -q 'ok installed'; then
    "${apt[@]}" purge noltnolt >/dev/null
fi
# What the package only recommends (dictionaries, xdg-utils) plays no part in the checks below.
"${apt[@]}" install --no-install-recommends "$deb" >/dev/null
dpkg -L noltnolt | sort >"$work/files"
[ "$(command -v noltnolt)" = /usr/bin/noltnolt ] || fail "noltnolt is not /usr/bin/noltnolt"

step "check the installed app"
[ "$(noltnolt --version)" = "Nolt Nolt $version" ] || fail "noltnolt --version says: $(noltnolt --version)"
# The ordinary user's home, with a stand-in xdg-open that writes down what the app hands it (see Help below).
mkdir -p "$work/home/bin"
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >>"$HOME/opened"\n' >"$work/home/bin/xdg-open"
cp "$here/tests/support/with-xvfb.sh" "$work/home/bin/"
chmod 755 "$work/home/bin/xdg-open" "$work/home/bin/with-xvfb.sh"
$sudo chown -R $nobody:$nobody "$work/home"
(cd "$work/home" && as_user QT_QPA_PLATFORM=offscreen noltnolt --self-test) || fail "the self-test failed"
desktop-file-validate "/usr/share/applications/$app_id.desktop" || fail "the desktop entry is not valid"
appstreamcli validate --no-net "/usr/share/metainfo/$app_id.metainfo.xml" || fail "the metainfo is not valid"
for size in 16 24 32 48 64 128 256; do
    grep -qx "/usr/share/icons/hicolor/${size}x$size/apps/$app_id.png" "$work/files" || fail "no ${size}px icon"
done
grep -q "^text/plain=.*$app_id\.desktop" /usr/share/applications/mimeinfo.cache ||
    fail "the desktop does not know Nolt Nolt opens text/plain (mimeinfo.cache)"
# The manual page lists exactly the options --help does.
noltnolt --help | sed -n 's/^ \{2,\}\(-[^ ,]*\(, -[^ ,]*\)\{0,1\}\) .*/\1/p' | tr -s ', ' '\n' | sort >"$work/help"
zcat /usr/share/man/man1/noltnolt.1.gz | sed 's/\\-/-/g' |
    awk '/^\.SH /{options = ($2 == "OPTIONS")} options && previous == ".TP" {print} {previous = $0}' |
    sed 's/^\.BR* //; s/ *", " */ /' | tr -s ' ' '\n' | sort >"$work/man"
diff "$work/help" "$work/man" || fail "the manual page and noltnolt --help list different options"

step "Help opens the installed page"
help=/usr/share/noltnolt/Help.html
for shipped in "$help" /usr/share/noltnolt/Privacy.html /usr/share/noltnolt/info.json; do
    [ -f "$shipped" ] || fail "$shipped is missing"
done
# F1 in a real window on an X server of its own.
(cd "$work/home" && as_user bash bin/with-xvfb.sh dbus-run-session -- bash -c '
    mkdir -m 700 runtime && export XDG_RUNTIME_DIR=$PWD/runtime
    : >note.txt
    noltnolt note.txt &
    app=$!
    window=$(timeout 30 xdotool search --sync --onlyvisible --name "^note" | head -n 1)
    [ -n "$window" ] && xdotool windowfocus --sync "$window" && sleep 1 && xdotool key F1
    for _ in $(seq 50); do [ -s opened ] && break; sleep 0.2; done
    [ -n "$window" ] && xdotool key ctrl+q
    for _ in $(seq 50); do kill -0 $app 2>/dev/null || break; sleep 0.2; done
    kill $app 2>/dev/null
    wait
') || true
opened=$(cat "$work/home/opened" 2>/dev/null || true)
[ "$opened" = "$help" ] || fail "F1 opened \"$opened\", not $help"

step "remove and purge"
"${apt[@]}" remove noltnolt >/dev/null
# Without conffiles nothing is left to purge and dpkg forgets the package at once; purging then only confirms it.
$sudo dpkg --purge noltnolt >/dev/null 2>&1
status=$(dpkg-query -W -f='${db:Status-Status}' noltnolt 2>/dev/null || true)
[ -z "$status" ] || [ "$status" = not-installed ] || fail "dpkg still has noltnolt: $status"
left=0
while read -r path; do
    if [ -d "$path" ] && [ ! -L "$path" ]; then
        # A folder it shared with other packages, or that holds files not its own, stays.
        [ -n "$(ls -A "$path")" ] || dpkg -S "$path" >/dev/null 2>&1 || { echo "left: $path"; left=1; }
    elif [ -e "$path" ] || [ -L "$path" ]; then
        echo "left: $path"
        left=1
    fi
done <"$work/files"
[ $left -eq 0 ] || fail "files of the package are left after purging it"
! grep -q "$app_id\.desktop" /usr/share/applications/mimeinfo.cache || fail "mimeinfo.cache still names the app"

step ""
echo "package-test: timings"
printf '%s\n' "${timings[@]}"
printf '%5d s  in all\n' $((SECONDS - started))
echo "package-test: every check passed for $(basename "$deb")"
echo "package-test: $passed passed, 0 failed"
