#!/usr/bin/env bash
# Installs what building and testing Quorvel needs on Debian (only what is missing),
# then configures and builds into build/. Arguments are CMake options, for example
# -DQUORVEL_WERROR=ON.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
    cmake ninja-build g++ pkg-config        # the build
    qt6-base-dev                            # the windows
    qt6-multimedia-dev                      # hearing a cut (QAudioSink, over PulseAudio)
    qt6-tools-dev qt6-l10n-tools            # the translations (qt_add_translations, lupdate)
    qt6-translations-l10n                   # Qt's own texts in the user's language
    libtag1-dev                             # ID3v2 tags
    libglib2.0-dev                          # the trash (GIO)
    libcue-dev                              # cue sheets
    libmpg123-dev                           # decoding, for the seam check
    nlohmann-json3-dev                      # quorvel-cli --json
    libgtest-dev                            # the tests
    lame mpg123                             # fixtures and decoding checks in the tests
    ffmpeg mp3val                           # what players and checkers make of the outputs
    python3-mutagen                         # ReplayGain tags as another tag reader reads them
    espeak-ng sox libsox-fmt-mp3            # speech with pauses, for the silences; MP3s sox encodes
    bindfs fuse3                            # a split onto a FUSE file system
    exfat-fuse exfatprogs                   # names exFAT takes for one, or not at all
    xfsprogs btrfs-progs                    # parts that share the source's blocks
    pulseaudio pulseaudio-utils             # a sound server to play a cut into and record
    locales                                 # the companion's output under a German locale
    clang libclang-rt-14-dev                # the fuzz target
)
scripts/need-packages.sh "${packages[@]}"
# The companion's tests hold its output under de_DE.UTF-8 against the C locale's.
if ! locale -a | grep -qx 'de_DE.utf8'; then
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build build
