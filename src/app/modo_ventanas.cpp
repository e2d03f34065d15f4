#include "app/modo_ventanas.h"

#include <QApplication>
#include <QDir>

#include "app/cajas_consola.h"
#include "app/modos.h"
#include "common/registro_errores.h"
#include "common/reloj.h"
#include "reception/estado_proceso.h"
#include "ui/form1.h"

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

} // namespace

int modo_ventanas(int& argc, char* argv[], const Opciones& o) {
    if (!hay_pantalla()) {
        escribir(stderr,
                 QStringLiteral("corvane: no hay pantalla para las ventanas (DISPLAY vacío); use "
                                "--sin-ventana, --reproducir o --consultar (vea --ayuda).\n"));
        return kSalidaError;
    }
    QApplication app(argc, argv);
    const QString carpeta = carpeta_datos(o);
    if (!QDir(carpeta).exists()) {
        escribir(stderr,
                 QStringLiteral("corvane: la carpeta de datos «%1» no existe\n").arg(carpeta));
        return kSalidaError;
    }
    Proceso p(o);
    Form1 ventana(p.estado, p.reloj, ArranqueForm1{ruta_base(o), o.puerto});
    ventana.show();
    return app.exec();
}

} // namespace corvane
