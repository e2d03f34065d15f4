#include "store/base_central.h"

#include "common/registro_errores.h"
#include "store/cola_pendientes.h"
#include "store/motor_postgresql.h"
#include "store/reenvio.h"

namespace corvane {
namespace {

class BaseCentral : public BaseDatos {
public:
    BaseCentral(QString url, QString cola) : url_(std::move(url)), rutaCola_(std::move(cola)) {
        // A queue that cannot be opened now is tried again at every batch.
        static_cast<void>(abrirCola());
        reenvio_ = std::make_unique<Reenvio>(rutaCola_, url_);
    }
    ~BaseCentral() override { reenvio_->detener(Reenvio::kCierreMs); }

    Dialecto dialecto() const override { return Dialecto::PostgreSQL; }
    bool guardaSiempre() const override { return true; }

    Fallo guardar(const FilaEvento& fila) override {
        if (Fallo f = abrirCola()) return f;
        if (Fallo f = cola_.encolar(fila)) return f;
        if (!enLote_) avisar(1);
        else ++enLote_;
        return {};
    }
    Fallo comenzarLote() override {
        if (Fallo f = abrirCola()) return f;
        if (Fallo f = cola_.comenzar()) return f;
        enLote_ = 1;
        return {};
    }
    Fallo confirmarLote() override {
        const qint64 filas = enLote_ - 1;
        enLote_ = 0;
        if (Fallo f = cola_.confirmar()) return f;
        avisar(filas);
        return {};
    }
    void deshacerLote() override {
        enLote_ = 0;
        cola_.deshacer();
    }

    // Statement texts go to the server from the caller's thread: while the
    // forwarder finds the server failing they fail at once, so that a window is not
    // held by a connection attempt to a server known to be away.
    Fallo ejecutar(const QString& sentencia) override {
        if (Fallo f = abrirServidor()) return f;
        return servidor_->ejecutar(sentencia);
    }
    Fallo abrirRegistros(const QString& sentencia, std::unique_ptr<Registros>& registros) override {
        if (Fallo f = abrirServidor()) return f;
        return servidor_->abrirRegistros(sentencia, registros);
    }
    Fallo recorrer(const QString& sentencia, const FuncionFila& fila) override {
        if (Fallo f = abrirServidor()) return f;
        return servidor_->recorrer(sentencia, fila);
    }

    qint64 pendientes() override { return inicial_ + encoladas_ - reenvio_->movidas(); }
    std::vector<Fallo> fallosDiferidos() override { return reenvio_->fallos(); }
    void cerrar() override { reenvio_->detener(Reenvio::kCierreMs); }
    bool fallando() override { return reenvio_->fallando(); }
    qint32 ultimoFallo() override { return reenvio_->ultimoFallo(); }

private:
    Fallo abrirCola() {
        if (cola_.abierta()) return {};
        if (Fallo f = cola_.abrir(rutaCola_)) return f;
        return cola_.contar(inicial_);
    }
    Fallo abrirServidor() {
        if (reenvio_->fallando()) {
            const qint32 n = reenvio_->ultimoFallo();
            return {n != 0 ? n : fallos::kConexionPerdida, QStringLiteral("el servidor no está disponible")};
        }
        if (servidor_) return {};
        return abrir_postgresql(url_, servidor_);
    }
    void avisar(qint64 filas) {
        encoladas_ += filas;
        if (filas > 0) reenvio_->avisar();
    }

    QString url_;
    QString rutaCola_;
    ColaPendientes cola_;
    qint64 inicial_ = 0;
    qint64 encoladas_ = 0;
    qint64 enLote_ = 0; // 1 + rows of the open batch; 0 outside a batch
    std::unique_ptr<Reenvio> reenvio_;
    std::unique_ptr<BaseDatos> servidor_;
};

} // namespace

Fallo abrir_central(const QString& url, const QString& cola, std::unique_ptr<BaseDatos>& base) {
    auto central = std::make_unique<BaseCentral>(url, cola);
    base = std::move(central);
    return {};
}

} // namespace corvane
