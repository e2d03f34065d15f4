#include "consola/boton_consulta.h"

#include "consola/exportacion.h"
#include "consola/listado.h"
#include "store/consulta.h"

namespace corvane {

void Command3_Click(const CajaTexto& text3, int senal, int origen, const QDate& dia,
                    CajaTexto& text2, CajaMensajes& mensajes, ConjuntoBases& bases, Fallo* fallo) {
    if (fallo != nullptr) *fallo = {};
    const QString cuenta = text3.texto();
    if (cuenta.isEmpty()) {
        mensajes.mostrar(kMensajeCuentaVacia, kTituloMensajes, IconoMensaje::Informacion);
        return;
    }
    text2.ponerTexto(
        consultar_historial(sentencia_historial(cuenta, senal, origen, dia), 0, 0, bases, fallo));
}

void Exportar_Click(const CajaTexto& text3, int origen, const QDate& dia,
                    const std::function<QString(const QString& propuesto)>& elegir, CajaMensajes& mensajes,
                    ConjuntoBases& bases) {
    const QString cuenta = text3.texto();
    if (cuenta.isEmpty()) {
        mensajes.mostrar(kMensajeCuentaVacia, kTituloMensajes, IconoMensaje::Informacion);
        return;
    }
    const QString ruta =
        elegir(QStringLiteral("cuenta_%1_%2.csv").arg(cuenta, dia.toString(QStringLiteral("yyyy-MM-dd"))));
    if (ruta.isEmpty()) return;
    qint64 filas = 0;
    Fallo f = bases.base[0] ? exportar_csv(*bases.base[0], {cuenta, dia, dia, origen}, ruta, filas)
                            : Fallo{fallos::kSinObjeto, QStringLiteral("la base de datos no está abierta")};
    if (f) {
        mensajes.mostrar(QStringLiteral("No se pudo exportar a «%1»: %2").arg(ruta, f.detalle), kTituloMensajes,
                         IconoMensaje::Exclamacion);
        return;
    }
    mensajes.mostrar(QStringLiteral("%1 eventos exportados a «%2»").arg(filas).arg(ruta), kTituloMensajes,
                     IconoMensaje::Informacion);
}

} // namespace corvane
