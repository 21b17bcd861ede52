#!/usr/bin/env bash
# Makes the pictures the AppStream metadata shows, from the real windows, in English and
# in German: the main window after a split in two, the waveform, and the parts window
# with a file cut into equal parts. Runs the program already built (build/quorvel unless
# an argument names another) on a virtual X display with a window manager, keys typed as
# a person would, and writes main.png, waveform.png, parts.png and their -de.png beside
# this script.
#   packaging/screenshots/make.sh [PROGRAM]
set -euo pipefail
here=$(realpath "$(dirname "$0")")
cd "$here/../.."
program=$(realpath "${1:-build/quorvel}")
[ -x "$program" ] || { echo "$program is not built" >&2; exit 1; }
scripts/need-packages.sh xvfb openbox imagemagick xdotool sox lame locales

# A folder of a fixed name, since the windows show its path.
work=/tmp/quorvel-screenshots
rm -rf "$work"
mkdir -p "$work"
trap 'rm -rf "$work"' EXIT
# Four minutes of swelling chords with a second of silence between them, so that the
# waveform has shape, silences to shade and a cut at 3:00 to show.
segments=()
for note in C3 F3 G3 A3 E3 D3 C3 G3 A3 F3 G3 C3; do
    sox -n -r 44100 -c 2 "$work/$note-${#segments[@]}.wav" synth 19 sawtooth "$note" \
        sine "%7" lowpass 1200 tremolo 0.2 70 fade 1 19 3 gain -6
    segments+=("$work/$note-${#segments[@]}.wav")
    sox -n -r 44100 -c 2 "$work/gap-${#segments[@]}.wav" trim 0 1
    segments+=("$work/gap-${#segments[@]}.wav")
done
sox "${segments[@]}" "$work/song.wav"
mkdir "$work/Music"
lame --quiet -V 2 "$work/song.wav" "$work/Music/concert.mp3"

# shot LANGUAGE SUFFIX KEYS...: the three pictures in one language, the menus and buttons
# reached by that language's access keys (view, waveform, file, parts, equal parts, split).
shot() {
    local language=$1 suffix=$2
    export QUORVEL_SHOT_KEYS="$3 $4 $5 $6 $7 $8"
    rm -rf "$work/home" "$work/Music/concert"[0-9]*.mp3
    mkdir -p "$work/home"
    (cd "$work/Music" && HOME=$work/home LANG=$language LC_ALL=$language LANGUAGE= \
        QUORVEL_SHOT_PROGRAM=$program QUORVEL_SHOT_OUT=$here QUORVEL_SHOT_SUFFIX=$suffix \
        xvfb-run -a -s "-screen 0 1280x900x24 -dpi 96" bash -c '
        set -euo pipefail
        read -r view waveform file parts equal split <<<"$QUORVEL_SHOT_KEYS"
        openbox >/dev/null 2>&1 &
        sleep 1
        QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$HOME "$QUORVEL_SHOT_PROGRAM" 2>/dev/null &
        program=$!
        trap "kill $program 2>/dev/null || true" EXIT
        main=$(xdotool search --sync --onlyvisible --name "^Quorvel V" | head -n 1)
        xdotool windowmove --sync "$main" 0 0
        xdotool windowfocus --sync "$main"
        sleep 0.5
        xdotool type --delay 5 "$PWD/concert.mp3"
        xdotool key Return
        sleep 2
        xdotool key "alt+$split"
        sleep 3
        import -window "$main" "$QUORVEL_SHOT_OUT/main$QUORVEL_SHOT_SUFFIX.png"
        xdotool key "alt+$view" "$waveform"
        wave=$(xdotool search --sync --onlyvisible --name "concert\.mp3" | head -n 1)
        sleep 6
        import -window "$wave" "$QUORVEL_SHOT_OUT/waveform$QUORVEL_SHOT_SUFFIX.png"
        xdotool windowclose "$wave"
        xdotool windowfocus --sync "$main"
        sleep 0.5
        xdotool key "alt+$file" "$parts"
        sleep 2
        dialog=$(xdotool getactivewindow)
        xdotool key "alt+$equal"
        sleep 1
        xdotool type 4
        xdotool key Return
        sleep 1
        import -window "$dialog" "$QUORVEL_SHOT_OUT/parts$QUORVEL_SHOT_SUFFIX.png"
    ')
}
shot C.UTF-8 "" v w f p q s
shot de_DE.UTF-8 -de a w d t g t
# Without the time of their making, so that the same windows give the same files.
for png in "$here"/*.png; do
    mogrify -strip "$png"
done
ls "$here"/*.png
