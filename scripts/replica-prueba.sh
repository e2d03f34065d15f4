#!/usr/bin/env bash
# A throwaway primary with a streaming-replication standby, on loopback, for the
# failover tests and for a demonstration on one machine:
#   replica-prueba.sh iniciar DIR PUERTO_PRIMARIO PUERTO_RESERVA
#       creates the primary (database corvane_prueba), copies it with pg_basebackup
#       into a standby that streams from a replication slot, makes replication
#       synchronous and prints the URL naming both, for --base
#   replica-prueba.sh matar DIR     stops the primary hard (immediate shutdown)
#   replica-prueba.sh promover DIR  stops the primary hard, if it still runs, and
#       promotes the standby; returns once the standby takes writes
#   replica-prueba.sh parar DIR     stops both and removes DIR
# DIR/primario and DIR/reserva are servers of postgres-prueba.sh, which starts
# them (as the postgres user when run as root) and runs psql on them:
#   postgres-prueba.sh psql DIR/reserva BASE -c ...
#
# Replication is synchronous: the primary acknowledges a commit only once the
# standby has it, so nothing acknowledged is lost at the failover. The other side
# of it: while the standby is away, every commit on the primary waits for it.
# The promoted standby has no standby of its own and commits alone.
set -euo pipefail

accion=${1:?iniciar, matar, promover o parar}
dir=${2:?carpeta de los servidores}
pg="$(dirname "$0")/postgres-prueba.sh"
# The standby's name, as the primary's synchronous_standby_names and the replication slot know it.
nombre=reserva

sql() { "$pg" psql "$dir/$1" postgres -c "$2"; }
# Waits up to 60 s for `sql SERVIDOR SENTENCIA` to print `esperado`.
esperar() {
  for _ in $(seq 600); do
    [[ "$(sql "$1" "$2" 2>/dev/null)" == "$3" ]] && return 0
    sleep 0.1
  done
  echo "replica-prueba: $1 no llegó a «$3» con: $2" >&2
  return 1
}

case "$accion" in
  iniciar)
    primario=${3:?puerto del primario}
    reserva=${4:?puerto de la reserva}
    rm -rf "$dir"; mkdir -p "$dir"
    # A port taken, or any step failing, leaves nothing running.
    trap '"$0" parar "$dir" >/dev/null 2>&1' ERR
    "$pg" iniciar "$dir/primario" "$primario" >/dev/null
    sql primario "SELECT pg_create_physical_replication_slot('$nombre')" >/dev/null
    mkdir -p "$dir/reserva"
    echo "$reserva" > "$dir/reserva/puerto"
    # -R: the copy starts as a standby of the primary (standby.signal, primary_conninfo).
    pg_basebackup -h 127.0.0.1 -p "$primario" -U postgres -D "$dir/reserva/datos" -R -S "$nombre" -X stream -c fast
    # The walreceiver introduces itself by the cluster's name.
    echo "cluster_name = '$nombre'" >> "$dir/reserva/datos/postgresql.auto.conf"
    [[ $(id -u) -eq 0 ]] && chown -R postgres "$dir/reserva"
    "$pg" arrancar "$dir/reserva"
    esperar primario "SELECT count(*) FROM pg_stat_replication WHERE application_name = '$nombre'" 1
    # Made synchronous only now: the standby's copy of the settings stays without it.
    sql primario "ALTER SYSTEM SET synchronous_standby_names = '$nombre'" >/dev/null
    sql primario "SELECT pg_reload_conf()" >/dev/null
    esperar primario "SELECT sync_state FROM pg_stat_replication WHERE application_name = '$nombre'" sync
    echo "postgresql://postgres@127.0.0.1:$primario,127.0.0.1:$reserva/corvane_prueba?target_session_attrs=read-write"
    ;;
  matar)
    # SIGQUIT to the postmaster: immediate shutdown, no checkpoint, as a crash.
    pid="$dir/primario/datos/postmaster.pid"
    if [[ -f "$pid" ]]; then
      padre=$(head -n 1 "$pid")
      kill -QUIT "$padre" 2>/dev/null || true
      while kill -0 "$padre" 2>/dev/null; do sleep 0.05; done
    fi
    ;;
  promover)
    "$0" matar "$dir"
    # pg_promote waits (up to 60 s) for the end of recovery.
    [[ "$(sql reserva "SELECT pg_promote(true, 60)")" == t ]]
    esperar reserva "SELECT pg_is_in_recovery()" f
    ;;
  parar)
    for servidor in primario reserva; do "$pg" parar "$dir/$servidor"; done
    rm -rf "$dir"
    ;;
  *) echo "replica-prueba: acción desconocida $accion" >&2; exit 2 ;;
esac
