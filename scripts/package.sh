#!/usr/bin/env bash
# Installs what is missing, builds the Debian package from a scratch copy of this checkout (so the checkout gains no
# build files), keeps it in build-deb/ and prints its path. Install it with: sudo apt-get install ./build-deb/*.deb
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/setup-debian.sh" >&2

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/noltnolt"
# The working tree as it is, edits included, without git's files and the build trees.
tar -C "$here" --exclude=./.git --exclude=./build --exclude='./build-*' -cf - . | tar -C "$scratch/noltnolt" -xf -

out="$here/build-deb"
mkdir -p "$out"
rm -f "$out"/noltnolt_*.deb
export DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:-parallel=$(nproc)}"
start=$SECONDS
echo "Building the package (DEB_BUILD_OPTIONS=$DEB_BUILD_OPTIONS); its log goes to $out/build.log" >&2
if ! (cd "$scratch/noltnolt" && dpkg-buildpackage -us -uc -b) >"$out/build.log" 2>&1; then
    tail -n 60 "$out/build.log" >&2
    echo "The package did not build: the end of $out/build.log is above." >&2
    exit 1
fi
cp "$scratch"/noltnolt_*.deb "$out/"
echo "Built the package in $((SECONDS - start)) s" >&2
ls "$out"/noltnolt_*.deb
