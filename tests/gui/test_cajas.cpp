// The account boxes' filter, whatever way text comes in, and the log boxes: the
// text in memory is exact at once, the screen follows it at most every few dozen
// milliseconds and ends up showing the same text.

#include <QClipboard>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>

#include "apoyo_gui.h"
#include "ui/cajas_ventana.h"
#include "ui/estilo.h"

using namespace corvane;
using namespace corvane::pruebas;

namespace {

struct Entrada {
    const char* nombre;
    QString previo;   // the box's text before
    int cursor;       // where the cursor stands
    QString tecleado; // typed one key at a time
    QString pegado;   // then pasted
    QString esperado;
};

class FiltroDeCuenta : public testing::TestWithParam<Entrada> {};

TEST_P(FiltroDeCuenta, SoloCeroANueveYBAFYComoMuchoCuatro) {
    const Entrada& e = GetParam();
    CampoCuenta caja;
    caja.setText(e.previo);
    caja.setCursorPosition(e.cursor);
    caja.show();
    for (const QChar c : e.tecleado) QTest::keyClick(&caja, c.toLatin1());
    if (!e.pegado.isEmpty()) {
        QGuiApplication::clipboard()->setText(e.pegado);
        caja.paste();
    }
    EXPECT_EQ(caja.text(), e.esperado);
}

INSTANTIATE_TEST_SUITE_P(
    Cuentas, FiltroDeCuenta,
    testing::Values(Entrada{"TecleoRechazaMayusculasYLaA", "", 0, "1B2a3c", "", "123c"},
                    Entrada{"TecleoSinSitio", "123c", 4, "d", "", "123c"},
                    Entrada{"TecleoSinSitioEnMedio", "123c", 2, "d", "", "123c"},
                    Entrada{"TecleoOnline", "", 0, "12ab", "", "12b"},
                    Entrada{"TecleoComillaYEspacio", "", 0, "1' 2;", "", "12"},
                    Entrada{"PegadoFiltrado", "", 0, "", "12'a3", "123"},
                    Entrada{"PegadoLargoSeCorta", "", 0, "", "123456", "1234"},
                    Entrada{"PegadoAlFinalSeCortaAlSitio", "12", 2, "", "cdef", "12cd"},
                    Entrada{"PegadoEnMedio", "12", 1, "", "bbb", "1bb2"},
                    Entrada{"PegadoSinNadaValido", "5", 1, "", "A'; DROP", "5"},
                    Entrada{"PegadoMayusculas", "", 0, "", "BCDE", ""}),
    [](const auto& fila) { return std::string(fila.param.nombre); });

TEST(CampoDeCuenta, RetrocesoBorraYSoltarTextoTambienSeFiltra) {
    CampoCuenta caja;
    caja.show();
    QTest::keyClicks(&caja, QStringLiteral("123c"));
    QTest::keyClick(&caja, Qt::Key_Backspace);
    EXPECT_EQ(caja.text(), QStringLiteral("123"));
    caja.clear();

    QMimeData datos;
    datos.setText(QStringLiteral("9z'9AbX"));
    const QPointF punto(2, caja.height() / 2.0);
    QDragEnterEvent entrar(punto.toPoint(), Qt::CopyAction, &datos, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&caja, &entrar);
    QDropEvent soltar(punto, Qt::CopyAction, &datos, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&caja, &soltar);
    EXPECT_EQ(caja.text(), QStringLiteral("99b"));
}

// The reference rule of a log box: the new text in front of the first 50000
// characters of the previous text.
QString regla(const QString& nuevo, const QString& previo) {
    return nuevo + previo.left(50000);
}

class CajaDeRegistro : public testing::Test {
protected:
    int cambiosEnPantalla() const { return cambios; }
    void SetUp() override {
        QObject::connect(editor.document(), &QTextDocument::contentsChange, editor.document(),
                         [this](int, int, int) { ++cambios; });
    }
    QPlainTextEdit editor;
    CajaRegistroVentana caja{&editor};
    int cambios = 0;
};

TEST_F(CajaDeRegistro, UnaRafagaSeLeeExactaYSeMuestraDeUnaVez) {
    QString esperado;
    for (int i = 0; i < 2000; ++i) {
        const QString linea = QStringLiteral("Cuenta=%1  Señal=16/16  Origen=1  14:27:13\r\n")
                                  .arg(i, 4, 10, QLatin1Char('0'));
        caja.anteponer(linea);
        esperado = regla(linea, esperado);
    }
    EXPECT_EQ(caja.texto(), esperado);
    // Nothing reached the screen while the reports came in.
    EXPECT_EQ(cambiosEnPantalla(), 0);
    ASSERT_TRUE(esperar_que([this] { return !caja.pendiente(); }));
    EXPECT_LE(cambiosEnPantalla(), 2);
    EXPECT_EQ(editor.toPlainText(), en_pantalla(esperado));
}

TEST_F(CajaDeRegistro, LaPantallaSigueAlTextoEnCualquierCorte) {
    // Lines of every length, some longer than the whole log, with the screen
    // updated after a varying number of them: the cut falls anywhere, inside a
    // line and between CR and LF.
    QRandomGenerator azar(20261206);
    QString esperado;
    for (int ronda = 0; ronda < 200; ++ronda) {
        const int lineas = static_cast<int>(azar.bounded(1, 40));
        for (int i = 0; i < lineas; ++i) {
            const int largo =
                azar.bounded(500) == 0 ? 60000 : static_cast<int>(azar.bounded(1, 400));
            QString linea(largo, QLatin1Char('a' + static_cast<char>(azar.bounded(26))));
            linea += QStringLiteral("\r\n");
            caja.anteponer(linea);
            esperado = regla(linea, esperado);
        }
        SCOPED_TRACE(ronda);
        ASSERT_EQ(caja.texto(), esperado);
        caja.volcarAhora();
        ASSERT_EQ(editor.toPlainText(),
                  en_pantalla(esperado).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    }
}

TEST_F(CajaDeRegistro, ReemplazarSeVeEnseguida) {
    caja.anteponer(QStringLiteral("uno\r\n"));
    caja.ponerTexto(QString());
    EXPECT_EQ(caja.texto(), QString());
    EXPECT_EQ(editor.toPlainText(), QString());
    EXPECT_FALSE(caja.pendiente());
    caja.anteponer(QStringLiteral("dos\r\n"));
    ASSERT_TRUE(esperar_que([this] { return !caja.pendiente(); }));
    EXPECT_EQ(editor.toPlainText(), QStringLiteral("dos\n"));
}

TEST_F(CajaDeRegistro, LoQueElOperadorEscribeQuedaDetrasDeLoQueLlegaMientras) {
    caja.ponerTexto(QStringLiteral("viejo\r\n"));
    editor.show();
    editor.moveCursor(QTextCursor::End);
    caja.anteponer(QStringLiteral("nuevo\r\n"));
    QTest::keyClicks(&editor, QStringLiteral("nota"));
    EXPECT_EQ(caja.texto(), QStringLiteral("nuevo\r\nviejo\r\nnota"));
    caja.volcarAhora();
    EXPECT_EQ(editor.toPlainText(), QStringLiteral("nuevo\nviejo\nnota"));
}

struct CasoVista {
    const char* nombre;
    int atras;     // lines the operator scrolled back; 0: at the top
    int nuevas;    // reports that arrive meanwhile
    int ancho;     // characters of each new report, line end apart
    bool lleno;    // the log is full: each report pushes old text out
};

class VistaDelRegistro : public testing::TestWithParam<CasoVista> {};

// Scrolled back, the line at the top of the view stays there however many reports
// arrive (long ones wrapping on screen included); at the top, the view shows the
// newest.
TEST_P(VistaDelRegistro, LoQueSeLeeNoSeMueve) {
    const CasoVista& c = GetParam();
    QPlainTextEdit editor;
    editor.resize(420, 300);
    CajaRegistroVentana caja(&editor);
    std::pair<bool, int> dicho{false, 0};
    caja.ponerAvisoAtras([&dicho](bool atras, int nuevas) { dicho = {atras, nuevas}; });
    editor.show();
    const int previas = c.lleno ? 1300 : 200;
    for (int i = 0; i < previas; ++i) caja.anteponer(QStringLiteral("previa %1\r\n").arg(i, 4, 10, QLatin1Char('0')));
    caja.volcarAhora();
    QCoreApplication::processEvents();
    editor.verticalScrollBar()->setValue(c.atras);
    QCoreApplication::processEvents();
    const auto arriba = [&editor] { return editor.cursorForPosition(QPoint(2, 2)).block().text(); };
    const QString leida = arriba();
    QString ultima;
    for (int i = 0; i < c.nuevas; ++i) {
        ultima = QStringLiteral("nueva %1 ").arg(i, 4, 10, QLatin1Char('0'));
        ultima += QString(std::max<qsizetype>(0, c.ancho - ultima.size()), QLatin1Char('x'));
        caja.anteponer(ultima + QStringLiteral("\r\n"));
    }
    ASSERT_TRUE(esperar_que([&] { return !caja.pendiente(); }));
    QCoreApplication::processEvents();
    ASSERT_EQ(editor.toPlainText(), en_pantalla(caja.texto()));
    EXPECT_EQ(arriba(), c.atras == 0 ? ultima : leida);
    EXPECT_EQ(editor.verticalScrollBar()->value() == 0, c.atras == 0);
    // Scrolled back, the box counts the lines that came since, and says so.
    EXPECT_EQ(caja.atras(), c.atras > 0);
    EXPECT_EQ(caja.nuevasAtras(), c.atras > 0 ? c.nuevas : 0);
    EXPECT_EQ(dicho, std::make_pair(caja.atras(), caja.nuevasAtras()));
    // Back at the top, there is nothing new to tell.
    caja.volverArriba();
    EXPECT_EQ(editor.verticalScrollBar()->value(), 0);
    EXPECT_EQ(arriba(), ultima);
    EXPECT_EQ(dicho, std::make_pair(false, 0));
}

INSTANTIATE_TEST_SUITE_P(
    Casos, VistaDelRegistro,
    testing::Values(CasoVista{"ArribaSigueLoNuevo", 0, 5, 40, false},
                    CasoVista{"AtrasNoSeMueve", 40, 5, 40, false},
                    CasoVista{"AtrasConUnaRafaga", 40, 500, 40, false},
                    CasoVista{"AtrasConLineasQueSeParten", 40, 30, 300, false},
                    CasoVista{"AtrasConElRegistroLleno", 300, 200, 40, true}),
    [](const auto& fila) { return std::string(fila.param.nombre); });
// The colour of each line on screen, top first; invalid where it has none, and a
// line with two colours fails the test.
std::vector<QColor> colores(const QPlainTextEdit& e) {
    std::vector<QColor> r;
    for (QTextBlock b = e.document()->begin(); b.isValid(); b = b.next()) {
        if (b.length() <= 1) continue;
        std::vector<QColor> trozos;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            trozos.push_back(f.hasProperty(QTextFormat::ForegroundBrush) ? f.foreground().color() : QColor());
        }
        EXPECT_EQ(std::count(trozos.begin(), trozos.end(), trozos.front()), std::ssize(trozos)) << b.text().toStdString();
        r.push_back(trozos.front());
    }
    return r;
}

// Red, orange, amber, green and grey, as their hue and saturation say.
TEST(ColorDeTono, CadaClaseSuColor) {
    struct {
        Tono tono;
        int matizMin, matizMax; // degrees; -1: no hue (grey)
    } casos[] = {{Tono::Alarma, 0, 8}, {Tono::Robo, 15, 35}, {Tono::Averia, 36, 55},
                 {Tono::Restauracion, 90, 150}, {Tono::Rutina, -1, -1}};
    // The boxes' own colours, as a box gets them.
    QPlainTextEdit caja;
    caja_blanca(&caja);
    EXPECT_GE(contraste(caja.palette().color(QPalette::Text), caja.palette().color(QPalette::Base)),
              4.5);
    for (const auto& c : casos) {
        SCOPED_TRACE(static_cast<int>(c.tono));
        const QColor color = color_de_tono(c.tono);
        ASSERT_TRUE(color.isValid());
        EXPECT_GE(color.hsvHue(), c.matizMin);
        EXPECT_LE(color.hsvHue(), c.matizMax);
        // Dark enough to read on the boxes' white.
        EXPECT_LT(color.lightness(), 140);
        EXPECT_GE(contraste(color, caja.palette().color(QPalette::Base)), 4.5);
    }
    EXPECT_FALSE(color_de_tono(Tono::Normal).isValid());
}

TEST_F(CajaDeRegistro, CadaLineaEnElColorDeSuTonoAlActualizarYAlRedibujar) {
    const QColor rojo = color_de_tono(Tono::Alarma), naranja = color_de_tono(Tono::Robo),
                 ambar = color_de_tono(Tono::Averia), verde = color_de_tono(Tono::Restauracion),
                 gris = color_de_tono(Tono::Rutina), ninguno;
    caja.anteponerConTonos(QStringLiteral("a1\r\n"), {Tono::Alarma});
    caja.anteponerConTonos(QStringLiteral("b1\r\nb2\r\nb3\r\n"), {Tono::Robo, Tono::Normal, Tono::Restauracion});
    caja.anteponer(QStringLiteral("c1\r\n"));
    caja.volcarAhora();
    EXPECT_EQ(colores(editor), (std::vector<QColor>{ninguno, naranja, ninguno, verde, rojo}));
    // The second line has no tone of its own.
    caja.anteponerConTonos(QStringLiteral("d1\r\nd2\r\n"), {Tono::Rutina});
    caja.volcarAhora();
    EXPECT_EQ(colores(editor), (std::vector<QColor>{gris, ninguno, ninguno, naranja, ninguno, verde, rojo}));
    // A text ending in a lone CR makes the whole text be drawn again.
    caja.anteponerConTonos(QStringLiteral("e1\r"), {Tono::Averia});
    caja.volcarAhora();
    EXPECT_EQ(colores(editor), (std::vector<QColor>{ambar, gris, ninguno, ninguno, naranja, ninguno, verde, rojo}));
    EXPECT_EQ(editor.toPlainText(), en_pantalla(caja.texto()).replace(QLatin1Char('\r'), QLatin1Char('\n')));
    EXPECT_EQ(caja.texto(), QStringLiteral("e1\rd1\r\nd2\r\nc1\r\nb1\r\nb2\r\nb3\r\na1\r\n"));
    // More than the log holds arrives before the screen catches up: the whole
    // text is drawn again, each line in its colour.
    caja.anteponerConTonos(QString(40000, QLatin1Char('x')) + QStringLiteral("\r\n"), {Tono::Robo});
    caja.anteponerConTonos(QStringLiteral("f1\r\n"), {Tono::Restauracion});
    caja.anteponer(QString(20000, QLatin1Char('z')) + QStringLiteral("\r\n"));
    caja.volcarAhora();
    EXPECT_EQ(colores(editor), (std::vector<QColor>{ninguno, verde, naranja, ambar, gris, ninguno, ninguno, naranja,
                                                     ninguno, verde, rojo}));
    EXPECT_EQ(editor.toPlainText(), en_pantalla(caja.texto()).replace(QLatin1Char('\r'), QLatin1Char('\n')));
}

TEST(CajaDeEstado, MuestraSoloElUltimoTexto) {
    QLineEdit editor;
    CajaLineaVentana caja(&editor);
    for (int i = 0; i < 100; ++i) caja.ponerTexto(QStringLiteral("K   14:27:%1").arg(i));
    EXPECT_EQ(caja.texto(), QStringLiteral("K   14:27:99"));
    EXPECT_EQ(editor.text(), QString());
    ASSERT_TRUE(esperar_que([&] { return editor.text() == caja.texto(); }));
}

} // namespace
