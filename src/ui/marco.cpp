#include "ui/marco.h"

#include <QPainter>

namespace corvane {

void Marco::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QFontMetrics fm(font());
    const QString titulo = title();
    // The border runs through the middle of the caption.
    const int arriba = titulo.isEmpty() ? 0 : fm.height() / 2;
    const QRect borde = rect().adjusted(0, arriba, -2, -2);
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(borde);
    p.setPen(palette().color(QPalette::Light));
    p.drawRect(borde.translated(1, 1));
    if (titulo.isEmpty()) return;
    const int margen = fm.averageCharWidth() / 2;
    const QRect zona(fm.averageCharWidth(), 0, fm.horizontalAdvance(titulo) + 2 * margen,
                     fm.height());
    p.fillRect(zona, palette().color(QPalette::Window));
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(zona, Qt::AlignCenter, titulo);
}

} // namespace corvane
