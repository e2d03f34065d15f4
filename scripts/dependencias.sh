#!/usr/bin/env bash
# Installs the Debian packages that Corvane needs to build, run, test and pack
# (the Debian package and its checks: dpkg-shlibdeps, lintian,
# desktop-file-validate, systemd-analyze), only those that are missing. Safe to
# run again: with everything present it does nothing but ask dpkg.
set -euo pipefail

PAQUETES=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev
  qt6-multimedia-dev libqt6multimedia6
  libqt6sql6-sqlite libqt6sql6-psql
  fonts-liberation
  libgtest-dev libbenchmark-dev
  postgresql sqlite3 libsqlite3-dev libpq-dev
  xvfb xauth
  ccache
  dpkg-dev file lintian desktop-file-utils systemd man-db
)
# clang and its runtime serve the fuzz targets; they are optional.
if [[ "${CORVANE_FUZZ:-0}" == "1" ]]; then PAQUETES+=(clang libclang-rt-14-dev); fi

faltan=()
for p in "${PAQUETES[@]}"; do
  estado=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$estado" == "install ok installed" ]] || faltan+=("$p")
done
[[ ${#faltan[@]} -eq 0 ]] && exit 0

echo "Instalando paquetes que faltan: ${faltan[*]}"
SUDO=""
[[ $(id -u) -ne 0 ]] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${faltan[@]}"
