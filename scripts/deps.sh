#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing Kinovela need.
# Does nothing (and needs no network) when they are all installed already.
#   scripts/deps.sh           build and test packages
#   scripts/deps.sh --bench   also what bench/run.sh compares against
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config python3
  libpng-dev libjpeg62-turbo-dev
  qt6-base-dev libqt6opengl6-dev libgl-dev libglu1-mesa-dev fonts-ipafont-gothic
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev
  assimp-utils imagemagick view3dscene xvfb xauth
)
if [[ "${1:-}" == "--bench" ]]; then
  packages+=(time)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=()
[[ $(id -u) -ne 0 ]] && sudo=(sudo)
"${sudo[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
