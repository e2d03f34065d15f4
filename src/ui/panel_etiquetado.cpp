#include "ui/panel_etiquetado.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "ui/disposicion.h"
#include "ui/estilo.h"

namespace corvane {

namespace {
// Space each side of a label inside the column, in twips.
constexpr float kMargenEtiqueta = 60;
} // namespace

PanelEtiquetado::PanelEtiquetado(QWidget* parent) : QWidget(parent) {
    setFont(fuente_consola(true));
    setFocusPolicy(Qt::NoFocus);
}

void PanelEtiquetado::ponerEtiqueta(QWidget* hijo, const QString& etiqueta) {
    if (hijo == nullptr || hijo->parentWidget() != this) return;
    auto it = std::find_if(etiquetas_.begin(), etiquetas_.end(),
                           [hijo](const Etiqueta& e) { return e.hijo == hijo; });
    if (it == etiquetas_.end()) {
        etiquetas_.push_back({hijo, etiqueta});
        // The label follows the child when it moves, resizes, shows or hides.
        hijo->installEventFilter(this);
    } else {
        it->texto = etiqueta;
    }
    update();
}

int PanelEtiquetado::anchoEtiquetas() const {
    const QFontMetrics fm(font());
    int ancho = 0;
    for (const Etiqueta& e : etiquetas_) ancho = std::max(ancho, fm.horizontalAdvance(e.texto));
    const float twips = px_a_twips(ancho, logicalDpiX()) + 2 * kMargenEtiqueta;
    return static_cast<int>(std::ceil(twips));
}

int PanelEtiquetado::anchoEtiquetasPx() const {
    return twips_a_px(static_cast<float>(anchoEtiquetas()), logicalDpiX());
}

QRect PanelEtiquetado::rectEtiqueta(const QWidget* hijo) const {
    for (const Etiqueta& e : etiquetas_) {
        if (e.hijo != hijo || hijo == nullptr) continue;
        if (e.texto.isEmpty() || !hijo->isVisibleTo(this)) return {};
        const int ancho = anchoEtiquetasPx();
        return {hijo->x() - ancho, hijo->y(), ancho, hijo->height()};
    }
    return {};
}

void PanelEtiquetado::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setFont(font());
    p.setPen(palette().color(QPalette::WindowText));
    const int margen = twips_a_px(kMargenEtiqueta, logicalDpiX());
    for (const Etiqueta& e : etiquetas_) {
        const QRect r = rectEtiqueta(e.hijo);
        if (r.isEmpty()) continue;
        p.drawText(r.adjusted(margen, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, e.texto);
    }
}

bool PanelEtiquetado::eventFilter(QObject* objeto, QEvent* e) {
    switch (e->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
        update();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(objeto, e);
}

} // namespace corvane
