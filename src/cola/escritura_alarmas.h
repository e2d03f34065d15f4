#pragma once
// Alarm-table writes that nothing loses. A write goes to the event file at once
// when no earlier one waits (to a central server, always through the drain
// loop, which is told at once); otherwise, or when the database refuses it, it waits
// in the local queue's table `alarmas` (in memory, in order, when not even the
// queue takes it), and the drain loop moves it, oldest first, to the database.
// Every write is idempotent, so one that reaches the database twice (the process
// killed between the database's commit and the removal from the queue) does no
// harm.

#include <QString>

#include <memory>
#include <vector>

#include "cola/drenaje.h"
#include "store/alarmas.h"
#include "store/motor.h"

namespace corvane {

struct EsperaAlarmas;

class EscrituraAlarmas {
public:
    // `cola`: the queue file (empty: what waits is held in memory); `destino`: the
    // database the drain loop writes to, as abrir_motor takes it. Registers its
    // stream in `drenaje`, which must not be started yet.
    EscrituraAlarmas(const QString& cola, const QString& destino, Drenaje& drenaje);
    ~EscrituraAlarmas();
    EscrituraAlarmas(const EscrituraAlarmas&) = delete;
    EscrituraAlarmas& operator=(const EscrituraAlarmas&) = delete;

    // Writes `alarmas` to `base` (null: no database, they wait). Returns the
    // failure met, of the database or of the queue; the writes wait in either case.
    Fallo escribir(BaseDatos* base, const std::vector<AlarmaPendiente>& alarmas);
    // Writes waiting, in the queue and in memory.
    qint64 esperando() const;
    // The waiting writes, oldest first.
    Fallo leerEsperando(std::vector<AlarmaPendiente>& alarmas);
    // Failures the drain loop met moving them, once per outage.
    std::vector<Fallo> fallos();
    // True while the drain loop's last attempt failed.
    bool fallando() const;

private:
    Fallo guardarEsperando(const std::vector<AlarmaPendiente>& alarmas);

    std::shared_ptr<EsperaAlarmas> espera_;
    Drenaje& drenaje_;
    std::size_t flujo_ = 0;
};

} // namespace corvane
