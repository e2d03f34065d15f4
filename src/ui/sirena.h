#pragma once
// The alarm sound behind a small seam: the alarm window tells it to sound while
// an alarm waits for acknowledgement and to stop when none is left; tests put a
// recording one in its place, so they need no audio.

#include <QTimer>

#include <memory>

class QSoundEffect;

namespace corvane {

class Sirena {
public:
    virtual ~Sirena() = default;
    // Sounds now, unless it is sounding, and again every few seconds until callar.
    virtual void sonar() = 0;
    virtual void callar() = 0;
};

// Milliseconds from one sound to the next while alarms wait.
inline constexpr int kRepetirSirenaMs = 4000;

// The sound of our own (data/alarma.wav, built into the program) through Qt
// Multimedia, on the system's default audio output. Without audio (no device, no
// sound server) it stays silent and the windows go on.
class SirenaQt : public Sirena {
public:
    SirenaQt();
    ~SirenaQt() override;
    void sonar() override;
    void callar() override;

private:
    void tocar();

    std::unique_ptr<QSoundEffect> efecto_; // made at the first sound
    QTimer repetir_;
};

} // namespace corvane
