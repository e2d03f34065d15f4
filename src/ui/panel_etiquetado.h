#pragma once
// The labelled panel of the windows: a container that shows each child's caption
// as a bold label to the left of the child, in a label column as wide as the
// widest caption plus a margin each side. Children keep the positions they are
// given; the panel only draws the labels.

#include <QPointer>
#include <QString>
#include <QWidget>

#include <vector>

namespace corvane {

class PanelEtiquetado : public QWidget {
    Q_OBJECT
public:
    explicit PanelEtiquetado(QWidget* parent = nullptr);

    // `hijo` (a child of this panel) shows `etiqueta` to its left.
    void ponerEtiqueta(QWidget* hijo, const QString& etiqueta);

    // Width of the label column in whole twips.
    int anchoEtiquetas() const;

    // Where the label of `hijo` is drawn, in pixels: the column just left of the
    // child, as high as the child. Empty when the child is hidden or has none.
    QRect rectEtiqueta(const QWidget* hijo) const;

protected:
    void paintEvent(QPaintEvent* e) override;
    bool eventFilter(QObject* objeto, QEvent* e) override;

private:
    struct Etiqueta {
        QPointer<QWidget> hijo;
        QString texto;
    };
    int anchoEtiquetasPx() const;

    std::vector<Etiqueta> etiquetas_;
};

} // namespace corvane
