#pragma once
// The database routines. Each traps every failure of its own steps, logs its
// number with the routine's label through registrar_error, skips the rest of its
// steps and returns normally: the caller is never told.

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <functional>

#include "store/definesBaseDatos.h"

namespace corvane {

// Clears every open flag; the references stay.
void inic_base_de_datos(ConjuntoBases& bases);

// Opens the database `ruta` (an SQLite file, created with its table when missing,
// or a postgresql:// URL) into database slot `indice`. On failure the slot keeps
// what it held. Label "abrir_base_de_datos".
void abrir_base_de_datos(const QString& ruta, qint16 indice, ConjuntoBases& bases);

// Stores one event row on the database of slot `indice`, with the engine's
// prepared INSERT. Label "NuevoDato".
void NuevoDato(const FilaEvento& fila, qint16 indice, ConjuntoBases& bases);

// Runs one statement text on the database of slot `indice`. Label "NuevoDato".
void NuevoDato(const QString& sentencia, qint16 indice, ConjuntoBases& bases);

// Batches: the rows that NuevoDato stores on slot `indice` between comenzar_lote
// and terminar_lote share one transaction, committed by terminar_lote. Each still
// runs at once and in order, and each failure is still logged on its own under
// "NuevoDato". When a row fails, or the commit does, the transaction is undone and
// the rows it held are stored again one at a time, so that every row is either
// stored or logged, never silently lost; the rest of the batch then runs one row
// at a time. A statement text on the slot commits the batch's rows before it runs.
void comenzar_lote(ConjuntoBases& bases, qint16 indice);
void terminar_lote(ConjuntoBases& bases);

// Logs, under "NuevoDato", the failures met off the receive road by the store of
// slot `indice` (its drain loop), and returns how many rows
// its local queue still holds; `huboFallos`, when given, tells whether any was met
// (a row the target refused for good and set apart, fallos::kFilaRechazada, is no
// failure of the store: it is logged, but not counted there). `dichos`, when
// given, receives every failure logged, with its detail, in order.
qint64 revisar_pendientes(ConjuntoBases& bases, qint16 indice, bool* huboFallos = nullptr,
                          std::vector<Fallo>* dichos = nullptr);

// Waits, logging as revisar_pendientes does, until the local queue of slot
// `indice` is empty, or no row has left it for `sinProgresoMs` while its store
// fails, or `parar` says so. Returns the rows still queued.
qint64 esperar_pendientes(ConjuntoBases& bases, qint16 indice, int sinProgresoMs,
                          const std::function<bool()>& parar = {},
                          std::vector<Fallo>* dichos = nullptr);

// One listed row, its values converted as the listing needs them.
struct FilaHistorial {
    QString abonado;
    qlonglong nivel = 0;
    QString origen;        // as stored
    double origenNumero = 0;
    QDateTime momento;     // invalid when the stored value is not a moment
    QString momentoTexto;  // the stored value as text
};

// Runs a SELECT on database slot `indice`, parks its recordset in recordset slot
// `indiceRegistros` and returns the listing: `linea` of each row in order, or
// `sinFilas` when there is none. On failure it logs "buscar_ultima_pos_Error" and
// returns the lines built so far. `fallo`, when given, receives the failure (none
// when the listing is whole), for a caller that must tell it. The listing's forms
// are in consola/listado.h.
QString consultar_historial(const QString& sentencia, qint16 indice, qint16 indiceRegistros,
                            ConjuntoBases& bases,
                            const std::function<QString(const FilaHistorial&)>& linea,
                            const QString& sinFilas, Fallo* fallo = nullptr);

// A stored moment read back: SQLite gives the stored text, PostgreSQL a timestamp.
QDateTime momento_guardado(const QVariant& valor);

} // namespace corvane
