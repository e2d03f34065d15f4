#pragma once
// The report window ("Informe"): the figures of the handling of the alarms
// received between two days (consola/informe_atencion.h), as the command line's
// --informe-atencion gives them: the table per operator and class, the alarms
// still open per class and the accounts with most false alarms, with two
// charts, the alarms per hour of the day and the median and 90th percentile of
// the time to acknowledge and to close per class (minutes).
//
// The days are the last kDiasInforme ones, today among them, until the operator
// chooses others; the figures are read again on "Calcular" and each time the
// window is brought up.
//
// A normal window, closed by hiding it; its place and size are kept between
// starts (QSettings "corvane"); the first time it stands in the lower left
// corner of the work area, over the older lines of the online log, clear of the
// port controls, the query and the alarm window.

#include <QWidget>

#include <functional>

#include "consola/informe_atencion.h"

class QChartView;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableWidget;

namespace corvane {

class BaseDatos;
class Reloj;

inline const QString kClaveGeometriaInforme = QStringLiteral("informe/geometria");

class VentanaInforme : public QWidget {
    Q_OBJECT
public:
    // `base`: the database the figures are read from, asked for at each
    // reading (null: none open). `reloj` gives today.
    VentanaInforme(std::function<BaseDatos*()> base, const Reloj& reloj, QWidget* parent = nullptr);
    ~VentanaInforme() override;

    // Shows the window (restored if minimised) in front of the others, with the
    // figures read again.
    void traerAlFrente();
    // Reads the figures of the chosen days; a failure is told in the window.
    void calcular();

    const InformeAtencion& informe() const { return informe_; }

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    void construir();
    void mostrar();

    std::function<BaseDatos*()> base_;
    const Reloj& reloj_;
    InformeAtencion informe_;
    QDateEdit* desde_ = nullptr;
    QDateEdit* hasta_ = nullptr;
    QPushButton* calcular_ = nullptr;
    QLabel* estado_ = nullptr;
    QTableWidget* tabla_ = nullptr;
    QTableWidget* abiertas_ = nullptr;
    QTableWidget* falsas_ = nullptr;
    QChartView* porHora_ = nullptr;
    QChartView* tiempos_ = nullptr;
    bool mostrada_ = false;
    bool restaurada_ = false;
};

} // namespace corvane
