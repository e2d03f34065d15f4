#include "cola/escritura_alarmas.h"

#include <QFile>

#include <atomic>
#include <deque>
#include <mutex>

#include "cola/cola_pendientes.h"
#include "common/registro_errores.h"

namespace corvane {

namespace {

// Waiting writes moved to the database in one batch.
constexpr int kAlarmasPorTanda = 500;

} // namespace

// What the producer and the drain loop share: the writes that wait in memory
// (the queue did not take them), behind those of the queue, and the count of
// every waiting write.
struct EsperaAlarmas {
    QString cola;
    QString destino;
    std::mutex mutex;
    std::deque<AlarmaPendiente> memoria;
    std::atomic<qint64> esperando{0};
    ColaPendientes colaProductor; // the producer's connection to the queue file
};

namespace {

class FlujoAlarmas : public Flujo {
public:
    explicit FlujoAlarmas(std::shared_ptr<EsperaAlarmas> e) : e_(std::move(e)) {}

    Fallo enviarTanda(const std::atomic<bool>&, qint64& movidos) override {
        movidos = 0;
        if (e_->esperando.load() == 0) return {};
        Fallo sinCola = abrirCola();
        if (!sinCola) {
            std::vector<AlarmaPendiente> tanda;
            if (Fallo f = cola_.leer_alarmas(kAlarmasPorTanda, tanda)) return f;
            if (!tanda.empty()) {
                if (Fallo f = abrirBase()) return f;
                std::size_t hechas = 0;
                const Fallo f = aplicar_alarmas(*base_, tanda, hechas);
                if (hechas > 0) {
                    if (Fallo g = cola_.borrar_alarmas_hasta(tanda[hechas - 1].secuencia)) return g;
                    e_->esperando.fetch_sub(static_cast<qint64>(hechas));
                    movidos = static_cast<qint64>(hechas);
                }
                return f;
            }
        }
        // The queue is empty or cannot be used: what waits in memory goes to the
        // queue when it takes it, else straight to the database.
        std::vector<AlarmaPendiente> memoria;
        {
            const std::lock_guard<std::mutex> l(e_->mutex);
            const std::size_t n = std::min<std::size_t>(e_->memoria.size(), kAlarmasPorTanda);
            memoria.assign(e_->memoria.begin(),
                           e_->memoria.begin() + static_cast<std::ptrdiff_t>(n));
            // Nothing left anywhere: the count follows what the queue holds.
            qint64 enCola = 0;
            if (memoria.empty() && !sinCola && !cola_.contar_alarmas(enCola) && enCola == 0)
                e_->esperando.store(0);
        }
        if (memoria.empty()) return sinCola;
        std::size_t hechas = 0;
        Fallo f;
        if (!sinCola && !(f = cola_.encolar_alarmas(memoria))) {
            hechas = memoria.size();
        } else {
            // Writes of the queue that cannot be read now go first: an
            // acknowledgement must not reach the table before its alarm.
            qint64 enMemoria = 0;
            {
                const std::lock_guard<std::mutex> l(e_->mutex);
                enMemoria = static_cast<qint64>(e_->memoria.size());
            }
            if (e_->esperando.load() > enMemoria) return f ? f : sinCola;
            if (Fallo g = abrirBase()) return g;
            f = aplicar_alarmas(*base_, memoria, hechas);
            e_->esperando.fetch_sub(static_cast<qint64>(hechas));
        }
        const std::lock_guard<std::mutex> l(e_->mutex);
        e_->memoria.erase(e_->memoria.begin(),
                          e_->memoria.begin() + static_cast<std::ptrdiff_t>(hechas));
        movidos = static_cast<qint64>(hechas);
        return hechas == memoria.size() ? Fallo{} : f;
    }
    void soltar() override { base_.reset(); }
    void cerrar() override {
        base_.reset();
        cola_.cerrar();
    }

private:
    Fallo abrirCola() {
        if (cola_.abierta()) return {};
        if (e_->cola.isEmpty()) return {fallos::kSinObjeto, QStringLiteral("sin cola local")};
        return cola_.abrir(e_->cola);
    }
    Fallo abrirBase() {
        if (base_) return {};
        return abrir_motor(e_->destino, base_);
    }

    std::shared_ptr<EsperaAlarmas> e_;
    ColaPendientes cola_;
    std::unique_ptr<BaseDatos> base_;
};

} // namespace

EscrituraAlarmas::EscrituraAlarmas(const QString& cola, const QString& destino, Drenaje& drenaje)
    : espera_(std::make_shared<EsperaAlarmas>()), drenaje_(drenaje) {
    espera_->cola = cola;
    espera_->destino = destino;
    // Writes left waiting by an earlier run go before any new one.
    if (!cola.isEmpty() && QFile::exists(cola) && !espera_->colaProductor.abrir(cola)) {
        qint64 n = 0;
        if (!espera_->colaProductor.contar_alarmas(n)) espera_->esperando.store(n);
    }
    flujo_ = drenaje_.agregar(std::make_unique<FlujoAlarmas>(espera_));
}

EscrituraAlarmas::~EscrituraAlarmas() = default;

qint64 EscrituraAlarmas::esperando() const {
    return espera_->esperando.load();
}

std::vector<Fallo> EscrituraAlarmas::fallos() {
    return drenaje_.fallos(flujo_);
}

bool EscrituraAlarmas::fallando() const {
    return drenaje_.fallando(flujo_);
}

Fallo EscrituraAlarmas::escribir(BaseDatos* base, const std::vector<AlarmaPendiente>& alarmas) {
    if (alarmas.empty()) return {};
    std::size_t hechas = 0;
    Fallo f;
    // A central server is written by the drain loop only: a server that is slow
    // or frozen never holds the receive road or the operator's step.
    const bool central = base != nullptr && base->dialecto() == Dialecto::PostgreSQL;
    if (esperando() == 0 && !central) {
        f = base == nullptr ? kSinBaseAlarmas : aplicar_alarmas(*base, alarmas, hechas);
        if (!f) return {};
    }
    const Fallo g =
        guardarEsperando({alarmas.begin() + static_cast<std::ptrdiff_t>(hechas), alarmas.end()});
    drenaje_.avisar();
    return f ? f : g;
}

// Behind the writes waiting already: in the queue while memory holds none (the
// order is kept), else in memory.
Fallo EscrituraAlarmas::guardarEsperando(const std::vector<AlarmaPendiente>& alarmas) {
    EsperaAlarmas& e = *espera_;
    const std::lock_guard<std::mutex> l(e.mutex);
    Fallo f;
    if (e.memoria.empty()) {
        if (!e.colaProductor.abierta())
            f = e.cola.isEmpty() ? Fallo{fallos::kSinObjeto, QStringLiteral("sin cola local")}
                                 : e.colaProductor.abrir(e.cola);
        if (!f && !(f = e.colaProductor.encolar_alarmas(alarmas))) {
            e.esperando.fetch_add(static_cast<qint64>(alarmas.size()));
            return {};
        }
    }
    e.memoria.insert(e.memoria.end(), alarmas.begin(), alarmas.end());
    e.esperando.fetch_add(static_cast<qint64>(alarmas.size()));
    return f;
}

Fallo EscrituraAlarmas::leerEsperando(std::vector<AlarmaPendiente>& alarmas) {
    alarmas.clear();
    EsperaAlarmas& e = *espera_;
    const std::lock_guard<std::mutex> l(e.mutex);
    Fallo f;
    if (!e.colaProductor.abierta() && !e.cola.isEmpty() && QFile::exists(e.cola))
        f = e.colaProductor.abrir(e.cola);
    qint64 enCola = 0;
    if (!f && e.colaProductor.abierta() && !(f = e.colaProductor.contar_alarmas(enCola)) &&
        enCola > 0)
        f = e.colaProductor.leer_alarmas(static_cast<int>(enCola), alarmas);
    alarmas.insert(alarmas.end(), e.memoria.begin(), e.memoria.end());
    return f;
}

} // namespace corvane
