#include "app/modo_ventanas.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

#include <memory>

#include "abonados/escucha_abonados.h"
#include "abonados/registro_abonados.h"
#include "app/cajas_consola.h"
#include "app/modos.h"
#include "auditoria/auditoria.h"
#include "cola/almacen_cola.h"
#include "common/reglas.h"
#include "consola/turno.h"
#include "reception/puerto_serie.h"
#include "store/motor.h"
#include "ui/idioma.h"
#include "ui/sirena.h"
#include "ui/ventana_alarmas.h"

namespace corvane {

namespace {

// Without a display Qt would stop the process with a message of its own.
bool hay_pantalla() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

// An entry of the shift or of an alarm's step, through the store's local queue
// like every write that must outlive an outage of the database: stored now or
// when it returns. A failure of the queue itself is logged once in error.log.
void anotar_turno(Camino& camino, const EntradaAuditoria& e, bool& fallida) {
    const Fallo f = anotar_en_auditoria(camino.estado().bases, e);
    if (!f || fallida) return;
    fallida = true;
    if (const RegistroErrores* errores = camino.estado().bases.errores)
        errores->registrar_error(f.numero, QStringLiteral("auditoria"));
}

} // namespace

std::unique_ptr<Form1> abrir_ventana(Camino& camino, const QString& puerto, CajaMensajes* mensajes,
                                     int velocidad) {
    // The queue was taken before (tomarCola), when the mode checks it.
    static_cast<void>(camino.abrirBase());
    // The account register beside the events; a file that cannot take it (read
    // only, of an older version) shows an empty register.
    if (BaseDatos* base = camino.estado().bases.base[0].get())
        static_cast<void>(crear_tablas_abonados(*base));
    auto ventana = std::make_unique<Form1>(camino.estado(), camino.reloj(), camino.manejador(),
                                           *camino.puerto(), puerto, mensajes);
    camino.ponerCajas(&ventana->text1(), &ventana->text4());
    camino.ponerAviso(&ventana->aviso());
    camino.ponerVigilancia(&ventana->text1(), &ventana->text4(), &ventana->text4Alerta());
    if (camino.vista()) ventana->sinPuerto();
    // The shift: once operators exist, the window opens asking who is on duty;
    // reception goes on behind the dialog.
    auto fallida = std::make_shared<bool>(false);
    const auto anotar = [&camino, fallida](const EntradaAuditoria& e) {
        anotar_turno(camino, e, *fallida);
    };
    auto* turno = new Turno(camino.direccionBase(), camino.reloj(), camino.estado().puesto, anotar,
                            ventana.get());
    ventana->ventanaAlarmas().ponerAuditoria(anotar);
    if (const Fallo f = turno->revisar())
        if (const RegistroErrores* errores = camino.estado().bases.errores)
            errores->registrar_error(f.numero, QStringLiteral("operadores"));
    ventana->ponerTurno(turno);
    if (turno->conOperadores())
        QTimer::singleShot(0, ventana.get(), [w = ventana.get()] { w->CambiarTurno_Click(); });
    // With a central server the alarm window lists what every workstation stores
    // and acknowledges; a workstation without a port shows every console's rows.
    VentanaAlarmas* alarmas = &ventana->ventanaAlarmas();
    camino.seguir(camino.vista(), [alarmas = QPointer<VentanaAlarmas>(alarmas)] {
        if (alarmas) alarmas->refrescar();
    });
    // With a central server, what another workstation saves in the register
    // shows within a second.
    if (es_url_postgresql(camino.direccionBase())) {
        auto* escucha = new EscuchaAbonados(camino.direccionBase(), ventana.get());
        QObject::connect(escucha, &EscuchaAbonados::cambio, ventana.get(), &Form1::abonadoCambiado);
        escucha->iniciar();
    } else {
        // On the file, another process (an import from the command line) may
        // change the register: looked at once a second.
        auto* revision = new QTimer(ventana.get());
        QObject::connect(revision, &QTimer::timeout, ventana.get(),
                         [&camino, w = ventana.get(), ultima = qint64{-1}]() mutable {
                             BaseDatos* b = camino.estado().bases.base[0].get();
                             qint64 v = 0;
                             if (b == nullptr || version_de_la_base(*b, v)) return;
                             if (ultima >= 0 && v != ultima) w->abonadoCambiado({});
                             ultima = v;
                         });
        revision->start(1000);
    }
    // The boxes go with the window; the road, alive or not, writes them no more.
    QObject::connect(ventana.get(), &QObject::destroyed, camino.puerto(), [&camino] {
        camino.ponerCajas(nullptr, nullptr);
        camino.ponerAviso(nullptr);
        camino.ponerVigilancia(nullptr, nullptr, nullptr);
    });
    // Once the window is up: a port that does not open is told over it.
    if (velocidad != 0 && !camino.vista())
        QTimer::singleShot(0, ventana.get(),
                           [w = ventana.get(), velocidad] { w->abrirPuerto(velocidad); });
    return ventana;
}

int modo_ventanas(int& argc, char* argv[], const Opciones& o) {
    if (!hay_pantalla()) {
        escribir(stderr,
                 QStringLiteral("corvane: no hay pantalla para las ventanas (DISPLAY vacío); use "
                                "--sin-ventana, --reproducir o --consultar (vea --ayuda).\n"));
        return kSalidaError;
    }
    QApplication app(argc, argv);
    poner_espanol(app);
    QString error;
    if (!preparar_carpeta(o, error)) return fallar(error);
    Camino camino(o);
    if (const Fallo f = camino.tomarCola()) {
        fallar(f.detalle);
        return kSalidaBaseIlegible;
    }
    // The alarm sound outlives the windows that tell it to stop.
    SirenaQt sirena;
    const std::unique_ptr<Form1> ventana = abrir_ventana(camino, o.puerto, nullptr, o.velocidad);
    ventana->ventanaAlarmas().ponerSirena(&sirena);
    ventana->show();
    const int salida = app.exec();
    // The operator on duty ends the shift with the console.
    if (Turno* turno = ventana->turno()) turno->terminar();
    const int cierre = camino.terminar();
    return salida != 0 ? salida : cierre;
}

} // namespace corvane
