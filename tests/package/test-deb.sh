#!/usr/bin/env bash
# Builds the Debian package twice, in two folders within the build folder given as $1, and
# compares the two; checks its hardening, has lintian check it, installs it on this
# machine, starts the program, runs the command-line tool and removes the package again.
# Needs root: it installs and removes a package system-wide.
set -euo pipefail

build=$(realpath "${1:?usage: test-deb.sh BUILD-FOLDER}")
source=$(realpath "$(dirname "$0")/../..")
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

"$source/scripts/need-packages.sh" appstream desktop-file-utils devscripts dpkg-dev ffmpeg file \
    git lintian man-db

# The package is built as warnings are treated in the build folder, so that a warning the
# hardening flags bring fails where the build's own would.
werror=$(sed -n 's/^QUORVEL_WERROR:BOOL=//p' "$build/CMakeCache.txt")
deb=$("$source/packaging/build-deb.sh" "$build/deb-a" "-DQUORVEL_WERROR=${werror:-OFF}" | tail -n 1)
again=$("$source/packaging/build-deb.sh" "$build/deb-b" "-DQUORVEL_WERROR=${werror:-OFF}" | tail -n 1)
cmp "$deb" "$again" || fail "two builds of the same sources gave different packages"
[ "$(basename "$deb")" = "quorvel_1.0.0.1_$(dpkg --print-architecture).deb" ] ||
    fail "unexpected package file $deb"
for field in "Package: quorvel" "Version: 1.0.0.1" "Section: sound" \
    "Maintainer: Quorvel project <quorvel@quorvel.example>"; do
    dpkg-deb --field "$deb" | grep -qxF "$field" || fail "no '$field' in the package"
done
dpkg-deb --field "$deb" Depends | grep -q libqt6widgets6 || fail "Qt is not a dependency"
dpkg-deb --field "$deb" Depends | grep -q libmpg123-0 || fail "libmpg123 is not a dependency"
# Every object file is compiled with fortification at level 3 (packaging/build-deb.sh).
# Where the compiler knows a buffer's size but cannot prove a call stays within it, the
# call is checked as the program runs, and each binary holds such calls: the desktop
# module copying a part's tag, the window's Qt hash of the file systems its folder list
# leaves out, the companion's JSON escaping control characters. A call whose bound the
# compiler proves needs no check, and the file reads go unchecked: their buffers come
# through the engine's interfaces, of a size no compiler sees. Debian 12's flags have no
# control-flow protection.
commands=$(ninja -C "$build/deb-a" -t commands quorvel quorvel-cli quorvel_desktop | grep ' -c ')
! grep -v -e '-D_FORTIFY_SOURCE=3 .*-O2' <<<"$commands" || fail "compiled without fortification"
unpacked=$(mktemp -d)
dpkg-deb --extract "$deb" "$unpacked"
hardening-check --nocfprotection "$unpacked"/usr/bin/quorvel "$unpacked"/usr/bin/quorvel-cli \
    "$unpacked"/usr/lib/*/quorvel/libquorvel-desktop.so || fail "the binaries lack hardening"
rm -rf "$unpacked"
# Errors are what Debian refuses a package for, and any hardening tag is a fault too: one
# the package's lintian overrides hide must still be raised, or lintian tells of the
# override that no longer matches. The rest is shown.
lintian=$(lintian -I --fail-on none "$deb" 2>&1)
echo "$lintian"
! grep -q "^E:" <<<"$lintian" || fail "lintian found errors"
! grep -q "hardening" <<<"$lintian" || fail "lintian found the hardening wanting"

work=$(mktemp -d)
removePackage() {
    if dpkg-query -W -f='${Status}' quorvel 2>/dev/null | grep -q "ok installed"; then
        DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq quorvel >/dev/null
    fi
    rm -rf "$work"
}
trap removePackage EXIT

(cd "$(dirname "$deb")" && DEBIAN_FRONTEND=noninteractive apt-get install -y "./$(basename "$deb")")
id=io.github.quorvel.quorvel
metainfo=/usr/share/metainfo/$id.metainfo.xml
desktop=/usr/share/applications/$id.desktop
for file in /usr/bin/quorvel /usr/bin/quorvel-cli /usr/share/doc/quorvel/Quorvel.html \
    /usr/share/doc-base/quorvel.quorvel "$desktop" "$metainfo"; do
    [ -f "$file" ] || fail "$file was not installed"
done
for page in quorvel quorvel-cli; do
    man -w "$page" >/dev/null || fail "no manual page for $page"
done
for size in 16 32 48 64 128 256; do
    icon=/usr/share/icons/hicolor/${size}x${size}/apps/$id.png
    file "$icon" | grep -q "PNG image data, $size x $size" || fail "$icon is no $size-pixel PNG"
done
desktop-file-validate "$desktop"
appstreamcli validate --no-net --strict --pedantic "$metainfo"
grep -qx "Exec=quorvel %f" "$desktop" && grep -qx "MimeType=audio/mpeg;" "$desktop" ||
    fail "$desktop does not offer to open MP3 files"

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
for file in /usr/bin/quorvel /usr/bin/quorvel-cli "$desktop" /usr/lib/*/quorvel; do
    [ ! -e "$file" ] || fail "$file is still there after the removal"
done
echo "The package builds, installs, starts, works and removes cleanly."
