#!/usr/bin/env bash
# Builds the Debian package and its debug symbols from debian/, as Debian builds them, in
# the folder given as $1 (made if missing): the sources as they stand in the work tree,
# committed or not, are copied to FOLDER/quorvel-VERSION and built there with
# dpkg-buildpackage, so that the work tree gets no build files. Further arguments go to
# dpkg-buildpackage (--build=binary where none are given). Prints the package file's
# path last.
# QUORVEL_WERROR=ON makes warnings errors there too.
set -euo pipefail
folder=$(realpath -m "${1:?usage: build-deb.sh FOLDER [DPKG-BUILDPACKAGE-OPTION...]}")
shift
source=$(realpath "$(dirname "$0")/..")
version=$(dpkg-parsechangelog -l "$source/debian/changelog" -S Version)
copy=$folder/quorvel-$version

rm -rf "$copy" "$folder"/quorvel_*
mkdir -p "$copy"
# The files git keeps or would keep, less those deleted: no build folder comes along.
cd "$source"
git ls-files -z --cached --others --exclude-standard --deduplicate |
    while IFS= read -r -d '' file; do
        if [ -e "$file" ] || [ -L "$file" ]; then printf '%s\0' "$file"; fi
    done | tar --null --files-from=- -cf - | tar -xf - -C "$copy"
# The binary packages alone unless the arguments ask for more (--build=full).
(($#)) || set -- --build=binary
(cd "$copy" && dpkg-buildpackage -us -uc -j"$(nproc)" "$@") >&2
ls "$folder"/quorvel_"${version}"_*.deb
