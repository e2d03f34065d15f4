#include "ui/estilo.h"

#include <QPalette>
#include <QWidget>

#include <algorithm>

namespace corvane {

QColor color_de_tono(Tono tono) {
    switch (tono) {
    case Tono::Alarma:
        return kRojoAlerta;
    case Tono::Robo:
        return {0xD2, 0x5A, 0x00};
    case Tono::Averia:
        return {0xB0, 0x80, 0x00};
    case Tono::Restauracion:
        return {0x00, 0x80, 0x00};
    case Tono::Rutina:
        return {0x80, 0x80, 0x80};
    case Tono::Normal:
        break;
    }
    return {};
}

QFont fuente_consola(bool negrita, double puntos) {
    QFont f(QStringLiteral("Courier New"));
    f.setStyleHint(QFont::TypeWriter);
    f.setPointSizeF(puntos);
    f.setBold(negrita);
    return f;
}

void pintar_fondo(QWidget* w, const QColor& color) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, color);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

void caja_blanca(QWidget* w) {
    QPalette p = w->palette();
    p.setColor(QPalette::Base, Qt::white);
    p.setColor(QPalette::Text, Qt::black);
    w->setPalette(p);
}

void colocar(QWidget* w, const RectTwips& r) {
    const int dx = w->logicalDpiX();
    const int dy = w->logicalDpiY();
    w->setGeometry(twips_a_px(r.left, dx), twips_a_px(r.top, dy),
                   std::max(0, twips_a_px(r.width, dx)), std::max(0, twips_a_px(r.height, dy)));
}

float ancho_twips(const QWidget* w) {
    return px_a_twips(w->width(), w->logicalDpiX());
}
float alto_twips(const QWidget* w) {
    return px_a_twips(w->height(), w->logicalDpiY());
}

} // namespace corvane
