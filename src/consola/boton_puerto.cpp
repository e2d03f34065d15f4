#include "consola/boton_puerto.h"

namespace corvane {

void AbrirCom(const QString& puerto, PuertoSerie& comm, qint32 baudrate, ControlesPuerto& controles,
              CajaMensajes& mensajes) {
    if (comm.PortOpen()) {
        controles.habilitarVerCuenta(false);
        comm.cerrar();
        controles.ponerTituloBoton(kTituloAbrir);
        controles.habilitarListas(true);
        return;
    }
    if (comm.abrir(puerto, baudrate)) {
        mensajes.mostrar(kMensajePuerto, kTituloMensajes, IconoMensaje::Exclamacion);
        return;
    }
    controles.habilitarVerCuenta(true);
    controles.ponerTituloBoton(kTituloCerrar);
    controles.habilitarListas(false);
}

} // namespace corvane
