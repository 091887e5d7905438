#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need. Idempotent: apt-get runs only
# when something is missing. Run as root (or with sudo available).
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core libpng-dev
  googletest libgtest-dev libbenchmark-dev
  xvfb xdotool x11-apps sox
)
optional=()
[ "${BRANNIK_WITH_FFMPEG:-0}" = 1 ] && optional+=(ffmpeg)
[ "${BRANNIK_WITH_FUZZ:-0}" = 1 ] && optional+=(clang libfuzzer-14-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
want_optional=()
for p in "${optional[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || want_optional+=("$p")
done

if [ ${#missing[@]} -eq 0 ] && [ ${#want_optional[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" != 0 ]; then
  if command -v sudo >/dev/null; then sudo=sudo; else
    echo "setup-deps: missing packages (${missing[*]} ${want_optional[*]}) and not root; install them and retry" >&2
    exit 1
  fi
fi
echo "setup-deps: installing ${missing[*]} ${want_optional[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" "${want_optional[@]}" >/dev/null
