#!/usr/bin/env bash
# A throwaway PostgreSQL server for the test run, on loopback only.
#   postgres-prueba.sh iniciar DIR PUERTO   creates and starts it, prints its URL
#   postgres-prueba.sh parar DIR            stops it and removes DIR
# As root it runs as the postgres user (initdb refuses root); otherwise as you.
set -euo pipefail

accion=${1:?iniciar o parar}
dir=${2:?carpeta del servidor}
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[[ -n "$bin" ]] || { echo "postgres-prueba: PostgreSQL no está instalado" >&2; exit 1; }

como() {
  if [[ $(id -u) -eq 0 ]]; then runuser -u postgres -- "$@"; else "$@"; fi
}

case "$accion" in
  iniciar)
    puerto=${3:?puerto}
    rm -rf "$dir"; mkdir -p "$dir"
    [[ $(id -u) -eq 0 ]] && chown postgres "$dir"
    como "$bin/initdb" -D "$dir/datos" -A trust -U postgres -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 \
      || como "$bin/initdb" -D "$dir/datos" -A trust -U postgres -E UTF8 --no-locale >"$dir/initdb.log" 2>&1
    como "$bin/pg_ctl" -D "$dir/datos" -l "$dir/servidor.log" -w -t 60 \
      -o "-p $puerto -k $dir -c listen_addresses=127.0.0.1 -c fsync=off" start >/dev/null
    como "$bin/createdb" -h 127.0.0.1 -p "$puerto" -U postgres corvane_prueba
    echo "postgresql://postgres@127.0.0.1:$puerto/corvane_prueba"
    ;;
  parar)
    [[ -d "$dir/datos" ]] && como "$bin/pg_ctl" -D "$dir/datos" -m fast -w stop >/dev/null 2>&1 || true
    rm -rf "$dir"
    ;;
  *) echo "postgres-prueba: acción desconocida $accion" >&2; exit 2 ;;
esac
