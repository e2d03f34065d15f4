#pragma once
// The alarm sound behind a small seam: the alarm window tells it to sound while
// an alarm waits for acknowledgement and to stop when none is left; tests put a
// recording one in its place, so they need no audio.

#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class QSoundEffect;

namespace corvane {

class Sirena {
public:
    virtual ~Sirena() = default;
    // Sounds now, unless it is sounding, and again every few seconds until callar.
    virtual void sonar() = 0;
    virtual void callar() = 0;

    // What keeps the sound from being heard, in the operator's words; empty
    // while it can be.
    const QString& falla() const { return falla_; }
    // Told each time falla() changes; empty: nobody.
    void alCambiarFalla(std::function<void(const QString&)> aviso) { aviso_ = std::move(aviso); }

protected:
    void ponerFalla(const QString& falla);

private:
    QString falla_;
    std::function<void(const QString&)> aviso_;
};

inline const QString kSinDispositivoAudio =
    QStringLiteral("Sin sonido: no hay dispositivo de audio");
inline const QString kSonidoFallido =
    QStringLiteral("Sin sonido: el sonido de alarma no se puede reproducir");

// Milliseconds from one sound to the next while alarms wait.
inline constexpr int kRepetirSirenaMs = 4000;

// The sound of our own (data/alarma.wav, built into the program) through Qt
// Multimedia, on the system's default audio output. Without audio (no device, no
// sound server) it stays silent, says so through falla(), and the windows go on.
class SirenaQt : public Sirena {
public:
    SirenaQt();
    ~SirenaQt() override;
    void sonar() override;
    void callar() override;

private:
    void tocar();
    void revisarDispositivos();

    std::unique_ptr<QSoundEffect> efecto_; // made at the first sound
    QTimer repetir_;
};

} // namespace corvane
