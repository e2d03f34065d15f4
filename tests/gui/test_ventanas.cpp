// The main window and the online account window: start-up state, lists, the
// clearing of the online log, opening and closing the online account window,
// closing everything, the port button's failure message, fonts and focus order.

#include <QCalendarWidget>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>
#include <QWindow>

#include "apoyo_gui.h"
#include "reception/manejador.h"
#include "ui/cajas_ventana.h"
#include "ui/form2.h"
#include "ui/idioma.h"
#include "ui/panel_etiquetado.h"

using namespace corvane;
using namespace corvane::pruebas;

namespace {

// Ten-character packet of account 0500 and its short line at 14:27:13.
const QByteArray kDiez = "E121f49001";
const QString kLineaDiez = QStringLiteral("Cuenta=0500  Señal=10/16  Origen=0  14:27:13\r\n");

QStringList elementos(const QComboBox* c) {
    QStringList r;
    for (int i = 0; i < c->count(); ++i) r << c->itemText(i);
    return r;
}

int ventanas_online_visibles() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("Form2") && w->isVisible()) ++n;
    return n;
}

using Ventanas = ConVentana;

// The window as loaded: its state, texts and the lists' contents.
TEST_F(Ventanas, EstadoAlArrancar) {
    // Whatever the state held before, loading the window resets it.
    estado.verCuentaOnline = true;
    estado.estadoRx = kEstadoC;
    Form1& f = ventana();
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Analizador Corvane"));
    EXPECT_EQ(estado.bases.abierta[0], 1);
    EXPECT_TRUE(QFile::exists(base()));
    EXPECT_FALSE(estado.verCuentaOnline);
    EXPECT_EQ(estado.estadoRx, kEstadoN);

    EXPECT_EQ(control<QComboBox>(&f, "Combo1_0")->currentText(), QStringLiteral("1"));
    EXPECT_EQ(control<QComboBox>(&f, "Combo1_1")->currentText(), QStringLiteral("1200"));
    EXPECT_EQ(control<QComboBox>(&f, "Combo2_1")->currentText(),
              QStringLiteral("Ver todos los origenes"));
    auto* senal = control<QComboBox>(&f, "Combo2_0");
    EXPECT_EQ(senal->currentIndex(), 0);
    EXPECT_FALSE(senal->isVisibleTo(&f));
    EXPECT_EQ(control<QDateEdit>(&f, "DTPicker1")->date(), QDate(2026, 12, 6));
    EXPECT_TRUE(control<QPlainTextEdit>(&f, "Text1")->toPlainText().isEmpty());
    EXPECT_TRUE(control<QPlainTextEdit>(&f, "Text2")->toPlainText().isEmpty());
    EXPECT_TRUE(control<QLineEdit>(&f, "Text3")->text().isEmpty());
    EXPECT_TRUE(control<QLineEdit>(&f, "Text4")->text().isEmpty());
    EXPECT_FALSE(control<QPushButton>(&f, "Command4")->isEnabled());
    EXPECT_EQ(control<QPushButton>(&f, "Command1")->text(), QStringLiteral("Abrir Com"));
    EXPECT_EQ(control<QGroupBox>(&f, "Frame1")->title(),
              QStringLiteral("Configuracion Puerto serie"));
    EXPECT_EQ(control<QGroupBox>(&f, "Frame2")->title(), QStringLiteral("Actividad Puerto serie"));
    EXPECT_EQ(control<QGroupBox>(&f, "Frame3")->title(), QStringLiteral("Consulta de abonados"));
    EXPECT_EQ(control<QPushButton>(&f, "Command2")->text(),
              QStringLiteral("Limpiar Pantalla OnLine"));
    EXPECT_EQ(control<QPushButton>(&f, "Command3")->text(), QStringLiteral("Realizar Busqueda"));
    EXPECT_EQ(control<QPushButton>(&f, "Command4")->text(), QStringLiteral("Ver Cuenta OnLine"));
    const QStringList puertos = elementos(control<QComboBox>(&f, "Combo1_0"));
    ASSERT_GE(puertos.size(), 20);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(puertos.at(i), QString::number(i + 1));
    EXPECT_EQ(elementos(control<QComboBox>(&f, "Combo1_1")),
              (QStringList{"1200", "4800", "9600", "19200"}));
    const QStringList senales = elementos(control<QComboBox>(&f, "Combo2_0"));
    ASSERT_EQ(senales.size(), 17);
    EXPECT_EQ(senales.first(), QStringLiteral("Todas las señales"));
    EXPECT_EQ(senales.at(1), QStringLiteral("Maximo 1"));
    EXPECT_EQ(senales.last(), QStringLiteral("Maximo 16"));
    const QStringList origen = elementos(control<QComboBox>(&f, "Combo2_1"));
    ASSERT_EQ(origen.size(), 17);
    EXPECT_EQ(origen.at(1), QStringLiteral("Solo abonados directos"));
    EXPECT_EQ(origen.at(2), QStringLiteral("Solo abonados por repetidora 1"));
    EXPECT_EQ(origen.last(), QStringLiteral("Solo abonados por repetidora 15"));
    for (const char* nombre : {"Combo1_0", "Combo1_1", "Combo2_0", "Combo2_1"})
        EXPECT_FALSE(control<QComboBox>(&f, nombre)->isEditable()) << nombre;
}

TEST_F(Ventanas, ElPuertoDeLaLineaDeComandosQuedaElegido) {
    struct {
        const char* nombre;
        QString puerto;
        int indice; // -1: added at the end
    } casos[] = {{"Numerado", QStringLiteral("7"), 6},
                 {"RutaDeDispositivo", QStringLiteral("/dev/corvane-prueba"), -1}};
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        form.reset();
        Form1& f = ventana(c.puerto);
        auto* lista = control<QComboBox>(&f, "Combo1_0");
        EXPECT_EQ(lista->currentText(), c.puerto);
        EXPECT_EQ(lista->currentIndex(), c.indice < 0 ? lista->count() - 1 : c.indice);
        EXPECT_EQ(lista->findText(c.puerto), lista->currentIndex()); // listed once
    }
}

// Fonts, colours and the focus order.
TEST_F(Ventanas, FuentesYColores) {
    Form1& f = ventana();
    const QColor gris(0xE0, 0xE0, 0xE0);
    for (const char* nombre : {"Frame1", "Frame2", "Frame3", "vsElastic1", "vsElastic2"}) {
        auto* w = control<QWidget>(&f, nombre);
        EXPECT_EQ(w->palette().color(QPalette::Window), gris) << nombre;
        EXPECT_TRUE(w->font().bold()) << nombre;
    }
    EXPECT_EQ(f.palette().color(QPalette::Window), gris);
    struct {
        const char* nombre;
        bool negrita;
    } fuentes[] = {{"Command1", true}, {"Command2", true},  {"Command3", true},
                   {"Command4", true}, {"Combo1_0", false}, {"Combo2_1", false},
                   {"Text1", false},   {"Text2", false},    {"Text3", false},
                   {"Text4", false},   {"DTPicker1", false}};
    for (const auto& c : fuentes) {
        const QFont fuente = control<QWidget>(&f, c.nombre)->font();
        EXPECT_EQ(fuente.family(), QStringLiteral("Courier New")) << c.nombre;
        EXPECT_DOUBLE_EQ(fuente.pointSizeF(), 9.75) << c.nombre;
        EXPECT_EQ(fuente.bold(), c.negrita) << c.nombre;
    }
    for (const char* nombre : {"Text1", "Text2", "Text3", "Text4"}) {
        const QPalette p = control<QWidget>(&f, nombre)->palette();
        EXPECT_EQ(p.color(QPalette::Base), QColor(Qt::white)) << nombre;
        EXPECT_EQ(p.color(QPalette::Text), QColor(Qt::black)) << nombre;
    }
    const QStringList esperado = {"Combo1_1",  "Combo1_0", "Command1", "Text1",    "Command2",
                                  "Text2",     "Text3",    "Combo2_0", "Combo2_1", "Command3",
                                  "DTPicker1", "Text4",    "Command4"};
    QStringList visto;
    QWidget* w = control<QWidget>(&f, "Combo1_1");
    for (int paso = 0; paso < 500 && visto.size() < esperado.size();
         ++paso, w = w->nextInFocusChain())
        if (esperado.contains(w->objectName()) && !visto.contains(w->objectName()))
            visto << w->objectName();
    EXPECT_EQ(visto, esperado);
    for (const char* nombre : {"Frame1", "Frame2", "Frame3", "vsElastic1", "vsElastic2"})
        EXPECT_EQ(control<QWidget>(&f, nombre)->focusPolicy(), Qt::NoFocus) << nombre;
}

// With the C locale (LANG=C) the windows still speak Spanish: the date picker's
// calendar names the month in Spanish and Qt's own buttons are translated.
TEST_F(Ventanas, ElCalendarioYLosDialogosEnCastellanoConLaLocalizacionC) {
    QLocale::setDefault(QLocale::c());
    ASSERT_TRUE(poner_espanol(*QCoreApplication::instance()));
    Form1& f = ventana();
    auto* fecha = control<QDateEdit>(&f, "DTPicker1");
    QCalendarWidget* calendario = fecha->calendarWidget();
    ASSERT_NE(calendario, nullptr);
    calendario->setCurrentPage(2026, 12);
    auto* mes = calendario->findChild<QToolButton*>(QStringLiteral("qt_calendar_monthbutton"));
    ASSERT_NE(mes, nullptr);
    EXPECT_EQ(mes->text(), QStringLiteral("diciembre"));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancelar"));
    EXPECT_EQ(QLocale().monthName(1), QStringLiteral("enero"));
    QLocale::setDefault(QLocale::system());
}

// Scrolled back in the online log, a button over the frames tells how many lines
// came since; it brings the view to the top, and goes.
TEST_F(Ventanas, ElRegistroLeidoMasAbajoCuentaLasLineasNuevas) {
    Form1& f = ventana();
    f.show();
    auto* registro = control<QPlainTextEdit>(&f, "Text1");
    auto* nuevas = control<QPushButton>(&f, "NuevasText1");
    for (int i = 0; i < 200; ++i) f.text1().anteponer(QStringLiteral("previa %1\r\n").arg(i));
    ASSERT_TRUE(esperar_que([&] { return registro->verticalScrollBar()->maximum() > 10; }));
    EXPECT_FALSE(nuevas->isVisible());
    registro->verticalScrollBar()->setValue(10);
    EXPECT_TRUE(nuevas->isVisible());
    struct {
        int llegan;
        const char* texto;
    } pasos[] = {{1, "1 línea nueva"}, {2, "3 líneas nuevas"}, {40, "43 líneas nuevas"}};
    for (const auto& p : pasos) {
        for (int i = 0; i < p.llegan; ++i) f.text1().anteponer(QStringLiteral("nueva\r\n"));
        EXPECT_TRUE(esperar_que([&] { return nuevas->text() == QString::fromUtf8(p.texto); }))
            << nuevas->text().toStdString();
    }
    nuevas->click();
    EXPECT_EQ(registro->verticalScrollBar()->value(), 0);
    EXPECT_FALSE(nuevas->isVisible());
    // Scrolling back again starts from none.
    registro->verticalScrollBar()->setValue(5);
    EXPECT_TRUE(nuevas->isVisible());
    EXPECT_EQ(nuevas->text(), QStringLiteral("Volver arriba"));
}

TEST_F(Ventanas, LaCuentaDeLaConsultaFiltraTecleoYPegado) {
    Form1& f = ventana();
    auto* text3 = control<QLineEdit>(&f, "Text3");
    f.show();
    QTest::keyClicks(text3, QStringLiteral("1B2a3c"));
    EXPECT_EQ(f.text3().texto(), QStringLiteral("123c"));
    text3->clear();
    QGuiApplication::clipboard()->setText(QStringLiteral("12'a3"));
    QTest::keyClick(text3, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(f.text3().texto(), QStringLiteral("123"));
}

TEST_F(Ventanas, LimpiarPantallaVaciaSoloElRegistro) {
    Form1& f = ventana();
    f.manejador().recibir(kDiez);
    ASSERT_EQ(f.text1().texto(), kLineaDiez);
    const QString estadoLinea = f.text4().texto();
    ASSERT_FALSE(estadoLinea.isEmpty());
    QTest::mouseClick(control<QPushButton>(&f, "Command2"), Qt::LeftButton);
    EXPECT_EQ(f.text1().texto(), QString());
    EXPECT_EQ(control<QPlainTextEdit>(&f, "Text1")->toPlainText(), QString());
    EXPECT_EQ(f.text4().texto(), estadoLinea);
    // The next report starts a new log.
    f.manejador().recibir(kDiez);
    EXPECT_EQ(f.text1().texto(), kLineaDiez);
    EXPECT_TRUE(esperar_que([&] {
        return control<QPlainTextEdit>(&f, "Text1")->toPlainText() == en_pantalla(kLineaDiez);
    }));
}

TEST_F(Ventanas, VerCuentaDosVecesDejaUnaVentanaConSuContenido) {
    Form1& f = ventana();
    f.show();
    f.Command4_Click();
    Form2* online = f.form2();
    ASSERT_NE(online, nullptr);
    EXPECT_TRUE(estado.verCuentaOnline);
    EXPECT_EQ(online->windowTitle(), QStringLiteral("ONLINE"));
    EXPECT_TRUE(online->cuenta().texto().isEmpty());
    EXPECT_TRUE(online->registro().texto().isEmpty());
    // A ten-character packet's account is four decimal digits: 500 follows 0500.
    QTest::keyClicks(control<QLineEdit>(online, "Text1"), QStringLiteral("500"));
    f.manejador().recibir(kDiez);
    const QString registro = online->registro().texto();
    EXPECT_TRUE(registro.startsWith(QStringLiteral("Cuenta=0500"))) << registro.toStdString();

    f.Command4_Click();
    EXPECT_EQ(f.form2(), online);
    EXPECT_EQ(ventanas_online_visibles(), 1);
    EXPECT_TRUE(estado.verCuentaOnline);
    EXPECT_EQ(online->cuenta().texto(), QStringLiteral("500"));
    EXPECT_EQ(online->registro().texto(), registro);

    // "Borrar" empties the log and keeps the account.
    QTest::mouseClick(control<QPushButton>(online, "Command1_1"), Qt::LeftButton);
    EXPECT_EQ(online->registro().texto(), QString());
    EXPECT_EQ(online->cuenta().texto(), QStringLiteral("500"));
}

TEST_F(Ventanas, VolverYElCierreDeLaVentanaDejanDeCopiar) {
    struct {
        const char* nombre;
        std::function<void(Form2*)> cerrar;
    } casos[] = {
        {"Volver",
         [](Form2* w) {
             QTest::mouseClick(control<QPushButton>(w, "Command1_0"), Qt::LeftButton);
         }},
        {"ControlDeCierre", [](Form2* w) { w->windowHandle()->close(); }},
    };
    Form1& f = ventana();
    f.show();
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        f.Command4_Click();
        QPointer<Form2> online = f.form2();
        ASSERT_TRUE(online);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(online));
        QTest::keyClicks(control<QLineEdit>(online, "Text1"), QStringLiteral("5"));
        c.cerrar(online);
        EXPECT_FALSE(estado.verCuentaOnline);
        EXPECT_EQ(f.form2(), nullptr);
        borrar_diferidos();
        EXPECT_FALSE(online);
        EXPECT_EQ(ventanas_online_visibles(), 0);
        // Reports go on to the online log only; nothing writes into the closed window.
        f.Command2_Click();
        f.manejador().recibir(kDiez);
        EXPECT_EQ(f.text1().texto(), kLineaDiez);
        // Opening again starts empty.
        f.Command4_Click();
        ASSERT_NE(f.form2(), nullptr);
        EXPECT_TRUE(f.form2()->cuenta().texto().isEmpty());
        EXPECT_TRUE(f.form2()->registro().texto().isEmpty());
        f.form2()->Command1_Click(0);
        borrar_diferidos();
    }
}

TEST_F(Ventanas, CerrarLaPrincipalCierraLasDos) {
    Form1& f = ventana();
    f.show();
    f.Command4_Click();
    QPointer<Form2> online = f.form2();
    ASSERT_TRUE(online);
    EXPECT_TRUE(f.close());
    EXPECT_FALSE(f.isVisible());
    EXPECT_FALSE(estado.verCuentaOnline);
    borrar_diferidos();
    EXPECT_FALSE(online);
    EXPECT_EQ(ventanas_online_visibles(), 0);
}

TEST_F(Ventanas, UnPuertoQueNoAbreLoDiceEnUnMensaje) {
    Form1& f = ventana(QStringLiteral("/dev/corvane-no-existe"));
    QTest::mouseClick(control<QPushButton>(&f, "Command1"), Qt::LeftButton);
    ASSERT_EQ(mensajes.mensajes.size(), 1u);
    EXPECT_EQ(mensajes.mensajes[0].texto,
              QStringLiteral("Error al abrir puerto serie,verifique el numero de com"));
    EXPECT_EQ(mensajes.mensajes[0].titulo, QStringLiteral("Brisca"));
    EXPECT_EQ(mensajes.mensajes[0].icono, IconoMensaje::Exclamacion);
    EXPECT_EQ(control<QPushButton>(&f, "Command1")->text(), QStringLiteral("Abrir Com"));
    EXPECT_TRUE(control<QComboBox>(&f, "Combo1_0")->isEnabled());
    EXPECT_TRUE(control<QComboBox>(&f, "Combo1_1")->isEnabled());
    EXPECT_FALSE(control<QPushButton>(&f, "Command4")->isEnabled());
}

TEST_F(Ventanas, BuscarSinCuentaAvisaYNoCambiaElResultado) {
    Form1& f = ventana();
    f.text2().ponerTexto(QStringLiteral("previo"));
    QTest::mouseClick(control<QPushButton>(&f, "Command3"), Qt::LeftButton);
    ASSERT_EQ(mensajes.mensajes.size(), 1u);
    EXPECT_EQ(mensajes.mensajes[0].texto, QStringLiteral("Debe llenar el campo usuario"));
    EXPECT_EQ(mensajes.mensajes[0].titulo, QStringLiteral("Brisca"));
    EXPECT_EQ(f.text2().texto(), QStringLiteral("previo"));
}

} // namespace
