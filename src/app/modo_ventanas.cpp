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

int modo_ventanas(int& argc, char* argv[], const Opciones& o) {
    QApplication app(argc, argv);
    const QString carpeta = carpeta_datos(o);
    if (!QDir(carpeta).exists()) {
        escribir(stderr,
                 QStringLiteral("corvane: la carpeta de datos «%1» no existe\n").arg(carpeta));
        return kSalidaError;
    }
    RelojSistema reloj;
    RegistroErrores errores(carpeta, reloj);
    EstadoProceso estado;
    estado.bases.errores = &errores;
    Form1 ventana(estado, reloj, ArranqueForm1{ruta_base(o), o.puerto});
    ventana.show();
    return app.exec();
}

} // namespace corvane
