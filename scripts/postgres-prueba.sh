#!/usr/bin/env bash
# A throwaway PostgreSQL server for the test run, on loopback only.
#   postgres-prueba.sh iniciar DIR PUERTO   creates and starts it, prints its URL
#   postgres-prueba.sh parar DIR            stops it and removes DIR
# and, for the fault tests and the benchmarks, on a server that iniciar made:
#   postgres-prueba.sh detener DIR          stops it (fast shutdown), keeping its data
#   postgres-prueba.sh arrancar DIR         starts it again, unless it is running
#   postgres-prueba.sh congelar DIR         SIGSTOP to the postmaster and every process it started
#   postgres-prueba.sh descongelar DIR      SIGCONT to them
#   postgres-prueba.sh psql DIR BASE ARG... psql on database BASE, unaligned, tuples only
# As root it runs as the postgres user (initdb refuses root); otherwise as you.
# CORVANE_PG_IDIOMA (say es_ES.UTF-8, a locale of the system) given to iniciar
# makes the server write its messages in that language (lc_messages), at every
# start of that server; without it they are in English.
set -euo pipefail

accion=${1:?iniciar, parar, detener, arrancar, congelar, descongelar o psql}
dir=${2:?carpeta del servidor}
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
[[ -n "$bin" ]] || { echo "postgres-prueba: PostgreSQL no está instalado" >&2; exit 1; }

como() {
  if [[ $(id -u) -eq 0 ]]; then runuser -u postgres -- "$@"; else "$@"; fi
}
arrancar() {
  local idioma
  idioma=$(cat "$dir/idioma" 2>/dev/null || true)
  [[ -n "$idioma" ]] && idioma="-c lc_messages=$idioma"
  como "$bin/pg_ctl" -D "$dir/datos" -l "$dir/servidor.log" -w -t 60 \
    -o "-p $(cat "$dir/puerto") -k $dir -c listen_addresses=127.0.0.1 -c fsync=off $idioma" start >/dev/null
}
senal() {
  local padre
  padre=$(head -n 1 "$dir/datos/postmaster.pid")
  # The postmaster first, so that it starts nothing new meanwhile.
  kill -s "$1" "$padre" $(ps -o pid= --ppid "$padre")
}

case "$accion" in
  iniciar)
    puerto=${3:?puerto}
    rm -rf "$dir"; mkdir -p "$dir"
    echo "$puerto" > "$dir/puerto"
    echo "${CORVANE_PG_IDIOMA:-}" > "$dir/idioma"
    [[ $(id -u) -eq 0 ]] && chown postgres "$dir"
    como "$bin/initdb" -D "$dir/datos" -A trust -U postgres -E UTF8 --locale=C.UTF-8 >"$dir/initdb.log" 2>&1 \
      || como "$bin/initdb" -D "$dir/datos" -A trust -U postgres -E UTF8 --no-locale >"$dir/initdb.log" 2>&1
    arrancar
    como "$bin/createdb" -h 127.0.0.1 -p "$puerto" -U postgres corvane_prueba
    echo "postgresql://postgres@127.0.0.1:$puerto/corvane_prueba"
    ;;
  parar)
    [[ -d "$dir/datos" ]] && { senal CONT 2>/dev/null; como "$bin/pg_ctl" -D "$dir/datos" -m fast -w stop >/dev/null 2>&1; } || true
    rm -rf "$dir"
    ;;
  detener) como "$bin/pg_ctl" -D "$dir/datos" -m fast -w stop >/dev/null ;;
  arrancar) como "$bin/pg_ctl" -D "$dir/datos" status >/dev/null || arrancar ;;
  congelar) senal STOP ;;
  descongelar) senal CONT ;;
  psql)
    base=${3:?base}
    shift 3
    "$bin/psql" -h 127.0.0.1 -p "$(cat "$dir/puerto")" -U postgres -d "$base" -X -A -t -q "$@"
    ;;
  *) echo "postgres-prueba: acción desconocida $accion" >&2; exit 2 ;;
esac
