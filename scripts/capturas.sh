#!/usr/bin/env bash
# The README's screenshots under a real window manager: the main window and the
# alarm window beside it, the simulator feeding the port, and an alert
# on the strip (the receiver silent past --vigilancia).
#   scripts/capturas.sh [ANCHOxALTO ...]   (by default 1024x768 and 1920x1080)
# Writes docs/pantalla-ANCHOxALTO.png. Needs Xvfb, openbox, xwd and ImageMagick's
# convert; builds nothing: the programs come from build/pruebas.
set -euo pipefail
raiz=$(cd "$(dirname "$0")/.." && pwd)
corvane="$raiz/build/pruebas/src/app/corvane"
simulador="$raiz/build/pruebas/tools/corvane-simulador"
tamanos=("$@")
[[ ${#tamanos[@]} -gt 0 ]] || tamanos=(1024x768 1920x1080)

for t in "${tamanos[@]}"; do
  trabajo=$(mktemp -d)
  Xvfb -displayfd 3 -screen 0 "${t}x24" -nolisten tcp 3>"$trabajo/pantalla" &
  x=$!
  for _ in $(seq 50); do [[ -s "$trabajo/pantalla" ]] && break; sleep 0.1; done
  export DISPLAY=":$(cat "$trabajo/pantalla")" QT_QPA_PLATFORM=xcb HOME="$trabajo"
  openbox & wm=$!
  sleep 1
  # A few seconds of traffic, then silence: the strip says so after 10 s.
  "$simulador" --semilla 7 --paquetes 300 > "$trabajo/pty" &
  sim=$!
  for _ in $(seq 50); do [[ -s "$trabajo/pty" ]] && break; sleep 0.1; done
  "$corvane" --carpeta "$trabajo" --puesto puesto-1 --puerto "$(head -1 "$trabajo/pty")" \
    --velocidad 19200 --vigilancia 10 2>/dev/null &
  consola=$!
  wait "$sim" || true
  sleep 13
  salida="$raiz/docs/pantalla-$t.png"
  xwd -root -silent | convert xwd:- "$salida"
  # A window with a visual of its own comes out black in the root's image: it is
  # taken alone and laid over it where it stands.
  for id in $(xdotool search --onlyvisible --name '^Alarmas'); do
    X=$(xwininfo -id "$id" | awk '/Absolute upper-left X/ {print $4}')
    Y=$(xwininfo -id "$id" | awk '/Absolute upper-left Y/ {print $4}')
    xwd -id "$id" -silent | convert xwd:- "$trabajo/ventana.png"
    convert "$salida" "$trabajo/ventana.png" -geometry "+$X+$Y" -composite "$salida"
  done
  kill "$consola" "$wm" "$x" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$trabajo"
  echo "docs/pantalla-$t.png"
done
