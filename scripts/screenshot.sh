#!/usr/bin/env bash
# Saves a picture of the main window after it has analysed an MP3, to look at the layout.
# Builds nothing: runs the program already built (build/quorvel unless a third argument
# names another) on a virtual X display, types the MP3's path into the source box and
# presses Enter as a person would.
#   scripts/screenshot.sh SONG.mp3 WINDOW.png [PROGRAM]
set -euo pipefail
if (($# < 2)); then
    echo "usage: $0 MP3 PNG [PROGRAM]" >&2
    exit 2
fi
mp3=$(realpath "$1")
png=$(realpath "$2")
cd "$(dirname "$0")/.."
program=$(realpath "${3:-build/quorvel}")
[ -x "$program" ] || { echo "$program is not built" >&2; exit 1; }

scripts/need-packages.sh xvfb imagemagick xdotool

export QUORVEL_SHOT_PROGRAM=$program QUORVEL_SHOT_MP3=$mp3 QUORVEL_SHOT_PNG=$png
xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96" bash -c '
    set -euo pipefail
    QT_QPA_PLATFORM=xcb "$QUORVEL_SHOT_PROGRAM" &
    program=$!
    trap "kill $program 2>/dev/null || true" EXIT
    window=$(xdotool search --sync --onlyvisible --name "^Quorvel V1\.01" | head -n 1)
    xdotool windowfocus --sync "$window"
    sleep 0.5
    xdotool type --delay 5 "$QUORVEL_SHOT_MP3"
    xdotool key Return
    sleep 2
    import -window "$window" "$QUORVEL_SHOT_PNG"
'
echo "saved $png"
