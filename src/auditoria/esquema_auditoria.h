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

// The entry's origin: a key made when the entry was queued (the workstation and
// a random 128-bit id), so that an entry moved twice by the local queue (the
// process killed between the database's commit and the removal from the queue)
// is stored once; empty for an entry written straight to the database. Not part
// of the chain: the hashes cover kColumnas only, so the chains of a table made
// before the column existed stay valid when it is added.
inline const Columna kColumnaOrigen = {QStringLiteral("audi_origen"),
                                       QStringLiteral("TEXT NOT NULL DEFAULT ''")};
// Finds an origin already stored, and refuses a second entry of one.
inline const QString kCrearIndiceOrigen =
    QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS corvane_auditoria_origen ON "
                   "corvane_auditoria (audi_origen) WHERE audi_origen <> ''");
// Adds the origin to a table made before it existed.
inline const QString kAgregarOrigen =
    QStringLiteral("ALTER TABLE corvane_auditoria ADD COLUMN audi_origen TEXT NOT NULL DEFAULT ''");

// A verification of a range of days finds its first and last entries by moment.
inline const QString kCrearIndiceMomento = QStringLiteral(
    "CREATE INDEX IF NOT EXISTS corvane_auditoria_momento ON corvane_auditoria (audi_momento)");

// "audi_secuencia,audi_momento,...": the columns of the chain, those every
// SELECT reads.
QString lista();
// The INSERT of one entry, a "?" for each column of the chain and the origin last.
QString insertar();

// The words of the triggers' refusal, the statement's kind after them.
inline const QString kRechazo = QStringLiteral("la auditoría solo admite entradas nuevas");

// The statements that create the table and its triggers on SQLite, in order
// (the origin of a table made before it is added apart: see auditoria.cpp).
QStringList crear_sqlite();
// A DO block for PostgreSQL: the table, its function and triggers, created under
// the schema lock only when the table is missing; the origin added under the
// same lock when the table lacks it.
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
