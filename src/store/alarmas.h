#pragma once
// The store of the alarm table (TABLA_ALARMAS, next to TABLA_GENERAL on the same
// database, either engine): new alarms, their acknowledgement, and the alarms a
// workstation has not acknowledged yet. Every statement goes through the engine
// interface as one statement text, so whatever stands behind BaseDatos (a file, a
// server) serves it; the table and its index are created the first time a write
// finds them missing. Each routine runs on its own, outside any batch of event
// rows, and returns its failure.

#include <QElapsedTimer>
#include <QStringList>

#include <deque>
#include <vector>

#include "common/fallo.h"
#include "common/registro_errores.h"
#include "store/cola_pendientes.h"
#include "store/esquema.h"
#include "store/motor.h"

namespace corvane {

// The failure of an alarm write or read with no database at hand.
inline const Fallo kSinBaseAlarmas{fallos::kSinObjeto, QStringLiteral("no hay base de datos abierta")};

// Stores `alarmas` (not acknowledged: their acknowledgement fields empty) in one
// statement; an alarm whose key the table holds already is left as it is.
Fallo guardar_alarmas(BaseDatos& base, const std::vector<FilaAlarma>& alarmas);

// Marks the alarms of `claves` as acknowledged at `momento` ("yyyy-MM-dd
// HH:mm:ss") by workstation `puesto`. An alarm acknowledged already keeps its
// first acknowledgement.
Fallo reconocer_alarmas(BaseDatos& base, const QStringList& claves, const QString& momento,
                        const QString& puesto);

// The alarms that workstation `receptor` (empty: any) received and nobody has
// acknowledged, newest first. A database without the alarm table has none.
Fallo leer_alarmas_sin_reconocer(BaseDatos& base, const QString& receptor,
                                 std::vector<FilaAlarma>& alarmas);
// The last `maximo` alarms acknowledged, by any workstation, the latest
// acknowledgement first.
Fallo leer_alarmas_reconocidas(BaseDatos& base, int maximo, std::vector<FilaAlarma>& alarmas);

// Alarm-table writes that nothing loses. A write goes to the database at once
// when no earlier one waits; otherwise, or when the database refuses it, it waits
// in the local queue's file (in memory, in order, when not even that takes it)
// and is tried again, oldest first, by reintentar(): the first pause is 2 s,
// doubled after each failed attempt up to 30 s. Every write is idempotent, so one
// that reaches the database twice does no harm.
class EscrituraAlarmas {
public:
    // `cola`: the local queue's file; empty: waiting writes are held in memory.
    explicit EscrituraAlarmas(QString cola);

    // Writes `alarmas` to `base` (null: no database, they wait). Returns the
    // failure met, of the database or of the queue; the writes wait in either case.
    Fallo escribir(BaseDatos* base, const std::vector<AlarmaPendiente>& alarmas);
    // Moves the waiting writes to `base`, when the pause since the last failed
    // attempt is over or `yaMismo`; returns the failure that stopped it.
    Fallo reintentar(BaseDatos* base, bool yaMismo = false);
    // Writes waiting, in the queue and in memory.
    qint64 esperando() const { return enCola_ + static_cast<qint64>(memoria_.size()); }
    // The waiting writes, oldest first.
    Fallo leerEsperando(std::vector<AlarmaPendiente>& alarmas);

private:
    Fallo abrirCola();
    Fallo guardarEsperando(const std::vector<AlarmaPendiente>& alarmas);
    Fallo moverCola(BaseDatos& base);
    Fallo moverMemoria(BaseDatos& base);
    void fallar();

    QString rutaCola_;
    ColaPendientes cola_;
    qint64 enCola_ = 0;
    std::deque<AlarmaPendiente> memoria_;
    QElapsedTimer intento_;
    int pausaMs_ = 0;
};

} // namespace corvane
