#include "cola/base_central.h"

#include "cola/almacen_cola.h"
#include "cola/cola_pendientes.h"
#include "cola/reenvio.h"
#include "common/registro_errores.h"
#include "store/motor_postgresql.h"

namespace corvane {
namespace {

class BaseCentral : public BaseDatos, public AlmacenConCola {
public:
    BaseCentral(QString url, QString cola) : url_(std::move(url)), rutaCola_(std::move(cola)) {
        // A queue that cannot be opened now is tried again at every batch.
        static_cast<void>(abrirCola());
        flujo_ = drenaje_.agregar(
            std::make_unique<FlujoEventosServidor>(rutaCola_, url_, drenaje_.parada()));
        alarmas_ = std::make_unique<EscrituraAlarmas>(rutaCola_, url_, drenaje_);
        drenaje_.iniciar();
    }
    ~BaseCentral() override { drenaje_.detener(); }
    EscrituraAlarmas& alarmas() override { return *alarmas_; }

    Dialecto dialecto() const override { return Dialecto::PostgreSQL; }
    bool guardaSiempre() const override { return true; }

    Fallo guardar(const FilaEvento& fila) override {
        if (Fallo f = abrirCola()) return f;
        if (Fallo f = cola_.encolar(fila)) return f;
        if (!enLote_)
            avisar(1);
        else
            ++enLote_;
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
    // drain loop finds the server failing they fail at once, so that a window is not
    // held by a connection attempt to a server known to be away.
    using BaseDatos::abrirRegistros;
    using BaseDatos::ejecutar;
    Fallo ejecutar(const QString& sentencia, const QVariantList& valores) override {
        if (Fallo f = abrirServidor()) return f;
        return servidor_->ejecutar(sentencia, valores);
    }
    Fallo abrirRegistros(const QString& sentencia, const QVariantList& valores,
                         std::unique_ptr<Registros>& registros) override {
        if (Fallo f = abrirServidor()) return f;
        return servidor_->abrirRegistros(sentencia, valores, registros);
    }
    Fallo recorrer(const QString& sentencia, const FuncionFila& fila) override {
        if (Fallo f = abrirServidor()) return f;
        return servidor_->recorrer(sentencia, fila);
    }

    qint64 pendientes() override { return inicial_ + encoladas_ - drenaje_.movidos(flujo_); }
    std::vector<Fallo> fallosDiferidos() override { return drenaje_.fallos(flujo_); }
    void cerrar() override { drenaje_.detener(); }
    bool fallando() override { return drenaje_.fallando(flujo_); }
    qint32 ultimoFallo() override { return drenaje_.ultimoFallo(flujo_); }

private:
    Fallo abrirCola() {
        if (cola_.abierta()) return {};
        if (Fallo f = cola_.abrir(rutaCola_)) return f;
        return cola_.contar(inicial_);
    }
    Fallo abrirServidor() {
        if (drenaje_.fallando(flujo_)) {
            const qint32 n = drenaje_.ultimoFallo(flujo_);
            return {n != 0 ? n : fallos::kConexionPerdida,
                    QStringLiteral("el servidor no está disponible")};
        }
        if (servidor_) return {};
        return abrir_postgresql(url_, servidor_);
    }
    void avisar(qint64 filas) {
        encoladas_ += filas;
        if (filas > 0) drenaje_.avisar();
    }

    QString url_;
    QString rutaCola_;
    ColaPendientes cola_;
    qint64 inicial_ = 0;
    qint64 encoladas_ = 0;
    qint64 enLote_ = 0; // 1 + rows of the open batch; 0 outside a batch
    std::unique_ptr<BaseDatos> servidor_;
    Drenaje drenaje_;
    std::size_t flujo_ = 0;
    std::unique_ptr<EscrituraAlarmas> alarmas_;
};

} // namespace

Fallo abrir_central(const QString& url, const QString& cola, std::unique_ptr<BaseDatos>& base) {
    auto central = std::make_unique<BaseCentral>(url, cola);
    base = std::move(central);
    return {};
}

} // namespace corvane
