#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs and that are missing.
#   tools/deps.sh play      what building and starting the game needs
#   tools/deps.sh package   and what making the .deb, the zip and the installer needs
#   tools/deps.sh web       and what the web build and running its tests under Node.js need
#   tools/deps.sh test      what building and running every test needs
set -euo pipefail

what=${1:-test}
packages=(cmake ninja-build g++ python3 googletest
          qt6-base-dev libgl-dev libxcb1-dev pkg-config fonts-dejavu-core
          libx11-dev libxtst-dev libxdamage-dev libxcb-xfixes0-dev libxcb-xinput-dev qt6-base-private-dev
          libwayland-dev wayland-protocols qt6-wayland)
# Making the packages: dpkg-shlibdeps and file for the .deb's Depends, the
# cross compiler and makensis for the Windows ones.
if [ "$what" = package ] || [ "$what" = test ]; then
  packages+=(dpkg-dev file g++-mingw-w64-x86-64-posix nsis)
fi
# The web build: Emscripten, which brings the Node.js its tests run under.
if [ "$what" = web ] || [ "$what" = test ]; then
  # The page's font, cut from DejaVu Sans into woff2 with fontTools.
  packages+=(emscripten python3-fonttools python3-brotli)
fi
# Checking the packages.
if [ "$what" = test ]; then
  packages+=(lintian desktop-file-utils appstream)
fi
if [ "$what" = test ]; then
  packages+=(xvfb xauth xdotool x11-utils openbox
             g++-mingw-w64-x86-64-posix wine wine64 fonts-wine fonts-liberation python3-pefile
             imagemagick dbus at-spi2-core python3-pyatspi sway xwayland grim)
  # Orca, heard through its debug log while speech-dispatcher speaks to its
  # dummy module.
  packages+=(orca speech-dispatcher)
  # The web build's tests: headless Chromium driven over the DevTools protocol.
  packages+=(chromium python3-websocket)
  # The Czech locale's source, which the build compiles for the conversion
  # tests: the game's numbers keep their point under a decimal comma.
  packages+=(locales)
  # KWin, driven for the Wayland tests: its fake input protocol, its Breeze frame
  # (which the game's windows must not get) and a session bus of its own.
  packages+=(kwin-wayland kwin-style-breeze plasma-wayland-protocols dbus-daemon)
  # mutter, driven for the Wayland tests: its remote desktop and screen cast on a
  # session bus of its own, through GIO, and the screen's frames through
  # PipeWire, which WirePlumber links.
  packages+=(mutter dbus-daemon pipewire wireplumber libglib2.0-dev libpipewire-0.3-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
