#pragma once
// The clock seam: every time and date text of the console comes from here, so
// tests can fix the moment.

#include <QDateTime>
#include <QString>

namespace corvane {

// A moment as two clocks read it at once: the wall clock, for texts and stored
// moments, and a steady count of milliseconds, for durations, which a step of
// the wall clock (NTP, an operator) does not move.
struct Instante {
    Instante() = default;
    // A moment of a fixed clock: its steady count follows the wall clock.
    Instante(const QDateTime& t) : pared(t), ms(t.toMSecsSinceEpoch()) {} // NOLINT: implicit on purpose
    Instante(const QDateTime& t, qint64 monotono) : pared(t), ms(monotono) {}

    bool valido() const { return pared.isValid(); }
    // Whole seconds from this moment to `despues`, by the steady count.
    qint64 segundosHasta(const Instante& despues) const { return (despues.ms - ms) / 1000; }

    QDateTime pared;
    qint64 ms = 0;
};

class Reloj {
public:
    virtual ~Reloj() = default;
    virtual QDateTime ahora() const = 0;
    // The wall clock and the steady count read together; a fixed clock's count
    // follows its wall clock.
    virtual Instante instante() const { return Instante(ahora()); }

    // Time of day of report lines and the status line, 24-hour: "14:27:13".
    virtual QString texto_hora() const;
    // Date part of a stored moment: "2026-12-06".
    virtual QString texto_fecha() const;
    // Both texts of one reading of the clock: a report's lines and its stored
    // moment agree, also across a second's or a day's change.
    virtual void textos(QString& fecha, QString& hora) const;
};

// The machine's local clock. Its texts are read anew at every call; within one
// second the same text is handed out again instead of being formatted again.
class RelojSistema : public Reloj {
public:
    QDateTime ahora() const override { return QDateTime::currentDateTime(); }
    Instante instante() const override;
    QString texto_hora() const override;
    QString texto_fecha() const override;
    void textos(QString& fecha, QString& hora) const override;

private:
    void actualizar() const;
    mutable qint64 segundo_ = -1;
    mutable QString hora_;
    mutable QString fecha_;
};

// A clock that shows the moment it is set to; for tests and benchmarks.
class RelojFijo : public Reloj {
public:
    explicit RelojFijo(QDateTime momento) : momento_(std::move(momento)) {}
    QDateTime ahora() const override { return momento_; }
    void fijar(const QDateTime& momento) { momento_ = momento; }

private:
    QDateTime momento_;
};

// Patterns of the date and time texts; the stored moment is the date text, one
// blank and the time text, which both engines read back as the same moment.
inline const QString kFormatoHora = QStringLiteral("HH:mm:ss");
inline const QString kFormatoFecha = QStringLiteral("yyyy-MM-dd");
inline const QString kFormatoMomento = QStringLiteral("yyyy-MM-dd HH:mm:ss");
inline const QString kFormatoListado = QStringLiteral("dd/MM/yyyy HH:mm:ss");

} // namespace corvane
