#!/usr/bin/env bash
# Checks how the companion finds the libraries and the desktop module it loads: no search
# path of QUORVEL-CLI, MODULE or any ELF file under the other arguments names the current
# folder, libraries planted in the folder it runs in are never loaded, and a module cut
# short is reported missing instead of ending it with a bus error.
#   check-loading.sh QUORVEL-CLI MODULE [FILE-OR-FOLDER...]
set -euo pipefail
cli=$(realpath "${1:?usage: check-loading.sh QUORVEL-CLI MODULE [FILE-OR-FOLDER...]}")
module=$(realpath "${2:?usage: check-loading.sh QUORVEL-CLI MODULE [FILE-OR-FOLDER...]}")
shift 2
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

# The module beside a copy of the companion, cut inside its headers and inside its
# segments: the trash is then out of reach, and the parts are replaced all the same.
cp "$cli" "$work/cut/"
for size in 0 100 4096; do
    head -c "$size" "$module" >"$work/cut/$(basename "$module")"
    status=0
    log=$(split "$work" "$work/cut/$(basename "$cli")") || status=$?
    [ "$status" -eq 0 ] || fail "the split with the module cut at $size bytes ended with $status"
    grep -qF "(no trash could be reached: $work/cut/$(basename "$module"): " <<<"$log" ||
        fail "the module cut at $size bytes was not reported: $log"
    grep -qF "The tag library could not be loaded ($work/cut/" <<<"$log" ||
        fail "the tags left as they were went unmentioned: $log"
done
echo "Nothing is searched for in the current folder, and a module cut short is refused."
