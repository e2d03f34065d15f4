#include "ui/mensajes_ventana.h"

#include <QMessageBox>
#include <QPushButton>

namespace corvane {

void MensajesVentana::mostrar(const QString& texto, const QString& titulo, IconoMensaje icono) {
    QMessageBox caja(icono == IconoMensaje::Exclamacion ? QMessageBox::Warning
                                                        : QMessageBox::Information,
                     titulo, texto, QMessageBox::Ok, padre_);
    caja.exec();
}

bool MensajesVentana::preguntar(const QString& texto, const QString& titulo) {
    QMessageBox caja(QMessageBox::Question, titulo, texto, QMessageBox::NoButton, padre_);
    QPushButton* si = caja.addButton(QStringLiteral("Sí"), QMessageBox::YesRole);
    caja.setDefaultButton(caja.addButton(QStringLiteral("No"), QMessageBox::NoRole));
    caja.exec();
    return caja.clickedButton() == si;
}

} // namespace corvane
