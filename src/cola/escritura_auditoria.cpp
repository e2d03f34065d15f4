#include "cola/escritura_auditoria.h"

#include <QDateTime>
#include <QFile>
#include <QSysInfo>
#include <QUuid>

#include <atomic>
#include <deque>
#include <mutex>

#include "cola/cola_pendientes.h"
#include "common/registro_errores.h"
#include "store/motor.h"

namespace corvane {

namespace {

// Waiting entries appended in one transaction.
constexpr int kEntradasPorTanda = 200;

const Fallo kSinCola{fallos::kSinObjeto, QStringLiteral("sin cola local")};

// Appends `tanda` in one transaction, each entry under its origin.
Fallo guardar(BaseDatos& base, const std::vector<AuditoriaPendiente>& tanda) {
    std::vector<EntradaAuditoria> entradas;
    QStringList origenes;
    for (const AuditoriaPendiente& a : tanda) {
        entradas.push_back(a.entrada);
        origenes << a.origen;
    }
    return anotar_auditoria(base, entradas, origenes);
}

} // namespace

// What the producer and the drain loop share: the entries that wait in memory
// (the queue did not take them), behind those of the queue, and the count of
// every waiting entry.
struct EsperaAuditoria {
    QString cola;
    QString destino;
    std::mutex mutex;
    std::deque<AuditoriaPendiente> memoria;
    std::atomic<qint64> esperando{0};
    ColaPendientes colaProductor; // the producer's connection to the queue file
};

namespace {

class FlujoAuditoria : public Flujo {
public:
    explicit FlujoAuditoria(std::shared_ptr<EsperaAuditoria> e) : e_(std::move(e)) {}

    Fallo enviarTanda(const std::atomic<bool>&, qint64& movidos) override {
        movidos = 0;
        if (e_->esperando.load() == 0) return {};
        const Fallo sinCola = abrirCola();
        if (!sinCola) {
            std::vector<AuditoriaPendiente> tanda;
            if (Fallo f = cola_.leer_auditoria(kEntradasPorTanda, tanda)) return f;
            if (!tanda.empty()) {
                if (Fallo f = abrirBase()) return f;
                if (Fallo f = guardar(*base_, tanda)) return f;
                // Killed here, the batch is moved again: its origins are found
                // stored and nothing is appended twice.
                if (Fallo f = cola_.borrar_auditoria_hasta(tanda.back().secuencia)) return f;
                e_->esperando.fetch_sub(static_cast<qint64>(tanda.size()));
                movidos = static_cast<qint64>(tanda.size());
                return {};
            }
        }
        // The queue is empty or cannot be used: what waits in memory goes to the
        // queue when it takes it, else straight to the database.
        std::vector<AuditoriaPendiente> memoria;
        {
            const std::lock_guard<std::mutex> l(e_->mutex);
            const std::size_t n = std::min<std::size_t>(e_->memoria.size(), kEntradasPorTanda);
            memoria.assign(e_->memoria.begin(),
                           e_->memoria.begin() + static_cast<std::ptrdiff_t>(n));
            // Nothing left anywhere: the count follows what the queue holds.
            qint64 enCola = 0;
            if (memoria.empty() && !sinCola && !cola_.contar_auditoria(enCola) && enCola == 0)
                e_->esperando.store(0);
        }
        if (memoria.empty()) return sinCola;
        Fallo f;
        if (sinCola || (f = cola_.encolar_auditoria(memoria))) {
            // Entries of the queue that cannot be read now go first.
            qint64 enMemoria = 0;
            {
                const std::lock_guard<std::mutex> l(e_->mutex);
                enMemoria = static_cast<qint64>(e_->memoria.size());
            }
            if (e_->esperando.load() > enMemoria) return f ? f : sinCola;
            if (Fallo g = abrirBase()) return g;
            if (Fallo g = guardar(*base_, memoria)) return g;
            e_->esperando.fetch_sub(static_cast<qint64>(memoria.size()));
        }
        const std::lock_guard<std::mutex> l(e_->mutex);
        e_->memoria.erase(e_->memoria.begin(),
                          e_->memoria.begin() + static_cast<std::ptrdiff_t>(memoria.size()));
        movidos = static_cast<qint64>(memoria.size());
        return {};
    }
    void soltar() override { base_.reset(); }
    void cerrar() override {
        base_.reset();
        cola_.cerrar();
    }

private:
    Fallo abrirCola() {
        if (cola_.abierta()) return {};
        if (e_->cola.isEmpty()) return kSinCola;
        return cola_.abrir(e_->cola);
    }
    Fallo abrirBase() {
        if (base_) return {};
        return abrir_motor(e_->destino, base_);
    }

    std::shared_ptr<EsperaAuditoria> e_;
    ColaPendientes cola_;
    std::unique_ptr<BaseDatos> base_;
};

} // namespace

EscrituraAuditoria::EscrituraAuditoria(const QString& cola, const QString& destino,
                                       Drenaje& drenaje)
    : espera_(std::make_shared<EsperaAuditoria>()), drenaje_(drenaje) {
    espera_->cola = cola;
    espera_->destino = destino;
    // Entries left waiting by an earlier run go before any new one.
    if (!cola.isEmpty() && QFile::exists(cola) && !espera_->colaProductor.abrir(cola)) {
        qint64 n = 0;
        if (!espera_->colaProductor.contar_auditoria(n)) espera_->esperando.store(n);
    }
    flujo_ = drenaje_.agregar(std::make_unique<FlujoAuditoria>(espera_));
}

EscrituraAuditoria::~EscrituraAuditoria() = default;

qint64 EscrituraAuditoria::esperando() const {
    return espera_->esperando.load();
}

qint64 EscrituraAuditoria::soloEnMemoria() const {
    const std::lock_guard<std::mutex> l(espera_->mutex);
    return static_cast<qint64>(espera_->memoria.size());
}

std::vector<Fallo> EscrituraAuditoria::fallos() {
    return drenaje_.fallos(flujo_);
}

bool EscrituraAuditoria::fallando() const {
    return drenaje_.fallando(flujo_);
}

Fallo EscrituraAuditoria::anotar(const EntradaAuditoria& entrada) {
    return anotar(std::vector<EntradaAuditoria>{entrada});
}

Fallo EscrituraAuditoria::anotar(const std::vector<EntradaAuditoria>& dadas) {
    if (dadas.empty()) return {};
    std::vector<AuditoriaPendiente> entradas;
    const QString ahora =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    for (const EntradaAuditoria& e : dadas) {
        AuditoriaPendiente a{0, e, {}};
        if (a.entrada.momento.isEmpty()) a.entrada.momento = ahora;
        a.origen = (e.puesto.isEmpty() ? QSysInfo::machineHostName() : e.puesto) +
                   QLatin1Char('/') + QUuid::createUuid().toString(QUuid::WithoutBraces);
        entradas.push_back(std::move(a));
    }
    // The event file answers at once (or within its short lock wait); a server
    // is left to the drain loop, told now.
    Fallo f;
    if (esperando() == 0 && !es_url_postgresql(espera_->destino)) {
        std::unique_ptr<BaseDatos> base;
        f = abrir_motor(espera_->destino, base);
        if (!f) f = guardar(*base, entradas);
        if (!f) return {};
    }
    const Fallo g = guardarEsperando(entradas);
    drenaje_.avisar();
    return f ? f : g;
}

// Behind the entries waiting already: in the queue while memory holds none (the
// order is kept), else in memory.
Fallo EscrituraAuditoria::guardarEsperando(const std::vector<AuditoriaPendiente>& entradas) {
    EsperaAuditoria& e = *espera_;
    const std::lock_guard<std::mutex> l(e.mutex);
    Fallo f;
    if (e.memoria.empty()) {
        if (!e.colaProductor.abierta())
            f = e.cola.isEmpty() ? kSinCola : e.colaProductor.abrir(e.cola);
        if (!f && !(f = e.colaProductor.encolar_auditoria(entradas))) {
            e.esperando.fetch_add(static_cast<qint64>(entradas.size()));
            return {};
        }
    }
    e.memoria.insert(e.memoria.end(), entradas.begin(), entradas.end());
    e.esperando.fetch_add(static_cast<qint64>(entradas.size()));
    return f;
}

} // namespace corvane
