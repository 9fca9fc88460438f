#!/usr/bin/env bash
# Sourced by ./check and ./demo: installs the Debian packages the build and
# the tests need (only what is missing), then configures and builds build/.
# It leaves two variables set in the sourcing shell, which ./check uses for
# its further builds and test runs:
#   werror  ON when CI=true, else OFF (the value of -DQM482_WERROR)
#   jobs    the number of processors (-j for builds and ctest)

packages=(
  g++ cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev qt6-translations-l10n
  xvfb xauth fonts-liberation fonts-dejavu-core
  dbus
  clang libclang-rt-14-dev clang-tidy clang-format
  locales
  libudev1
  openbox xdotool x11-utils x11-xkb-utils imagemagick at-spi2-core python3-pyatspi
  weston qt6-wayland xwayland
  dunst
  libmosquitto-dev mosquitto mosquitto-clients
  libqcustomplot-dev qt6-svg-dev
  poppler-utils
  dpkg-dev file desktop-file-utils appstream libxml2-utils shared-mime-info libglib2.0-bin
  ser2net
)

install_missing() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  echo "installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
install_missing "${packages[@]}"

werror=OFF
[ "${CI:-}" = true ] && werror=ON
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM482_WERROR="$werror"
cmake --build build -j "$jobs"

