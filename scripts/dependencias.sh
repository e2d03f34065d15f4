#!/usr/bin/env bash
# Installs the Debian packages that Corvane needs to build, run, test and pack
# (the Debian package and its checks: dpkg-shlibdeps, lintian,
# desktop-file-validate, systemd-analyze), only those that are missing, and
# generates the es_ES.UTF-8 locale (a test server answers in Spanish with it).
# Safe to run again: with everything present it does nothing but ask dpkg and
# list the locales.
set -euo pipefail

PAQUETES=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-serialport-dev
  qt6-multimedia-dev libqt6multimedia6 qt6-translations-l10n
  # The report window's charts; their CMake package needs Qt's OpenGL one,
  # which qt6-charts-dev does not pull in.
  qt6-charts-dev libqt6opengl6-dev
  libqt6sql6-sqlite libqt6sql6-psql
  fonts-liberation
  libgtest-dev libbenchmark-dev
  postgresql sqlite3 libsqlite3-dev libpq-dev libsodium-dev
  # SHA-256 of the audit trail's verification (OpenSSL uses the CPU's SHA
  # instructions where there are some).
  libssl-dev
  xvfb xauth openbox xdotool wmctrl x11-utils
  ccache locales
  dpkg-dev file lintian desktop-file-utils systemd man-db
)
# clang and its runtime serve the fuzz targets; they are optional.
if [[ "${CORVANE_FUZZ:-0}" == "1" ]]; then PAQUETES+=(clang libclang-rt-14-dev); fi

faltan=()
for p in "${PAQUETES[@]}"; do
  estado=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$estado" == "install ok installed" ]] || faltan+=("$p")
done

SUDO=""
[[ $(id -u) -ne 0 ]] && SUDO="sudo"
if [[ ${#faltan[@]} -gt 0 ]]; then
  echo "Instalando paquetes que faltan: ${faltan[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${faltan[@]}"
fi

# locale -a spells it es_ES.utf8. Debian's way: the line of /etc/locale.gen
# uncommented (or added), then locale-gen, which builds every locale listed
# there, so that a later locale-gen keeps it.
if ! locale -a | grep -qix 'es_ES\.utf-\?8'; then
  echo "Generando la configuración regional es_ES.UTF-8"
  $SUDO sed -i 's/^# *\(es_ES\.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -qx 'es_ES.UTF-8 UTF-8' /etc/locale.gen || echo 'es_ES.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
