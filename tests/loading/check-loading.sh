#!/usr/bin/env bash
# Checks how the companion finds the libraries and the desktop module it loads: no search
# path of QUORVEL-CLI, MODULE or any ELF file under the other arguments names the current
# folder, libraries planted in the folder it runs in are never loaded, and a module cut
# short or of another version (FOREIGN, whose table QUORVEL_FOREIGN_TABLE chooses, and
# NAMELESS, without an entry point) is refused instead of ending it with a bus error or a
# call through a table laid out otherwise.
#   check-loading.sh QUORVEL-CLI MODULE FOREIGN NAMELESS [FILE-OR-FOLDER...]
set -euo pipefail
usage="usage: check-loading.sh QUORVEL-CLI MODULE FOREIGN NAMELESS [FILE-OR-FOLDER...]"
cli=$(realpath "${1:?$usage}")
module=$(realpath "${2:?$usage}")
foreign=$(realpath "${3:?$usage}")
nameless=$(realpath "${4:?$usage}")
shift 4
fixture=$(realpath "$(dirname "$0")/../fixtures/id3v2.mp3")
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# An empty element is the current folder to the dynamic loader, and one that does not
# start with / or $ORIGIN is found from it.
while IFS= read -r -d '' file; do
    cmp -s -n 4 "$file" <(printf '\177ELF') || continue
    while IFS= read -r list; do
        [[ ":$list:" != *::* ]] || fail "$file searches the current folder: [$list]"
        IFS=: read -ra folders <<<"$list"
        for folder in "${folders[@]}"; do
            [[ $folder == /* || $folder =~ ^\$(ORIGIN|\{ORIGIN\})(/|$) ]] ||
                fail "$file searches a folder relative to the current one: [$list]"
        done
    done < <(readelf -dW "$file" | sed -En 's/.*\((RPATH|RUNPATH)\).*\[(.*)\]$/\2/p')
done < <(find "$cli" "$module" "$@" -type f -print0)

work=$(realpath "$(mktemp -d)")
trap 'rm -rf "$work"' EXIT
mkdir "$work/planted" "$work/cut" "$work/out"
# Replaces both parts of the split into $work/out, running the companion $2 from folder $1;
# the older parts go to the trash through the module.
split() {
    (cd "$1" && env -u LD_LIBRARY_PATH HOME="$work" XDG_DATA_HOME="$work/share" \
        "$2" split --replace "$fixture" 0 2 "$work/out")
}

# The module, every library the companion or the module needs and libmpg123, which the
# module loads itself for the seam check, as files that are no libraries, in the folder
# the companion runs in: loading any of them fails the run or the check.
for name in "$(basename "$module")" libmpg123.so.0 \
    $(readelf -dW "$cli" "$module" | sed -En 's/.*\(NEEDED\).*\[(.*)\]$/\1/p'); do
    echo "planted, not to be loaded" >"$work/planted/$name"
done
split "$work/planted" "$cli" >/dev/null || fail "the first split failed"
log=$(split "$work/planted" "$cli") || fail "the split with libraries planted failed: $log"
! grep -q "could not take" <<<"$log" || fail "a library planted was loaded: $log"
grep -q "^Seam check: " <<<"$log" || fail "the seam check did not decode: $log"
# The analysis loads neither the module nor libmpg123.
loaded=$(cd "$work" && env -u LD_LIBRARY_PATH LD_DEBUG=files "$cli" info "$fixture" 2>&1 >/dev/null)
! grep -qE "libquorvel-desktop|libmpg123" <<<"$loaded" || fail "the analysis loaded: $loaded"
[ -f "$work/share/Trash/files/id3v21.mp3" ] || fail "the older first part is not in the trash"

# Modules beside a copy of the companion, each refused with the words given: the module cut
# inside its headers and inside its segments, as the dynamic loader words it, a named pipe
# in its place (refused, not waited on), and modules of another version. The trash is then out of reach and the parts are replaced all the same,
# the tags left as they were and the seam check left out; verify fails as for a file it
# cannot decode.
cp "$cli" "$work/cut/"
placed="$work/cut/$(basename "$module")"
other="the desktop module $placed is of another version ("
while IFS='|' read -r source table said; do
    rm -f "$placed"
    case $source in
    cut:*) head -c "${source#cut:}" "$module" >"$placed" ;;
    fifo) mkfifo "$placed" ;;
    *) cp "$source" "$placed" ;;
    esac
    row="$source${table:+ ($table)}"
    status=0
    log=$(QUORVEL_FOREIGN_TABLE=$table split "$work" "$work/cut/$(basename "$cli")") || status=$?
    [ "$status" -eq 0 ] || fail "the split with the module $row ended with $status"
    grep -qF "(no trash could be reached: $said" <<<"$log" ||
        fail "the module $row was not reported: $log"
    grep -qF "The tag library could not be loaded ($said" <<<"$log" ||
        fail "the tags left as they were went unmentioned: $log"
    grep -qF "Seam check skipped: the decoder could not be loaded ($said" <<<"$log" ||
        fail "the seam check left out went unmentioned: $log"
    status=0
    errors=$(cd "$work" && QUORVEL_FOREIGN_TABLE=$table "$work/cut/$(basename "$cli")" \
        verify "$fixture" "$work/out/id3v21.mp3" "$work/out/id3v22.mp3" 2>&1) || status=$?
    [ "$status" -eq 2 ] || fail "verify with the module $row ended with $status: $errors"
    grep -qF "$said" <<<"$errors" || fail "verify did not report the module $row: $errors"
done <<ROWS
cut:0||$placed:
cut:100||$placed:
cut:4096||$placed:
fifo||$placed: not a regular file
$foreign|unversioned|${other}its table carries no version
$foreign|newer|${other}its table is version
$foreign|resized|${other}its table is version
$foreign|none|${other}its entry point gives no table), reinstall Quorvel
$nameless||${other}it has no entry point QuorvelDesktop), reinstall Quorvel
ROWS
echo "Nothing is searched for in the current folder, and a module cut short or of another version is refused."
