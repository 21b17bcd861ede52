#!/usr/bin/env bash
# Builds the Debian package from debian/ twice, from copies of the sources in two folders
# within the build folder given as $1, the second with its build folder outside its
# sources, and compares the two; checks every binary's hardening, has lintian check the
# source and the binary packages, installs the package on this machine, starts the
# program, runs the command-line tool and removes the package again.
# Needs root: it installs and removes a package system-wide.
set -euo pipefail

build=$(realpath "${1:?usage: test-deb.sh BUILD-FOLDER}")
source=$(realpath "$(dirname "$0")/../..")
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

"$source/scripts/need-packages.sh" appstream debhelper desktop-file-utils devscripts dpkg-dev \
    ffmpeg file git lintian man-db x11-utils xdotool xvfb

# The package is built as warnings are treated in the build folder, so that a warning the
# hardening flags bring fails where the build's own would.
QUORVEL_WERROR=$(sed -n 's/^QUORVEL_WERROR:BOOL=//p' "$build/CMakeCache.txt")
export QUORVEL_WERROR
# The first build makes the source package too, for lintian.
deb=$("$source/packaging/build-deb.sh" "$build/deb-a" --build=full | tail -n 1)
# The second's sources lie deeper under another name, its build folder beside them: no
# path of either may reach the binaries or their build ids.
DH_OPTIONS="--builddirectory=$build/deb-b/elsewhere/objects" \
    "$source/packaging/build-deb.sh" "$build/deb-b/elsewhere" >/dev/null
arch=$(dpkg --print-architecture)
version=$(dpkg-parsechangelog -l "$source/debian/changelog" -S Version)
[ "$(basename "$deb")" = "quorvel_${version}_$arch.deb" ] || fail "unexpected package file $deb"
for package in "quorvel_${version}_$arch.deb" "quorvel-dbgsym_${version}_$arch.deb"; do
    cmp "$build/deb-a/$package" "$build/deb-b/elsewhere/$package" ||
        fail "two builds of the same sources gave different $package"
done
project=$(sed -n 's/^project(Quorvel VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
[ "$version" = "$project" ] || fail "debian/changelog says $version, CMakeLists.txt $project"
for field in "Package: quorvel" "Version: $version" "Section: sound" \
    "Maintainer: Quorvel project <quorvel@quorvel.example>"; do
    dpkg-deb --field "$deb" | grep -qxF "$field" || fail "no '$field' in the package"
done
dpkg-deb --field "$deb" Depends | grep -q libqt6widgets6 || fail "Qt is not a dependency"
dpkg-deb --field "$deb" Depends | grep -q libmpg123-0 || fail "libmpg123 is not a dependency"
# Every object file is compiled with fortification at level 3 (debian/rules). Where the
# compiler knows a buffer's size but cannot prove a call stays within it, the call is
# checked as the program runs, and each binary holds such calls: the desktop module
# copying a part's tag, the window's Qt hash of the file systems its folder list leaves
# out, the companion's JSON escaping control characters. A call whose bound the compiler
# proves needs no check, and the file reads go unchecked: their buffers come through the
# engine's interfaces, of a size no compiler sees.
objects=$build/deb-a/quorvel-$version/obj-$(dpkg-architecture -qDEB_HOST_MULTIARCH)
commands=$(ninja -C "$objects" -t commands quorvel quorvel-cli quorvel_desktop | grep ' -c ')
! grep -v -e '-D_FORTIFY_SOURCE=3' <<<"$commands" || fail "compiled without fortification"
! grep -v -e ' -O2 ' <<<"$commands" || fail "compiled without optimization"
# hardening-check finds stack-clash probes only in a function whose frame needs a loop of
# them, which none has: every compilation is checked for the flag instead.
! grep -v -e '-fstack-clash-protection' <<<"$commands" || fail "compiled without stack-clash protection"
if [ "$arch" = amd64 ]; then
    ! grep -v -e '-fcf-protection' <<<"$commands" || fail "compiled without control-flow protection"
fi
# Every ELF file of the package has every protection hardening-check knows, control-flow
# and stack-clash protection included.
unpacked=$(mktemp -d)
dpkg-deb --extract "$deb" "$unpacked"
mapfile -t elves < <(find "$unpacked" -type f -exec file {} + | sed -n 's/: *ELF .*//p')
((${#elves[@]} == 3)) || fail "the package holds ${#elves[@]} ELF files, not 3: ${elves[*]}"
hardening-check "${elves[@]}" || fail "the binaries lack hardening"
rm -rf "$unpacked"
# Errors and warnings are what Debian holds against a package, and any hardening tag is a
# fault too: one the package's lintian overrides hide must still be raised, or lintian
# tells of the override that no longer matches. The rest is shown.
lintian=$(lintian -I --fail-on none "$build/deb-a/quorvel_${version}_$arch.changes" 2>&1)
echo "$lintian"
! grep -q "^[EW]:" <<<"$lintian" || fail "lintian found errors or warnings"
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
    man -L de -w "$page" | grep -q '/de/' || fail "no German manual page for $page"
done
[ -f /usr/share/doc/quorvel/Quorvel_de.html ] || fail "the German help was not installed"
for size in 16 32 48 64 128 256; do
    icon=/usr/share/icons/hicolor/${size}x${size}/apps/$id.png
    file "$icon" | grep -q "PNG image data, $size x $size" || fail "$icon is no $size-pixel PNG"
done
desktop-file-validate "$desktop"
appstreamcli validate --no-net --strict --pedantic "$metainfo"
grep -qx "Exec=quorvel %f" "$desktop" && grep -qx "MimeType=audio/mpeg;" "$desktop" ||
    fail "$desktop does not offer to open MP3 files"
for key in 'Name\[de\]' 'Comment\[de\]' 'Keywords\[de\]'; do
    grep -q "^$key=" "$desktop" || fail "$desktop has no $key"
done
grep -q 'xml:lang="de"' "$metainfo" || fail "$metainfo has no German"

# Started on an X display, the program shows its window and waits for the user; the
# desktop entry's StartupWMClass is the class that window carries, so that a dock groups
# it under its launcher.
class=$(sed -n 's/^StartupWMClass=//p' "$desktop")
(cd "$work" && HOME=$work XDG_RUNTIME_DIR=$work timeout 60 xvfb-run -a bash -c '
    set -euo pipefail
    QT_QPA_PLATFORM=xcb /usr/bin/quorvel 2>/dev/null &
    program=$!
    window=$(timeout 20 xdotool search --sync --onlyvisible --name "^Quorvel V" | head -n 1)
    sleep 1
    kill -0 "$program"
    xprop -id "$window" WM_CLASS >wm-class
    kill "$program"
') || fail "quorvel did not show its window and wait"
grep -qF ", \"$class\"" "$work/wm-class" ||
    fail "the window's $(cat "$work/wm-class") is not StartupWMClass=$class"

info=$(quorvel-cli info "$source/tests/fixtures/cbr128.mp3")
grep -qx "type: MPEG1 Layer 3" <<<"$info" || fail "quorvel-cli info said: $info"
grep -qx "frames: 175" <<<"$info" || fail "quorvel-cli info said: $info"
# The desktop module, installed apart from the programs, is found: each part's tag states
# the part's own length as it plays, the encoder's delay left out, and the older parts a
# second run replaces go into the trash.
tlen() { ffprobe -v error -show_entries format_tags=TLEN -of default=nw=1:nk=1 "$1"; }
tagged="$source/tests/fixtures/id3v2.mp3"
for run in first second; do
    (cd "$work" && HOME=$work quorvel-cli split --replace "$tagged" 0 2 >/dev/null) ||
        fail "quorvel-cli split failed in the $run run"
done
[ "$(tlen "$work/id3v21.mp3")" = 2090 ] || fail "the first part's tag says $(tlen "$work/id3v21.mp3")"
[ -f "$work/.local/share/Trash/files/id3v21.mp3" ] || fail "the older first part is not in the trash"
# On a terminal, the question whether to replace takes the locale's yes.
answered=$(cd "$work" && printf 'j\n' | HOME=$work LANG=de_DE.UTF-8 LC_ALL=de_DE.UTF-8 \
    script -qec "quorvel-cli split '$tagged' 0 2 >/dev/null; echo status \$?" /dev/null)
grep -q "status 0" <<<"$answered" || fail "quorvel-cli did not take a German yes: $answered"
# Installed, the companion finds its module as it does in the build folder: nothing it
# loads is searched for in the folder it runs in, and a module cut short is refused.
"$source/tests/loading/check-loading.sh" /usr/bin/quorvel-cli \
    "$(dpkg -L quorvel | grep '/libquorvel-desktop\.so$')" \
    "$build/tests/libquorvel_foreign_QuorvelDesktop.so" \
    "$build/tests/libquorvel_foreign_QuorvelElse.so" /usr/bin/quorvel
said=$(quorvel-cli --version)
[ "$said" = "quorvel-cli $version" ] || fail "quorvel-cli --version said: $said"

DEBIAN_FRONTEND=noninteractive apt-get remove -y quorvel
for file in /usr/bin/quorvel /usr/bin/quorvel-cli "$desktop" /usr/lib/*/quorvel; do
    [ ! -e "$file" ] || fail "$file is still there after the removal"
done
echo "The package builds, installs, starts, works and removes cleanly."
