#pragma once
// The local queue of pending rows: an SQLite file in the data folder
// (pendientes.db) that holds, durably and in arrival order, every event row that
// the event table does not hold yet. Rows enter in the batch discipline of the
// receive road (one transaction per read of received bytes, committed before
// the reports are shown) and leave, oldest first, once the event table has
// committed them. Each row carries its sequence number, which only grows: the
// event table's control record of the last number it holds (per queue) makes a
// row moved twice, after a crash between the two commits, be stored once.
//
// The same file keeps, in a table of its own, the writes of the alarm table
// (new alarms and acknowledgements) that the database has not taken yet, in the
// order they were made. Each is idempotent (an alarm is inserted once by its key;
// an acknowledgement marks only an alarm not acknowledged yet), so one written
// twice, after a crash between the database's commit and the removal here, does
// no harm.
//
// A third table keeps the audit entries (auditoria/auditoria.h) that the
// database has not taken yet, in the order they were made. An append is not
// idempotent, so each carries its origin key, and the database skips an entry
// whose key it holds already: one moved twice is stored once.
//
// A row that the target refused for good (one row's values, not the table: see
// store/errores_motor.h) leaves `pendientes` for the table `rechazadas`, in one
// transaction, with the server's SQLSTATE and message and the moment of the
// refusal, so that the rows after it move on; it keeps its sequence number.
// `corvane --pendientes` lists them, `corvane --reenviar-rechazadas` sends them
// again once the table is mended.
//
// One object per thread: the receive road writes through one, the drain loop
// reads and deletes through another on the same file (WAL lets them share it).

#include <QString>
#include <QVariant>

#include <vector>

#include "auditoria/auditoria.h"
#include "common/fallo.h"
#include "store/alarmas.h"
#include "store/esquema.h"

struct sqlite3;
struct sqlite3_stmt;

namespace corvane {

inline const QString kArchivoPendientes = QStringLiteral("pendientes.db");

// Rows as the queue holds them, oldest first: each one's sequence number, and its
// values in the order of esquema::kColumnas, as UTF-8 text (the level in decimal
// digits), each ended by a NUL byte, one row after another. All of them were
// queued under one key, `identidad`.
struct FilasPendientes {
    QString identidad;
    std::vector<qint64> secuencias;
    QByteArray valores;

    // The same rows as event rows, in order.
    std::vector<FilaEvento> filas() const;
    // Event rows in this form, numbered from 1, under no key.
    static FilasPendientes de(const std::vector<FilaEvento>& filas);
    // Rows [desde, hasta) of these, as the queue would have read them.
    FilasPendientes tramo(size_t desde, size_t hasta) const;
};

// A row set apart: its sequence number, its values, and why and when the
// target refused it.
struct FilaRechazada {
    qint64 secuencia = 0;
    QString identidad; // the key it was queued under
    FilaEvento fila;
    QString estado;  // the SQLSTATE
    QString mensaje; // the server's primary message
    QString momento; // "yyyy-MM-dd HH:mm:ss", local time of the refusal
};

// An audit entry as the queue holds it: its sequence number in the queue, the
// entry, and its origin key (the workstation and a random id).
struct AuditoriaPendiente {
    qint64 secuencia = 0;
    EntradaAuditoria entrada;
    QString origen;
};

// The queue files of a data folder: pendientes.db and those named
// pendientes-N.db beside it, sorted by name.
QStringList archivos_de_cola(const QString& carpeta);

class ColaPendientes {
public:
    ColaPendientes() = default;
    ~ColaPendientes();
    ColaPendientes(const ColaPendientes&) = delete;
    ColaPendientes& operator=(const ColaPendientes&) = delete;

    // Opens (creating when missing) the queue file at `ruta`; an existing file that
    // is not a queue is never written into.
    Fallo abrir(const QString& ruta);
    // Opens an existing queue file read-only: nothing is created or changed (a
    // queue of an older version, without `rechazadas`, has none).
    Fallo abrir_lectura(const QString& ruta);
    bool abierta() const { return db_ != nullptr; }
    void cerrar();
    // The queue's identity: a random name given when the file was created, the key
    // of the control record of the rows queued before rows carried keys of their own.
    QString identidad() const { return identidad_; }
    // The key of the rows this connection queues from now on: each run of a store
    // queues under a new random key, so that a queue file put back from an older
    // copy, or the same folder copied to a second workstation, never queues a row
    // under a (key, sequence) that a target already holds. Empty: identidad().
    void ponerIdentidadEnvio(const QString& identidad) { identidadEnvio_ = identidad.toUtf8(); }
    // Milliseconds a statement waits for another connection's lock (300 by default).
    void ponerEsperaBloqueo(int ms);

    // One transaction around the rows of one batch.
    Fallo comenzar();
    Fallo confirmar();
    void deshacer();
    Fallo encolar(const FilaEvento& fila);

    // Up to `maximo` rows with a sequence above `despues`, oldest first, all of
    // them under the key of the oldest.
    Fallo leer(qint64 despues, int maximo, FilasPendientes& filas);
    // Removes every row up to and including `secuencia`.
    Fallo borrar_hasta(qint64 secuencia);
    Fallo contar(qint64& cantidad);

    // The alarm-table writes: appended in one transaction, read oldest first (up
    // to `maximo`), removed up to and including `secuencia`.
    Fallo encolar_alarmas(const std::vector<AlarmaPendiente>& alarmas);
    Fallo leer_alarmas(int maximo, std::vector<AlarmaPendiente>& alarmas);
    Fallo borrar_alarmas_hasta(qint64 secuencia);
    Fallo contar_alarmas(qint64& cantidad);

    // The audit entries (cola_auditoria.cpp): appended in one transaction, read
    // oldest first (up to `maximo`), removed up to and including `secuencia`. A
    // queue of an older version, opened read-only, counts none.
    Fallo encolar_auditoria(const std::vector<AuditoriaPendiente>& entradas);
    Fallo leer_auditoria(int maximo, std::vector<AuditoriaPendiente>& entradas);
    Fallo borrar_auditoria_hasta(qint64 secuencia);
    Fallo contar_auditoria(qint64& cantidad);

    // Moves the row `secuencia` from `pendientes` to `rechazadas` in one
    // transaction, with the refusal's SQLSTATE, message and moment.
    Fallo rechazar(qint64 secuencia, const QString& estado, const QString& mensaje,
                   const QString& momento);
    // Every row set apart, oldest first.
    Fallo leer_rechazadas(std::vector<FilaRechazada>& filas);
    // A row sent again: gone when the target took it (`estado` empty), else its
    // new cause and moment.
    Fallo resolver_rechazada(qint64 secuencia, const QString& estado, const QString& mensaje,
                             const QString& momento);

private:
    Fallo fallo(int codigo) const;
    Fallo ejecutar(const char* sentencia);
    // Runs `sentencia` with its one "?" bound to `valor`, a text or a whole number.
    Fallo ejecutar(const char* sentencia, const QVariant& valor);
    Fallo contar_en(const char* tabla, qint64& cantidad);
    Fallo preparar(const QString& sentencia, sqlite3_stmt*& st);
    bool hayTabla(const char* tabla);
    Fallo crearAuditoria();

    sqlite3* db_ = nullptr;
    sqlite3_stmt* insercion_ = nullptr;
    sqlite3_stmt* lectura_ = nullptr;
    QString identidad_;
    QByteArray identidadEnvio_;
};

} // namespace corvane
