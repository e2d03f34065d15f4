#include "ui/mensajes_ventana.h"

#include <QMessageBox>

namespace corvane {

void MensajesVentana::mostrar(const QString& texto, const QString& titulo, IconoMensaje icono) {
    QMessageBox caja(icono == IconoMensaje::Exclamacion ? QMessageBox::Warning
                                                        : QMessageBox::Information,
                     titulo, texto, QMessageBox::Ok, padre_);
    caja.exec();
}

} // namespace corvane
