#!/usr/bin/env bash
# Measures quorvel-cli on ~1 GB MP3s of real encoder frames against plain file tools and
# mp3splt, and its silences and loudness on an hour of frames against mpg123's decoding,
# with the files in the page cache, and prints a table of times and ratios, each against its goal, with
# the load average beside them: info on five layouts (a length header, none, small frames,
# a variable bit rate, MPEG 2.5), the split and 99 parts (of MPEG 1 and of MPEG 2), the
# silences of MPEG 1, 2 and 2.5, the loudness of MPEG 1, the waveform's overview and the peak memory of every command on 1 GB and on 24 hours;
# then, as root, the split on XFS and btrfs, where the parts share the source's blocks (the
# new disk space too), and on ext4 and tmpfs, each a file system of its own.
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
raw="$work/segment.raw"
# 47 s of stereo tone (440 Hz left, 660 Hz right) under noise, 16-bit at 44.1 kHz. The odd
# length keeps the joins between copies away from whole minutes, so that a split at 3:00
# lands on a frame that borrows main data.
make_raw() {
    [[ -f "$raw" ]] && return
    perl -e '
        srand(1);
        my $two_pi = 8 * atan2(1, 1);
        for my $i (0 .. 47 * 44100 - 1) {
            my $t = $i / 44100;
            print pack("s<s<",
                8000 * sin($two_pi * 440 * $t) + 6000 * (rand() - 0.5),
                8000 * sin($two_pi * 660 * $t) + 6000 * (rand() - 0.5));
        }' >"$raw.tmp"
    mv "$raw.tmp" "$raw"
}
# A segment encoded by lame with OPTIONS; -t leaves out the Info frame so that
# concatenated copies form one plain stream of frames, the bit reservoir on throughout.
make_segment() {
    local file=$1
    shift
    [[ -f "$file" ]] && return
    make_raw
    lame --quiet -t -r -s 44.1 --bitwidth 16 --signed --little-endian "$@" "$raw" \
        "$file.tmp" 2>/dev/null
    mv "$file.tmp" "$file"
}
# FILE, made of copies of SEGMENT one after another, of at least BYTES.
make_copies() {
    local file=$1 segment=$2 bytes=$3
    [[ -f "$file" ]] && (($(stat -c %s "$file") >= bytes)) && return
    echo "Building $file ..."
    local segment_bytes copies
    segment_bytes=$(stat -c %s "$segment")
    copies=$(((bytes + segment_bytes - 1) / segment_bytes))
    for ((i = 0; i < copies; i++)); do cat "$segment"; done >"$file.tmp"
    mv "$file.tmp" "$file"
}
make_segment "$segment" -m j -b 128 --cbr
make_segment "$work/small.seg" --resample 32 -b 96 --cbr
make_segment "$work/vbr.seg" -V 2
make_segment "$work/mpeg2.seg" --resample 22.05 -b 64 --cbr
make_segment "$work/mpeg25.seg" --resample 8 -b 32 --cbr
# The most frames a day holds: 48 kHz, at the smallest bit rate.
make_segment "$work/day.seg" --resample 48 -b 32 --cbr
make_copies "$big" "$segment" "$target_bytes"
make_copies "$work/small.mp3" "$work/small.seg" "$target_bytes"
make_copies "$work/vbr.mp3" "$work/vbr.seg" "$target_bytes"
make_copies "$work/m25.mp3" "$work/mpeg25.seg" "$target_bytes"
make_copies "$work/m2.mp3" "$work/mpeg2.seg" "$target_bytes"
# An hour at 128 kbit/s, and at 64 and 32 kbit/s in MPEG 2 and 2.5, for the silences.
make_copies "$hour" "$segment" $((128000 / 8 * 3600))
make_copies "$work/hour2.mp3" "$work/mpeg2.seg" $((64000 / 8 * 3600))
make_copies "$work/hour25.mp3" "$work/mpeg25.seg" $((32000 / 8 * 3600))
make_copies "$work/day.mp3" "$work/day.seg" $((32000 / 8 * 86400))
# The same frames as big.mp3 after a length header (frames, bytes, seek table, LAME tag):
# the second part of a split right after the start, which carries a header of its own.
header="$work/header.mp3"
if [[ ! -f "$header" ]]; then
    echo "Building $header ..."
    rm -rf "$work/header.out" && mkdir -p "$work/header.out"
    "$cli" split -q "$big" 0 01 "$work/header.out" >/dev/null
    mv "$work/header.out/big2.mp3" "$header"
    rm -rf "$work/header.out"
fi
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
# Each run starts with what the one before wrote on the disk: otherwise the runs that come
# later wait for the writeback of those before them.
fresh_out="rm -rf $(q "$out") && mkdir -p $(q "$out") && sync -f $(q "$work")"
split_cmd="$(q "$cli") split $(q "$big") 3 00 $(q "$out") --replace"
cp_cmd="cp $(q "$big") $(q "$out/copy")"
mp3splt_cmd="mp3splt -Q -d $(q "$out") -o @n $(q "$big") 0.0 3.0 EOF"
parts_cmd="$(q "$cli") parts --count 99 $(q "$big") $(q "$out") --replace"
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

# Tone under noise has no silence: the command exits with 1.
for file in "$hour" "$work/hour2.mp3" "$work/hour25.mp3"; do
    cat "$file" >/dev/null
    status=0
    "$cli" silences "$file" || status=$?
    ((status == 1)) || { echo "silences found some or failed (exit $status)" >&2; exit 1; }
done

# The peak memory of each command, in KiB, on a file; outputs go to a fresh folder. The
# silences of tone under noise exit with 1.
peak_kib() {
    eval "$fresh_out"
    { /usr/bin/time -f %M "$cli" "$@" 2>&1 >/dev/null || true; } | tail -n 1
}
peaks=()
for file in "$big" "$work/day.mp3"; do
    name=$(basename "$file")
    peaks+=("info on $name:$(peak_kib info "$file")")
    peaks+=("split on $name:$(peak_kib split "$file" 3 00 "$out" --replace)")
    peaks+=("parts --count 99 on $name:$(peak_kib parts --count 99 "$file" "$out" --replace)")
    peaks+=("silences on $name:$(peak_kib silences "$file")")
done
# The loudness decodes every sample: the day's half a minute is enough to hold a day's blocks.
peaks+=("loudness on day.mp3:$(peak_kib loudness "$work/day.mp3")")

# The median seconds of N runs of each command, in order: neither the luckiest run nor
# the most disturbed one.
median_times() {
    local csv="$scratch/times.csv"
    hyperfine --style none --warmup 2 --runs "$runs" --export-csv "$csv" "$@" >/dev/null
    awk -F, 'NR > 1 { print $4 }' "$csv"
}

verdict() { awk -v r="$1" -v g="$2" 'BEGIN { print (r <= g ? "goal met" : "goal missed") }'; }
# A row: what, the two times, their ratio against the goal, and the load average then.
row() {
    local ratio
    ratio=$(awk -v a="$2" -v b="$3" 'BEGIN { printf "%.2f", a / b }')
    printf '%-38s %9.4f s %9.4f s %7s %8s   %-11s  load %s\n' "$1" "$2" "$3" "$ratio" \
        "<= $4" "$(verdict "$ratio" "$4")" "$(cut -d' ' -f1 /proc/loadavg)"
}
header_row() {
    printf '%-38s %11s %11s %7s %8s   %s\n' "$1" quorvel baseline ratio goal result
}

echo
header_row measure
# Start-up alone: the usage message, which exits with 2.
mapfile -t times < <(runs=300 median_times -N -i "$(q "$cli")" "cat /dev/null")
row "start (no arguments) vs cat /dev/null" "${times[0]}" "${times[1]}" 2.0
# The analysis reads every frame's header, wherever the frames lie: against reading the
# file once, for each layout.
for layout in "header.mp3:with a length header" "big.mp3:headerless CBR" \
    "small.mp3:32 kHz 96 kbit/s" "vbr.mp3:VBR" "m25.mp3:MPEG 2.5 8 kHz"; do
    IFS=: read -r name what <<<"$layout"
    file="$work/$name"
    cat "$file" >/dev/null
    mapfile -t times < <(median_times "$(q "$cli") info $(q "$file")" \
        "cat $(q "$file") >/dev/null")
    row "info vs cat, $what" "${times[0]}" "${times[1]}" 1.0
done
mapfile -t times < <(median_times --prepare "$fresh_out" "$split_cmd" "$cp_cmd" \
    "$mp3splt_cmd" "$parts_cmd" "cat $(q "$big") >/dev/null")
# The command analyses the whole source before it splits, as the window does when the
# file is chosen: it is held against reading the file once and copying it once.
cat_cp=$(awk -v c="${times[4]}" -v p="${times[1]}" 'BEGIN { print c + p }')
row "split vs cat + cp" "${times[0]}" "$cat_cp" 0.8
row "split vs mp3splt 0.0 3.0 EOF" "${times[0]}" "${times[2]}" 1.0
# 99 parts: the analysis's frames give every cut, the parts are copied as the two of a
# split are, and each seam is checked.
row "parts --count 99 vs cat + cp" "${times[3]}" "$cat_cp" 1.0
# The same of MPEG 2, whose frames hold one granule: the seam check must not decode a part
# or the source from its start to reach a cut. At the sample: these frames borrow from one
# another throughout, and the frame rule finds a safe one only where the copies join.
m2="$work/m2.mp3"
cat "$m2" >/dev/null
mapfile -t times < <(median_times --prepare "$fresh_out" \
    "$(q "$cli") parts --exact --count 99 $(q "$m2") $(q "$out") --replace" \
    "cat $(q "$m2") >/dev/null" \
    "cp $(q "$m2") $(q "$out/copy")")
row "parts --count 99 vs cat + cp, MPEG 2" "${times[0]}" \
    "$(awk -v c="${times[1]}" -v p="${times[2]}" 'BEGIN { print c + p }')" 1.0
# Each run decodes the hour: a few suffice.
for layout in "hour.mp3:MPEG 1" "hour2.mp3:MPEG 2" "hour25.mp3:MPEG 2.5"; do
    IFS=: read -r name what <<<"$layout"
    file="$work/$name"
    mapfile -t times < <(runs=5 median_times -i "$(q "$cli") silences $(q "$file")" \
        "mpg123 -q -t $(q "$file")")
    row "silences vs mpg123 -q -t, $what" "${times[0]}" "${times[1]}" 0.5
done
# The loudness decodes and measures every sample of the hour, the sample peak beside it,
# its two halves at once on two cores.
mapfile -t times < <(runs=5 median_times "$(q "$cli") loudness -q $(q "$hour")" \
    "mpg123 -q -t $(q "$hour")")
row "loudness vs mpg123 -q -t, MPEG 1" "${times[0]}" "${times[1]}" 0.6
for measured in "${peaks[@]}"; do
    IFS=: read -r what kib <<<"$measured"
    mib=$(awk -v k="$kib" 'BEGIN { printf "%.1f", k / 1024 }')
    printf '%-38s %7s MiB %11s %7s %8s   %s\n' "peak RSS of $what" "$mib" - - "<= 64 MiB" \
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
        printf '%-38s %8s ms %11s %7s %8s   %s\n' "$what" "$ms" - - "<= $goal ms" \
            "$(verdict "$ms" "$goal")"
    done
fi

# The split on file systems of their own, the source copied onto each first: XFS with
# reflink and btrfs, where the parts share the source's blocks (the new disk space the
# split takes, after sync, and the blocks filefrag finds in shared extents), against info
# on the same file; ext4 and tmpfs, where they are copied, against cat + cp there. Each is
# made in an image on a loop device (tmpfs in memory), which takes root and its tools.
echo
header_row "on its own file system"
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
    local fresh="rm -rf $(q "$parts") && mkdir -p $(q "$parts") && sync -f $(q "$at")"
    local split="$(q "$cli") split $(q "$source") 3 00 $(q "$parts")"
    local info="$(q "$cli") info $(q "$source")"
    local cat="cat $(q "$source") >/dev/null" cp="cp $(q "$source") $(q "$parts/copy")"
    if [[ $make == mkfs.xfs* || $make == mkfs.btrfs* ]]; then
        local before after
        before=$(free_bytes "$at")
        "$cli" split "$source" 3 00 "$parts" >/dev/null
        after=$(free_bytes "$at")
        local used=$((before - after))
        printf '%-38s %7d bytes %11s %7s %8s   %s\n' "$type: new disk space of a split" \
            "$used" - - "<= 1 MiB" "$(verdict "$used" $((1 << 20)))"
        echo "$type: filefrag: big1.mp3 $(shared_blocks "$parts/big1.mp3"), big2.mp3" \
            "$(shared_blocks "$parts/big2.mp3")"
        local times
        mapfile -t times < <(median_times --prepare "$fresh" "$split" "$info")
        row "$type: split vs info" "${times[0]}" "${times[1]}" 1.1
    else
        local times
        mapfile -t times < <(median_times --prepare "$fresh" "$split" "$cat" "$cp")
        row "$type: split vs cat + cp" "${times[0]}" \
            "$(awk -v c="${times[1]}" -v p="${times[2]}" 'BEGIN { print c + p }')" 0.8
    fi
}
own_file_system xfs "mkfs.xfs -q -m reflink=1"
own_file_system btrfs "mkfs.btrfs -q"
own_file_system ext4 "mkfs.ext4 -q"
own_file_system tmpfs ""
