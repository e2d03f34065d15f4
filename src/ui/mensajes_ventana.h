#pragma once
// Messages to the operator in a modal message box.

#include <QPointer>
#include <QWidget>

#include "common/mensajes.h"

namespace corvane {

class MensajesVentana : public CajaMensajes {
public:
    // Boxes are centred on `padre`.
    explicit MensajesVentana(QWidget* padre = nullptr) : padre_(padre) {}
    void mostrar(const QString& texto, const QString& titulo, IconoMensaje icono) override;
    // "Sí" / "No", "No" by default.
    bool preguntar(const QString& texto, const QString& titulo) override;

private:
    QPointer<QWidget> padre_;
};

} // namespace corvane
