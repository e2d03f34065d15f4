#include "consola/boton_consulta.h"

#include "consola/listado.h"
#include "store/consulta.h"

namespace corvane {

void Command3_Click(const CajaTexto& text3, int senal, int origen, const QDate& dia,
                    CajaTexto& text2, CajaMensajes& mensajes, ConjuntoBases& bases) {
    const QString cuenta = text3.texto();
    if (cuenta.isEmpty()) {
        mensajes.mostrar(kMensajeCuentaVacia, kTituloMensajes, IconoMensaje::Informacion);
        return;
    }
    text2.ponerTexto(consultar_historial(sentencia_historial(cuenta, senal, origen, dia), 0, 0, bases));
}

} // namespace corvane
