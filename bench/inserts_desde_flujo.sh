#!/usr/bin/env bash
# Writes the storage floor of a captured stream: the very rows that the console
# stores for it, as the console's own INSERT statements inside one transaction,
# after the table and index, for the sqlite3 shell:
#   bench/inserts_desde_flujo.sh CORVANE FLUJO SALIDA.sql
# The rows come from replaying FLUJO through CORVANE into a scratch folder.
set -euo pipefail
corvane=${1:?ruta de corvane}
flujo=${2:?flujo capturado}
salida=${3:?archivo .sql}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$corvane" --reproducir "$flujo" --carpeta "$tmp" >/dev/null 2>&1
base="$tmp/baseTolm.mdb"
{
  echo "PRAGMA journal_mode=WAL;"
  echo "PRAGMA synchronous=FULL;"
  sqlite3 "$base" .schema | grep -v '^CREATE TABLE sqlite_'
  echo "BEGIN;"
  sqlite3 "$base" "SELECT 'INSERT INTO TABLA_GENERAL (gral_numero_abonado,gral_nivel_señal,gral_indicador_paquete,gral_hora_fecha,gral_origen,gral_origen_todos,gral_evento,gral_particion,gral_zona) values(' || quote(gral_numero_abonado) || ',' || gral_nivel_señal || ',' || quote(gral_indicador_paquete) || ',' || quote(gral_hora_fecha) || ',' || quote(gral_origen) || ',' || quote(gral_origen_todos) || ',' || quote(gral_evento) || ',' || quote(gral_particion) || ',' || quote(gral_zona) || ');' FROM TABLA_GENERAL ORDER BY gral_id"
  echo "COMMIT;"
} > "$salida"
