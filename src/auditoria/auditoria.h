#pragma once
// The audit trail: who did what, where and when, in a table of its own on the
// event file or the central server (esquema_auditoria.h). Entries are only ever
// appended (the table's triggers refuse UPDATE, DELETE and TRUNCATE), numbered
// 1, 2, 3... without gaps, and chained: each entry stores the hash of the one
// before it and its own,
//
//   hash = SHA-256(previous hash || canonical content)
//
// where the previous hash is its 64 lower-case hexadecimal digits as ASCII (64
// zeros before the first entry), and the canonical content is, for each of
// moment, workstation, operator, action, object and detail in this order, the
// field's length in bytes in decimal, ':', its UTF-8 bytes and ',' (a netstring):
// no field's bytes can be read as another's. The sequence number is not hashed:
// the links give the order, and a number missing from the sequence is a removed
// entry. An entry changed, removed or moved breaks the chain at that entry;
// the last entries removed together leave no trace in the chain itself.

#include <QString>
#include <QStringList>

#include <vector>

#include "common/fallo.h"

namespace corvane {

class BaseDatos;

enum class AccionAuditoria {
    Inicio,         // a receiving console started (windows, service, replay)
    Parada,         // it stopped
    Importacion,    // the account register was imported from CSV files
    CambioAbonado,  // an account was changed from the editor
    Reconocimiento, // an alarm was acknowledged
    Acceso,         // an operator logged in
    Salida,         // an operator logged out
    AccesoFallido,  // a login refused (wrong password, locked or unknown user)
    CambioTurno,    // the operator on duty handed over to another
    Nota,           // a note was added to an alarm
    Cierre,         // an alarm was closed with a resolution
    Reapertura,     // a supervisor reopened a closed alarm
    Restauracion,   // a restore of the same account and zone was attached to an open alarm
    AltaOperador,   // an operator was added
    BajaOperador,   // an operator was deactivated
    ClaveOperador,  // an operator's password was changed (never the password itself)
};

// The short Spanish code stored in audi_accion: "inicio", "parada",
// "importacion", "cambio_abonado", "reconocimiento", "acceso", "salida",
// "acceso_fallido", "cambio_turno", "nota", "cierre", "reapertura",
// "restauracion", "alta_operador", "baja_operador", "clave_operador".
QString codigo_accion(AccionAuditoria accion);
// The action of a stored code; false for a code this version does not know.
bool accion_de_codigo(const QString& codigo, AccionAuditoria& accion);

struct EntradaAuditoria {
    QString momento;  // "yyyy-MM-dd HH:mm:ss"
    QString puesto;   // the workstation
    QString operador; // empty when no operator is logged in
    AccionAuditoria accion = AccionAuditoria::Inicio;
    QString objeto;  // what the action was on: an alarm's key, an account; may be empty
    QString detalle; // free text for a reader; never a password
};

// The 64 zeros that stand for the hash before the first entry.
inline const QString kHashInicial = QString(64, QLatin1Char('0'));

// The canonical content of an entry's stored fields (the action as its code).
QByteArray contenido_canonico(const QString& momento, const QString& puesto,
                              const QString& operador, const QString& accion, const QString& objeto,
                              const QString& detalle);
// SHA-256 of `anterior` (64 hexadecimal digits) and `contenido`, as 64
// lower-case hexadecimal digits.
QString hash_auditoria(const QString& anterior, const QByteArray& contenido);

// Creates the audit table and its triggers when missing.
Fallo crear_tabla_auditoria(BaseDatos& base);

// Appends `entradas`, in order, in one transaction of their own (the table
// created first when missing): each gets the next sequence number and the hash
// over the last entry of the database. Appends of several workstations to one
// central server, or of several processes to one file, wait for each other
// (an advisory lock on PostgreSQL, the write lock on SQLite), so that the
// database holds one chain. An entry with an origin that the table holds
// already is skipped, inside the same transaction: an entry moved twice is
// stored once. `base` is an engine of its own (abrir_motor), not in a batch.
Fallo anotar_auditoria(BaseDatos& base, const std::vector<EntradaAuditoria>& entradas);
Fallo anotar_auditoria(BaseDatos& base, const EntradaAuditoria& entrada);
// As above, each entry with its origin: `origenes[i]` is the key of
// `entradas[i]` (the workstation and a random id, given when an entry goes
// through the local queue; empty: none). An entry whose origin the table holds
// already is skipped. The origin is stored, not hashed. `origenes` empty: none.
Fallo anotar_auditoria(BaseDatos& base, const std::vector<EntradaAuditoria>& entradas,
                       const QStringList& origenes);

// What a verification found.
struct VerificacionAuditoria {
    qint64 entradas = 0; // entries read and found chained
    qint64 primera = 0;  // the first and last sequence numbers verified; 0: none
    qint64 ultima = 0;
    bool tabla = true; // false: the database has no audit table
    // Empty when the chain is whole; else a Spanish sentence naming the first
    // entry found changed, missing or out of order ("La entrada 17 fue
    // modificada", "Falta la entrada 17", "La entrada 17 está fuera de orden"...).
    QString rotura;
    qint64 entradaRota = 0;
};

// Walks the entries in sequence order (streamed, none kept) and recomputes the
// chain. `desde`, `hasta`: moments "yyyy-MM-dd HH:mm:ss" (empty: unbounded);
// the entries verified are those from the first whose moment is not before
// `desde` to the last whose moment is not after `hasta`, chained from the hash
// stored in the entry before the first. Fails only when the database cannot be
// read; a broken chain is told in `resultado`.
Fallo verificar_auditoria(BaseDatos& base, const QString& desde, const QString& hasta,
                          VerificacionAuditoria& resultado);

} // namespace corvane
