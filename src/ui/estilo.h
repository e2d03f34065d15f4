#pragma once
// Fonts and colours of the windows.

#include <QColor>
#include <QFont>

#include "common/caja_texto.h"
#include "ui/disposicion.h"

class QWidget;

namespace corvane {

// Every control writes in "Courier New" (on Linux fontconfig gives Liberation
// Mono, which has the same metrics).
inline constexpr double kPuntosNormal = 9.75;
inline constexpr double kPuntosRegistroOnline = 8.25;

// Background of the main window, its frames and its panels: E0E0E0.
inline const QColor kGrisFondo{0xE0, 0xE0, 0xE0};
// What the operator must notice: white on a strong red.
inline const QColor kRojoAlerta{0xC0, 0x00, 0x00};
// The text boxes: black on white.
inline const QColor kFondoCaja{Qt::white};
inline const QColor kTextoCaja{Qt::black};

// The colour of a log line of each tone, at least 4.5:1 against the boxes'
// white (contraste): fire, panic and medical red, burglary orange, troubles
// amber, restores green, tests, openings and closings grey; Normal has none
// (the box's text colour).
QColor color_de_tono(Tono tono);

// The contrast ratio of two colours, 1 to 21: (L1 + 0.05) / (L2 + 0.05) with L
// the relative luminance of the sRGB colour, the lighter one first.
double contraste(const QColor& a, const QColor& b);

QFont fuente_consola(bool negrita, double puntos = kPuntosNormal);

// Fills the widget's background with `color`.
void pintar_fondo(QWidget* w, const QColor& color);

// White text boxes with black text.
void caja_blanca(QWidget* w);

// Puts `w` at `r` (twips, relative to its parent) at the screen's logical
// resolution. A negative size, on a screen too small for the layout, becomes 0.
void colocar(QWidget* w, const RectTwips& r);
// The widget's size in twips.
float ancho_twips(const QWidget* w);
float alto_twips(const QWidget* w);

} // namespace corvane
