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
#include <QTableView>
#include <QToolButton>
#include <QWindow>

#include "apoyo_gui.h"
#include "reception/manejador.h"
#include "ui/cajas_ventana.h"
#include "ui/estilo.h"
#include "ui/form2.h"
#include "ui/idioma.h"
#include "ui/panel_etiquetado.h"
#include "ui/ventana_eventos.h"

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

// The texts of the event window's rows on screen, top first, in column order.
std::vector<QStringList> filas_en_pantalla(const VentanaEventos& v) {
    const FiltroEventos& m = v.filtro();
    std::vector<QStringList> filas;
    for (int r = 0; r < m.rowCount(); ++r) {
        QStringList fila;
        for (int c = 0; c < m.columnCount(); ++c) fila << m.index(r, c).data().toString();
        filas.push_back(fila);
    }
    return filas;
}

QStringList columna(const VentanaEventos& v, ColumnaEvento c) {
    QStringList r;
    for (const QStringList& fila : filas_en_pantalla(v)) r << fila[static_cast<int>(c)];
    return r;
}

// A row as a viewer reads it from a central server.
FilaEvento fila_leida(const QString& cuenta, const QString& evento, const QString& hora) {
    return {cuenta,
            7,
            QStringLiteral("00"),
            QStringLiteral("2026-12-06 ") + hora,
            QStringLiteral("3"),
            QStringLiteral("03"),
            evento,
            QStringLiteral("02"),
            QStringLiteral("017")};
}

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

// The event window takes every row the online log shows, received here or read
// from a central server, newest first; the filters pick the rows on screen and
// keep the rows; the bound drops the oldest.
TEST_F(Ventanas, LaVentanaDeEventosMuestraCadaFilaYFiltraSinPerderlas) {
    Form1& f = ventana();
    // Repeater 10: character 13 of a long packet and character 9 of a
    // ten-character one is "a".
    QByteArray largo = paquete_de_evento('1', "130", "0500");
    largo[13] = 'a';
    f.manejador().recibir(largo);
    f.manejador().recibir("E121f490a1");
    f.manejador().recibir(paquete_de_evento('2', "130", "1234") +
                          paquete_de_evento('1', "602", "0777"));
    f.manejador().mostrar_filas(
        {fila_leida(QStringLiteral("0b2c"), QStringLiteral("E110"), QStringLiteral("14:30:00"))});
    VentanaEventos& v = f.ventanaEventos();
    EXPECT_FALSE(v.isVisible());
    QTest::mouseClick(control<QPushButton>(&f, "BotonEventos"), Qt::LeftButton);
    ASSERT_TRUE(v.isVisible());

    const std::vector<QStringList> todas = {
        {"14:30:00", "0b2c", "", "E110", "Incendio", "Fuego", "02", "017", "", "3", "7"},
        {"14:27:13", "0777", "", "E602", "Prueba periódica", "Prueba", "01", "005", "", "1", "16"},
        {"14:27:13", "1234", "", "R130", "Robo", "Robo", "01", "005", "", "1", "16"},
        {"14:27:13", "0500", "", "12", "Código 12", "Otro", "", "", "", "10", "10"},
        {"14:27:13", "0500", "", "E130", "Robo", "Robo", "01", "005", "", "10", "16"},
    };
    EXPECT_EQ(filas_en_pantalla(v), todas);
    // Each row in its class's colour; no tone, the boxes' text colour.
    const auto color = [&v](int fila) {
        return v.filtro().index(fila, 0).data(Qt::ForegroundRole).value<QColor>();
    };
    EXPECT_EQ(color(0), color_de_tono(Tono::Alarma));
    EXPECT_EQ(color(3), kTextoCaja);

    struct {
        const char* nombre;
        const char* cuenta;
        const char* clase;
        QStringList eventos;
    } filtros[] = {
        {"Todo", "", "Todas", {"E110", "E602", "R130", "12", "E130"}},
        {"InicioDeCuenta", "05", "Todas", {"12", "E130"}},
        {"MayusculasComoMinusculas", "0B", "Todas", {"E110"}},
        {"CuentaEntera", "1234", "Todas", {"R130"}},
        {"Clase", "", "Robo", {"R130", "E130"}},
        {"CuentaYClase", "0500", "Robo", {"E130"}},
        {"Ninguna", "0777", "Fuego", {}},
        {"OtraClase", "", "Otro", {"12"}},
    };
    auto* cuenta = control<QLineEdit>(&v, "FiltroCuenta");
    auto* clase = control<QComboBox>(&v, "FiltroClase");
    for (const auto& c : filtros) {
        SCOPED_TRACE(c.nombre);
        cuenta->clear();
        QTest::keyClicks(cuenta, QString::fromLatin1(c.cuenta));
        clase->setCurrentIndex(clase->findText(QString::fromUtf8(c.clase)));
        EXPECT_EQ(columna(v, ColumnaEvento::Evento), c.eventos);
        EXPECT_EQ(v.modelo().rowCount(), 5);
    }

    // A bound of three keeps the newest three; a new row drops the oldest left.
    cuenta->clear();
    clase->setCurrentIndex(0);
    v.ponerMaximo(3);
    EXPECT_EQ(columna(v, ColumnaEvento::Evento), (QStringList{"E110", "E602", "R130"}));
    f.manejador().recibir(kDiez);
    EXPECT_EQ(columna(v, ColumnaEvento::Evento), (QStringList{"12", "E110", "E602"}));
    // A read of more rows than the bound keeps its newest.
    f.manejador().mostrar_filas(
        {fila_leida("0001", "E110", "14:31:00"), fila_leida("0002", "E110", "14:31:01"),
         fila_leida("0003", "E110", "14:31:02"), fila_leida("0004", "E110", "14:31:03")});
    EXPECT_EQ(columna(v, ColumnaEvento::Cuenta), (QStringList{"0004", "0003", "0002"}));
}

// Rows that come in while the operator reads further down leave the rows on
// screen where they were; at the top, the newest show. The window's place and
// size are kept for the next start.
TEST_F(Ventanas, LaVentanaDeEventosNoMueveLoQueSeLeeYRecuerdaSuLugar) {
    Form1& f = ventana();
    const auto filas = [](int desde, int cuantas) {
        std::vector<FilaEvento> r;
        for (int i = desde; i < desde + cuantas; ++i)
            r.push_back(fila_leida(QStringLiteral("%1").arg(i, 4, 16, QLatin1Char('0')),
                                   QStringLiteral("E602"), QStringLiteral("14:30:00")));
        return r;
    };
    f.manejador().mostrar_filas(filas(0, 200));
    VentanaEventos& v = f.ventanaEventos();
    f.Eventos_Click();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&v));
    auto* tabla = control<QTableView>(&v, "Tabla");
    QScrollBar* barra = tabla->verticalScrollBar();
    ASSERT_TRUE(esperar_que([&] { return barra->maximum() > 400; }));
    // The account of the row at the top of the table.
    const auto arriba = [&v, tabla] {
        tabla->horizontalScrollBar()->setValue(0);
        const int fila = tabla->indexAt(QPoint(2, 2)).row();
        return v.filtro().index(fila, static_cast<int>(ColumnaEvento::Cuenta)).data().toString();
    };

    struct {
        const char* nombre;
        int valor; // the scroll bar's value, pixels, before the rows come
        int llegan;
        const char* arriba; // the account on the top row after; null: the one before
    } casos[] = {
        {"LeyendoMasAbajo", 300, 1, nullptr},
        {"LeyendoMasAbajoVarias", 300, 7, nullptr},
        {"ArribaSeVenLasNuevas", 0, 3, "00d2"},
    };
    int siguiente = 200;
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        barra->setValue(c.valor);
        const QString antes = arriba();
        f.manejador().mostrar_filas(filas(siguiente, c.llegan));
        siguiente += c.llegan;
        QCoreApplication::processEvents();
        EXPECT_EQ(arriba(), c.arriba != nullptr ? QString::fromLatin1(c.arriba) : antes);
    }

    v.move(v.pos() + QPoint(10, 20));
    v.resize(v.minimumSize() + QSize(50, 40));
    const QSize tamano = v.size();
    v.close();
    EXPECT_FALSE(v.isVisible());
    EXPECT_EQ(QSettings(QStringLiteral("corvane"), QStringLiteral("corvane"))
                  .value(kClaveGeometriaEventos)
                  .toRect()
                  .size(),
              tamano);
    VentanaEventos otra;
    EXPECT_EQ(otra.size(), tamano);
}

} // namespace
