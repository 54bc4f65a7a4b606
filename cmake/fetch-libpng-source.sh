#!/usr/bin/env bash
# Fetches Debian's libpng1.6 source package and unpacks it into DEST (the
# mingw build compiles its library files; Debian ships no mingw libpng).
# Adds a temporary deb-src entry mirroring the system's debian.sources and
# removes it again. Needs root (or sudo) for apt-get update. Idempotent:
# does nothing when DEST already holds png.c.
set -euo pipefail

dest=${1:?usage: fetch-libpng-source.sh DEST}
if [ -f "$dest/png.c" ]; then exit 0; fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

src_list=/etc/apt/sources.list.d/debian.sources
tmp_list=/etc/apt/sources.list.d/mirel-libpng-src.sources
[ -f "$src_list" ] || { echo "fetch-libpng: $src_list not found" >&2; exit 1; }

cleanup() { $SUDO rm -f "$tmp_list"; }
trap cleanup EXIT
sed 's/^Types:.*/Types: deb-src/' "$src_list" | $SUDO tee "$tmp_list" >/dev/null

# Another apt run may hold the lists lock for a while: retry.
for attempt in 1 2 3 4 5 6; do
  if $SUDO apt-get update -qq -o DPkg::Lock::Timeout=120 >/dev/null 2>&1; then break; fi
  [ "$attempt" -eq 6 ] && { echo "fetch-libpng: apt-get update failed" >&2; exit 1; }
  sleep 10
done

work=$(mktemp -d)
trap 'cleanup; rm -rf "$work"' EXIT
cd "$work"
# The newest version may not be on the mirror yet (404): fall back to known ones.
ok=""
for version in libpng1.6 libpng1.6=1.6.39-2+deb12u5 libpng1.6=1.6.39-2+deb12u4 libpng1.6=1.6.39-2; do
  if apt-get source -qq "$version" >/dev/null 2>&1; then ok=$version; break; fi
  rm -rf "$work"/*
done
[ -n "$ok" ] || { echo "fetch-libpng: apt-get source libpng1.6 failed" >&2; exit 1; }

dir=$(find "$work" -maxdepth 1 -type d -name 'libpng1.6-*' | head -n 1)
[ -f "$dir/png.c" ] || { echo "fetch-libpng: unpacked source has no png.c" >&2; exit 1; }
mkdir -p "$(dirname "$dest")"
rm -rf "$dest.tmp"
cp -a "$dir" "$dest.tmp"
mv "$dest.tmp" "$dest"
echo "fetch-libpng: $ok unpacked into $dest"
