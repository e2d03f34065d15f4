#include "ui/geometria_ventana.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

#include <algorithm>

namespace corvane {

namespace {

// Pixels left for a window manager's frame not known yet: its side and bottom
// borders, and its title bar.
constexpr int kBordeSupuesto = 8;
constexpr int kTituloSupuesto = 32;

QSettings ajustes() {
    return QSettings(QStringLiteral("corvane"), QStringLiteral("corvane"));
}

// `marco` moved (and cut down, not under `minimo`) so that it lies inside
// `pantalla`; the top left corner wins.
QRect dentro_de(QRect marco, const QRect& pantalla, const QSize& minimo) {
    marco.setWidth(std::max(std::min(marco.width(), pantalla.width()), minimo.width()));
    marco.setHeight(std::max(std::min(marco.height(), pantalla.height()), minimo.height()));
    marco.moveLeft(
        std::max(std::min(marco.left(), pantalla.right() + 1 - marco.width()), pantalla.left()));
    marco.moveTop(
        std::max(std::min(marco.top(), pantalla.bottom() + 1 - marco.height()), pantalla.top()));
    return marco;
}

QScreen* pantalla_de(const QRect& marco) {
    QScreen* s = QGuiApplication::screenAt(marco.center());
    return s != nullptr ? s : QGuiApplication::primaryScreen();
}

} // namespace

bool restaurar_geometria(QWidget& w, const QString& clave) {
    const QRect guardada = ajustes().value(clave).toRect();
    if (!guardada.isValid()) return false;
    const QRect dentro =
        dentro_de(guardada, pantalla_de(guardada)->availableGeometry(), w.minimumSize());
    w.resize(dentro.size());
    w.move(dentro.topLeft());
    return true;
}

void guardar_geometria(const QWidget& w, const QString& clave) {
    QRect r(w.pos(), w.size());
    if (w.isMaximized() || w.isFullScreen())
        r = QRect(w.normalGeometry().topLeft() - (w.geometry().topLeft() - w.pos()),
                  w.normalGeometry().size());
    ajustes().setValue(clave, r);
}

void colocar_en_esquina(QWidget& w, Qt::Corner esquina) {
    const QRect zona = (w.screen() != nullptr ? w.screen() : QGuiApplication::primaryScreen())
                           ->availableGeometry();
    QRect marco = w.frameGeometry();
    if (marco == w.geometry())
        marco.adjust(-kBordeSupuesto, -kTituloSupuesto, kBordeSupuesto, kBordeSupuesto);
    switch (esquina) {
    case Qt::TopLeftCorner:
        marco.moveTopLeft(zona.topLeft());
        break;
    case Qt::TopRightCorner:
        marco.moveTopRight(zona.topRight());
        break;
    case Qt::BottomLeftCorner:
        marco.moveBottomLeft(zona.bottomLeft());
        break;
    case Qt::BottomRightCorner:
        marco.moveBottomRight(zona.bottomRight());
        break;
    }
    w.move(marco.topLeft());
}

void ajustar_a_pantalla(QWidget& w) {
    const QRect marco = w.frameGeometry();
    const QRect zona = pantalla_de(marco)->availableGeometry();
    if (zona.contains(marco)) return;
    const QSize borde = marco.size() - w.size();
    const QRect dentro = dentro_de(marco, zona, w.minimumSize() + borde);
    w.resize(dentro.size() - borde);
    w.move(dentro.topLeft());
}

} // namespace corvane
