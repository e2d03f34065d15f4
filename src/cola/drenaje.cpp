#include "cola/drenaje.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace corvane {

namespace {

using Monotono = std::chrono::steady_clock;

constexpr int kPausaInicialMs = 2000;
constexpr int kPausaMaximaMs = 15000;
// A stream with nothing to send is looked at again after this long even with no
// notice, so that items queued by another process (a restarted console) move too.
constexpr int kVistazoMs = 1000;

} // namespace

int pausa_reintento(int fallos) {
    if (fallos <= 0) return 0;
    int pausa = kPausaInicialMs;
    for (int i = 1; i < fallos && pausa < kPausaMaximaMs; ++i) pausa *= 2;
    return std::min(pausa, kPausaMaximaMs);
}

struct EstadoFlujo {
    std::unique_ptr<Flujo> flujo;
    int seguidos = 0; // failed attempts in a row
    Monotono::time_point proximo{};
    std::atomic<bool> fallando{false};
    std::atomic<qint32> ultimoNumero{0};
    std::atomic<qint64> movidos{0};
    std::vector<Fallo> fallos; // under EstadoDrenaje::mutex
};

struct EstadoDrenaje {
    std::vector<std::unique_ptr<EstadoFlujo>> flujos;
    std::mutex mutex;
    std::condition_variable aviso;
    bool hayAviso = false;
    std::atomic<bool> parar{false};
    bool iniciado = false;
    bool abandonado = false; // detener() gave up waiting for the loop
    bool terminado = false;
    std::condition_variable fin;
};

namespace {

// A failure is told once per outage: the same number again, before a batch has
// gone through, is the same failure.
void anotar(EstadoDrenaje& e, EstadoFlujo& s, Fallo f) {
    const bool repetida = s.fallando.exchange(true) && s.ultimoNumero.load() == f.numero;
    s.ultimoNumero.store(f.numero);
    if (repetida) return;
    const std::lock_guard<std::mutex> l(e.mutex);
    s.fallos.push_back(std::move(f));
}

// One look at stream `s`: batches until none waits, a failure, or a stop.
// Returns true when items moved.
bool atender(EstadoDrenaje& e, EstadoFlujo& s) {
    bool movio = false;
    while (!e.parar.load()) {
        qint64 n = 0;
        Fallo f = s.flujo->enviarTanda(e.parar, n);
        if (std::vector<Fallo> a = s.flujo->avisos(); !a.empty()) {
            const std::lock_guard<std::mutex> l(e.mutex);
            for (Fallo& x : a) s.fallos.push_back(std::move(x));
        }
        // A batch may have moved part of its items before it failed.
        s.movidos.fetch_add(n);
        if (f) {
            if (e.parar.load()) break;
            s.flujo->soltar();
            anotar(e, s, std::move(f));
            s.proximo = Monotono::now() + std::chrono::milliseconds(pausa_reintento(++s.seguidos));
            break;
        }
        s.seguidos = 0;
        s.fallando.store(false);
        if (n == 0) break;
        movio = true;
    }
    return movio;
}

void trabajar(const std::shared_ptr<EstadoDrenaje>& estado) {
    EstadoDrenaje& e = *estado;
    while (!e.parar.load()) {
        bool movio = false;
        Monotono::time_point siguiente = Monotono::now() + std::chrono::milliseconds(kVistazoMs);
        for (auto& s : e.flujos) {
            if (e.parar.load()) break;
            if (s->seguidos > 0 && Monotono::now() < s->proximo) {
                siguiente = std::min(siguiente, s->proximo);
                continue;
            }
            movio = atender(e, *s) || movio;
            if (s->seguidos > 0) siguiente = std::min(siguiente, s->proximo);
        }
        if (movio) continue;
        std::unique_lock<std::mutex> l(e.mutex);
        e.aviso.wait_until(l, siguiente, [&] { return e.hayAviso || e.parar.load(); });
        // A notice wakes the streams that are not pausing after a failure.
        e.hayAviso = false;
    }
    for (auto& s : e.flujos) s->flujo->cerrar();
    const std::lock_guard<std::mutex> l(e.mutex);
    e.terminado = true;
    e.fin.notify_all();
}

} // namespace

Drenaje::Drenaje() : estado_(std::make_shared<EstadoDrenaje>()) {}

Drenaje::~Drenaje() {
    detener();
}

std::size_t Drenaje::agregar(std::unique_ptr<Flujo> flujo) {
    auto s = std::make_unique<EstadoFlujo>();
    s->flujo = std::move(flujo);
    estado_->flujos.push_back(std::move(s));
    return estado_->flujos.size() - 1;
}

void Drenaje::iniciar() {
    if (estado_->iniciado) return;
    estado_->iniciado = true;
    // The thread shares the state: a stream stuck in a call to its target past
    // detener()'s limit still finds it when it returns.
    std::thread(trabajar, estado_).detach();
}

void Drenaje::avisar() {
    const std::lock_guard<std::mutex> l(estado_->mutex);
    estado_->hayAviso = true;
    estado_->aviso.notify_all();
}

void Drenaje::detener(int ms) {
    std::unique_lock<std::mutex> l(estado_->mutex);
    estado_->parar.store(true);
    estado_->aviso.notify_all();
    // A loop that did not end within the limit once (a stream inside a call to
    // a server that does not answer) is not waited for again: each stop keeps
    // its limit.
    if (!estado_->iniciado || estado_->abandonado) return;
    if (!estado_->fin.wait_for(l, std::chrono::milliseconds(ms),
                               [this] { return estado_->terminado; }))
        estado_->abandonado = true;
}

std::vector<Fallo> Drenaje::fallos(std::size_t i) {
    const std::lock_guard<std::mutex> l(estado_->mutex);
    std::vector<Fallo> r;
    r.swap(estado_->flujos.at(i)->fallos);
    return r;
}

const std::atomic<bool>& Drenaje::parada() const {
    return estado_->parar;
}

qint64 Drenaje::movidos(std::size_t i) const {
    return estado_->flujos.at(i)->movidos.load();
}
bool Drenaje::fallando(std::size_t i) const {
    return estado_->flujos.at(i)->fallando.load();
}
qint32 Drenaje::ultimoFallo(std::size_t i) const {
    return estado_->flujos.at(i)->ultimoNumero.load();
}

} // namespace corvane
