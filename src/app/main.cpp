// corvane: the alarm-receiver console.

#include <QCoreApplication>

#include <sys/stat.h>

#include <csignal>

#include "app/cajas_consola.h"
#include "app/linea_comandos.h"
#include "app/modos.h"
#include "app/servicio.h"
#ifdef CORVANE_VENTANAS
#include <dlfcn.h>
#include <unistd.h>

#include <QByteArray>

#include "app/entrada_ventanas.h"
#endif

using namespace corvane;

namespace {

QtMessageHandler manejadorQt = nullptr;

// Qt's own diagnostics (a socket notifier on a connection the server closed, a
// database connection still in use, the driver's notices) are English texts for
// developers, not for the operator: they are dropped unless CORVANE_DIAGNOSTICO
// is set. What the operator must know comes in Spanish through the boxes and
// error.log; a fatal message still ends the process.
void callar_qt(QtMsgType tipo, const QMessageLogContext& contexto, const QString& mensaje) {
    if (tipo == QtFatalMsg && manejadorQt != nullptr) manejadorQt(tipo, contexto, mensaje);
}

} // namespace

#ifdef CORVANE_VENTANAS
namespace {

// The windows' module, loaded and run.
int abrir_ventanas(int& argc, char* argv[], const Opciones& o) {
    QByteArray programa(4096, '\0');
    const ssize_t largo =
        ::readlink("/proc/self/exe", programa.data(), static_cast<size_t>(programa.size()));
    programa.truncate(largo > 0 ? largo : 0);
    const QByteArray carpeta = programa.left(programa.lastIndexOf('/') + 1);
    // Beside the program in a build tree; in the library folder once installed.
    QByteArray modulo = carpeta + kModuloVentanas;
    if (::access(modulo.constData(), F_OK) != 0)
        modulo = carpeta + CORVANE_MODULO_INSTALADO + kModuloVentanas;
    void* h = ::dlopen(modulo.constData(), RTLD_NOW | RTLD_LOCAL);
    const auto entrada =
        h != nullptr ? reinterpret_cast<EntradaVentanas>(::dlsym(h, kEntradaVentanas)) : nullptr;
    if (entrada == nullptr) {
        escribir(stderr, QStringLiteral("corvane: no se pueden abrir las ventanas: %1\n")
                             .arg(QString::fromLocal8Bit(::dlerror())));
        return kSalidaError;
    }
    return entrada(&argc, argv, &o);
}

} // namespace
#endif

int main(int argc, char* argv[]) {
    // A reader of standard output or standard error that goes away (a pipe into
    // "head", a closed terminal) makes those writes fail, and nothing else:
    // reception and storage go on.
    std::signal(SIGPIPE, SIG_IGN);
    if (qEnvironmentVariableIsEmpty("CORVANE_DIAGNOSTICO"))
        manejadorQt = qInstallMessageHandler(callar_qt);
    // The event file, the local queue, the error log and their copies hold the
    // customers' data: created readable by their owner only (the service's unit
    // asks the same with UMask=0077).
    ::umask(::umask(0) | 077);
    QStringList argumentos;
    for (int i = 1; i < argc; ++i) argumentos << QString::fromLocal8Bit(argv[i]);
    const LineaComandos linea = analizar_linea_comandos(argumentos);
    // The values are read: a password given in --base leaves the process list.
    ocultar_claves(argc, argv);
    if (!linea.error.isEmpty()) {
        escribir(stderr, QStringLiteral("corvane: ") + linea.error +
                             QStringLiteral("\nUse «corvane --ayuda» para ver las opciones.\n"));
        return kSalidaError;
    }
    const Opciones& o = linea.opciones;
#ifdef CORVANE_VENTANAS
    if (o.modo == Modo::Ventanas) return abrir_ventanas(argc, argv, o);
#endif
    switch (o.modo) {
    case Modo::Ayuda:
        escribir(stdout, texto_ayuda());
        return kSalidaCorrecta;
    case Modo::Reproducir: {
        QCoreApplication app(argc, argv);
        return modo_reproducir(o);
    }
    case Modo::Consultar: {
        QCoreApplication app(argc, argv);
        return modo_consultar(o);
    }
    case Modo::SinVentana: {
        QCoreApplication app(argc, argv);
        return modo_sin_ventana(o);
    }
    case Modo::Copia: {
        QCoreApplication app(argc, argv);
        return modo_copia(o);
    }
    case Modo::Pendientes: {
        QCoreApplication app(argc, argv);
        return modo_pendientes(o);
    }
    case Modo::ReenviarRechazadas: {
        QCoreApplication app(argc, argv);
        return modo_reenviar_rechazadas(o);
    }
    case Modo::ImportarAbonados: {
        QCoreApplication app(argc, argv);
        return modo_importar_abonados(o);
    }
    case Modo::ExportarAbonados: {
        QCoreApplication app(argc, argv);
        return modo_exportar_abonados(o);
    }
    case Modo::Abonado: {
        QCoreApplication app(argc, argv);
        return modo_abonado(o);
    }
    case Modo::OperadorAlta: {
        QCoreApplication app(argc, argv);
        return modo_operador_alta(o);
    }
    case Modo::OperadorBaja: {
        QCoreApplication app(argc, argv);
        return modo_operador_baja(o);
    }
    case Modo::OperadorClave: {
        QCoreApplication app(argc, argv);
        return modo_operador_clave(o);
    }
    case Modo::Operadores: {
        QCoreApplication app(argc, argv);
        return modo_operadores(o);
    }
    case Modo::VerificarAuditoria: {
        QCoreApplication app(argc, argv);
        return modo_verificar_auditoria(o);
    }
    case Modo::Alarmas: {
        QCoreApplication app(argc, argv);
        return modo_alarmas(o);
    }
    case Modo::ReconocerAlarma:
    case Modo::NotaAlarma:
    case Modo::CerrarAlarma:
    case Modo::ReabrirAlarma: {
        QCoreApplication app(argc, argv);
        return modo_accion_alarma(o);
    }
    case Modo::InformeAtencion: {
        QCoreApplication app(argc, argv);
        return modo_informe_atencion(o);
    }
    case Modo::Ventanas:
        escribir(stderr,
                 QStringLiteral("corvane: esta compilación no tiene ventanas; use --reproducir, "
                                "--sin-ventana o --consultar (vea --ayuda).\n"));
        return kSalidaError;
    }
    return kSalidaError;
}
