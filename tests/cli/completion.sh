#!/usr/bin/env bash
# The bash completion of quorvel-cli, as bash calls it: the commands, the options of each
# command as its usage line lists them, and the files each argument takes.
#   completion.sh COMPLETION QUORVEL-CLI
set -uo pipefail
completion=$(realpath "$1")
usage=$("$2" --help | sed -n '/^usage:/,/^$/p')
# shellcheck source=/dev/null
source "$completion"
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder" || exit 1
mkdir parts
touch 'a song.mp3' LOUD.MP3 notes.txt album.cue

passed=0 failed=0
lines() { printf '%s\n' "$@"; }
# Completes the last of the words as bash has split them (at ':' and '=' too) and holds
# the replies against `expected`, one a line, both sorted.
expect() {
    local expected=$1
    shift
    COMP_WORDS=(quorvel-cli "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _quorvel_cli
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort | sed '/^$/d')
    if [ "$got" = "$(LC_ALL=C sort <<<"$expected" | sed '/^$/d')" ]; then
        ((passed++))
    else
        ((failed++))
        printf 'FAIL: quorvel-cli %s\n  expected: %s\n  got: %s\n' "$*" \
            "$(tr '\n' '|' <<<"$expected")" "$(tr '\n' '|' <<<"$got")"
    fi
}

# Each command's options are those of its usage line, with --help and --version.
global=(-h --help -V --version)
for command in info split parts verify silences join cut trim gain loudness; do
    mapfile -t listed < <(grep -E "quorvel-cli $command " <<<"$usage" | sed "s/quorvel-cli//" |
        grep -oE -- "--?[a-z][a-z-]*")
    expect "$(lines "${global[@]}" "${listed[@]}" | sort -u)" "$command" -
done
expect "$(lines "${global[@]}")" -
expect --threshold silences --thr

# Commands first, wherever the options stand, and after "--".
expect 'info' i
expect "$(lines split silences)" --json s
expect 'parts' -- pa
# MP3 files (and folders) for the sources and the parts, a folder for the destination,
# cue sheets for --cue, nothing for times, counts and patterns.
mp3=$(lines 'a song.mp3' LOUD.MP3 parts)
expect "$mp3" info ''
expect "$mp3" verify 'a song.mp3' LOUD.MP3 ''
expect "$mp3" join 'a song.mp3' LOUD.MP3 ''
expect "$mp3" cut --remove 0:01-0:02 'a song.mp3' ''
expect "$mp3" trim --keep 0.5 ''
expect "$mp3" gain --db -3 'a song.mp3' ''
expect "$mp3" loudness --tag 'a song.mp3' ''
expect '' verify 'a song.mp3' LOUD.MP3 LOUD.MP3 ''
expect "$mp3" split -r ''
expect '' split LOUD.MP3 ''
expect 'parts' split LOUD.MP3 1 30 ''
expect "$mp3" parts --at 1 : 00 --at=2 : 00 ''
expect 'parts' parts --every 0 : 30 LOUD.MP3 ''
expect 'parts' parts --name '%n' LOUD.MP3 ''
expect "$(lines album.cue parts)" parts --cue ''
expect 'album.cue' parts --cue = al
expect 'album.cue' parts --cu al
expect '' parts --count ''
expect '' silences --min ''
# After "--" a name that starts with a dash is a file.
expect '' silences -- -
expect "$mp3" -- silences ''

complete -p quorvel-cli | grep -q -- '-F _quorvel_cli' || {
    ((failed++))
    echo "FAIL: the completion is not registered"
}
echo "$passed passed, $failed failed"
((failed == 0))
