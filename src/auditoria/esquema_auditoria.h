#pragma once
// The audit table, beside the event table on either engine: one column list,
// the same types on both engines (the moment is the text "yyyy-MM-dd HH:mm:ss"),
// and the triggers that refuse every UPDATE and DELETE (and TRUNCATE on
// PostgreSQL): an entry once written is never changed nor removed. Every column
// is NOT NULL: an absent value is the empty text.

#include <QString>
#include <QStringList>

#include <array>

namespace corvane::esquema_auditoria {

struct Columna {
    QString nombre;
    QString tipo;
};

inline const QString kTabla = QStringLiteral("corvane_auditoria");

// audi_secuencia: 1, 2, 3... with no gap in each database; the hashes are 64
// lower-case hexadecimal digits of SHA-256 (auditoria.h).
inline const std::array<Columna, 9> kColumnas = {{
    {QStringLiteral("audi_secuencia"), QStringLiteral("BIGINT NOT NULL PRIMARY KEY")},
    {QStringLiteral("audi_momento"), QStringLiteral("VARCHAR(19) NOT NULL")},
    {QStringLiteral("audi_puesto"), QStringLiteral("VARCHAR(255) NOT NULL")},
    {QStringLiteral("audi_operador"), QStringLiteral("VARCHAR(255) NOT NULL")},
    {QStringLiteral("audi_accion"), QStringLiteral("VARCHAR(40) NOT NULL")},
    {QStringLiteral("audi_objeto"), QStringLiteral("TEXT NOT NULL")},
    {QStringLiteral("audi_detalle"), QStringLiteral("TEXT NOT NULL")},
    {QStringLiteral("audi_hash_anterior"), QStringLiteral("CHAR(64) NOT NULL")},
    {QStringLiteral("audi_hash"), QStringLiteral("CHAR(64) NOT NULL")},
}};

// A verification of a range of days finds its first and last entries by moment.
inline const QString kCrearIndiceMomento =
    QStringLiteral("CREATE INDEX IF NOT EXISTS corvane_auditoria_momento ON corvane_auditoria (audi_momento)");

// "audi_secuencia,audi_momento,...": the column list of every INSERT and SELECT.
QString lista();
// The INSERT of one entry, a "?" per column.
QString insertar();

// The words of the triggers' refusal, the statement's kind after them.
inline const QString kRechazo = QStringLiteral("la auditoría solo admite entradas nuevas");

// The statements that create the table and its triggers on SQLite, in order.
QStringList crear_sqlite();
// A DO block for PostgreSQL: the table, its function and triggers, created under
// the schema lock only when the table is missing.
QString asegurar_postgresql();

// The appends of every workstation to one central server take this
// transaction-level advisory lock before they read the last entry, so that the
// chain has one next entry at a time.
inline const QString kBloqueoAnotacion = QStringLiteral("SELECT pg_advisory_xact_lock(7405112027)");
// On SQLite a statement that writes and changes nothing (the DELETE triggers
// fire for each row, and there is none) starts the write transaction before the
// last entry is read: another connection's append waits for the commit.
inline const QString kTomarEscrituraSQLite =
    QStringLiteral("DELETE FROM corvane_auditoria WHERE 0");

} // namespace corvane::esquema_auditoria
