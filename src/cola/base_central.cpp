#include "cola/base_central.h"

#include "cola/almacen_cola.h"
#include "cola/entrada_cola.h"
#include "cola/reenvio.h"
#include "common/registro_errores.h"
#include "store/motor_postgresql.h"

namespace corvane {
namespace {

class BaseCentral : public BaseDatos, public AlmacenConCola {
public:
    BaseCentral(QString url, const QString& cola, Fallo& apertura)
        : url_(std::move(url)), espera_(std::make_shared<EsperaEventos>()),
          entrada_(espera_, drenaje_) {
        espera_->ruta = url_;
        espera_->cola = cola;
        espera_->identidad = nueva_identidad_envio();
        // A queue that cannot be used now is told once; rows wait in memory
        // meanwhile and go to it, or straight to the server, in order.
        apertura = entrada_.abrir();
        flujo_ = drenaje_.agregar(
            std::make_unique<FlujoEventosServidor>(espera_, url_, drenaje_.parada()));
        alarmas_ = std::make_unique<EscrituraAlarmas>(cola, url_, drenaje_);
        auditoria_ = std::make_unique<EscrituraAuditoria>(cola, url_, drenaje_);
        drenaje_.iniciar();
    }
    ~BaseCentral() override { drenaje_.detener(); }
    EscrituraAlarmas& alarmas() override { return *alarmas_; }
    EscrituraAuditoria& auditoria() override { return *auditoria_; }

    Dialecto dialecto() const override { return Dialecto::PostgreSQL; }
    bool guardaSiempre() const override { return true; }

    Fallo guardar(const FilaEvento& fila) override {
        entrada_.agregar(fila);
        return {};
    }
    Fallo comenzarLote() override {
        entrada_.comenzar();
        return {};
    }
    Fallo confirmarLote() override {
        entrada_.confirmar();
        return {};
    }
    void deshacerLote() override { entrada_.deshacer(); }

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

    qint64 pendientes() override { return std::max<qint64>(0, espera_->esperando.load()); }
    std::vector<Fallo> fallosDiferidos() override {
        std::vector<Fallo> r = entrada_.fallos();
        for (Fallo& f : drenaje_.fallos(flujo_)) r.push_back(std::move(f));
        return r;
    }
    qint64 descartadas() override { return espera_->descartadas.load(); }
    bool colaFallando() override { return entrada_.fallando(); }
    qint32 falloCola() override { return entrada_.ultimoFallo(); }
    qint64 enMemoria() override { return espera_->soloEnMemoria() - espera_->descartadas.load(); }
    qint64 cerrarYContarPerdidas() override {
        drenaje_.detener();
        return entrada_.vaciar();
    }
    void cerrar() override { drenaje_.detener(); }
    // The queue's trouble comes first: rows shown but held only in memory.
    bool fallando() override { return entrada_.fallando() || drenaje_.fallando(flujo_); }
    qint32 ultimoFallo() override {
        return entrada_.fallando() && entrada_.ultimoFallo() != 0 ? entrada_.ultimoFallo()
                                                                  : drenaje_.ultimoFallo(flujo_);
    }
    bool servidorFallando() override { return drenaje_.fallando(flujo_); }
    qint32 ultimoFalloServidor() override { return drenaje_.ultimoFallo(flujo_); }

private:
    Fallo abrirServidor() {
        if (drenaje_.fallando(flujo_)) {
            const qint32 n = drenaje_.ultimoFallo(flujo_);
            return {n != 0 ? n : fallos::kConexionPerdida,
                    QStringLiteral("el servidor no está disponible")};
        }
        if (servidor_) return {};
        return abrir_postgresql(url_, servidor_);
    }

    QString url_;
    Drenaje drenaje_;
    std::shared_ptr<EsperaEventos> espera_;
    EntradaCola entrada_;
    std::unique_ptr<BaseDatos> servidor_;
    std::size_t flujo_ = 0;
    std::unique_ptr<EscrituraAlarmas> alarmas_;
    std::unique_ptr<EscrituraAuditoria> auditoria_;
};

} // namespace

Fallo abrir_central(const QString& url, const QString& cola, std::unique_ptr<BaseDatos>& base) {
    Fallo apertura;
    base = std::make_unique<BaseCentral>(url, cola, apertura);
    return apertura;
}

} // namespace corvane
