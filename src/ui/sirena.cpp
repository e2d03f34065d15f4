#include "ui/sirena.h"

#include <QSoundEffect>
#include <QUrl>

namespace corvane {

SirenaQt::SirenaQt() {
    repetir_.setInterval(kRepetirSirenaMs);
    QObject::connect(&repetir_, &QTimer::timeout, &repetir_, [this] { tocar(); });
}

SirenaQt::~SirenaQt() = default;

void SirenaQt::sonar() {
    if (repetir_.isActive()) return;
    tocar();
    repetir_.start();
}

void SirenaQt::callar() {
    repetir_.stop();
    if (efecto_) efecto_->stop();
}

void SirenaQt::tocar() {
    if (!efecto_) {
        efecto_ = std::make_unique<QSoundEffect>();
        efecto_->setSource(QUrl(QStringLiteral("qrc:/corvane/alarma.wav")));
    }
    if (!efecto_->isPlaying()) efecto_->play();
}

} // namespace corvane
