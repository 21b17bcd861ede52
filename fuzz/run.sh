#!/usr/bin/env bash
# Builds the split fuzz target with libFuzzer, AddressSanitizer and UBSan and runs it
# for the given number of seconds (default 60). Exits non-zero when an input crashes
# it; the crashing input is left in build-fuzz/. Further arguments go to CMake.
# Usage: fuzz/run.sh [SECONDS [CMAKE-OPTION...]]
set -euo pipefail

duration="${1:-60}"
shift $(($# > 0 ? 1 : 0))
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$root/build-fuzz"

"$root/scripts/need-packages.sh" clang-14 libclang-rt-14-dev lame

mkdir -p "$out/corpus"
cmake -S "$root" -B "$out" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_FUZZ=ON -DBUILD_TESTING=OFF "$@" >/dev/null
cmake --build "$out" --target FuzzSplit

# Seeds: two bytes of split time, then the source. Fixtures are cut to the length
# limit; the synthetic ones cover back pointers, CRCs, short frames, leading junk and
# a closing tag.
seeds="$out/seeds"
rm -rf "$seeds"
mkdir -p "$seeds"

# frame HEADER SIDE LENGTH: the header (and CRC) and the first side-information bytes,
# written as \xHH escapes, then zeros up to LENGTH bytes.
frame() {
    printf '%b%b' "$1" "$2"
    head -c $(($3 - (${#1} + ${#2}) / 4)) /dev/zero
}
frames() {
    local i
    for ((i = 0; i < $1; i++)); do frame "$2" "$3" "$4"; done
}

{ printf '\x01\x00'; frames 100 '\xff\xfb\x90\x64' '\x00\x00' 417; } >"$seeds/plain"
{
    printf '\x01\x00'
    for ((i = 0; i < 60; i++)); do
        frame '\xff\xfb\x92\x64' '\x40\x00' 418
        frame '\xff\xfb\x90\x64' '\x3c\x80' 417
    done
} >"$seeds/borrowing"
{ printf '\x01\x00'; frames 90 '\xff\xfa\x90\x64\x12\x34' '\x20\x80' 417; } >"$seeds/crc"
{ printf '\x11\x00'; frames 800 '\xff\xe3\x18\x44' '\x05\x00' 72; } >"$seeds/mpeg25"
{
    printf '\x02\x00'
    head -c 1000 /dev/zero
    frames 150 '\xff\xf3\x80\xc4' '\x30\x00' 208
    printf 'TAG'
    head -c 125 /dev/zero
} >"$seeds/tagged"
{ printf '\x02\x00'; head -c 3000 /dev/urandom; } >"$seeds/random"

# Real encoder output: noise at low bit rates keeps the bit reservoir busy.
head -c 64000 /dev/urandom |
    lame --quiet -r -s 8 --bitwidth 16 --signed --little-endian -m m -b 8 --cbr - \
        "$seeds/lame8k.mp3" 2>/dev/null
head -c 176400 /dev/urandom |
    lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m j -b 128 --cbr - \
        "$seeds/lame44k.mp3" 2>/dev/null
for f in "$seeds"/lame*.mp3 "$root"/tests/fixtures/*.mp3; do
    [[ -f "$f" ]] || continue
    { printf '\x02\x00'; head -c 65000 "$f"; } >"$seeds/seed-$(basename "$f")"
done
rm -f "$seeds"/lame*.mp3

cd "$out"
exec ./FuzzSplit -max_total_time="$duration" -max_len=65536 -print_final_stats=1 \
    -artifact_prefix="$out/" corpus "$seeds"
