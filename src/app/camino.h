#pragma once
// The receive road, built once for every mode: the process state (clock, error
// log, EstadoProceso), the receive handler, the serial adapter where the mode
// has a port, and the event database. The modes differ only in the boxes they
// hand it (windows, standard output and error, nothing) and in their loop.

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

#include "app/linea_comandos.h"
#include "auditoria/auditoria.h"
#include "cola/bloqueo_cola.h"
#include "common/caja_texto.h"
#include "common/registro_errores.h"
#include "common/reloj.h"
#include "consola/vigilancia.h"
#include "reception/estado_proceso.h"
#include "store/alarmas.h"

namespace corvane {

class ManejadorRx;
class PuertoSerie;
class Seguimiento;

// What every mode owns: the clock, the error log of the data folder, and the
// process-wide state whose database routines log there.
struct Proceso {
    // `relojDado`: the clock of every time and date text; null: the machine's.
    Proceso(const QString& carpeta, const Reloj* relojDado);
    Proceso(const Proceso&) = delete;
    Proceso& operator=(const Proceso&) = delete;

    RelojSistema relojSistema;
    const Reloj& reloj;
    RegistroErrores errores;
    EstadoProceso estado;
};

class Camino {
public:
    // The road of `o`'s mode, over the data folder of `o`; the windows and the
    // headless service get a serial adapter, closed. Nothing is opened or created
    // yet. `relojDado`: as for Proceso.
    explicit Camino(const Opciones& o, const Reloj* relojDado = nullptr);
    ~Camino();
    Camino(const Camino&) = delete;
    Camino& operator=(const Camino&) = delete;

    // The online log and the status line that the handler and the port's changes
    // write; null drops what would go there. Boxes that go before the road must be
    // replaced (or set to null) first.
    void ponerCajas(CajaTexto* text1, CajaTexto* text4);
    // Where the windows keep alerts in sight: their texts while they last (rows
    // waiting for the database, a lost port, a silent receiver), joined on one
    // line; empty when none lasts; null: nowhere.
    void ponerAviso(CajaTexto* aviso) { aviso_.destino = aviso; }
    // Where a silent receiver and a lost port show (see Vigilancia): `lineas` takes
    // the line of each change in front, with CR LF (the online log; standard error
    // without windows); the status line's texts of these states go to `estado`, in
    // the alert colour through `alerta` while a state lasts. Null: nowhere.
    void ponerVigilancia(CajaTexto* lineas, CajaTexto* estado, CajaTexto* alerta) {
        lineas_.destino = lineas;
        estadoVigilado_.destino = estado;
        alertaVigilada_.destino = alerta;
    }

    // Opens the event database (the --base URL, or baseTolm.mdb in the data
    // folder) into slot 0 as the main window's load does, after resetting the
    // handle set; clears verCuentaOnline and sets estadoRx to "N". A failure is
    // in error.log and every later statement on the slot fails and is logged.
    // Takes the console's own queue first (tomarCola): fails, and opens nothing,
    // when every queue of the data folder is taken.
    Fallo abrirBase();
    // Takes a queue of the data folder for this console (cola/bloqueo_cola.h),
    // once; the modes without a queue take none.
    Fallo tomarCola();
    // Closes the port, the bytes in hand still going through the handler, then
    // every recordset and database, so the event file is left complete and
    // unlocked.
    void cerrar();
    // Closes as cerrar() does, within about 2 s whatever holds the local queue,
    // and says on standard error what the store could not keep: rows held only in
    // memory are lost ("N eventos perdidos", with the cause, also in error.log);
    // rows in the local queue are stored at the next start. Returns the exit
    // status: 0, or 3 when rows are lost or left in the queue. `causa`: what held
    // the rows back, when the caller knows it better than the store.
    int terminar(const QString& causa = QString());

    // With a central server (--base), follows what it stores (reception/seguimiento.h):
    // `alarmas` is told each time the alarm table changes. With `conEventos` (a
    // workstation without a port, --vista) the rows that every console stores are
    // shown through the handler as if received here, the newest kFilasIniciales
    // first, and the state of the connection goes to the status line
    // ("Base central no disponible desde HH:mm:ss (causa)", in the alert strip
    // while it lasts; "Base central disponible de nuevo a las HH:mm:ss").
    // Without a central server it does nothing.
    void seguir(bool conEventos, std::function<void()> alarmas = {});
    static constexpr int kFilasIniciales = 100;
    // The modes without windows keep the alarm table as the windows do: each new
    // alarm and each restore among the rows received is written through the
    // store's local queue, so that a viewing workstation lists them for
    // acknowledgement. A failure goes to error.log once per outage (label
    // "guardar_alarma"). Call after abrirBase.
    void guardarAlarmas();
    // --vista: the workstation has no port.
    bool vista() const { return vista_; }
    // The event database as --base gives it (a file, or a central server's URL).
    const QString& direccionBase() const { return base_; }

    EstadoProceso& estado() { return proceso_.estado; }
    const Reloj& reloj() const { return proceso_.reloj; }
    ManejadorRx& manejador() { return *manejador_; }
    // Null when the mode has no port.
    PuertoSerie* puerto() { return puerto_.get(); }

private:
    // A box that passes everything to the box set by ponerCajas, if any.
    class CajaReenviada : public CajaTexto {
    public:
        QString texto() const override { return destino ? destino->texto() : QString(); }
        void ponerTexto(const QString& texto) override {
            if (destino) destino->ponerTexto(texto);
        }
        void anteponer(const QString& nuevo) override {
            if (destino) destino->anteponer(nuevo);
        }
        void anteponerConTonos(const QString& nuevo, const Tonos& tonos) override {
            if (destino) destino->anteponerConTonos(nuevo, tonos);
        }
        CajaTexto* destino = nullptr;
    };

    // Every kRevisionPendientesMs: the store's failures off the receive road are
    // logged, and the status line says when rows start to wait for the database
    // ("Base de datos no disponible: N eventos pendientes", again every
    // kRepetirAvisoMs while it lasts) and when the last of them is stored; and
    // the receiver's silence is looked at (Vigilancia::revisar).
    void revisarPendientes();
    // A queue file found damaged before the store opens it is set aside and its
    // readable rows go before any new one (cola/recuperacion.h): one record in
    // error.log, and "N eventos recuperados de la cola dañada" on the status line,
    // at once or, when the windows set their boxes after the start, at the first
    // revision.
    void recuperarCola();
    void decirRecuperada();
    static inline const QString kEtiquetaRecuperacion = QStringLiteral("recuperar_cola");
    static constexpr int kRevisionPendientesMs = 1000;
    static constexpr qint64 kRepetirAvisoMs = 60000;
    // Shows a change of the supervised states where ponerVigilancia says, and
    // logs the start of a silence.
    void aplicar(const CambioVigilado& c);
    // The alerts that last, into the box of ponerAviso.
    void mostrarAvisos();
    // The central server's state changed (a viewer's follower, or a receiving
    // console's drain loop): "Base central no disponible desde HH:mm:ss (causa)"
    // on the status line and in the alert strip while it lasts, "Base central
    // disponible de nuevo a las HH:mm:ss" when it ends. Repeated states say nothing.
    void estadoCentral(bool disponible, qint32 causa);
    // The audit entry of the console's start or stop, handed to the audit
    // stream of the store's local queue (cola/escritura_auditoria.h); without a
    // queue, appended to the store's engine at once. A direct append that fails
    // is logged once in error.log (label kEtiquetaAuditoria) and stops nothing.
    // True when handed over or written.
    bool anotar(AccionAuditoria accion, const QString& detalle);
    // The audit stream's failures off the road, each once, in error.log, unless
    // the store is failing (the same outage, which the store tells).
    void anotarFallosAuditoria();
    static inline const QString kEtiquetaAuditoria = QStringLiteral("auditoria");
    void escribirAlarmas(const std::vector<AlarmaPendiente>& escritos);
    bool alarmasFallidas_ = false;
    // Milliseconds terminar() gives the audit stream to store what waits (the
    // stop) before its drain loop ends.
    static constexpr int kEsperaAuditoriaMs = 500;

    QString base_;
    bool vista_ = false;
    QString modoAuditado_;       // the mode as the start's entry says it; empty: no entries
    bool inicioAnotado_ = false; // a stop is handed over once, after a start handed over
    bool auditoriaFallida_ = false;
    // Held for as long as the store that writes the queue: declared before it.
    BloqueoCola bloqueoCola_;
    QString carpetaCola_; // the data folder, for the modes that keep a queue
    Proceso proceso_;
    QTimer vigilancia_;
    QElapsedTimer avisoPendientes_;
    bool sinBase_ = false;
    qint64 maximoPendientes_ = 0;
    // The server's own words for the failure that holds the rows back (its
    // SQLSTATE and message), while it lasts.
    QString causaServidor_;
    QString avisoBase_;       // the alert of rows waiting for the database, or empty
    QString avisoRecuperada_; // the recovery of a damaged queue, not said yet
    Vigilancia vigilado_;
    CajaReenviada text1_;
    CajaReenviada text4_;
    CajaReenviada aviso_;
    CajaReenviada lineas_;
    CajaReenviada estadoVigilado_;
    CajaReenviada alertaVigilada_;
    std::unique_ptr<ManejadorRx> manejador_;
    std::unique_ptr<PuertoSerie> puerto_;
    std::unique_ptr<Seguimiento> seguimiento_;
    QString avisoCentral_; // the alert of a lost central server, or empty
    QString avisoCola_;    // the alert of a local queue that takes no rows, or empty
};

} // namespace corvane
