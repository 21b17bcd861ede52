#!/usr/bin/env bash
# Checks how the companion finds the libraries and the desktop module it loads: no search
# path of QUORVEL-CLI, MODULE or any ELF file under the other arguments names the current
# folder, libraries planted in the folder it runs in are never loaded, and a module cut
# short, of another version or no module of Quorvel's (FOREIGN, whose table
# QUORVEL_FOREIGN_TABLE chooses, and NAMELESS, without an entry point) is refused by every
# command that needs it, before it does anything, instead of ending it with a bus error or
# a call through a table laid out otherwise.
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

# Modules beside a copy of the companion, each refused with the words given before anything
# of it is called: the module cut inside its headers and inside its segments, as the dynamic
# loader words it, a named pipe in its place (refused, not waited on), modules of another
# version or layout, and tables that are no module's own. split and parts change nothing
# and say why; verify and silences fail as for a file they cannot decode; loudness, which
# would tag the file, says why and measures nothing.
cp "$cli" "$work/cut/"
copy="$work/cut/$(basename "$cli")"
placed="$work/cut/$(basename "$module")"
other="the desktop module $placed is of another version ("
before=$(cd "$work" && find out share -type f -exec md5sum {} + | sort)
while IFS='|' read -r source table said; do
    rm -f "$placed"
    case $source in
    cut:*) head -c "${source#cut:}" "$module" >"$placed" ;;
    fifo) mkfifo "$placed" ;;
    *) cp "$source" "$placed" ;;
    esac
    row="$source${table:+ ($table)}"
    for name in split parts verify silences loudness; do
        case $name in
        split) command=(split --replace "$fixture" 0 2 "$work/out") ;;
        parts) command=(parts --replace --at 0:01 "$fixture" "$work/out") ;;
        verify) command=(verify "$fixture" "$work/out/id3v21.mp3" "$work/out/id3v22.mp3") ;;
        silences) command=(silences "$fixture") ;;
        loudness) command=(loudness --tag "$work/out/id3v21.mp3") ;;
        esac
        status=0
        said_all=$(cd "$work" && env -u LD_LIBRARY_PATH HOME="$work" XDG_DATA_HOME="$work/share" \
            QUORVEL_FOREIGN_TABLE=$table "$copy" "${command[@]}" 2>&1) || status=$?
        case $name in
        split | parts | loudness)
            expected=3
            [ "$name" = loudness ] && expected=1
            [ "$status" -eq "$expected" ] ||
                fail "$name with the module $row ended with $status: $said_all"
            grep -qF "quorvel-cli: $name: the desktop module cannot be loaded ($said" <<<"$said_all" ||
                fail "$name did not refuse the module $row: $said_all"
            ;;
        *)
            [ "$status" -eq 2 ] || fail "$name with the module $row ended with $status: $said_all"
            grep -qF "$said" <<<"$said_all" || fail "$name did not report the module $row: $said_all"
            ;;
        esac
    done
    after=$(cd "$work" && find out share -type f -exec md5sum {} + | sort)
    [ "$after" = "$before" ] || fail "a run with the module $row changed the outputs or the trash"
done <<ROWS
cut:0||$placed:
cut:100||$placed:
cut:4096||$placed:
fifo||$placed: not a regular file
$foreign|unversioned|${other}its table carries no version
$foreign|newer|${other}its table is version
$foreign|resized|${other}its table is version
$foreign|relaid|${other}its table is laid out otherwise), reinstall Quorvel
$foreign|hollow|${other}its table's functions lie outside its code), reinstall Quorvel
$foreign|elsewhere|${other}its table's functions lie outside its code), reinstall Quorvel
$foreign|stray|${other}its table lies outside it), reinstall Quorvel
$foreign|none|${other}its entry point gives no table), reinstall Quorvel
$nameless||${other}it has no entry point QuorvelDesktop), reinstall Quorvel
ROWS
echo "Nothing is searched for in the current folder, and a module cut short, of another version or no module of Quorvel's is refused before anything is done."
