#pragma once
// What the operator must notice about the receive line, as states with a start
// and an end: a receiver that sends no character at all for too long, and a port
// lost while open. The modes feed this object what happens (the port opened,
// characters arrived, a second passed, the port was lost, retried, recovered or
// closed) with the moment it happened, and show what it answers at each change.

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

#include "common/reloj.h"

namespace corvane {

// Seconds without a character before the receiver counts as silent: the default,
// and the range that --vigilancia takes (0 turns the watch off).
inline constexpr int kVigilanciaPorOmision = 90;
inline constexpr int kVigilanciaMinima = 10;
inline constexpr int kVigilanciaMaxima = 3600;

inline bool vigilancia_valida(int segundos) {
    return segundos == 0 || (segundos >= kVigilanciaMinima && segundos <= kVigilanciaMaxima);
}

// Label of the error.log record written once at the start of every silence.
inline const QString kEtiquetaVigilancia = QStringLiteral("vigilancia_receptor");

// What one change asks to show.
struct CambioVigilado {
    // The line for the top of the online log (standard error without windows),
    // without line end: "*** Receptor sin actividad desde 14:27:13 ***". Empty:
    // none.
    QString linea;
    // The status line's new text; none: the status line stays as it is.
    std::optional<QString> estado;
    // The text is an alert: shown in the alert colour until the next status text.
    bool alerta = false;
    // A silence starts: one error.log record is due.
    bool registrar = false;

    bool vacio() const { return linea.isEmpty() && !estado && !registrar; }
};

class Vigilancia {
public:
    // `segundos`: the silence that starts an alert (vigilancia_valida); 0 never.
    explicit Vigilancia(int segundos) : segundos_(segundos) {}

    // The operator opened the port at `t`: characters are awaited from then on.
    void abierto(const Instante& t);
    // The operator closed the port: whatever was shown of a lost port or a silent
    // receiver goes (status line emptied), without a line.
    CambioVigilado cerrado();
    // Characters arrived at `t`, before they go through the receive road; ends a
    // silence: "*** Receptor activo de nuevo a las HH:mm:ss (sin actividad N s) ***",
    // N counted from the last character (or the port's opening) to `t`.
    CambioVigilado llegada(const Instante& t);
    // A look at the clock, about once a second: starts a silence when the port is
    // open and in use and nothing arrived for the set seconds: "*** Receptor sin
    // actividad desde HH:mm:ss ***", the time of the last character or of the
    // port's opening, whichever is later. No silence starts while the port is lost.
    CambioVigilado revisar(const Instante& t);

    // The port `puerto` was lost at `t`, the system's reason in Spanish in `causa`
    // (may be empty): "*** Puerto P perdido a las HH:mm:ss ***", and the status line
    // "Puerto P perdido a las HH:mm:ss; reintentando (causa)   HH:mm:ss".
    CambioVigilado perdido(const QString& puerto, const Instante& t, const QString& causa);
    // A retry failed at `t`: the same status text, the cause and the time of the
    // last attempt brought up to date; no line.
    CambioVigilado reintento(const Instante& t, const QString& causa);
    // The lost port opened again at `t`: "*** Puerto P recuperado a las HH:mm:ss ***";
    // the silence watch counts from `t`.
    CambioVigilado recuperado(const Instante& t);

    bool enSilencio() const { return silencioDesde_.valido(); }
    bool puertoPerdido() const { return perdidoA_.valido(); }
    // The states that last, for a place that keeps them in sight: the lost port's
    // text, then "Receptor sin actividad desde HH:mm:ss".
    QStringList alertas() const;

private:
    QString textoPerdido() const;

    int segundos_;
    bool abierto_ = false;
    // Durations are counted on the steady clock: a step of the wall clock neither
    // hides a silence nor makes one up.
    Instante ultimo_;        // last character, or the moment the watch (re)started
    Instante silencioDesde_; // valid while the receiver is silent
    QString puerto_;
    Instante perdidoA_; // valid while the port is lost
    Instante ultimoIntento_;
    QString causa_;
};

} // namespace corvane
