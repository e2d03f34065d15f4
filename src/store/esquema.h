#pragma once
// The event table, its index and the statements the engines run to create them.
// Text columns are wide enough for the longest value a writer produces (the
// filler "----" included); gral_id is our own key and no statement names it.

#include <QString>

namespace corvane::esquema {

inline const QString kTabla = QStringLiteral("TABLA_GENERAL");
inline const QString kIndice = QStringLiteral("indice_abonado_fecha");

// SQLite keeps the moment as the text "yyyy-MM-dd HH:mm:ss", which sorts and
// compares as the moment itself.
inline const QString kCrearTablaSQLite = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS TABLA_GENERAL ("
    "gral_id INTEGER PRIMARY KEY,"
    "gral_numero_abonado VARCHAR(8),"
    "gral_nivel_señal INTEGER,"
    "gral_indicador_paquete VARCHAR(8),"
    "gral_hora_fecha TEXT,"
    "gral_origen VARCHAR(8),"
    "gral_origen_todos VARCHAR(8),"
    "gral_evento VARCHAR(8),"
    "gral_particion VARCHAR(8),"
    "gral_zona VARCHAR(8))");

inline const QString kCrearTablaPostgreSQL = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS TABLA_GENERAL ("
    "gral_id BIGSERIAL PRIMARY KEY,"
    "gral_numero_abonado VARCHAR(8),"
    "gral_nivel_señal INTEGER,"
    "gral_indicador_paquete VARCHAR(8),"
    "gral_hora_fecha TIMESTAMP(0),"
    "gral_origen VARCHAR(8),"
    "gral_origen_todos VARCHAR(8),"
    "gral_evento VARCHAR(8),"
    "gral_particion VARCHAR(8),"
    "gral_zona VARCHAR(8))");

inline const QString kCrearIndice = QStringLiteral(
    "CREATE INDEX IF NOT EXISTS indice_abonado_fecha "
    "ON TABLA_GENERAL (gral_numero_abonado, gral_hora_fecha)");

} // namespace corvane::esquema
