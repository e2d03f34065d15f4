#include "ui/sirena.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace corvane {

void Sirena::ponerFalla(const QString& falla) {
    if (falla == falla_) return;
    falla_ = falla;
    if (aviso_) aviso_(falla_);
}

SirenaQt::SirenaQt() {
    repetir_.setInterval(kRepetirSirenaMs);
    QObject::connect(&repetir_, &QTimer::timeout, &repetir_, [this] { tocar(); });
    // A device plugged in or taken out changes what the operator is told.
    auto* dispositivos = new QMediaDevices(&repetir_);
    QObject::connect(dispositivos, &QMediaDevices::audioOutputsChanged, &repetir_,
                     [this] { revisarDispositivos(); });
    revisarDispositivos();
}

SirenaQt::~SirenaQt() = default;

void SirenaQt::revisarDispositivos() {
    if (QMediaDevices::audioOutputs().isEmpty())
        ponerFalla(kSinDispositivoAudio);
    else if (falla() == kSinDispositivoAudio)
        ponerFalla({});
}

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
        QObject::connect(efecto_.get(), &QSoundEffect::statusChanged, &repetir_, [this] {
            if (efecto_->status() == QSoundEffect::Error)
                ponerFalla(QMediaDevices::audioOutputs().isEmpty() ? kSinDispositivoAudio
                                                                   : kSonidoFallido);
            else if (efecto_->status() == QSoundEffect::Ready && falla() == kSonidoFallido)
                ponerFalla({});
        });
        efecto_->setSource(QUrl(QStringLiteral("qrc:/corvane/alarma.wav")));
    }
    if (!efecto_->isPlaying()) efecto_->play();
}

} // namespace corvane
