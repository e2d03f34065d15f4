#pragma once
// The event table and the alarm table: their one column lists over the rows of
// evento/filas.h, their indexes and the statements the engines run to create
// them. Text columns are wide enough for the longest value a writer produces
// (the filler "----" included); gral_id is our own key and no INSERT names it.

#include <QString>

#include <array>

#include "evento/filas.h"

namespace corvane::esquema {

inline const QString kTabla = QStringLiteral("TABLA_GENERAL");
inline const QString kIndice = QStringLiteral("indice_abonado_fecha");

// A column of the event table, its type on each engine, and the row's text field
// it stores (null for the level, the one number).
struct Columna {
    QString nombre;
    QString tipoSQLite;
    QString tipoPostgreSQL;
    QString FilaEvento::*texto;
};

// The columns in the order every INSERT names them. SQLite keeps the moment as
// the text "yyyy-MM-dd HH:mm:ss", which sorts and compares as the moment itself.
inline const std::array<Columna, 9> kColumnas = {{
    {QStringLiteral("gral_numero_abonado"), QStringLiteral("VARCHAR(8)"), QStringLiteral("VARCHAR(8)"), &FilaEvento::abonado},
    {QStringLiteral("gral_nivel_señal"), QStringLiteral("INTEGER"), QStringLiteral("INTEGER"), nullptr},
    {QStringLiteral("gral_indicador_paquete"), QStringLiteral("VARCHAR(8)"), QStringLiteral("VARCHAR(8)"), &FilaEvento::indicador},
    {QStringLiteral("gral_hora_fecha"), QStringLiteral("TEXT"), QStringLiteral("TIMESTAMP(0)"), &FilaEvento::momento},
    {QStringLiteral("gral_origen"), QStringLiteral("VARCHAR(8)"), QStringLiteral("VARCHAR(8)"), &FilaEvento::origen},
    {QStringLiteral("gral_origen_todos"), QStringLiteral("VARCHAR(8)"), QStringLiteral("VARCHAR(8)"), &FilaEvento::origenTodos},
    {QStringLiteral("gral_evento"), QStringLiteral("VARCHAR(8)"), QStringLiteral("VARCHAR(8)"), &FilaEvento::evento},
    {QStringLiteral("gral_particion"), QStringLiteral("VARCHAR(8)"), QStringLiteral("VARCHAR(8)"), &FilaEvento::particion},
    {QStringLiteral("gral_zona"), QStringLiteral("VARCHAR(8)"), QStringLiteral("VARCHAR(8)"), &FilaEvento::zona},
}};

// "gral_numero_abonado,gral_nivel_señal,...": the column list of every INSERT.
QString lista_columnas();
// The INSERT of one row with a parameter per column, for a prepared statement.
QString insert_preparado();
// CREATE TABLE IF NOT EXISTS of the event table for each engine.
QString crear_tabla_sqlite();
QString crear_tabla_postgresql();

// Consoles that find the tables missing on a shared server create them one at a
// time, under this transaction-level advisory lock: two CREATE TABLE IF NOT
// EXISTS running together can still collide on the type of the table.
inline const QString kBloqueoEsquema = QStringLiteral("SELECT pg_advisory_xact_lock(7405112026)");

inline const QString kCrearIndice = QStringLiteral("CREATE INDEX IF NOT EXISTS indice_abonado_fecha ON ") + kTabla +
                                     QStringLiteral(" (gral_numero_abonado, gral_hora_fecha)");

// The listings of every account over a range of days read the rows by moment,
// then by arrival. SQLite's index carries the row's key (gral_id) after its
// columns already; PostgreSQL's needs it named.
inline const QString kIndiceMomento = QStringLiteral("indice_momento");
inline const QString kCrearIndiceMomentoSQLite =
    QStringLiteral("CREATE INDEX IF NOT EXISTS indice_momento ON ") + kTabla + QStringLiteral(" (gral_hora_fecha)");
inline const QString kCrearIndiceMomentoPostgreSQL = QStringLiteral("CREATE INDEX IF NOT EXISTS indice_momento ON ") +
                                                     kTabla + QStringLiteral(" (gral_hora_fecha, gral_id)");

// The alarm table, next to the event table on the same database. alar_id is our
// own key, named by no INSERT; it keeps the order of arrival within a second.
inline const QString kTablaAlarmas = QStringLiteral("TABLA_ALARMAS");

struct ColumnaAlarma {
    QString nombre;
    QString tipoSQLite;
    QString tipoPostgreSQL;
    QString FilaAlarma::*texto;
    bool momento;        // read back as "yyyy-MM-dd HH:mm:ss" on both engines
    bool reconocimiento; // NULL until the alarm is acknowledged
};

inline const std::array<ColumnaAlarma, 10> kColumnasAlarma = {{
    {QStringLiteral("alar_clave"), QStringLiteral("VARCHAR(40) NOT NULL UNIQUE"), QStringLiteral("VARCHAR(40) NOT NULL UNIQUE"), &FilaAlarma::clave, false, false},
    {QStringLiteral("alar_numero_abonado"), QStringLiteral("VARCHAR(8)"), QStringLiteral("VARCHAR(8)"), &FilaAlarma::abonado, false, false},
    {QStringLiteral("alar_evento"), QStringLiteral("VARCHAR(8)"), QStringLiteral("VARCHAR(8)"), &FilaAlarma::evento, false, false},
    {QStringLiteral("alar_particion"), QStringLiteral("VARCHAR(8)"), QStringLiteral("VARCHAR(8)"), &FilaAlarma::particion, false, false},
    {QStringLiteral("alar_zona"), QStringLiteral("VARCHAR(8)"), QStringLiteral("VARCHAR(8)"), &FilaAlarma::zona, false, false},
    {QStringLiteral("alar_origen"), QStringLiteral("VARCHAR(8)"), QStringLiteral("VARCHAR(8)"), &FilaAlarma::origen, false, false},
    {QStringLiteral("alar_recibida"), QStringLiteral("TEXT"), QStringLiteral("TIMESTAMP(0)"), &FilaAlarma::recibida, true, false},
    {QStringLiteral("alar_puesto"), QStringLiteral("VARCHAR(255)"), QStringLiteral("VARCHAR(255)"), &FilaAlarma::puesto, false, false},
    {QStringLiteral("alar_reconocida"), QStringLiteral("TEXT"), QStringLiteral("TIMESTAMP(0)"), &FilaAlarma::reconocida, true, true},
    {QStringLiteral("alar_puesto_reconocimiento"), QStringLiteral("VARCHAR(255)"), QStringLiteral("VARCHAR(255)"), &FilaAlarma::reconocidaEn, false, true},
}};

// "alar_clave,alar_numero_abonado,...": the column list of the alarm table.
QString lista_columnas_alarma();
// CREATE TABLE IF NOT EXISTS of the alarm table for each engine.
QString crear_tabla_alarmas_sqlite();
QString crear_tabla_alarmas_postgresql();

// The writes of the alarm table, every value bound to a "?": the INSERT of new
// alarms up to VALUES, each row's "(?,...)" after it, then kSinRepetirAlarmas
// (an alarm whose key the table holds is left as it is); the acknowledgement,
// its moment and workstation, then the keys' marks and ")".
QString insertar_alarmas();
inline const QString kSinRepetirAlarmas = QStringLiteral(" ON CONFLICT (alar_clave) DO NOTHING");
inline const QString kReconocerAlarmas =
    QStringLiteral("UPDATE ") + kTablaAlarmas +
    QStringLiteral(
        " SET alar_reconocida=?,alar_puesto_reconocimiento=? WHERE alar_reconocida IS NULL AND "
        "alar_clave IN (");

// The start's read: a workstation's alarms not yet acknowledged.
inline const QString kCrearIndiceAlarmas = QStringLiteral("CREATE INDEX IF NOT EXISTS indice_alarmas_puesto ON ") +
                                            kTablaAlarmas + QStringLiteral(" (alar_puesto, alar_reconocida)");

// What workstations that follow a central server listen to. On the event
// channel the payload is the largest gral_id that a committed INSERT (or COPY)
// stored; the alarm channel tells that the alarm table changed, with no payload.
inline const QString kCanalEventos = QStringLiteral("corvane_eventos");
inline const QString kCanalAlarmas = QStringLiteral("corvane_alarmas");

// The control record of each local queue, beside the event table on either
// engine (the event file or a central server): the last sequence number of that
// queue the event table holds, written in the transaction of the rows it covers,
// so that rows moved twice (the process killed between the target's commit and
// the removal from the queue) are stored once. One definition for both engines.
inline const QString kTablaControl = QStringLiteral("corvane_envios");
inline const QString kCrearControl = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS corvane_envios (cola TEXT PRIMARY KEY, ultima_secuencia BIGINT NOT NULL)");
// The statements of a queue's record, its identity (and sequence number) bound
// to their "?" marks. kLeerControl: the last sequence number held for the
// queue; kLeerControlBloqueado takes it FOR UPDATE (PostgreSQL), so that two
// movers of one queue wait for each other.
inline const QString kLeerControl =
    QStringLiteral("SELECT ultima_secuencia FROM corvane_envios WHERE cola = ?");
inline const QString kLeerControlBloqueado = kLeerControl + QStringLiteral(" FOR UPDATE");
// Sets the control record of a queue (?, ?: identity, sequence number),
// creating it when missing.
inline const QString kPonerControl =
    QStringLiteral("INSERT INTO corvane_envios (cola, ultima_secuencia) VALUES (?, ?) "
                   "ON CONFLICT (cola) DO UPDATE SET ultima_secuencia = excluded.ultima_secuencia");
// Creates the control record of a queue at 0 when missing, so that
// kLeerControlBloqueado finds a row to lock.
inline const QString kCrearRegistroControl =
    QStringLiteral("INSERT INTO corvane_envios (cola, ultima_secuencia) VALUES (?, 0) ON CONFLICT "
                   "(cola) DO NOTHING");

// One statement (a DO block) that gives the central tables present their
// triggers, when they lack them: the event table's, which make every INSERT wait
// for the one before to commit, so that gral_id grows in commit order and a
// reader that fetches "gral_id above the last one seen" misses no row, and then
// notify kCanalEventos; the alarm table's, which notify kCanalAlarmas.
QString avisos_postgresql();
// One statement (a DO block) that makes sure of the central schema: the event
// table and its indexes (with `conControl`, the control table of the queues
// too), then the triggers of avisos_postgresql. Everything is looked up first and
// created, under the schema lock, only when missing: on a shared server a
// CREATE, even one that does nothing, waits for other consoles' batches.
QString asegurar_postgresql(bool conControl);

} // namespace corvane::esquema
