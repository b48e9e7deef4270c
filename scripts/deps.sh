#!/usr/bin/env bash
# Installs the Debian 12 packages that building and testing Kinovela need.
# Does nothing (and needs no network) when they are all installed already.
#   scripts/deps.sh           build and test packages
#   scripts/deps.sh --bench   also what bench/run.sh compares against
# The glTF checks also need Node.js and the npm packages listed in
# tests/interop/web/package.json (the Khronos validator, three.js and the
# browser driver), which go into tests/interop/web/node_modules; the browser
# is Debian's chromium, never a download.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  g++ cmake ninja-build pkg-config python3
  libpng-dev libjpeg62-turbo-dev
  qt6-base-dev libqt6opengl6-dev libgl-dev libglu1-mesa-dev fonts-ipafont-gothic
  qt6-tools-dev qt6-l10n-tools qt6-translations-l10n librsvg2-bin desktop-file-utils shared-mime-info
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-14 libclang-rt-14-dev
  assimp-utils imagemagick view3dscene xvfb xauth xdotool
  libtinygltf-dev nlohmann-json3-dev nodejs chromium
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
# Debian's npm only where the installed Node.js brings none of its own.
if ! command -v npm >/dev/null 2>&1 && ! dpkg-query -W -f='${Status}' npm 2>/dev/null | grep -q "install ok installed"; then
  missing+=(npm)
fi

if [[ ${#missing[@]} -gt 0 ]]; then
  echo "Installing: ${missing[*]}" >&2
  sudo=()
  [[ $(id -u) -ne 0 ]] && sudo=(sudo)
  "${sudo[@]}" apt-get update -q
  DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The npm packages, exactly as locked, when they are missing or the lock
# file changed since they were installed.
web=tests/interop/web
if [[ ! -f $web/node_modules/.package-lock.json || $web/package-lock.json -nt $web/node_modules/.package-lock.json ]]; then
  echo "Installing the npm packages of $web" >&2
  (cd "$web" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund --loglevel=error)
fi
