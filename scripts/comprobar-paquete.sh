#!/usr/bin/env bash
# Checks the Debian package without installing it:
#   scripts/comprobar-paquete.sh corvane_<versión>_amd64.deb
# its files, owners and modes; lintian (no errors; the warnings are printed);
# the desktop entry; the systemd unit against the unpacked tree; the unpacked
# programs' help, and that the manual pages name every option of that help.
# Prints the unit's exposure score. Exits non-zero at the first failure.
set -euo pipefail
deb=$(readlink -f "$1")
tmp=$(mktemp -d /tmp/corvane-paquete.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
falla() { echo "comprobar-paquete: $*" >&2; exit 1; }

# Contents: every file listed here, owned by root, with its mode; nothing
# writable by group or others, nothing set-id.
dpkg-deb -c "$deb" >"$tmp/contenido"
esperados=(
  "-rwxr-xr-x ./usr/bin/corvane"
  "-rwxr-xr-x ./usr/bin/corvane-simulador"
  "-rw-r--r-- ./usr/lib/x86_64-linux-gnu/corvane/corvane-ventanas.so"
  "-rw-r--r-- ./usr/share/applications/corvane.desktop"
  "-rw-r--r-- ./usr/share/corvane/corvane-autostart.desktop"
  "-rw-r--r-- ./usr/share/icons/hicolor/scalable/apps/corvane.svg"
  "-rw-r--r-- ./usr/share/man/man1/corvane.1.gz"
  "-rw-r--r-- ./usr/share/man/man1/corvane-simulador.1.gz"
  "-rw-r--r-- ./usr/share/doc/corvane/README.md"
  "-rw-r--r-- ./usr/share/doc/corvane/copyright"
  "-rw-r--r-- ./usr/share/doc/corvane/changelog.gz"
  "-rw-r--r-- ./usr/share/doc/corvane/docs/fiabilidad.md"
  "-rw-r--r-- ./lib/systemd/system/corvane@.service"
  "-rw-r--r-- ./etc/default/corvane"
)
for e in "${esperados[@]}"; do
  awk -v modo="${e%% *}" -v ruta="${e#* }" '$1 == modo && $6 == ruta { hay = 1 } END { exit !hay }' \
    "$tmp/contenido" || falla "falta «$e» en el paquete"
done
awk '$2 != "root/root" { print; malo = 1 } END { exit malo }' "$tmp/contenido" ||
  falla "hay archivos que no son de root/root"
awk 'substr($1, 6, 1) == "w" || substr($1, 9, 1) == "w" || $1 ~ /[sS]/ { print; malo = 1 } END { exit malo }' \
  "$tmp/contenido" || falla "hay archivos escribibles por otros o con set-id"

# Control: the runtime libraries, never the -dev packages; the environment file
# is a configuration file; the maintainer script runs.
dpkg-deb -f "$deb" Depends >"$tmp/depende"
grep -q 'libqt6core6' "$tmp/depende" || falla "Depends no nombra libqt6core6: $(cat "$tmp/depende")"
if grep -q -- '-dev' "$tmp/depende"; then falla "Depends nombra paquetes -dev: $(cat "$tmp/depende")"; fi
dpkg-deb -e "$deb" "$tmp/control"
grep -qx '/etc/default/corvane' "$tmp/control/conffiles" || falla "/etc/default/corvane no es conffile"
[[ -x "$tmp/control/postinst" ]] || falla "postinst no es ejecutable"
sh -n "$tmp/control/postinst"

echo "== lintian"
# As root lintian says so on every run; that line is not about the package.
estado=0
lintian --fail-on error --display-info "$deb" >"$tmp/lintian" 2>&1 || estado=$?
grep -v 'running with root privileges' "$tmp/lintian" || true
[[ $estado -eq 0 ]] || falla "lintian encuentra errores"

dpkg-deb -x "$deb" "$tmp/raiz"
desktop-file-validate "$tmp/raiz/usr/share/applications/corvane.desktop" ||
  falla "la entrada de escritorio no es válida"
desktop-file-validate "$tmp/raiz/usr/share/corvane/corvane-autostart.desktop" ||
  falla "el ejemplo de inicio automático no es válido"

# The unit against the unpacked tree, where the program of ExecStart is, beside
# a copy of the machine's units (the targets it is ordered with). A key or value
# that systemd does not take is only a warning to it, and a failure here. The
# manual page of Documentation= would be looked for in the machine's manuals,
# not in the tree: lintian has read it above.
# Two instances: a plain device name, and a /dev/serial/by-id/ name escaped as
# systemd-escape --template writes it.
cp -an /lib/systemd/system/. "$tmp/raiz/lib/systemd/system/"
for instancia in ttyUSB0 "$(systemd-escape serial/by-id/usb-FTDI_FT232R-if00-port0)"; do
  estado=0
  SYSTEMD_LOG_LEVEL=warning systemd-analyze verify --man=no --root="$tmp/raiz" \
    "/lib/systemd/system/corvane@$instancia.service" >"$tmp/verify" 2>&1 || estado=$?
  if [[ $estado -ne 0 || -s "$tmp/verify" ]]; then
    cat "$tmp/verify" >&2
    falla "systemd-analyze verify rechaza corvane@$instancia.service"
  fi
done
echo "== exposición de la unidad"
systemd-analyze security --offline=true --root="$tmp/raiz" corvane@ttyUSB0.service | tail -1

# The unpacked programs run (Qt comes from the machine) and their manual pages
# name every option of their help.
for programa in corvane corvane-simulador; do
  "$tmp/raiz/usr/bin/$programa" --ayuda >"$tmp/ayuda" || falla "$programa --ayuda falla"
  grep -q '^Uso:' "$tmp/ayuda" || falla "$programa --ayuda no da la ayuda"
  zcat "$tmp/raiz/usr/share/man/man1/$programa.1.gz" | sed 's/\\-/-/g' >"$tmp/manual"
  for opcion in $(grep -o -- '--[a-z][a-z-]*' "$tmp/ayuda" | sort -u); do
    grep -q -- "$opcion" "$tmp/manual" || falla "la página de manual de $programa no nombra $opcion"
  done
done
# The windows' module is found where the package puts it: the unpacked console
# opens its windows (offscreen) and runs until it is stopped.
mkdir -p "$tmp/datos"
estado=0
QT_QPA_PLATFORM=offscreen timeout 3 "$tmp/raiz/usr/bin/corvane" --carpeta "$tmp/datos" \
  >"$tmp/ventanas.txt" 2>&1 || estado=$?
[[ $estado -eq 124 ]] || { cat "$tmp/ventanas.txt" >&2; falla "las ventanas no abren (estado $estado)"; }
echo "Paquete comprobado: $(basename "$deb"), $(stat -c %s "$deb") bytes"
