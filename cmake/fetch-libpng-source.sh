#!/usr/bin/env bash
# Fetches Debian's libpng1.6 source package and unpacks it into DEST (the
# mingw build compiles its library files; Debian ships no mingw libpng).
#
# Adds a temporary deb-src entry mirroring the system's Debian sources
# (debian.sources, or the one-line sources.list), runs apt-get update and
# apt-get source, and removes the entry again on every exit: success, failure
# or interruption. Needs root (or sudo) for the entry and apt-get update, and
# dpkg-source (package dpkg-dev) to unpack. Idempotent: does nothing when DEST
# already holds png.c; a DEST left incomplete by an earlier run is replaced.
set -euo pipefail

dest=${1:?usage: fetch-libpng-source.sh DEST}
if [ -f "$dest/png.c" ]; then exit 0; fi

fail() { echo "fetch-libpng: $*" >&2; exit 1; }

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null 2>&1 || fail "needs root or sudo to add a deb-src entry"
  SUDO="sudo"
fi
command -v apt-get >/dev/null 2>&1 || fail "apt-get not found (a Debian system is needed)"
command -v dpkg-source >/dev/null 2>&1 || fail "dpkg-source not found (install dpkg-dev)"

list_dir=/etc/apt/sources.list.d
# One name per run, so that concurrent runs never remove each other's entry.
tmp_list=""
work=""
staging=""
cleanup() {
  if [ -n "$tmp_list" ]; then $SUDO rm -f "$tmp_list" || true; fi
  if [ -n "$work" ]; then rm -rf "$work" || true; fi
  if [ -n "$staging" ]; then rm -rf "$staging" || true; fi
}
trap cleanup EXIT
# An interrupted run still ends through the EXIT trap.
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

work=$(mktemp -d)
if [ -f "$list_dir/debian.sources" ]; then
  # deb822 format: the same stanzas (URIs, suites, components, keys) as sources.
  tmp_list="$list_dir/mirel-libpng-src-$$.sources"
  sed 's/^Types:.*/Types: deb-src/' "$list_dir/debian.sources" >"$work/entry"
elif [ -f /etc/apt/sources.list ] && grep -Eq '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list; then
  # One-line format: every binary line again as a source line.
  tmp_list="$list_dir/mirel-libpng-src-$$.list"
  sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list >"$work/entry"
else
  fail "no Debian apt sources found ($list_dir/debian.sources or /etc/apt/sources.list)"
fi
$SUDO mkdir -p "$list_dir"
$SUDO cp "$work/entry" "$tmp_list"
$SUDO chmod 644 "$tmp_list"

# Another apt run may hold the lists lock for a while: retry. apt-get update
# also fails when only one of several mirrors is unreachable; the source may
# still be found through the others, so the last failure is only reported.
for attempt in 1 2 3 4 5 6; do
  if $SUDO apt-get update -q -o DPkg::Lock::Timeout=120 >"$work/update.log" 2>&1; then break; fi
  if [ "$attempt" -eq 6 ]; then
    tail -n 20 "$work/update.log" >&2
    echo "fetch-libpng: apt-get update failed; trying the indexes it did fetch" >&2
    break
  fi
  sleep 10
done

# The newest version may be listed but not on the mirror yet (404): try it
# first, then every version the indexes list (newest first), then known ones.
listed=$(apt-cache showsrc libpng1.6 2>/dev/null | sed -n 's/^Version: //p' | sort -u -r -V || true)
candidates=(libpng1.6)
for version in $listed 1.6.39-2+deb12u5 1.6.39-2+deb12u4 1.6.39-2+deb12u3 1.6.39-2; do
  case " ${candidates[*]} " in *" libpng1.6=$version "*) ;; *) candidates+=("libpng1.6=$version") ;; esac
done

mkdir "$work/src"
ok=""
for candidate in "${candidates[@]}"; do
  if (cd "$work/src" && apt-get source -q "$candidate") >"$work/source.log" 2>&1; then
    ok=$candidate
    break
  fi
  rm -rf "${work:?}/src" && mkdir "$work/src"
done
if [ -z "$ok" ]; then
  tail -n 20 "$work/source.log" >&2
  fail "apt-get source libpng1.6 failed for every version tried"
fi

dir=$(find "$work/src" -mindepth 1 -maxdepth 1 -type d -name 'libpng1.6-*' | head -n 1)
if [ -z "$dir" ] || [ ! -f "$dir/png.c" ]; then fail "unpacked source has no png.c"; fi

# Copy next to DEST and move into place, so DEST never holds a partial tree.
mkdir -p "$(dirname "$dest")"
staging="$dest.tmp.$$"
rm -rf "$staging"
cp -a "$dir" "$staging"
rm -rf "$dest"  # an incomplete tree from an earlier run (no png.c)
mv "$staging" "$dest"
staging=""
echo "fetch-libpng: $ok unpacked into $dest"
