// The layout rules of both windows on screens of several sizes, in twips, and the
// main window as it is really laid out, within a pixel.

#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QToolButton>
#include <algorithm>
#include <string_view>

#include "apoyo_gui.h"
#include "consola/turno.h"
#include "operadores/operadores.h"
#include "store/motor.h"
#include "ui/cajas_ventana.h"
#include "ui/disposicion.h"
#include "ui/form2.h"
#include "ui/panel_etiquetado.h"

using namespace corvane;
using namespace corvane::pruebas;

namespace {

struct Pantalla {
    const char* nombre;
    float W;
    float H;
    float L;
};

class DisposicionPrincipal : public testing::TestWithParam<Pantalla> {};

TEST_P(DisposicionPrincipal, MitadIzquierdaPuertoYRegistroMitadDerechaConsulta) {
    const Pantalla& p = GetParam();
    MedidasForm1 m;
    m.W = p.W;
    m.H = p.H;
    m.L = p.L;
    const DisposicionForm1 d = disponer_form1(m);

    // Port frame: W / 2 wide from 120, at the top, its design height.
    EXPECT_FLOAT_EQ(d.frame1.left, 120);
    EXPECT_FLOAT_EQ(d.frame1.top, 0);
    EXPECT_FLOAT_EQ(d.frame1.width, p.W / 2);
    EXPECT_FLOAT_EQ(d.frame1.height, 2295);
    // Online log frame: under it, H - 2635 high.
    EXPECT_FLOAT_EQ(d.frame2.left, 120);
    EXPECT_FLOAT_EQ(d.frame2.top, 2295);
    EXPECT_FLOAT_EQ(d.frame2.width, p.W / 2);
    EXPECT_FLOAT_EQ(d.frame2.height, p.H - 2635);
    // Query frame: from W / 2 + 120, W / 2 wide, H - 340 high.
    EXPECT_FLOAT_EQ(d.frame3.left, p.W / 2 + 120);
    EXPECT_FLOAT_EQ(d.frame3.top, 0);
    EXPECT_FLOAT_EQ(d.frame3.width, p.W / 2);
    EXPECT_FLOAT_EQ(d.frame3.height, p.H - 340);

    // The port panel is centred in its frame, the status line under it.
    EXPECT_FLOAT_EQ(d.vsElastic1.left + d.vsElastic1.width / 2, d.frame1.width / 2);
    EXPECT_FLOAT_EQ(d.text4.top, 240 + 1335 + 120);
    EXPECT_FLOAT_EQ(d.text4.width, p.W / 2 - 240);
    // The log button and the log fill their frame, 120 from the bottom.
    EXPECT_FLOAT_EQ(d.text1.top, 240 + 495);
    EXPECT_FLOAT_EQ(d.text1.top + d.text1.height, d.frame2.height - 120);
    EXPECT_FLOAT_EQ(d.text2.top + d.text2.height, d.frame3.height - 120);

    // Query panel: its height is the four controls plus 240; the account box,
    // the origin list in the hidden signal list's place, the date picker and the
    // search button stand 40 apart, with 120 left under the button.
    EXPECT_FLOAT_EQ(d.vsElastic2.height, 360 + 285 + 495 + 375 + 240);
    EXPECT_FLOAT_EQ(d.text3.left, p.L);
    EXPECT_FLOAT_EQ(d.combo2_1.top, d.combo2_0.top);
    EXPECT_FLOAT_EQ(d.combo2_1.top, 285 + 40);
    EXPECT_FLOAT_EQ(d.dtPicker1.top, 285 + 40 + 360 + 40);
    EXPECT_FLOAT_EQ(d.command3.top, 285 + 40 + 360 + 40 + 375 + 40);
    EXPECT_FLOAT_EQ(d.vsElastic2.height - (d.command3.top + d.command3.height), 120);
    EXPECT_FLOAT_EQ(d.command3.left + d.command3.width / 2, d.vsElastic2.width / 2);
    for (const RectTwips* r : {&d.text3, &d.combo2_1, &d.dtPicker1})
        EXPECT_FLOAT_EQ(r->left + r->width, d.vsElastic2.width - 240);

    // The export button: on the search button's row, right of it, inside the
    // panel; none where no room is.
    for (const float ancho : {1935.0f, 90000.0f}) {
        const RectTwips exportar = disponer_boton_exportar(d, ancho);
        EXPECT_FLOAT_EQ(exportar.top, d.command3.top);
        EXPECT_FLOAT_EQ(exportar.height, d.command3.height);
        EXPECT_GT(exportar.left, d.command3.left + d.command3.width);
        EXPECT_LE(exportar.left + exportar.width, d.vsElastic2.width);
        EXPECT_GE(exportar.width, 0);
        EXPECT_LE(exportar.width, ancho);
    }

    // The alarm button: on the row of the port panel's buttons, right of the
    // panel, inside the frame, never wider than they are (none where no room is).
    const RectTwips alarmas = disponer_boton_alarmas(d, {120, 960, 2295, 375});
    EXPECT_FLOAT_EQ(alarmas.top, d.vsElastic1.top + 960);
    EXPECT_GT(alarmas.left, d.vsElastic1.left + d.vsElastic1.width);
    EXPECT_LE(alarmas.left + alarmas.width, d.frame1.width);
    EXPECT_GE(alarmas.width, 0);
    EXPECT_LE(alarmas.width, 2295);
}

INSTANTIATE_TEST_SUITE_P(Pantallas, DisposicionPrincipal,
                         testing::Values(Pantalla{"De800x600", 12000, 9000, 1800},
                                         Pantalla{"De1920x1040", 28800, 15600, 1950},
                                         Pantalla{"AnchoImpar", 15361, 11111, 2040}),
                         [](const auto& fila) { return std::string(fila.param.nombre); });

TEST(DisposicionOnline, ElRegistroLlegaADosBotonesDelFondoYLosBotonesQuedanEnMedio) {
    struct {
        const char* nombre;
        float altoInterior;
        float altoFrame2;
        float arribaBotones;
    } casos[] = {
        // Screen 600 px at 96 dpi: 9000 twips, inside 8000.
        {"Pantalla600", 8000, 8000 - 990 - 840, 840 + 6170 + 247.5f},
        {"Pantalla1080", 15200, 15200 - 990 - 840, 840 + 13370 + 247.5f},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        const DisposicionForm2 d = disponer_form2({c.altoInterior, 840, 495});
        EXPECT_FLOAT_EQ(d.altoFrame2, c.altoFrame2);
        EXPECT_FLOAT_EQ(d.altoText2, c.altoFrame2 - 360);
        EXPECT_FLOAT_EQ(d.arribaBotones, c.arribaBotones);
        // Half a button's height free under the buttons.
        EXPECT_FLOAT_EQ(c.altoInterior - (d.arribaBotones + 495), 247.5f);
    }
}

// A widget's rectangle against one in twips, a pixel of rounding allowed.
void comparar(const QWidget* w, const RectTwips& r, int dpiX, int dpiY) {
    SCOPED_TRACE(w->objectName().toStdString());
    EXPECT_NEAR(w->x(), r.left * dpiX / 1440.0f, 1.0);
    EXPECT_NEAR(w->y(), r.top * dpiY / 1440.0f, 1.0);
    EXPECT_NEAR(w->width(), r.width * dpiX / 1440.0f, 1.0);
    EXPECT_NEAR(w->height(), r.height * dpiY / 1440.0f, 1.0);
}

using VentanaReal = ConVentana;

TEST_F(VentanaReal, LaVentanaPrincipalOcupaLaPantallaYSigueLasReglas) {
    Form1& f = ventana();
    const int dx = f.logicalDpiX();
    const int dy = f.logicalDpiY();
    EXPECT_EQ(f.size(), f.screen()->availableGeometry().size());
    EXPECT_TRUE(f.windowState() & Qt::WindowMaximized);
    // The frames are laid out in the inside under the strip, which reaches the
    // window's bottom and sides.
    auto* interior = control<QWidget>(&f, "Interior");
    EXPECT_EQ(interior->geometry().bottomRight(), f.rect().bottomRight());
    EXPECT_EQ(interior->y(), control<QWidget>(&f, "Franja")->geometry().bottom() + 1);
    const float W = interior->width() * 1440.0f / dx;
    const float H = interior->height() * 1440.0f / dy;
    auto* panel = control<PanelEtiquetado>(&f, "vsElastic2");
    const auto L = static_cast<float>(panel->anchoEtiquetas());

    comparar(control<QGroupBox>(&f, "Frame1"), {120, 0, W / 2, 2295}, dx, dy);
    comparar(control<QGroupBox>(&f, "Frame2"), {120, 2295, W / 2, H - 2635}, dx, dy);
    comparar(control<QGroupBox>(&f, "Frame3"), {W / 2 + 120, 0, W / 2, H - 340}, dx, dy);
    comparar(panel, {120, 240, W / 2 - 240, 1755}, dx, dy);
    const float anchoCampo = W / 2 - 240 - L - 240;
    comparar(control<CampoCuenta>(&f, "Text3"), {L, 0, anchoCampo, 285}, dx, dy);
    comparar(control<QComboBox>(&f, "Combo2_1"), {L, 325, anchoCampo, 360}, dx, dy);
    comparar(control<QDateEdit>(&f, "DTPicker1"), {L, 725, anchoCampo, 375}, dx, dy);
    comparar(control<QPushButton>(&f, "Command3"),
             {(W / 2 - 240) / 2 - 3255 / 2.0f, 1140, 3255, 495}, dx, dy);
    // Right of it, 1935 wide or what the panel leaves 120 from its edge.
    const float exportar = (W / 2 - 240) / 2 + 3255 / 2.0f + 120;
    comparar(control<QPushButton>(&f, "Command6"),
             {exportar, 1140, std::min(1935.0f, W / 2 - 240 - 120 - exportar), 495}, dx, dy);
    // The port panel's children keep their design places.
    comparar(control<QComboBox>(&f, "Combo1_1"), {2520, 480, 2295, 360}, dx, dy);
    comparar(control<QPushButton>(&f, "Command1"), {2760, 960, 2295, 375}, dx, dy);
}

TEST_F(VentanaReal, ElInteriorDelMaximizadoSeUsaUnaVezYNoMas) {
    // The platform maximises once the window appears, leaving room for its
    // decorations (the offscreen platform keeps a margin of its own): the layout
    // follows that inside, then ignores later resizes.
    Form1& f = ventana();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    auto* frame2 = control<QGroupBox>(&f, "Frame2");
    auto* frame3 = control<QGroupBox>(&f, "Frame3");
    auto* interior = control<QWidget>(&f, "Interior");
    const auto abajo = [&f, interior](const QWidget* w) {
        return (interior->height() - w->geometry().bottom() - 1) * 1440.0 / f.logicalDpiY();
    };
    const double pixel = 1440.0 / f.logicalDpiY();
    ASSERT_TRUE(esperar_que([&] { return std::abs(abajo(frame2) - 340) <= pixel; })) << abajo(frame2);
    EXPECT_NEAR(abajo(frame3), 340, pixel);
    const QRect antes = frame2->geometry();
    f.resize(f.width() - 100, f.height() - 50);
    QCoreApplication::processEvents();
    EXPECT_EQ(frame2->geometry(), antes);
}

// Where a widget stands in the window.
QRect en_ventana(const QWidget* w, const QWidget* ventana) {
    return {w->mapTo(ventana, QPoint(0, 0)), w->size()};
}

struct CasoPantalla {
    const char* nombre;
    QSize tamano;
    bool conTurno; // an operator signed in: who is on duty shows in the strip
};

class DisposicionSinTapar : public ConVentana, public testing::WithParamInterface<CasoPantalla> {};

// With an alert shown and the online log scrolled back, the strip and every
// control that the window has beside its frames' own stand clear of the frames'
// controls and of the panels' labels, and show their whole text.
TEST_P(DisposicionSinTapar, NadaTapaLosControlesDelMarcoYNingunTextoSeCorta) {
    if (GetParam().conTurno) {
        std::unique_ptr<BaseDatos> b;
        ASSERT_FALSE(abrir_motor(base(), b).numero);
        ASSERT_FALSE(crear_tabla_operadores(*b).numero);
        Operador op;
        op.usuario = QStringLiteral("maria.jose");
        op.nombre = QStringLiteral("María José Fernández");
        ASSERT_FALSE(alta_operador(*b, op, QStringLiteral("clave"), {}, {}).numero);
    }
    Form1& f = ventana();
    if (GetParam().conTurno) {
        ASSERT_TRUE(
            f.turno()->iniciar(QStringLiteral("maria.jose"), QStringLiteral("clave")).aceptado);
    }
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    f.disponerPara(GetParam().tamano);
    QCoreApplication::processEvents();
    ASSERT_EQ(f.size(), GetParam().tamano);
    // Every lasting alert at once, as the road joins them.
    f.aviso().ponerTexto(QStringLiteral(
        "Cola local no disponible desde 14:27:13 (no se puede escribir en /var/lib/corvane/cola)"
        "   |   Base de datos no disponible: 12 eventos pendientes desde 14:20:05   |   "
        "Receptor sin informes desde 14:10:00 (más de 15 minutos)"));
    for (int i = 0; i < 300; ++i) f.text1().anteponer(QStringLiteral("linea %1\r\n").arg(i));
    auto* registro = control<QPlainTextEdit>(&f, "Text1");
    ASSERT_TRUE(esperar_que([&] { return registro->verticalScrollBar()->maximum() > 20; }));
    registro->verticalScrollBar()->setValue(20);
    f.text1().anteponer(QStringLiteral("nueva\r\n"));
    auto* nuevas = control<QPushButton>(&f, "NuevasText1");
    ASSERT_TRUE(esperar_que([&] { return nuevas->isVisible(); }));
    auto* alarmas = control<QPushButton>(&f, "Command5");
    alarmas->setText(QStringLiteral("Alarmas (99)"));
    QCoreApplication::processEvents();

    const char* delMarco[] = {"Frame1",   "vsElastic1", "Combo1_0", "Combo1_1", "Command4",
                              "Command1", "Text4",      "Frame2",   "Command2", "Text1",
                              "Frame3",   "vsElastic2", "Text3",    "Combo2_1", "DTPicker1",
                              "Command3", "Text2"};
    struct Ocupado {
        std::string nombre;
        const QWidget* control;
        QRect rect;
        bool etiqueta;
    };
    std::vector<Ocupado> ocupado;
    for (const char* nombre : delMarco) {
        auto* w = control<QWidget>(&f, nombre);
        ocupado.push_back({nombre, w, en_ventana(w, &f), false});
        // The labels that the panels draw left of their controls.
        if (auto* panel = qobject_cast<PanelEtiquetado*>(w->parentWidget())) {
            const QRect r = panel->rectEtiqueta(w);
            if (!r.isEmpty())
                ocupado.push_back({std::string(nombre) + " (etiqueta)", w,
                                   r.translated(panel->mapTo(&f, QPoint(0, 0))), true});
        }
    }
    for (const char* nuestro : {"Franja", "Aviso", "Command5", "BotonEventos", "BotonInforme",
                                "BotonAbonados", "NuevasText1", "Command6", "DeTurno"}) {
        auto* w = control<QWidget>(&f, nuestro);
        if (!GetParam().conTurno && std::string_view(nuestro) == "DeTurno") {
            EXPECT_FALSE(w->isVisible()) << nuestro;
            continue;
        }
        ASSERT_TRUE(w->isVisible()) << nuestro;
        const QRect r = en_ventana(w, &f);
        EXPECT_TRUE(f.rect().contains(r)) << nuestro;
        for (const Ocupado& o : ocupado) {
            // Inside a frame or a panel is not over it.
            if (!o.etiqueta && o.control->isAncestorOf(w)) continue;
            EXPECT_FALSE(r.intersects(o.rect)) << nuestro << " tapa " << o.nombre;
        }
    }

    // The buttons' texts whole on one line; the alert's, wrapped, in its height.
    for (const char* nombre :
         {"Command5", "BotonEventos", "BotonInforme", "BotonAbonados", "NuevasText1", "Command6"}) {
        auto* b = control<QPushButton>(&f, nombre);
        EXPECT_LT(b->fontMetrics().horizontalAdvance(b->text()), b->width()) << nombre;
    }
    auto* aviso = control<QLabel>(&f, "Aviso");
    if (GetParam().conTurno) {
        // Who is on duty, on its two lines, whole or cut in the middle.
        auto* t = control<QToolButton>(&f, "DeTurno");
        const QRect r = t->fontMetrics().boundingRect(QRect(), 0, t->text());
        EXPECT_LT(r.width(), t->width());
        EXPECT_LE(r.height(), t->height());
    }
    EXPECT_TRUE(aviso->wordWrap());
    EXPECT_LE(aviso->heightForWidth(aviso->width()), aviso->height());
    const QRect texto =
        aviso->fontMetrics().boundingRect(aviso->contentsRect(), Qt::TextWordWrap, aviso->text());
    EXPECT_LE(texto.height(), aviso->contentsRect().height());
}

INSTANTIATE_TEST_SUITE_P(Pantallas, DisposicionSinTapar,
                         testing::Values(CasoPantalla{"De1024x768", {1024, 768}, false},
                                         CasoPantalla{"De1920x1080", {1920, 1080}, false},
                                         CasoPantalla{"De1024x768ConTurno", {1024, 768}, true},
                                         CasoPantalla{"De1920x1080ConTurno", {1920, 1080}, true}),
                         [](const auto& fila) { return std::string(fila.param.nombre); });

TEST_F(VentanaReal, LasEtiquetasDelPanelVanALaIzquierdaYLaDeLaListaOcultaNoSeVe) {
    Form1& f = ventana();
    auto* panel = control<PanelEtiquetado>(&f, "vsElastic2");
    auto* senal = control<QComboBox>(&f, "Combo2_0");
    auto* origen = control<QComboBox>(&f, "Combo2_1");
    EXPECT_TRUE(panel->font().bold());
    EXPECT_TRUE(panel->rectEtiqueta(senal).isEmpty());
    const QRect r = panel->rectEtiqueta(origen);
    ASSERT_FALSE(r.isEmpty());
    EXPECT_EQ(r.right() + 1, origen->x());
    EXPECT_EQ(r.top(), origen->y());
    // The column holds the widest label.
    EXPECT_GE(r.width(),
              QFontMetrics(panel->font()).horizontalAdvance(QStringLiteral("Origen del dato")));

    // The label is drawn: dark pixels in its place, none in the empty part of the
    // panel under the search button.
    const QImage imagen = panel->grab().toImage();
    const auto oscuros = [&imagen](const QRect& zona) {
        int n = 0;
        for (int y = zona.top(); y <= zona.bottom(); ++y)
            for (int x = zona.left(); x <= zona.right(); ++x)
                if (qGray(imagen.pixel(x, y)) < 100) ++n;
        return n;
    };
    const qreal escala = imagen.devicePixelRatio();
    EXPECT_GT(oscuros(QRect(r.topLeft() * escala, r.size() * escala)), 10);
    auto* boton = control<QPushButton>(&f, "Command3");
    const QRect bajo(0, boton->geometry().bottom() + 2, boton->x(),
                     panel->height() - boton->geometry().bottom() - 3);
    EXPECT_EQ(oscuros(QRect(bajo.topLeft() * escala, bajo.size() * escala)), 0);
}

TEST_F(VentanaReal, LaVentanaOnlineEsMilTwipsMasBajaQueLaPantallaYCentrada) {
    Form1& f = ventana();
    f.Command4_Click();
    Form2* online = f.form2();
    ASSERT_NE(online, nullptr);
    const QRect pantalla = online->screen()->geometry();
    const int dy = online->logicalDpiY();
    EXPECT_NEAR(online->height(), pantalla.height() - 1000.0 * dy / 1440, 1.0);
    EXPECT_NEAR(online->width(), 10005.0 * online->logicalDpiX() / 1440, 1.0);
    // The frame, decorations included, is what stands centred.
    const QPoint centro = online->frameGeometry().center();
    const QPoint esperado = online->screen()->availableGeometry().center();
    EXPECT_LE(std::abs(centro.x() - esperado.x()), 1);
    EXPECT_LE(std::abs(centro.y() - esperado.y()), 1);
    // The buttons on one row half a button under the log frame.
    auto* frame2 = control<QGroupBox>(online, "Frame2");
    auto* volver = control<QPushButton>(online, "Command1_0");
    auto* borrar = control<QPushButton>(online, "Command1_1");
    EXPECT_EQ(volver->y(), borrar->y());
    EXPECT_NEAR(volver->y(), frame2->geometry().bottom() + 1 + volver->height() / 2.0, 1.0);
    EXPECT_NEAR(online->height() - volver->geometry().bottom() - 1, volver->height() / 2.0, 1.0);
    EXPECT_FALSE(online->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(online->windowFlags() & Qt::WindowMaximizeButtonHint);
}

} // namespace
