#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian 12 machine, only where it is missing,
# and fetches TinyXML's Debian source package into the given folder.
set -euo pipefail

deps_dir="${1:?usage: setup.sh <deps-dir>}"
packages=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
          wine wine64 cmake make googletest xvfb xauth dpkg-dev python3 imagemagick)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

ensure_deb_src() {
  if grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ || grep -qs '^deb-src' /etc/apt/sources.list; then
    return 1
  fi
  local src=/etc/apt/sources.list.d/debian.sources
  if [ -f "$src" ]; then
    # Same URIs and suites as the binary entries, for source packages.
    sed -e 's/^Types: deb$/Types: deb-src/' "$src" | "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/kelvara-src.sources >/dev/null
  else
    grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/kelvara-src.list >/dev/null
  fi
  return 0
}

need_update=0
[ ${#missing[@]} -gt 0 ] && need_update=1
tinyxml_dir="$deps_dir/tinyxml-src"
if [ ! -f "$tinyxml_dir/tinyxml.h" ]; then
  ensure_deb_src && need_update=1
  [ -d /var/lib/apt/lists ] && ! ls /var/lib/apt/lists/*Sources* >/dev/null 2>&1 && need_update=1
fi

if [ $need_update -eq 1 ]; then
  echo "== setup: apt-get update"
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "== setup: installing ${missing[*]}"
  "${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ ! -f "$tinyxml_dir/tinyxml.h" ]; then
  echo "== setup: fetching TinyXML's source package"
  work="$deps_dir/tinyxml-fetch"
  rm -rf "$work" && mkdir -p "$work"
  (cd "$work" && apt-get source -qq tinyxml >/dev/null)
  found=$(find "$work" -maxdepth 2 -name tinyxml.h -printf '%h\n' | head -n 1)
  [ -n "$found" ] || { echo "setup: TinyXML sources not found" >&2; exit 1; }
  rm -rf "$tinyxml_dir" && mv "$found" "$tinyxml_dir" && rm -rf "$work"
fi
