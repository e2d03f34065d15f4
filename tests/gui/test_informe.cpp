// The report window, opened by the main window's "Informe" button over the
// alarms of apoyo/alarmas_informe.h: the last seven days by default, the
// table's rows of the days chosen, and a range that ends before it starts
// refused in the window.

#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

#include "apoyo/alarmas_informe.h"
#include "apoyo_gui.h"
#include "ui/ventana_informe.h"

using namespace corvane;
using namespace corvane::pruebas;

namespace {

class VentanaDeInforme : public ConVentana {};

TEST_F(VentanaDeInforme, MuestraLasCifrasDeLosDiasElegidos) {
    Form1& f = ventana();
    {
        std::unique_ptr<BaseDatos> motor;
        ASSERT_FALSE(abrir_motor(base(), motor).numero);
        escribir_alarmas_informe(*motor);
    }
    QTest::mouseClick(control<QPushButton>(&f, "BotonInforme"), Qt::LeftButton);
    QWidget* v = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("Informe")) v = w;
    ASSERT_NE(v, nullptr);
    ASSERT_TRUE(v->isVisible());
    // The fixed clock's day, 2026-12-06, and the six before.
    auto* desde = control<QDateEdit>(v, "Desde");
    auto* hasta = control<QDateEdit>(v, "Hasta");
    EXPECT_EQ(desde->date(), QDate(2026, 11, 30));
    EXPECT_EQ(hasta->date(), QDate(2026, 12, 6));

    const struct Caso {
        const char* nombre;
        QDate desde, hasta;
        int operadores, abiertas, falsas;
    } casos[] = {
        // Five operator-and-class rows and three of every operator.
        {"LaSemana", {2026, 12, 1}, {2026, 12, 7}, 8, 2, 2},
        // C1 alone: ana's and every operator's Pánico.
        {"ElUltimoDia", {2026, 12, 7}, {2026, 12, 7}, 2, 0, 0},
        // Refused: the rows of the day before stay.
        {"AlReves", {2026, 12, 7}, {2026, 12, 1}, 2, 0, 0},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nombre);
        desde->setDate(c.desde);
        hasta->setDate(c.hasta);
        QTest::mouseClick(control<QPushButton>(v, "Calcular"), Qt::LeftButton);
        EXPECT_EQ(control<QTableWidget>(v, "Tabla")->rowCount(), c.operadores);
        EXPECT_EQ(control<QTableWidget>(v, "Abiertas")->rowCount(), c.abiertas);
        EXPECT_EQ(control<QTableWidget>(v, "Falsas")->rowCount(), c.falsas);
    }
    EXPECT_TRUE(control<QLabel>(v, "Estado")->text().contains(QStringLiteral("no es válido")));
}

} // namespace
