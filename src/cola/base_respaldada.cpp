#include "cola/base_respaldada.h"

#include <QFile>

#include <algorithm>

#include "cola/almacen_cola.h"
#include "cola/flujo_eventos.h"
#include "common/registro_errores.h"
#include "store/motor_sqlite.h"

namespace corvane {
namespace {

class BaseRespaldada : public BaseDatos, public AlmacenConCola {
public:
    BaseRespaldada(const QString& ruta, const QString& cola, Fallo& apertura)
        : espera_(std::make_shared<EsperaEventos>()), entrada_(espera_, drenaje_) {
        espera_->ruta = ruta;
        espera_->cola = cola;
        espera_->identidad = nueva_identidad_envio();
        // A file that cannot be opened now is told once (the caller logs it) and
        // tried again; meanwhile rows wait in the queue.
        apertura = abrirArchivo();
        if (apertura) {
            respaldando_ = true;
            ultimoNumero_ = apertura.numero;
        }
        // Rows left by an earlier run go before any new one. A queue that exists
        // but cannot be used is told once.
        if (const Fallo f = entrada_.abrir(true)) {
            if (!apertura)
                apertura = f;
            else
                fallos_.push_back(f);
        }
        if (espera_->esperando.load() > 0) respaldando_ = true;
        flujo_ = drenaje_.agregar(std::make_unique<FlujoEventosArchivo>(espera_));
        alarmas_ = std::make_unique<EscrituraAlarmas>(cola, ruta, drenaje_);
        auditoria_ = std::make_unique<EscrituraAuditoria>(cola, ruta, drenaje_);
        drenaje_.iniciar();
    }
    ~BaseRespaldada() override { drenaje_.detener(); }

    Dialecto dialecto() const override { return Dialecto::SQLite; }
    bool guardaSiempre() const override { return true; }
    EscrituraAlarmas& alarmas() override { return *alarmas_; }
    EscrituraAuditoria& auditoria() override { return *auditoria_; }

    Fallo guardar(const FilaEvento& fila) override {
        if (enLote_) lote_.agregar(fila);
        if (respaldando_ || !archivo_) {
            entrada_.agregar(fila);
            return {};
        }
        if (enLote_ && !archivoEnLote_) {
            if (Fallo f = archivo_->comenzarLote()) return desviar(f, fila);
            archivoEnLote_ = true;
        }
        if (Fallo f = archivo_->guardar(fila)) return desviar(f, fila);
        return {};
    }

    Fallo comenzarLote() override {
        revisar();
        enLote_ = true;
        lote_.clear();
        entrada_.comenzar();
        return {};
    }
    Fallo confirmarLote() override {
        enLote_ = false;
        if (archivoEnLote_) {
            archivoEnLote_ = false;
            if (Fallo f = archivo_->confirmarLote()) {
                // Nothing of the batch is in the file: all of it waits, in order.
                anotar(f);
                respaldando_ = true;
                for (size_t i = 0; i < lote_.size(); ++i) entrada_.agregar(lote_.fila(i));
            }
        }
        entrada_.confirmar();
        lote_.clear();
        return {};
    }
    void deshacerLote() override {
        // The receive road never undoes a batch of this store: it never fails.
        enLote_ = false;
        if (archivoEnLote_) archivo_->deshacerLote();
        archivoEnLote_ = false;
        entrada_.confirmar();
        lote_.clear();
    }

    using BaseDatos::abrirRegistros;
    using BaseDatos::ejecutar;
    Fallo ejecutar(const QString& sentencia, const QVariantList& valores) override {
        if (Fallo f = abrirArchivo()) return f;
        return archivo_->ejecutar(sentencia, valores);
    }
    Fallo abrirRegistros(const QString& sentencia, const QVariantList& valores,
                         std::unique_ptr<Registros>& registros) override {
        if (Fallo f = abrirArchivo()) return f;
        return archivo_->abrirRegistros(sentencia, valores, registros);
    }
    Fallo recorrer(const QString& sentencia, const FuncionFila& fila) override {
        if (Fallo f = abrirArchivo()) return f;
        return archivo_->recorrer(sentencia, fila);
    }

    qint64 pendientes() override {
        revisar();
        return std::max<qint64>(0, espera_->esperando.load());
    }
    std::vector<Fallo> fallosDiferidos() override {
        // The drain loop's failures join the outage the receive road began: one
        // record each, not one for each side. The queue's own (rows then held
        // only in memory) are told apart, once per outage of the queue.
        for (Fallo& f : drenaje_.fallos(flujo_)) anotar(f);
        std::vector<Fallo> r;
        r.swap(fallos_);
        for (Fallo& f : entrada_.fallos()) r.push_back(std::move(f));
        return r;
    }
    qint64 descartadas() override { return espera_->descartadas.load(); }
    bool fallando() override { return respaldando_; }
    // The queue's trouble comes first: rows shown but held only in memory.
    qint32 ultimoFallo() override {
        return entrada_.fallando() && entrada_.ultimoFallo() != 0 ? entrada_.ultimoFallo()
                                                                  : ultimoNumero_;
    }
    bool colaFallando() override { return entrada_.fallando(); }
    qint32 falloCola() override { return entrada_.ultimoFallo(); }
    qint64 enMemoria() override { return espera_->soloEnMemoria() - espera_->descartadas.load(); }
    void cerrar() override { drenaje_.detener(); }
    qint64 cerrarYContarPerdidas() override {
        drenaje_.detener();
        return entrada_.vaciar();
    }

private:
    Fallo abrirArchivo() {
        if (archivo_) return {};
        return abrir_sqlite(espera_->ruta, archivo_);
    }

    // Outside a batch: once the drain loop has moved every waiting row, new rows
    // go straight to the file again.
    void revisar() {
        if (!respaldando_ || enLote_ || espera_->esperando.load() > 0) return;
        if (Fallo f = abrirArchivo()) {
            anotar(f);
            return;
        }
        respaldando_ = false;
        ultimoNumero_ = 0;
    }

    // A failure is told once per outage: the same number again is the same failure.
    void anotar(const Fallo& f) {
        if (respaldando_ && f.numero == ultimoNumero_) return;
        ultimoNumero_ = f.numero;
        fallos_.push_back(f);
    }

    // The file refused `fila` inside or outside a batch: the rows of the batch
    // stored so far are undone there and wait, with `fila`, in the queue.
    Fallo desviar(const Fallo& f, const FilaEvento& fila) {
        anotar(f);
        respaldando_ = true;
        const bool enTransaccion = archivoEnLote_;
        if (enTransaccion) archivo_->deshacerLote();
        archivoEnLote_ = false;
        // A file removed or replaced is opened anew at the next attempt.
        if (f.numero == fallos::kArchivoNoEncontrado || f.numero == fallos::kNoEsBaseDeDatos)
            archivo_.reset();
        if (!enTransaccion) {
            entrada_.agregar(fila);
            return {};
        }
        for (size_t i = 0; i < lote_.size(); ++i) entrada_.agregar(lote_.fila(i));
        return {};
    }

    Drenaje drenaje_;
    std::shared_ptr<EsperaEventos> espera_;
    EntradaCola entrada_;
    std::unique_ptr<BaseDatos> archivo_;
    bool respaldando_ = false; // rows wait: every new row joins them
    FilasCompactas lote_;      // rows of the open batch
    bool enLote_ = false;
    bool archivoEnLote_ = false;
    std::vector<Fallo> fallos_;
    qint32 ultimoNumero_ = 0;
    std::size_t flujo_ = 0;
    std::unique_ptr<EscrituraAlarmas> alarmas_;
    std::unique_ptr<EscrituraAuditoria> auditoria_;
};

} // namespace

Fallo abrir_respaldada(const QString& ruta, const QString& cola, std::unique_ptr<BaseDatos>& base) {
    Fallo apertura;
    base = std::make_unique<BaseRespaldada>(ruta, cola, apertura);
    return apertura;
}

} // namespace corvane
