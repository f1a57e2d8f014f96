#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
# Idempotent: installs only what is missing and prints nothing when all is there.
set -euo pipefail

PACKAGES=(
  # build
  build-essential cmake pkg-config git
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  libsdl1.2-dev libsdl-ttf2.0-dev libsdl-image1.2-dev
  libegl-dev libgles-dev libegl-mesa0 libgl1-mesa-dri libx11-dev
  zlib1g-dev libglib2.0-dev libgssdp-1.6-dev libgupnp-1.6-dev libgupnp-av-1.0-dev libxml2-dev libpng-dev
  libgtest-dev googletest
  # runtime: fonts and artwork tools
  fonts-roboto-unhinted fonts-droid-fallback fonts-dejavu-extra fonts-nanum fonts-tlwg-garuda-ttf
  librsvg2-bin
  # running without a display, and the tests
  xvfb xdotool x11-apps x11-utils imagemagick ffmpeg tesseract-ocr tesseract-ocr-rus python3 procps iproute2 time
  # UPnP peers for the network tests: a media server, and a renderer with its decoders
  minidlna gmediarender gstreamer1.0-plugins-base gstreamer1.0-plugins-good
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq >/dev/null
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
