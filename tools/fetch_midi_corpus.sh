#!/usr/bin/env bash
# Fetches Standard MIDI Files written by other people from Debian packages into a folder (default
# build/midi-corpus), for the tests that read real files. The packages are downloaded, not installed, and
# their files are never committed. Does nothing when the folder already holds the files.
#   tools/fetch_midi_corpus.sh [folder]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
dest=${1:-$top/build/midi-corpus}
mkdir -p "$dest"
dest=$(cd "$dest" && pwd)

# package, then the folder inside it that holds the .mid files
packages=(
  "openttd-openmsx usr/share/games/openttd/baseset/openmsx"
  "planetblupi-music-midi usr/share/planetblupi/music"
  "freedink-data usr/share/games/dink/dink/Sound"
)

if [ -f "$dest/.complete" ]; then
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
for entry in "${packages[@]}"; do
  read -r pkg folder <<<"$entry"
  if ! apt-get download "$pkg" >/dev/null 2>&1; then
    # The package lists may be missing on a fresh machine.
    apt-get update -qq >/dev/null 2>&1 || true
    apt-get download "$pkg" >/dev/null
  fi
  mkdir -p "x-$pkg"
  dpkg-deb -x "$pkg"_*.deb "x-$pkg"
  mkdir -p "$dest/$pkg"
  find "x-$pkg/$folder" -maxdepth 1 -iname '*.mid' -exec cp {} "$dest/$pkg/" \;
done
count=$(find "$dest" -iname '*.mid' | wc -l)
echo "midi corpus: $count files in $dest"
touch "$dest/.complete"
