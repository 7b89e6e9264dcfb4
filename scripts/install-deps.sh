#!/usr/bin/env bash
# Installs the Debian packages Korvel needs to build, run and test; only those that are missing.
set -euo pipefail

packages=(
  g++ cmake make libgtest-dev
  zlib1g-dev libzip-dev libdeflate-dev
  qt6-base-dev
  fonts-liberation
  openjdk-17-jdk-headless
  proguard-cli zip unzip
  python3 strace
  g++-multilib
  clang libclang-rt-dev
  desktop-file-utils man-db dpkg-dev lintian librsvg2-bin
  xvfb xdotool openbox
  ccache
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  if [ "$status" != "install ok installed" ]; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
