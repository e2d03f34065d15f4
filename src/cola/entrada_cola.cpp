#include "cola/entrada_cola.h"

#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <chrono>

#include "cola/cola_pendientes.h"
#include "common/registro_errores.h"

namespace corvane {

QString nueva_identidad_envio() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QString ruta_reserva(const QString& cola) {
    QString r = cola;
    if (r.endsWith(QLatin1String(".db"))) r.chop(3);
    return r + QStringLiteral(".reserva");
}

bool Reserva::crear() {
    const std::lock_guard<std::mutex> l(mutex_);
    if (ruta_.isEmpty()) return false;
    if (QFileInfo::exists(ruta_)) return true;
    const QByteArray nombre = QFile::encodeName(ruta_);
    const QByteArray carpeta = QFile::encodeName(QFileInfo(ruta_).absolutePath());
    struct statvfs v {};
    if (::statvfs(carpeta.constData(), &v) != 0) return false;
    if (static_cast<qint64>(v.f_bavail) * static_cast<qint64>(v.f_frsize) < 4 * kTamanoReserva)
        return false;
    const int fd = ::open(nombre.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    // The blocks are taken for real, so that releasing them gives them back.
    const bool hecho = ::posix_fallocate(fd, 0, kTamanoReserva) == 0;
    ::close(fd);
    if (!hecho) ::unlink(nombre.constData());
    return hecho;
}

bool Reserva::liberar() {
    const std::lock_guard<std::mutex> l(mutex_);
    return !ruta_.isEmpty() && ::unlink(QFile::encodeName(ruta_).constData()) == 0;
}

qint64 EsperaEventos::soloEnMemoria() {
    const std::lock_guard<std::mutex> l(mutex);
    return static_cast<qint64>(memoria.size()) + descartadas.load();
}

Fallo escribir_en_cola(ColaPendientes& cola, const std::vector<FilaEvento>& filas,
                       EsperaEventos& e) {
    const auto una = [&]() -> Fallo {
        if (Fallo f = cola.comenzar()) return f;
        for (const FilaEvento& fila : filas) {
            if (Fallo f = cola.encolar(fila)) {
                cola.deshacer();
                return f;
            }
        }
        return cola.confirmar();
    };
    Fallo f = una();
    if (f.numero == fallos::kDiscoLleno && e.reserva.liberar()) f = una();
    return f;
}

Fallo mover_memoria(EsperaEventos& e, ColaPendientes& cola, int maximo, int esperaMs,
                    qint64& movidas) {
    movidas = 0;
    std::unique_lock<std::timed_mutex> moviendo(e.moviendo, std::defer_lock);
    if (!moviendo.try_lock_for(std::chrono::milliseconds(esperaMs))) return {};
    std::vector<FilaEvento> filas;
    {
        const std::lock_guard<std::mutex> l(e.mutex);
        const std::size_t n =
            std::min<std::size_t>(e.memoria.size(), static_cast<std::size_t>(maximo));
        filas.assign(e.memoria.begin(), e.memoria.begin() + static_cast<std::ptrdiff_t>(n));
    }
    if (filas.empty()) return {};
    if (!cola.abierta()) {
        if (Fallo f = cola.abrir(e.cola)) return f;
        cola.ponerIdentidadEnvio(e.identidad);
    }
    // The receive road only appends meanwhile: the front is still these rows.
    if (Fallo f = escribir_en_cola(cola, filas, e)) return f;
    bool vacia = false;
    {
        const std::lock_guard<std::mutex> l(e.mutex);
        e.memoria.erase(e.memoria.begin(),
                        e.memoria.begin() + static_cast<std::ptrdiff_t>(filas.size()));
        vacia = e.memoria.empty();
    }
    movidas = static_cast<qint64>(filas.size());
    if (vacia) e.reserva.crear();
    return {};
}

EntradaCola::EntradaCola(std::shared_ptr<EsperaEventos> e, Drenaje& drenaje)
    : e_(std::move(e)), drenaje_(drenaje), cola_(std::make_unique<ColaPendientes>()) {}

EntradaCola::~EntradaCola() = default;

Fallo EntradaCola::abrir(bool soloSiExiste) {
    EsperaEventos& e = *e_;
    e.reserva.ponerRuta(ruta_reserva(e.cola));
    if (soloSiExiste && !QFileInfo::exists(e.cola)) {
        e.reserva.crear();
        return {};
    }
    Fallo f = cola_->abrir(e.cola);
    if (!f) {
        cola_->ponerEsperaBloqueo(kEsperaEntradaMs);
        cola_->ponerIdentidadEnvio(e.identidad);
        qint64 n = 0;
        f = cola_->contar(n);
        if (!f) e.esperando.fetch_add(n);
    }
    e.reserva.crear();
    // Told by the caller, once: the outage begins without a record of its own.
    if (f) {
        enFalla_ = true;
        ultimoNumero_ = f.numero;
    }
    return f;
}

void EntradaCola::comenzar() {
    enLote_ = true;
    lote_.clear();
}

void EntradaCola::agregar(const FilaEvento& fila) {
    lote_.push_back(fila);
    if (enLote_) return;
    escribir(lote_);
    lote_.clear();
}

void EntradaCola::confirmar() {
    enLote_ = false;
    if (!lote_.empty()) escribir(lote_);
    lote_.clear();
}

void EntradaCola::deshacer() {
    enLote_ = false;
    lote_.clear();
}

void EntradaCola::escribir(std::vector<FilaEvento>& filas) {
    EsperaEventos& e = *e_;
    const auto aMemoria = [&] {
        const std::lock_guard<std::mutex> l(e.mutex);
        for (FilaEvento& fila : filas) {
            if (static_cast<qint64>(e.memoria.size()) >= kFilasEnMemoria) {
                e.descartadas.fetch_add(1);
                continue;
            }
            e.memoria.push_back(std::move(fila));
            e.esperando.fetch_add(1);
        }
    };
    bool conMemoria = false;
    {
        const std::lock_guard<std::mutex> l(e.mutex);
        conMemoria = !e.memoria.empty();
    }
    // Rows already in memory go first: these join them, without a look at the queue.
    if (conMemoria) {
        aMemoria();
        drenaje_.avisar();
        return;
    }
    // Memory stays empty while the queue is written: only this thread appends.
    Fallo f;
    if (!cola_->abierta()) {
        f = cola_->abrir(e.cola);
        if (!f) {
            cola_->ponerEsperaBloqueo(kEsperaEntradaMs);
            cola_->ponerIdentidadEnvio(e.identidad);
        }
    }
    if (!f) f = escribir_en_cola(*cola_, filas, e);
    if (!f) {
        e.esperando.fetch_add(static_cast<qint64>(filas.size()));
        enFalla_ = false;
        drenaje_.avisar();
        return;
    }
    anotar(f);
    // A file removed, replaced or damaged is opened anew at the next attempt.
    if (f.numero != fallos::kBloqueada && f.numero != fallos::kDiscoLleno) cola_->cerrar();
    aMemoria();
    drenaje_.avisar();
}

void EntradaCola::anotar(const Fallo& f) {
    if (enFalla_.load() && f.numero == ultimoNumero_.load()) return;
    enFalla_ = true;
    ultimoNumero_ = f.numero;
    fallos_.push_back(f);
}

std::vector<Fallo> EntradaCola::fallos() {
    std::vector<Fallo> r;
    r.swap(fallos_);
    return r;
}

bool EntradaCola::fallando() {
    if (enFalla_.load()) return true;
    const std::lock_guard<std::mutex> l(e_->mutex);
    return !e_->memoria.empty();
}

Fallo vaciar_memoria(EsperaEventos& e, ColaPendientes& cola) {
    for (;;) {
        qint64 movidas = 0;
        if (Fallo f = mover_memoria(e, cola, 5000, 0, movidas)) return f;
        if (movidas == 0) return {};
    }
}

qint64 EntradaCola::vaciar() {
    // The drain loop may still be inside a call to its target, holding the
    // mover's lock: then what memory holds stays there.
    if (const Fallo f = vaciar_memoria(*e_, *cola_)) anotar(f);
    return e_->soloEnMemoria();
}

} // namespace corvane
