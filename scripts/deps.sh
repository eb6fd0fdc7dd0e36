#!/usr/bin/env bash
# Installs the Debian packages Velquor builds and tests with, when any is missing.
# Safe to run again: it only calls apt-get when something is not installed.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev libgl-dev fonts-dejavu-core fonts-dejavu-extra
  nlohmann-json3-dev
  clang libclang-rt-dev
  clang-tidy cppcheck
  qt6-svg-dev dpkg-dev file binutils groff-base desktop-file-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "deps: installing ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
