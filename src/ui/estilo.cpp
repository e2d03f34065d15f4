#include "ui/estilo.h"

#include <QPalette>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace corvane {

QColor color_de_tono(Tono tono) {
    switch (tono) {
    case Tono::Alarma:
        return kRojoAlerta;
    case Tono::Robo:
        return {0xB0, 0x48, 0x00};
    case Tono::Averia:
        return {0x8A, 0x65, 0x00};
    case Tono::Restauracion:
        return {0x00, 0x80, 0x00};
    case Tono::Rutina:
        return {0x6B, 0x6B, 0x6B};
    case Tono::Normal:
        break;
    }
    return {};
}

namespace {

// Relative luminance of an sRGB colour: each channel made linear, then weighted.
double luminancia(const QColor& c) {
    const auto lineal = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lineal(c.redF()) + 0.7152 * lineal(c.greenF()) + 0.0722 * lineal(c.blueF());
}

} // namespace

double contraste(const QColor& a, const QColor& b) {
    const double la = luminancia(a);
    const double lb = luminancia(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
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
    p.setColor(QPalette::Base, kFondoCaja);
    p.setColor(QPalette::Text, kTextoCaja);
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
