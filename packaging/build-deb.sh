#!/usr/bin/env bash
# Builds the Debian package in the build folder given as $1 (made if missing) as Debian
# builds its packages: with the hardening flags of dpkg-buildflags (fortification raised
# to level 3), and reproducibly, so that one commit gives the same package in any folder.
# Further arguments are CMake options. Prints the package file's path last.
set -euo pipefail
build=$(realpath -m "${1:?usage: build-deb.sh BUILD-FOLDER [CMAKE-OPTION...]}")
shift
source=$(realpath "$(dirname "$0")/..")
cd "$source"

# Every date the build writes (the archive's, the resources') is the last commit's unless
# SOURCE_DATE_EPOCH is given, and folders get the same permissions whoever builds.
umask 022
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export SOURCE_DATE_EPOCH
# hardening=+all adds BIND_NOW to Debian's defaults. The flags map the folder they are
# asked for in, the sources, to "."; the build folder gets a fixed name as well (mapped
# after, so it wins when it lies within the sources), so that neither path is kept in
# the binaries nor changes their build ids.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
# Debian 12's dpkg-buildflags fortifies at level 2 only, which checks a copy only against
# a size known at build time. Level 3 (GCC 12 with glibc 2.34 or later) also checks it
# against a size known only as the program runs, such as that of a block from malloc;
# where dpkg-buildflags leaves fortification out (DEB_BUILD_OPTIONS=noopt), so does this.
CPPFLAGS=${CPPFLAGS/-D_FORTIFY_SOURCE=2/-D_FORTIFY_SOURCE=3}
# CMake takes no CPPFLAGS of its own.
flags="$CPPFLAGS $CXXFLAGS -ffile-prefix-map=$build=build"
cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=OFF \
    "-DCMAKE_CXX_FLAGS=$flags" "-DCMAKE_EXE_LINKER_FLAGS=$LDFLAGS" \
    "-DCMAKE_SHARED_LINKER_FLAGS=$LDFLAGS" "-DCMAKE_MODULE_LINKER_FLAGS=$LDFLAGS" "$@" >&2
cmake --build "$build" >&2
rm -f "$build"/quorvel_*.deb
(cd "$build" && cpack -G DEB) >&2
ls "$build"/quorvel_*.deb
