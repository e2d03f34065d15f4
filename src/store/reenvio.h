#pragma once
// The forwarder: a thread of its own that moves the rows of the local queue of
// pending rows to the central PostgreSQL event table, oldest first, in batches
// sent with COPY, and removes them from the queue once the server has committed
// them. The batch and the queue's control record (the last sequence number the
// server holds for this queue) are committed in one transaction, so a row is
// never stored twice, whatever moment the process is killed at.
//
// Nothing here ever blocks the caller's thread: every wait on the server is
// bounded and watched for the stop request, so a frozen, unreachable or slow
// server costs the caller nothing, and detener() returns within its limit. What
// the server refuses (down, unreachable, login refused, database missing, table
// with other columns) is retried, every 2 s at first and at most every 30 s.

#include <QString>

#include <memory>
#include <vector>

#include "common/fallo.h"

namespace corvane {

struct EstadoReenvio;

class Reenvio {
public:
    // `cola`: the queue file; `url`: the server, as --base gives it.
    Reenvio(QString cola, QString url);
    ~Reenvio();
    Reenvio(const Reenvio&) = delete;
    Reenvio& operator=(const Reenvio&) = delete;

    // New rows were committed to the queue: move them now.
    void avisar();
    // Stops the thread, waiting at most `ms` for it; a thread still inside a call
    // to the server is left to end with the process. Rows not moved stay queued.
    void detener(int ms);
    // Milliseconds the thread gets when its store closes (and at destruction).
    static constexpr int kCierreMs = 1500;

    // Failures met since the last call, in order, each as the number error.log
    // records (already told once each: the caller decides what to log).
    std::vector<Fallo> fallos();
    // Rows moved since the start.
    qint64 movidas() const;
    // The number of the last failure met.
    qint32 ultimoFallo() const;
    // True while the last attempt failed and rows wait.
    bool fallando() const;

private:
    std::shared_ptr<EstadoReenvio> estado_;
};

} // namespace corvane
