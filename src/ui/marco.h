#pragma once
// A frame as the windows draw it: an etched border, the caption (if any) on its
// top edge, and the frame's own background inside, with nothing lighter or
// darker drawn over it.

#include <QGroupBox>

namespace corvane {

class Marco : public QGroupBox {
    Q_OBJECT
public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent* e) override;
};

} // namespace corvane
