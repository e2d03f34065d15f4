#pragma once
// The clock seam: every time and date text of the console comes from here, so
// tests can fix the moment.

#include <QDateTime>
#include <QString>

namespace corvane {

class Reloj {
public:
    virtual ~Reloj() = default;
    virtual QDateTime ahora() const = 0;

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
