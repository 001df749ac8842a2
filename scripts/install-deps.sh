#!/usr/bin/env bash
# Installs every Debian package that building, testing, benchmarking and running Quillane needs.
# Idempotent: packages already present are left as they are.
set -euo pipefail

packages=(
  build-essential g++ clang libclang-rt-14-dev cmake ninja-build pkg-config ccache clang-format
  qt6-base-dev qt6-image-formats-plugins qt6-translations-l10n libgl-dev
  libgtest-dev libbenchmark-dev
  xvfb xauth fonts-noto-cjk
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update
$sudo apt-get install -y --no-install-recommends "${missing[@]}"
