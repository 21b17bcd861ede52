#!/usr/bin/env bash
# Builds the Debian package in the build folder given as $1, has lintian check it, installs
# it on this machine, starts the program, runs the command-line tool and removes the
# package again.
# Needs root: it installs and removes a package system-wide.
set -euo pipefail

build=$(realpath "${1:?usage: test-deb.sh BUILD-FOLDER}")
source=$(realpath "$(dirname "$0")/../..")
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

"$source/scripts/need-packages.sh" appstream desktop-file-utils dpkg-dev ffmpeg file lintian man-db

cmake --build "$build" --target quorvel quorvel-cli quorvel_desktop quorvel_compressed_docs
rm -f "$build"/quorvel_*.deb
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/quorvel_*.deb)
[ "$(basename "$deb")" = "quorvel_1.0.0.1_$(dpkg --print-architecture).deb" ] ||
    fail "unexpected package file $deb"
for field in "Package: quorvel" "Version: 1.0.0.1" "Section: sound" \
    "Maintainer: Quorvel project <quorvel@quorvel.example>"; do
    dpkg-deb --field "$deb" | grep -qxF "$field" || fail "no '$field' in the package"
done
dpkg-deb --field "$deb" Depends | grep -q libqt6widgets6 || fail "Qt is not a dependency"
dpkg-deb --field "$deb" Depends | grep -q libmpg123-0 || fail "libmpg123 is not a dependency"
# Errors are what Debian refuses a package for; the rest is shown.
lintian=$(lintian --fail-on none "$deb" 2>&1)
echo "$lintian"
! grep -q "^E:" <<<"$lintian" || fail "lintian found errors"

work=$(mktemp -d)
removePackage() {
    if dpkg-query -W -f='${Status}' quorvel 2>/dev/null | grep -q "ok installed"; then
        DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq quorvel >/dev/null
    fi
    rm -rf "$work"
}
trap removePackage EXIT

(cd "$build" && DEBIAN_FRONTEND=noninteractive apt-get install -y "./$(basename "$deb")")
metainfo=/usr/share/metainfo/io.github.quorvel.Quorvel.metainfo.xml
for file in /usr/bin/quorvel /usr/bin/quorvel-cli /usr/share/doc/quorvel/Quorvel.html \
    /usr/share/applications/quorvel.desktop "$metainfo"; do
    [ -f "$file" ] || fail "$file was not installed"
done
for page in quorvel quorvel-cli; do
    man -w "$page" >/dev/null || fail "no manual page for $page"
done
for size in 16 32 48 64 128 256; do
    icon=/usr/share/icons/hicolor/${size}x${size}/apps/quorvel.png
    file "$icon" | grep -q "PNG image data, $size x $size" || fail "$icon is no $size-pixel PNG"
done
desktop-file-validate /usr/share/applications/quorvel.desktop
appstreamcli validate --no-net --strict "$metainfo"

# Still running after 2 seconds (timeout's 124) means it started and waits for the user.
status=0
(cd "$work" && HOME=$work XDG_RUNTIME_DIR=$work QT_QPA_PLATFORM=offscreen \
    timeout 2 /usr/bin/quorvel) || status=$?
[ "$status" -eq 124 ] || fail "quorvel ended with status $status instead of running"

info=$(quorvel-cli info "$source/tests/fixtures/cbr128.mp3")
grep -qx "type: MPEG1 Layer 3" <<<"$info" || fail "quorvel-cli info said: $info"
grep -qx "frames: 175" <<<"$info" || fail "quorvel-cli info said: $info"
# The desktop module, installed apart from the programs, is found: each part's tag states
# the part's own length, and the older parts a second run replaces go into the trash.
tlen() { ffprobe -v error -show_entries format_tags=TLEN -of default=nw=1:nk=1 "$1"; }
tagged="$source/tests/fixtures/id3v2.mp3"
for run in first second; do
    (cd "$work" && HOME=$work quorvel-cli split --replace "$tagged" 0 2 >/dev/null) ||
        fail "quorvel-cli split failed in the $run run"
done
[ "$(tlen "$work/id3v21.mp3")" = 2136 ] || fail "the first part's tag says $(tlen "$work/id3v21.mp3")"
[ -f "$work/.local/share/Trash/files/id3v21.mp3" ] || fail "the older first part is not in the trash"
# Installed, the companion finds its module as it does in the build folder: nothing it
# loads is searched for in the folder it runs in, and a module cut short is refused.
"$source/tests/loading/check-loading.sh" /usr/bin/quorvel-cli \
    "$(dpkg -L quorvel | grep '/libquorvel-desktop\.so$')" /usr/bin/quorvel
version=$(quorvel-cli --version)
[ "$version" = "quorvel-cli $(dpkg-deb --field "$deb" Version)" ] ||
    fail "quorvel-cli --version said: $version"

DEBIAN_FRONTEND=noninteractive apt-get remove -y quorvel
for file in /usr/bin/quorvel /usr/bin/quorvel-cli /usr/share/applications/quorvel.desktop \
    /usr/lib/*/quorvel; do
    [ ! -e "$file" ] || fail "$file is still there after the removal"
done
echo "The package builds, installs, starts, works and removes cleanly."
