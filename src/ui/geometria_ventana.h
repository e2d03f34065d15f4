#pragma once
// Place and size of the console's windows beside the main one (alarms, events):
// kept between starts (QSettings "corvane") under a key of each window, as a
// rectangle whose corner is that of the frame and whose size is that of the
// inside; a first place in a corner of the work area; and a place that leaves
// part of the frame off the screen brought back on it.

#include <QRect>
#include <QString>

class QWidget;

namespace corvane {

// The window's kept place and size, brought inside the work area of the screen
// it stands on and never under its minimum size. False when none is kept.
bool restaurar_geometria(QWidget& w, const QString& clave);

// Keeps the window's place and size; a maximised or full-screen window keeps
// its normal ones.
void guardar_geometria(const QWidget& w, const QString& clave);

// Moves the window so that its frame stands in `esquina` of the work area of its
// screen. Before the window manager has framed the window its frame is unknown:
// room is left for a usual one (borders and a title bar), so that the frame
// drawn later does not push the window past the screen's edge.
void colocar_en_esquina(QWidget& w, Qt::Corner esquina);

// A frame that is not wholly in the work area of its screen is moved (and cut
// down, not under the minimum size) into it; the top left corner wins, so the
// title bar stays reachable.
void ajustar_a_pantalla(QWidget& w);

// Milliseconds after a window first appears when its place is checked again:
// the frame the window manager adds is known only once it is mapped.
inline constexpr int kRevisarColocacionMs = 500;

} // namespace corvane
