#pragma once
// The event stream of the local queue and its target the event file: rows that
// the file refused wait in the queue's table `pendientes` (in memory when not
// even the queue takes them) and the drain loop moves them back, oldest first,
// with the file's control record of the last moved sequence number in the same
// transaction.

#include <QString>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>

#include "cola/drenaje.h"
#include "store/esquema.h"

namespace corvane {

// What the receive road and the drain loop share.
struct EsperaEventos {
    QString ruta; // the event file
    QString cola; // the queue file
    std::mutex mutex;
    // Rows the queue did not take, in order, behind those of the queue.
    std::deque<FilaEvento> memoria;
    // Rows waiting, in the queue and in memory.
    std::atomic<qint64> esperando{0};
    // Rows dropped because not even memory could hold them any more.
    std::atomic<qint64> descartadas{0};
};

class FlujoEventosArchivo : public Flujo {
public:
    explicit FlujoEventosArchivo(std::shared_ptr<EsperaEventos> e);
    ~FlujoEventosArchivo() override;
    Fallo enviarTanda(const std::atomic<bool>& parar, qint64& movidos) override;
    void soltar() override;
    void cerrar() override;

private:
    struct Conexiones;
    std::shared_ptr<EsperaEventos> e_;
    std::unique_ptr<Conexiones> c_;
};

} // namespace corvane
