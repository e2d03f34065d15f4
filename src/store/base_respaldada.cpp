#include "store/base_respaldada.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <deque>

#include "common/registro_errores.h"
#include "store/cola_pendientes.h"
#include "store/motor_sqlite.h"

namespace corvane {
namespace {

// Rows moved back into the file at one time: a few milliseconds of work.
constexpr int kFilasPorMovida = 5000;
constexpr int kPausaInicialMs = 2000;
constexpr int kPausaMaximaMs = 30000;

class BaseRespaldada : public BaseDatos {
public:
    BaseRespaldada(QString ruta, QString cola, Fallo& apertura)
        : ruta_(std::move(ruta)), rutaCola_(std::move(cola)) {
        // A file that cannot be opened now is told once (the caller logs it) and
        // tried again; meanwhile rows wait in the queue.
        apertura = abrirArchivo();
        if (apertura) {
            comenzarRespaldo();
            ultimoNumero_ = apertura.numero;
        }
        // Rows left by an earlier run go before any new one.
        if (QFile::exists(rutaCola_) && !abrirCola()) {
            qint64 n = 0;
            if (!cola_.contar(n) && n > 0) respaldando_ = true;
        }
    }

    Dialecto dialecto() const override { return Dialecto::SQLite; }
    bool guardaSiempre() const override { return true; }

    Fallo guardar(const FilaEvento& fila) override {
        if (enLote_) lote_.agregar(fila);
        if (respaldando_ || !archivo_) return respaldar(fila);
        if (enLote_ && !archivoEnLote_) {
            if (Fallo f = archivo_->comenzarLote()) return desviar(f, fila);
            archivoEnLote_ = true;
        }
        if (Fallo f = archivo_->guardar(fila)) return desviar(f, fila);
        return {};
    }

    Fallo comenzarLote() override {
        avanzar();
        enLote_ = true;
        lote_.clear();
        return {};
    }
    Fallo confirmarLote() override {
        enLote_ = false;
        if (archivoEnLote_) {
            archivoEnLote_ = false;
            if (Fallo f = archivo_->confirmarLote()) {
                // Nothing of the batch is in the file: all of it waits, in order.
                anotar(f);
                comenzarRespaldo();
                for (size_t i = 0; i < lote_.size(); ++i) static_cast<void>(respaldar(lote_.fila(i)));
            }
        }
        terminarColaEnLote();
        lote_.clear();
        return {};
    }
    void deshacerLote() override {
        // The receive road never undoes a batch of this store: it never fails.
        enLote_ = false;
        if (archivoEnLote_) archivo_->deshacerLote();
        archivoEnLote_ = false;
        terminarColaEnLote();
        lote_.clear();
    }

    Fallo ejecutar(const QString& sentencia) override {
        if (Fallo f = abrirArchivo()) return f;
        return archivo_->ejecutar(sentencia);
    }
    Fallo abrirRegistros(const QString& sentencia, std::unique_ptr<Registros>& registros) override {
        if (Fallo f = abrirArchivo()) return f;
        return archivo_->abrirRegistros(sentencia, registros);
    }
    Fallo recorrer(const QString& sentencia, const FuncionFila& fila) override {
        if (Fallo f = abrirArchivo()) return f;
        return archivo_->recorrer(sentencia, fila);
    }

    qint64 pendientes() override {
        avanzar();
        return enCola_ + static_cast<qint64>(memoria_.size());
    }
    std::vector<Fallo> fallosDiferidos() override {
        std::vector<Fallo> r;
        r.swap(fallos_);
        return r;
    }
    qint64 descartadas() override { return descartadas_; }
    bool fallando() override { return respaldando_; }
    qint32 ultimoFallo() override { return ultimoNumero_; }

private:
    Fallo abrirArchivo() {
        if (archivo_) return {};
        return abrir_sqlite(ruta_, archivo_);
    }
    Fallo abrirCola() {
        if (cola_.abierta()) return {};
        if (Fallo f = cola_.abrir(rutaCola_)) return f;
        return cola_.contar(enCola_);
    }

    // A failure is told once per outage: the same number again is the same failure.
    void anotar(const Fallo& f) {
        if (respaldando_ && f.numero == ultimoNumero_) return;
        ultimoNumero_ = f.numero;
        fallos_.push_back(f);
    }
    void comenzarRespaldo() {
        if (!respaldando_) pausaMs_ = kPausaInicialMs;
        respaldando_ = true;
        intento_.start();
    }

    // The file refused `fila` inside or outside a batch: the rows of the batch
    // stored so far are undone there and wait, with `fila`, in the queue.
    Fallo desviar(const Fallo& f, const FilaEvento& fila) {
        anotar(f);
        comenzarRespaldo();
        const bool enTransaccion = archivoEnLote_;
        if (enTransaccion) archivo_->deshacerLote();
        archivoEnLote_ = false;
        // A file removed or replaced is opened anew at the next attempt.
        if (f.numero == fallos::kArchivoNoEncontrado || f.numero == fallos::kNoEsBaseDeDatos) archivo_.reset();
        if (!enTransaccion) return respaldar(fila);
        for (size_t i = 0; i < lote_.size(); ++i) static_cast<void>(respaldar(lote_.fila(i)));
        return {};
    }

    // `fila` into the queue, or into memory when the queue cannot take it.
    Fallo respaldar(const FilaEvento& fila) {
        if (memoria_.empty() && !abrirCola()) {
            if (!colaEnLote_ && enLote_) colaEnLote_ = !cola_.comenzar();
            if (!cola_.encolar(fila)) {
                if (colaEnLote_) enColaLote_.push_back(fila);
                else ++enCola_;
                return {};
            }
        }
        if (static_cast<qint64>(memoria_.size()) >= kFilasEnMemoria) {
            ++descartadas_;
            return {};
        }
        memoria_.push_back(fila);
        return {};
    }

    void terminarColaEnLote() {
        if (!colaEnLote_) return;
        colaEnLote_ = false;
        if (Fallo f = cola_.confirmar()) {
            anotar(f);
            // Not committed: these rows wait in memory, before any later one.
            memoria_.insert(memoria_.begin(), enColaLote_.begin(), enColaLote_.end());
        } else {
            enCola_ += static_cast<qint64>(enColaLote_.size());
        }
        enColaLote_.clear();
    }

    // Moves waiting rows back into the file, oldest first, when the pause since
    // the last failed attempt has passed.
    void avanzar() {
        if (!respaldando_ || enLote_) return;
        if (intento_.isValid() && intento_.elapsed() < pausaMs_) return;
        intento_.start();
        if (Fallo f = moverTanda()) {
            anotar(f);
            pausaMs_ = std::min(pausaMs_ * 2, kPausaMaximaMs);
            // The next attempt opens the file anew: a table dropped or renamed
            // meanwhile is created again, as for a file removed.
            archivo_.reset();
            return;
        }
        pausaMs_ = kPausaInicialMs;
        intento_.invalidate();
        if (enCola_ == 0 && memoria_.empty()) {
            respaldando_ = false;
            ultimoNumero_ = 0;
        }
    }

    Fallo moverTanda() {
        if (Fallo f = abrirArchivo()) return f;
        // Rows held in memory go to the queue first, when it takes them again.
        while (!memoria_.empty() && !abrirCola()) {
            if (cola_.comenzar()) break;
            const size_t n = std::min<size_t>(memoria_.size(), kFilasPorMovida);
            bool bien = true;
            for (size_t i = 0; i < n && bien; ++i) bien = !cola_.encolar(memoria_[i]);
            if (!bien || cola_.confirmar()) {
                cola_.deshacer();
                break;
            }
            memoria_.erase(memoria_.begin(), memoria_.begin() + static_cast<std::ptrdiff_t>(n));
            enCola_ += static_cast<qint64>(n);
        }
        if (enCola_ > 0) return moverCola();
        // The queue cannot be written: memory goes straight to the file.
        if (!memoria_.empty()) return moverMemoria();
        return {};
    }

    Fallo moverCola() {
        if (Fallo f = abrirCola()) return f;
        FilasPendientes filas;
        if (Fallo f = cola_.leer(0, kFilasPorMovida, filas)) return f;
        if (filas.secuencias.empty()) {
            enCola_ = 0;
            return {};
        }
        qint64 hasta = 0;
        if (Fallo f = guardarConControl(filas, hasta)) return f;
        if (Fallo f = cola_.borrar_hasta(hasta)) return f;
        enCola_ = std::max<qint64>(0, enCola_ - static_cast<qint64>(filas.secuencias.size()));
        if (filas.secuencias.size() < static_cast<size_t>(kFilasPorMovida)) {
            qint64 n = 0;
            if (!cola_.contar(n)) enCola_ = n;
        }
        return {};
    }

    Fallo moverMemoria() {
        const size_t n = std::min<size_t>(memoria_.size(), kFilasPorMovida);
        if (Fallo f = archivo_->comenzarLote()) return f;
        for (size_t i = 0; i < n; ++i) {
            if (Fallo f = archivo_->guardar(memoria_[i])) {
                archivo_->deshacerLote();
                return f;
            }
        }
        if (Fallo f = archivo_->confirmarLote()) return f;
        memoria_.erase(memoria_.begin(), memoria_.begin() + static_cast<std::ptrdiff_t>(n));
        return {};
    }

    // The rows above the file's control record for this queue, and the record,
    // in one transaction.
    Fallo guardarConControl(const FilasPendientes& pendientes, qint64& hasta) {
        const std::vector<FilaEvento> filas = pendientes.filas();
        const std::vector<qint64>& secuencias = pendientes.secuencias;
        const QString id = cola_.identidad();
        if (Fallo f = archivo_->ejecutar(QStringLiteral(
                "CREATE TABLE IF NOT EXISTS corvane_envios (cola TEXT PRIMARY KEY, ultima_secuencia INTEGER NOT NULL)")))
            return f;
        std::unique_ptr<Registros> rs;
        if (Fallo f = archivo_->abrirRegistros(
                QStringLiteral("SELECT ultima_secuencia FROM corvane_envios WHERE cola='%1'").arg(id), rs))
            return f;
        qint64 ultima = 0;
        if (!rs->alFinal()) {
            QVariant v;
            if (Fallo f = rs->valor(QStringLiteral("ultima_secuencia"), v)) return f;
            ultima = v.toLongLong();
        }
        rs->cerrar();
        if (Fallo f = archivo_->comenzarLote()) return f;
        hasta = ultima;
        for (size_t i = 0; i < filas.size(); ++i) {
            if (secuencias[i] <= ultima) continue;
            if (Fallo f = archivo_->guardar(filas[i])) {
                archivo_->deshacerLote();
                return f;
            }
            hasta = secuencias[i];
        }
        if (Fallo f = archivo_->ejecutar(
                QStringLiteral("INSERT OR REPLACE INTO corvane_envios (cola, ultima_secuencia) VALUES ('%1', %2)")
                    .arg(id)
                    .arg(std::max(hasta, secuencias.back())))) {
            archivo_->deshacerLote();
            return f;
        }
        hasta = std::max(hasta, secuencias.back());
        return archivo_->confirmarLote();
    }

    QString ruta_;
    QString rutaCola_;
    std::unique_ptr<BaseDatos> archivo_;
    ColaPendientes cola_;
    bool respaldando_ = false; // rows wait: every new row joins them
    qint64 enCola_ = 0;        // rows committed to the queue
    std::deque<FilaEvento> memoria_;
    qint64 descartadas_ = 0;
    FilasCompactas lote_; // rows of the open batch
    bool enLote_ = false;
    bool archivoEnLote_ = false;
    bool colaEnLote_ = false;
    std::vector<FilaEvento> enColaLote_;
    std::vector<Fallo> fallos_;
    qint32 ultimoNumero_ = 0;
    QElapsedTimer intento_;
    int pausaMs_ = kPausaInicialMs;
};

} // namespace

Fallo abrir_respaldada(const QString& ruta, const QString& cola, std::unique_ptr<BaseDatos>& base) {
    Fallo apertura;
    base = std::make_unique<BaseRespaldada>(ruta, cola, apertura);
    return apertura;
}

} // namespace corvane
