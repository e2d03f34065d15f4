// The whole console: a pseudo-terminal stands in for the receiver's serial port.
// The port is chosen and opened with the port button, packets are written to the
// other side, and the online log, the status line, the followed account's window,
// the stored rows and the account listing are checked as they arrive.

#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <functional>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "abonados/registro_abonados.h"
#include "apoyo_gui.h"
#include "ui/estilo.h"
#include "ui/form2.h"
#include "ui/ventana_eventos.h"

using namespace corvane;
using namespace corvane::pruebas;

namespace {

// A long packet of account 1234 (main event and one sub-block, two reports at
// signal 16/16 through repeater 1) and a ten-character packet of account 0500.
const QByteArray kLargo = "\n123456140000100000f113aa1a1212343413aa13\r";
const QByteArray kDiez = "E121f49001";
const QString kLinea1234 = QStringLiteral("Cuenta=1234  Señal=16/16  Origen=1  14:27:13\r\n");
const QString kLinea0500 = QStringLiteral("Cuenta=0500  Señal=10/16  Origen=0  14:27:13\r\n");

using Consola = ConVentana;

TEST_F(Consola, DelPuertoAlRegistroALaVentanaOnlineALaBaseYALaConsulta) {
    Pty pty;
    ASSERT_FALSE(pty.ruta().isEmpty());
    Form1& f = ventana(pty.ruta());
    f.show();
    ASSERT_EQ(control<QComboBox>(&f, "Combo1_0")->currentText(), pty.ruta());
    auto* puerto = control<QPushButton>(&f, "Command1");
    QTest::mouseClick(puerto, Qt::LeftButton);
    ASSERT_TRUE(mensajes.mensajes.empty()) << mensajes.mensajes[0].texto.toStdString();
    EXPECT_EQ(puerto->text(), QStringLiteral("Cerrar COM"));
    EXPECT_FALSE(control<QComboBox>(&f, "Combo1_0")->isEnabled());
    auto* verCuenta = control<QPushButton>(&f, "Command4");
    ASSERT_TRUE(verCuenta->isEnabled());

    // A long packet: two lines at the top of the online log, the packet in the
    // status line, on screen as well.
    ASSERT_TRUE(pty.escribir(kLargo));
    auto* text1 = control<QPlainTextEdit>(&f, "Text1");
    auto* text4 = control<QLineEdit>(&f, "Text4");
    const QString log1 = kLinea1234 + kLinea1234;
    ASSERT_TRUE(esperar_que([&] { return text1->toPlainText() == en_pantalla(log1); }))
        << f.text1().texto().toStdString();
    EXPECT_EQ(f.text1().texto(), log1);
    const QString estado1 = QString::fromLatin1(kLargo.mid(1, 40)) + QStringLiteral("   14:27:13");
    ASSERT_TRUE(esperar_que([&] { return text4->text() == estado1; }))
        << text4->text().toStdString();

    // Follow account 1234: only its reports reach the online window's log.
    QTest::mouseClick(verCuenta, Qt::LeftButton);
    Form2* online = f.form2();
    ASSERT_NE(online, nullptr);
    QTest::keyClicks(control<QLineEdit>(online, "Text1"), QStringLiteral("1234"));
    ASSERT_TRUE(pty.escribir(kDiez + kLargo));
    const QString log2 = kLinea1234 + kLinea1234 + kLinea0500 + log1;
    ASSERT_TRUE(esperar_que([&] { return f.text1().texto() == log2; }))
        << f.text1().texto().toStdString();
    auto* text2Online = control<QPlainTextEdit>(online, "Text2");
    ASSERT_TRUE(
        esperar_que([&] { return text2Online->toPlainText().count(QLatin1Char('\n')) == 2; }));
    const QStringList seguidas =
        online->registro().texto().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(seguidas.size(), 2);
    for (const QString& l : seguidas) {
        EXPECT_TRUE(l.startsWith(QStringLiteral("Cuenta=1234  Señal=16/16  Or=1  Ev=")))
            << l.toStdString();
        EXPECT_TRUE(l.endsWith(QStringLiteral("  14:27:13"))) << l.toStdString();
    }
    EXPECT_EQ(text2Online->toPlainText(), en_pantalla(online->registro().texto()));
    ASSERT_TRUE(esperar_que([&] { return text1->toPlainText() == en_pantalla(log2); }));

    // Every report is a row.
    const std::vector<Fila> filas = leer_filas(base());
    ASSERT_EQ(filas.size(), 5u);
    int de1234 = 0;
    for (const Fila& fila : filas) {
        EXPECT_EQ(fila.momento, QStringLiteral("2026-12-06 14:27:13"));
        if (fila.abonado == QLatin1String("1234")) ++de1234;
    }
    EXPECT_EQ(de1234, 4);

    // The listing of account 1234 for today.
    QTest::keyClicks(control<QLineEdit>(&f, "Text3"), QStringLiteral("1234"));
    QTest::mouseClick(control<QPushButton>(&f, "Command3"), Qt::LeftButton);
    const QString fila =
        QStringLiteral("Cuenta=1234  Señal=16  Origen=Rep 1   Hora=06/12/2026 14:27:13\r\n");
    EXPECT_EQ(f.text2().texto(), fila + fila + fila + fila);
    EXPECT_EQ(control<QPlainTextEdit>(&f, "Text2")->toPlainText(),
              en_pantalla(fila + fila + fila + fila));

    // "Exportar…": the same query, every column, into the file chosen; the
    // register's name of the account in the last but one.
    {
        std::unique_ptr<BaseDatos> registro;
        ASSERT_FALSE(abrir_motor(base(), registro).numero);
        ASSERT_FALSE(crear_tablas_abonados(*registro).numero);
        Abonado a;
        a.cuenta = QStringLiteral("1234");
        a.nombre = QStringLiteral("Farmacia Núñez; \"La Cruz\"");
        std::optional<Abonado> actual;
        ASSERT_FALSE(guardar_abonado(*registro, a, {}, QStringLiteral("2026-12-06 14:00:00"),
                                     QStringLiteral("puesto1"), actual)
                         .numero);
    }
    const QString exportado = QDir(dir.path()).filePath(QStringLiteral("exportado.csv"));
    f.ponerElegirArchivo([&](const QString&) { return exportado; });
    QTest::mouseClick(control<QPushButton>(&f, "Command6"), Qt::LeftButton);
    const std::vector<QStringList> csv = leer_csv(leer_archivo(exportado));
    ASSERT_EQ(csv.size(), 5u);
    EXPECT_EQ(csv[1].mid(0, 4), (QStringList{"1234", "16", "00", "2026-12-06T14:27:13"}));
    EXPECT_EQ(csv[1].at(csv[1].size() - 2), QStringLiteral("Farmacia Núñez; \"La Cruz\""));
    ASSERT_EQ(mensajes.mensajes.size(), 1u);
    EXPECT_EQ(mensajes.mensajes[0].texto,
              QStringLiteral("4 eventos exportados a «%1»").arg(exportado));
    mensajes.mensajes.clear();

    // Closing the port keeps the online window open.
    QTest::mouseClick(puerto, Qt::LeftButton);
    EXPECT_EQ(puerto->text(), QStringLiteral("Abrir COM"));
    EXPECT_FALSE(verCuenta->isEnabled());
    EXPECT_TRUE(control<QComboBox>(&f, "Combo1_0")->isEnabled());
    EXPECT_EQ(f.form2(), online);
    EXPECT_TRUE(mensajes.mensajes.empty());
}

// The listing and "Exportar…" never disagree: a change of the account, the day or
// the origin list empties the listing and disables the export until the next
// search; the export then writes exactly the rows listed.
TEST_F(Consola, CambiarCuentaFechaOFiltroVaciaLaConsultaYExportarEscribeLoMostrado) {
    Form1& f = ventana();
    f.show();
    // Account 0500: a direct and a repeater's report on the 6th, one on the 5th;
    // account 0777: one on the 6th.
    f.manejador().recibir(kDiez + paquete_de_evento('1', "130", "0500") +
                          paquete_de_evento('1', "130", "0777"));
    reloj.fijar(momento(2026, 12, 5, 10, 0, 0));
    f.manejador().recibir(paquete_de_evento('1', "130", "0500"));
    ASSERT_TRUE(esperar_que([&] { return leer_filas(base()).size() == 4; }));

    auto* cuenta = control<QLineEdit>(&f, "Text3");
    auto* fecha = control<QDateEdit>(&f, "DTPicker1");
    auto* origen = control<QComboBox>(&f, "Combo2_1");
    auto* buscar = control<QPushButton>(&f, "Command3");
    auto* exportar = control<QPushButton>(&f, "Command6");
    const auto poner_cuenta = [cuenta](const QString& c) {
        cuenta->clear();
        QTest::keyClicks(cuenta, c);
    };
    const QString ruta = QDir(dir.path()).filePath(QStringLiteral("exportado.csv"));
    int elegidos = 0;
    f.ponerElegirExportacion([&](const QString&) {
        ++elegidos;
        return ArchivoElegido{ruta};
    });

    struct {
        const char* nombre;
        std::function<void()> cambiar;
        int filas; // listed after the change
    } casos[] = {
        {"Cuenta", [&] { poner_cuenta(QStringLiteral("0777")); }, 1},
        {"Fecha", [&] { fecha->setDate(QDate(2026, 12, 5)); }, 1},
        {"Filtro", [&] { origen->setCurrentIndex(1); }, 1}, // "Solo abonados directos"
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        poner_cuenta(QStringLiteral("0500"));
        fecha->setDate(QDate(2026, 12, 6));
        origen->setCurrentIndex(0);
        QTest::mouseClick(buscar, Qt::LeftButton);
        ASSERT_EQ(f.text2().texto().count(QStringLiteral("\r\n")), 2);
        ASSERT_TRUE(exportar->isEnabled());

        c.cambiar();
        EXPECT_TRUE(f.text2().texto().isEmpty()) << f.text2().texto().toStdString();
        EXPECT_FALSE(exportar->isEnabled());
        f.Command6_Click(); // even when called: no listing, no file
        EXPECT_EQ(elegidos, 0);
        EXPECT_FALSE(QFile::exists(ruta));

        QTest::mouseClick(buscar, Qt::LeftButton);
        const QString listado = f.text2().texto();
        const QStringList lineas = listado.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        ASSERT_EQ(lineas.size(), c.filas) << listado.toStdString();
        ASSERT_TRUE(exportar->isEnabled());
        QTest::mouseClick(exportar, Qt::LeftButton);
        EXPECT_EQ(elegidos, 1);
        EXPECT_EQ(f.text2().texto(), listado);
        const std::vector<QStringList> csv = leer_csv(leer_archivo(ruta));
        ASSERT_EQ(csv.size(), static_cast<size_t>(c.filas) + 1);
        for (int i = 0; i < c.filas; ++i) {
            const QDateTime m = QDateTime::fromString(csv[i + 1][3], Qt::ISODate);
            EXPECT_TRUE(lineas[i].startsWith(QStringLiteral("Cuenta=") + csv[i + 1][0]))
                << lineas[i].toStdString();
            EXPECT_TRUE(lineas[i].endsWith(QStringLiteral("Hora=") +
                                           m.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"))))
                << lineas[i].toStdString();
        }
        EXPECT_TRUE(QFile::remove(ruta));
        elegidos = 0;
    }
}

// Windows started with --puerto and --velocidad: the port opened at that speed
// once the window is up, as with the port button; one that does not open is told
// as the button tells it, and the window stays as after a failed press.
TEST_F(Consola, ElPuertoDeLaLineaDeComandosSeAbreAlArrancar) {
    Pty pty;
    struct {
        const char* nombre;
        QString puerto;
        bool abre;
    } casos[] = {{"PseudoTerminal", pty.ruta(), true},
                 {"NoExiste", QStringLiteral("/dev/corvane-no-existe"), false}};
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        form.reset();
        borrar_diferidos();
        mensajes.mensajes.clear();
        Form1& f = ventana(c.puerto, 19200);
        f.show();
        auto* boton = control<QPushButton>(&f, "Command1");
        if (!c.abre) {
            ASSERT_TRUE(esperar_que([&] { return !mensajes.mensajes.empty(); }));
            EXPECT_EQ(mensajes.mensajes[0].texto,
                      QStringLiteral("Error al abrir puerto serie,verifique el numero de com"));
            EXPECT_EQ(mensajes.mensajes[0].titulo, QStringLiteral("Brisca"));
            EXPECT_EQ(boton->text(), QStringLiteral("Abrir Com"));
            EXPECT_TRUE(control<QComboBox>(&f, "Combo1_0")->isEnabled());
            EXPECT_FALSE(control<QPushButton>(&f, "Command4")->isEnabled());
            continue;
        }
        ASSERT_TRUE(esperar_que([&] { return boton->text() == QStringLiteral("Cerrar COM"); }));
        EXPECT_TRUE(mensajes.mensajes.empty());
        EXPECT_EQ(control<QComboBox>(&f, "Combo1_1")->currentText(), QStringLiteral("19200"));
        EXPECT_TRUE(control<QPushButton>(&f, "Command4")->isEnabled());
        ASSERT_TRUE(pty.escribir(kDiez));
        EXPECT_TRUE(esperar_que([&] { return f.text1().texto() == kLinea0500; }))
            << f.text1().texto().toStdString();
        // The button closes it as always: the next row's window drives the same port.
        QTest::mouseClick(boton, Qt::LeftButton);
        EXPECT_EQ(boton->text(), QStringLiteral("Abrir COM"));
    }
}

// A workstation without a port (--vista) opens the ONLINE window, which follows
// the account typed in it through the rows another console stores on the
// central server.
TEST(VistaCentral, LaVentanaOnlineSigueLaCuentaEnLoQueGuardaOtraConsola) {
    CORVANE_REQUIERE_POSTGRESQL();
    const QString url = nueva_base_postgresql();
    ASSERT_FALSE(url.isEmpty());
    QTemporaryDir carpetaRecibe, carpetaVista;
    RelojFijo reloj{momento(2026, 12, 6, 14, 27, 13)};
    MensajesGrabados mensajes;
    Opciones o;
    o.base = url;
    o.carpeta = carpetaRecibe.path();
    Camino recibe(o, &reloj);
    ASSERT_FALSE(recibe.abrirBase());
    o.carpeta = carpetaVista.path();
    o.vista = true;
    Camino vista(o, &reloj);
    std::unique_ptr<Form1> f = abrir_ventana(vista, {}, &mensajes);
    f->show();
    auto* verCuenta = control<QPushButton>(f.get(), "Command4");
    ASSERT_TRUE(verCuenta->isEnabled());
    EXPECT_FALSE(control<QPushButton>(f.get(), "Command1")->isEnabled());
    QTest::mouseClick(verCuenta, Qt::LeftButton);
    Form2* online = f->form2();
    ASSERT_NE(online, nullptr);
    QTest::keyClicks(control<QLineEdit>(online, "Text1"), QStringLiteral("500"));

    recibe.manejador().recibir(paquete_de_evento('1', "130", "0777") + kDiez);
    ASSERT_TRUE(
        esperar_que([&] { return f->text1().texto().count(QStringLiteral("\r\n")) == 2; }, 15000))
        << f->text1().texto().toStdString();
    ASSERT_TRUE(esperar_que([&] { return !online->registro().texto().isEmpty(); }));
    const QStringList seguidas =
        online->registro().texto().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(seguidas.size(), 1);
    EXPECT_TRUE(seguidas[0].startsWith(QStringLiteral("Cuenta=0500  Señal=10/16")))
        << seguidas[0].toStdString();
    // The event window lists the rows read, as the online log does.
    const FiltroEventos& eventos = f->ventanaEventos().filtro();
    constexpr int kCuenta = static_cast<int>(ColumnaEvento::Cuenta);
    ASSERT_EQ(eventos.rowCount(), 2);
    EXPECT_EQ(eventos.index(0, kCuenta).data().toString(), QStringLiteral("0500"));
    EXPECT_EQ(eventos.index(1, kCuenta).data().toString(), QStringLiteral("0777"));
    EXPECT_TRUE(mensajes.mensajes.empty());
    f.reset();
    borrar_diferidos();
    EXPECT_EQ(recibe.terminar(), 0);
}

TEST_F(Consola, UnPuertoPerdidoSeVeEnLaLineaDeEstado) {
    // The window opens a fixed name; behind it the device goes away.
    const QString enlace = QDir(dir.path()).filePath(QStringLiteral("puerto"));
    auto pty = std::make_unique<Pty>();
    ASSERT_TRUE(QFile::link(pty->ruta(), enlace));
    Form1& f = ventana(enlace);
    auto* puerto = control<QPushButton>(&f, "Command1");
    QTest::mouseClick(puerto, Qt::LeftButton);
    ASSERT_TRUE(mensajes.mensajes.empty());
    QFile::remove(enlace);
    pty.reset();
    const QString perdido =
        QStringLiteral("Puerto %1 perdido a las 14:27:13; reintentando   14:27:13").arg(enlace);
    ASSERT_TRUE(esperar_que([&] { return f.text4().texto() == perdido; }))
        << f.text4().texto().toStdString();
    EXPECT_TRUE(esperar_que([&] { return control<QLineEdit>(&f, "Text4")->text() == perdido; }));
    EXPECT_EQ(puerto->text(), QStringLiteral("Cerrar COM"));
    // The window goes while the port is being retried: the road writes it no more.
    form.reset();
    ASSERT_TRUE(camino.puerto()->reintentando());
    camino.puerto()->ponerIntervaloReintento(10);
    EXPECT_FALSE(esperar_que([&] { return !camino.puerto()->reintentando(); }, 200));
}

// A lost port: a line at the top of the log, the status line in the alert colour
// with the time of the loss kept and the reason and the time of the last attempt
// brought up to date, the same in the strip; closing the port clears them all.
TEST_F(Consola, UnPuertoPerdidoSeVeHastaQueSeCierra) {
    const QString enlace = QDir(dir.path()).filePath(QStringLiteral("puerto"));
    auto pty = std::make_unique<Pty>();
    ASSERT_TRUE(QFile::link(pty->ruta(), enlace));
    Form1& f = ventana(enlace);
    f.show();
    auto* puerto = control<QPushButton>(&f, "Command1");
    QTest::mouseClick(puerto, Qt::LeftButton);
    ASSERT_TRUE(mensajes.mensajes.empty());
    ASSERT_TRUE(pty->escribir(kDiez));
    ASSERT_TRUE(esperar_que([&] { return f.text1().texto() == kLinea0500; }));
    QFile::remove(enlace);
    pty.reset();
    ASSERT_TRUE(esperar_que([&] { return camino.puerto()->reintentando(); }));
    EXPECT_EQ(f.text1().texto(),
              QStringLiteral("*** Puerto %1 perdido a las 14:27:13 ***\r\n").arg(enlace) +
                  kLinea0500);

    reloj.fijar(momento(2026, 12, 6, 14, 27, 19));
    camino.puerto()->ponerIntervaloReintento(50);
    const QString perdido =
        QStringLiteral("Puerto %1 perdido a las 14:27:13; reintentando (no existe el dispositivo)")
            .arg(enlace);
    auto* text4 = control<QLineEdit>(&f, "Text4");
    ASSERT_TRUE(esperar_que([&] {
        return text4->text() == perdido + QStringLiteral("   14:27:19");
    })) << text4->text().toStdString();
    EXPECT_EQ(text4->palette().color(QPalette::Base), kRojoAlerta);
    auto* aviso = control<QLabel>(&f, "Aviso");
    EXPECT_TRUE(aviso->isVisible());
    EXPECT_EQ(aviso->text(), perdido);

    QTest::mouseClick(puerto, Qt::LeftButton);
    EXPECT_EQ(puerto->text(), QStringLiteral("Abrir COM"));
    EXPECT_EQ(f.text4().texto(), QString());
    EXPECT_FALSE(aviso->isVisible());
    ASSERT_TRUE(esperar_que([&] { return text4->text().isEmpty(); }));
    EXPECT_EQ(text4->palette().color(QPalette::Base), QColor(Qt::white));
}

// A receiver that sends nothing for the supervision time (90 s by default): the
// status line says so in the alert colour, a line goes to the top of the log and
// the strip keeps it in sight, until characters arrive.
TEST_F(Consola, UnReceptorCalladoSeVeHastaQueLlega) {
    Pty pty;
    Form1& f = ventana(pty.ruta());
    f.show();
    QTest::mouseClick(control<QPushButton>(&f, "Command1"), Qt::LeftButton);
    ASSERT_TRUE(mensajes.mensajes.empty());
    reloj.fijar(momento(2026, 12, 6, 14, 28, 43));
    auto* text4 = control<QLineEdit>(&f, "Text4");
    auto* aviso = control<QLabel>(&f, "Aviso");
    const QString callado = QStringLiteral("Receptor sin actividad desde 14:27:13");
    ASSERT_TRUE(esperar_que([&] { return text4->text() == callado; }, 3000))
        << text4->text().toStdString();
    EXPECT_EQ(text4->palette().color(QPalette::Base), kRojoAlerta);
    EXPECT_EQ(f.text1().texto(), QStringLiteral("*** ") + callado + QStringLiteral(" ***\r\n"));
    EXPECT_TRUE(aviso->isVisible());
    EXPECT_EQ(aviso->text(), callado);

    reloj.fijar(momento(2026, 12, 6, 14, 29, 0));
    ASSERT_TRUE(pty.escribir(kDiez));
    ASSERT_TRUE(esperar_que([&] { return text4->text().startsWith(QString::fromLatin1(kDiez)); }));
    EXPECT_EQ(text4->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(
        f.text1().texto(),
        QStringLiteral("Cuenta=0500  Señal=10/16  Origen=0  14:29:00\r\n"
                       "*** Receptor activo de nuevo a las 14:29:00 (sin actividad 107 s) ***\r\n"
                       "*** ") +
            callado + QStringLiteral(" ***\r\n"));
    EXPECT_FALSE(aviso->isVisible());
    const QString log = leer_texto(QDir(dir.path()).filePath(QStringLiteral("error.log")));
    EXPECT_EQ(log.count(QStringLiteral("vigilancia_receptor")), 1) << log.toStdString();
}

} // namespace

namespace {

// The event file unusable (a folder in its place): the report is shown, its row
// waits, and a red strip along the top says so, its count current, until the
// file is usable again and the row is stored; then the strip goes.
TEST_F(Consola, BaseNoDisponibleSeVeArribaHastaQueSeGuarda) {
    ASSERT_TRUE(QDir().mkpath(base()));
    Pty pty;
    Form1& f = ventana(pty.ruta());
    f.show();
    QTest::mouseClick(control<QPushButton>(&f, "Command1"), Qt::LeftButton);
    ASSERT_TRUE(mensajes.mensajes.empty());
    auto* aviso = control<QLabel>(&f, "Aviso");
    EXPECT_FALSE(aviso->isVisible());
    ASSERT_TRUE(pty.escribir(kDiez));
    ASSERT_TRUE(esperar_que([&] { return f.text1().texto() == kLinea0500; }));
    ASSERT_TRUE(esperar_que([&] { return aviso->isVisible(); }, 5000));
    EXPECT_TRUE(aviso->text().startsWith(
        QStringLiteral("Base de datos no disponible: 1 eventos pendientes")))
        << aviso->text().toStdString();
    ASSERT_TRUE(pty.escribir(kDiez));
    EXPECT_TRUE(esperar_que(
        [&] {
            return aviso->text().startsWith(
                QStringLiteral("Base de datos no disponible: 2 eventos pendientes"));
        },
        5000))
        << aviso->text().toStdString();

    ASSERT_TRUE(QDir(base()).removeRecursively());
    EXPECT_TRUE(esperar_que([&] { return !aviso->isVisible(); }, 10000))
        << aviso->text().toStdString();
    EXPECT_EQ(leer_filas(base()).size(), 2u);
}

} // namespace
