#!/usr/bin/env bash
# Builds the Debian package corvane_<versión>_amd64.deb and prints its path.
#   scripts/paquete.sh [CARPETA_DE_COMPILACIÓN]
# Without a folder it configures and builds build/paquete (Release, without
# tests or benchmarks). Given the folder of a build that exists (./test passes
# its build/pruebas, already built), it packs what was built there: RelWithDebInfo
# is optimised as Release is, and the package's programs are stripped. The
# package is left in CARPETA/paquete-deb/.
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
dir=$(realpath -m "${1:-$raiz/build/paquete}")
if [[ ! -f "$dir/CMakeCache.txt" ]]; then
  cmake -S "$raiz" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF >/dev/null
fi
cmake --build "$dir" -j"$(nproc)" >/dev/null
salida="$dir/paquete-deb"
rm -rf "$salida"
(cd "$dir" && cpack -G DEB -B "$salida" >"$dir/cpack.log" 2>&1) || {
  cat "$dir/cpack.log" >&2
  exit 1
}
ls "$salida"/corvane_*_amd64.deb
