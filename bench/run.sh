#!/usr/bin/env bash
# Measures quorvel-cli on a ~1 GB MP3 of real encoder frames against plain file tools
# and mp3splt, and its silences on an hour of the same frames against mpg123's decoding,
# with the files in the page cache, and prints a table of times and ratios; then, as root,
# the split on XFS and btrfs, where the parts share the source's blocks (the new disk space
# too), and on ext4 and tmpfs, each a file system of its own.
# Usage: bench/run.sh [PATH-TO-quorvel-cli]   (default: build/quorvel-cli in the repo)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cli="$(realpath "${1:-$root/build/quorvel-cli}")"
work="$root/bench/work"
big="$work/big.mp3"
hour="$work/hour.mp3"
segment="$work/segment.mp3"
out="$work/out"
target_bytes=$((1000 * 1000 * 1000))
runs=15

[[ -x "$cli" ]] || { echo "quorvel-cli not found at $cli" >&2; exit 2; }

"$root/scripts/need-packages.sh" hyperfine mp3splt lame mpg123 time

mkdir -p "$work"
make_segment() {
    [[ -f "$segment" ]] && return
    echo "Building $segment ..."
    # 47 s of stereo tone (440 Hz left, 660 Hz right) under noise, 16-bit at 44.1 kHz.
    # The odd length keeps the joins between copies away from whole minutes, so that a
    # split at 3:00 lands on a frame that borrows main data.
    perl -e '
        srand(1);
        my $two_pi = 8 * atan2(1, 1);
        for my $i (0 .. 47 * 44100 - 1) {
            my $t = $i / 44100;
            print pack("s<s<",
                8000 * sin($two_pi * 440 * $t) + 6000 * (rand() - 0.5),
                8000 * sin($two_pi * 660 * $t) + 6000 * (rand() - 0.5));
        }' >"$work/segment.raw"
    # CBR 128 kbit/s with the bit reservoir on (lame's default); -t leaves out the
    # Info frame so that concatenated copies form one plain stream of frames.
    lame --quiet -t -r -s 44.1 --bitwidth 16 --signed --little-endian -m j -b 128 --cbr \
        "$work/segment.raw" "$segment.tmp" 2>/dev/null
    mv "$segment.tmp" "$segment"
    rm -f "$work/segment.raw"
}
# FILE, made of copies of the segment one after another, of at least BYTES.
make_copies() {
    local file=$1 bytes=$2
    [[ -f "$file" ]] && (($(stat -c %s "$file") >= bytes)) && return
    make_segment
    echo "Building $file ..."
    local segment_bytes copies
    segment_bytes=$(stat -c %s "$segment")
    copies=$(((bytes + segment_bytes - 1) / segment_bytes))
    for ((i = 0; i < copies; i++)); do cat "$segment"; done >"$file.tmp"
    mv "$file.tmp" "$file"
}
make_copies "$big" "$target_bytes"
# An hour at 128 kbit/s, for the silences.
make_copies "$hour" $((128000 / 8 * 3600))
size=$(stat -c %s "$big")
echo "Source: $big ($size bytes)"

# Replaced outputs must not land in a real desktop trash.
scratch="$(mktemp -d)"
# The file systems the last rows mount, unmounted with their images removed on the way out.
mounted=()
cleanup() {
    local at
    for at in "${mounted[@]}"; do umount "$at" && rm -rf "$at" "$at.img"; done
    rm -rf "$scratch" "$out"
}
trap cleanup EXIT
export HOME="$scratch" XDG_DATA_HOME="$scratch/share" LC_ALL=C

q() { printf '%q' "$1"; }
fresh_out="rm -rf $(q "$out") && mkdir -p $(q "$out")"
split_cmd="$(q "$cli") split $(q "$big") 3 00 $(q "$out") --replace"
cp_cmd="cp $(q "$big") $(q "$out/copy")"
mp3splt_cmd="mp3splt -Q -d $(q "$out") -o @n $(q "$big") 0.0 3.0 EOF"
parts_cmd="$(q "$cli") parts --count 99 $(q "$big") $(q "$out") --replace"
# Tone under noise has no silence: the command exits with 1.
silences_cmd="$(q "$cli") silences $(q "$hour")"
mpg123_cmd="mpg123 -q -t $(q "$hour")"

# One checked run first: the split must complete and its outputs must cover the source.
eval "$fresh_out"
cat "$big" >/dev/null
"$cli" split "$big" 3 00 "$out" --replace
written=$(($(stat -c %s "$out/big1.mp3") + $(stat -c %s "$out/big2.mp3")))
echo "Outputs: $written bytes (source $size)"

eval "$fresh_out"
"$cli" parts --count 99 "$big" "$out" --replace >/dev/null
parts=("$out"/big[0-9][0-9].mp3)
written=0
for part in "${parts[@]}"; do written=$((written + $(stat -c %s "$part"))); done
echo "Parts: ${#parts[@]} files of $written bytes"
((${#parts[@]} == 99)) || { echo "parts made ${#parts[@]} files, not 99" >&2; exit 1; }

cat "$hour" >/dev/null
status=0
"$cli" silences "$hour" || status=$?
((status == 1)) || { echo "silences found some or failed (exit $status)" >&2; exit 1; }

eval "$fresh_out"
peak_kib=$(/usr/bin/time -f %M "$cli" split "$big" 3 00 "$out" --replace 2>&1 >/dev/null |
    tail -n 1)
eval "$fresh_out"
parts_peak_kib=$(/usr/bin/time -f %M "$cli" parts --count 99 "$big" "$out" --replace 2>&1 \
    >/dev/null | tail -n 1)

# The median seconds of N runs of each command, in order: neither the luckiest run nor
# the most disturbed one.
median_times() {
    local csv="$scratch/times.csv"
    hyperfine --style none --warmup 2 --runs "$runs" --export-csv "$csv" "$@" >/dev/null
    awk -F, 'NR > 1 { print $4 }' "$csv"
}

echo "Load average before timing: $(cut -d' ' -f1-3 /proc/loadavg)"
# Start-up alone: the usage message, which exits with 2.
mapfile -t start_times < <(runs=300 median_times -N -i "$(q "$cli")" "cat /dev/null")
mapfile -t info_times < <(median_times "$(q "$cli") info $(q "$big")" "cat $(q "$big") >/dev/null")
mapfile -t split_times < <(median_times --prepare "$fresh_out" "$split_cmd" "$cp_cmd" \
    "$mp3splt_cmd" "$parts_cmd")
# Each run decodes the hour: a few suffice.
mapfile -t silences_times < <(runs=5 median_times -i "$silences_cmd" "$mpg123_cmd")

verdict() { awk -v r="$1" -v g="$2" 'BEGIN { print (r <= g ? "goal met" : "goal missed") }'; }
row() {
    local ratio
    ratio=$(awk -v a="$2" -v b="$3" 'BEGIN { printf "%.2f", a / b }')
    printf '%-34s %10.4f s %10.4f s %8s %10s   %s\n' "$1" "$2" "$3" "$ratio" "<= $4" \
        "$(verdict "$ratio" "$4")"
}

echo
printf '%-34s %12s %12s %8s %10s   %s\n' measure quorvel baseline ratio goal result
row "start (no arguments) vs cat /dev/null" "${start_times[0]}" "${start_times[1]}" 2.0
row "info vs cat" "${info_times[0]}" "${info_times[1]}" 1.0
# The command analyses the whole source before it splits, as the window does when the
# file is chosen: it is held against reading the file once and copying it once.
cat_cp=$(awk -v c="${info_times[1]}" -v p="${split_times[1]}" 'BEGIN { print c + p }')
row "split vs cat + cp" "${split_times[0]}" "$cat_cp" 1.0
row "split vs mp3splt 0.0 3.0 EOF" "${split_times[0]}" "${split_times[2]}" 1.0
# 99 parts: one walk finds every cut, and the parts are copied as the two of a split are.
row "parts --count 99 vs cat + cp" "${split_times[3]}" "$cat_cp" 1.0
# The two halves of the hour decoded at once, on two cores, against one decoding.
row "silences vs mpg123 -q -t" "${silences_times[0]}" "${silences_times[1]}" 0.6
for measured in "split $peak_kib" "parts $parts_peak_kib"; do
    read -r what kib <<<"$measured"
    mib=$(awk -v k="$kib" 'BEGIN { printf "%.1f", k / 1024 }')
    printf '%-34s %10s MiB %12s %8s %10s   %s\n' "peak RSS of $what" "$mib" - - "<= 64 MiB" \
        "$(verdict "$kib" 65536)"
done
# The waveform window, with the program built beside the companion: the overview that
# follows the analysis (the frames' levels the scan records, and the whole file drawn
# from them) and a minute decoded and drawn at full zoom.
waveform_bench="$(dirname "$cli")/quorvel-waveform-bench"
if [[ -x "$waveform_bench" ]]; then
    read -r scan_ms levels_ms overview_ms span_ms < <(QT_QPA_PLATFORM=offscreen \
        "$waveform_bench" "$big" 2>/dev/null)
    overview_extra=$(awk -v s="$scan_ms" -v l="$levels_ms" -v o="$overview_ms" \
        'BEGIN { printf "%.1f", l - s + o }')
    for measured in "overview after the analysis:$overview_extra:100" \
        "60 s at full zoom, decoded, drawn:$span_ms:200"; do
        IFS=: read -r what ms goal <<<"$measured"
        printf '%-34s %10s ms %11s %8s %10s   %s\n' "$what" "$ms" - - "<= $goal ms" \
            "$(verdict "$ms" "$goal")"
    done
fi

# The split on file systems of their own, the source copied onto each first: XFS with
# reflink and btrfs, where the parts share the source's blocks (the new disk space the
# split takes, after sync, and the blocks filefrag finds in shared extents), against info
# on the same file; ext4 and tmpfs, where they are copied, against cat + cp there. Each is
# made in an image on a loop device (tmpfs in memory), which takes root and its tools.
echo
printf '%-34s %12s %12s %8s %10s   %s\n' "on its own file system" quorvel baseline ratio goal result
# Free bytes on the file system at a folder, once what was written is on the disk.
free_bytes() {
    sync -f "$1"
    stat -f -c '%a %S' "$1" | awk '{ printf "%d", $1 * $2 }'
}
# "B of T blocks shared" for a file, from filefrag's extents: the flags come last.
shared_blocks() {
    filefrag -v "$1" | awk -F: '/^ *[0-9]+:/ { n = $4 + 0; all += n; if ($NF ~ /shared/) shared += n }
        END { printf "%d of %d blocks shared", shared, all }'
}
own_file_system() {
    local type=$1 make=$2 at="$work/$1"
    if (($(id -u) != 0)); then
        echo "$type: left out, mounting a file system of its own takes root"
        return
    fi
    if [[ $type != tmpfs ]] && ! command -v "${make%% *}" >/dev/null; then
        echo "$type: left out, ${make%% *} is not installed"
        return
    fi
    mkdir -p "$at"
    if [[ $type == tmpfs ]]; then
        mount -t tmpfs -o size=4g tmpfs "$at"
    else
        rm -f "$at.img"
        truncate -s 4G "$at.img"
        $make "$at.img" >/dev/null
        mount -o loop "$at.img" "$at"
    fi
    mounted+=("$at")
    cp "$big" "$at/big.mp3"
    local source="$at/big.mp3" parts="$at/out"
    mkdir -p "$parts"
    local fresh="rm -rf $(q "$parts") && mkdir -p $(q "$parts")"
    local split="$(q "$cli") split $(q "$source") 3 00 $(q "$parts")"
    local info="$(q "$cli") info $(q "$source")"
    local cat="cat $(q "$source") >/dev/null" cp="cp $(q "$source") $(q "$parts/copy")"
    if [[ $make == mkfs.xfs* || $make == mkfs.btrfs* ]]; then
        local before after
        before=$(free_bytes "$at")
        "$cli" split "$source" 3 00 "$parts" >/dev/null
        after=$(free_bytes "$at")
        local used=$((before - after))
        printf '%-34s %8d bytes %12s %8s %10s   %s\n' "$type: new disk space of a split" \
            "$used" - - "<= 1 MiB" "$(verdict "$used" $((1 << 20)))"
        echo "$type: filefrag: big1.mp3 $(shared_blocks "$parts/big1.mp3"), big2.mp3" \
            "$(shared_blocks "$parts/big2.mp3")"
        local times
        mapfile -t times < <(median_times --prepare "$fresh" "$split" "$info")
        row "$type: split vs info" "${times[0]}" "${times[1]}" 1.2
    else
        local times
        mapfile -t times < <(median_times --prepare "$fresh" "$split" "$cat" "$cp")
        row "$type: split vs cat + cp" "${times[0]}" \
            "$(awk -v c="${times[1]}" -v p="${times[2]}" 'BEGIN { print c + p }')" 1.0
    fi
}
own_file_system xfs "mkfs.xfs -q -m reflink=1"
own_file_system btrfs "mkfs.btrfs -q"
own_file_system ext4 "mkfs.ext4 -q"
own_file_system tmpfs ""
