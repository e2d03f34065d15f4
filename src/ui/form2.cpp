#include "ui/form2.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include <algorithm>

#include "abonados/registro_abonados.h"
#include "ui/cajas_ventana.h"
#include "ui/detalle_alarma.h"
#include "ui/disposicion.h"
#include "ui/estilo.h"
#include "ui/marco.h"
#include "ui/panel_etiquetado.h"

namespace corvane {

namespace {

const QString kTitulo = QStringLiteral("ONLINE");

// Inside width of the window, as designed, in twips.
constexpr float kAnchoInterior = 10005;

// Design geometry, twips, relative to the parent.
constexpr RectTwips kFrame1{120, 120, 9735, 735};
constexpr RectTwips kElastic1{120, 240, 9525, 345};
constexpr RectTwips kText1{5760, 0, 2295, 375};
constexpr RectTwips kFrame2{120, 840, 9735, 9975};
constexpr RectTwips kText2{120, 240, 9495, 9615};
constexpr RectTwips kVolver{120, 10920, 2415, 495};
constexpr RectTwips kBorrar{7440, 10920, 2415, 495};

} // namespace

Form2::Form2(EstadoProceso& estado, ManejadorRx& manejador, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      estado_(estado), manejador_(manejador) {
    // Decorated as a dialog: a title and a close control, no minimise or
    // maximise button.
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(kTitulo);
    setAttribute(Qt::WA_DeleteOnClose);
    construir();
    Form_Load();
}

Form2::~Form2() {
    // Deleted without closing (the main window going away): the decoders must
    // not keep writing into boxes that are gone.
    if (cargada_) {
        estado_.verCuentaOnline = false;
        manejador_.ponerVentanaOnline(nullptr, nullptr);
    }
}

CajaTexto& Form2::cuenta() {
    return *text1_;
}
CajaTexto& Form2::registro() {
    return *registro_;
}

void Form2::construir() {
    frame1_ = new Marco(this);
    frame1_->setObjectName(QStringLiteral("Frame1"));
    colocar(frame1_, kFrame1);

    vsElastic1_ = new PanelEtiquetado(frame1_);
    vsElastic1_->setObjectName(QStringLiteral("vsElastic1"));
    colocar(vsElastic1_, kElastic1);

    text1_ = new CampoCuenta(vsElastic1_);
    text1_->setObjectName(QStringLiteral("Text1"));
    text1_->setFont(fuente_consola(false));
    colocar(text1_, kText1);
    vsElastic1_->ponerEtiqueta(text1_, QStringLiteral("Nro.Cuenta"));
    // Ours: in the panel's free room left of the account's label.
    nombre_ = new QLabel(vsElastic1_);
    nombre_->setObjectName(QStringLiteral("NombreCuenta"));
    nombre_->setFont(fuente_consola(true));
    colocar(nombre_,
            {0, 0,
             std::max(0.0F, kText1.left - static_cast<float>(vsElastic1_->anchoEtiquetas()) - 120),
             kText1.height});
    connect(text1_, &QLineEdit::textChanged, this, &Form2::nombrarCuenta);

    frame2_ = new Marco(this);
    frame2_->setObjectName(QStringLiteral("Frame2"));
    colocar(frame2_, kFrame2);

    text2_ = new QPlainTextEdit(frame2_);
    text2_->setObjectName(QStringLiteral("Text2"));
    text2_->setFont(fuente_consola(false, kPuntosRegistroOnline));
    text2_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    text2_->setTabChangesFocus(true);
    colocar(text2_, kText2);
    registro_ = std::make_unique<CajaRegistroVentana>(text2_);

    const QString titulos[2] = {QStringLiteral("Volver"), QStringLiteral("Borrar")};
    const RectTwips lugares[2] = {kVolver, kBorrar};
    for (int i = 0; i < 2; ++i) {
        command1_[i] = new QPushButton(titulos[i], this);
        command1_[i]->setObjectName(QStringLiteral("Command1_%1").arg(i));
        command1_[i]->setFont(fuente_consola(true));
        command1_[i]->setAutoDefault(false);
        colocar(command1_[i], lugares[i]);
        connect(command1_[i], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
    }

    setTabOrder(text1_, command1_[0]);
    setTabOrder(command1_[0], command1_[1]);
    setTabOrder(command1_[1], text2_);
}

void Form2::Form_Load() {
    // The window is 1000 twips shorter than the screen; window managers add
    // their decorations around the inside, which gets that height.
    QScreen* pantalla = screen();
    const int dy = logicalDpiY();
    const float altoPantalla = px_a_twips(pantalla->geometry().height(), dy);
    MedidasForm2 m;
    m.altoInterior = altoPantalla - kRecorteAltoForm2;
    m.arribaFrame2 = px_a_twips(frame2_->y(), dy);
    m.altoBoton = alto_twips(command1_[0]);
    const DisposicionForm2 d = disponer_form2(m);

    // The layout is computed once, here; the window keeps its size.
    setFixedSize(twips_a_px(kAnchoInterior, logicalDpiX()),
                 std::max(0, twips_a_px(m.altoInterior, dy)));
    colocar(frame2_, {kFrame2.left, m.arribaFrame2, kFrame2.width, d.altoFrame2});
    colocar(text2_, {kText2.left, kText2.top, kText2.width, d.altoText2});
    colocar(command1_[0], {kVolver.left, d.arribaBotones, kVolver.width, m.altoBoton});
    colocar(command1_[1], {kBorrar.left, d.arribaBotones, kBorrar.width, m.altoBoton});

    centrar();

    cargada_ = true;
    manejador_.ponerVentanaOnline(text1_, registro_.get());
}

void Form2::ponerCatalogo(CatalogoAbonados* catalogo) {
    catalogo_ = catalogo;
    nombrarCuenta();
}

void Form2::nombrarCuenta() {
    const QString cuenta = text1_->text().trimmed().toUpper();
    QString nombre;
    if (catalogo_ != nullptr && !cuenta.isEmpty())
        nombre = catalogo_->nombre(cuenta).value_or(kAbonadoDesconocido);
    nombre_->setText(nombre);
    nombre_->setToolTip(nombre);
}

void Form2::centrar() {
    // The whole window, decorations included once they are known, stands in the
    // middle of the screen's work area.
    QRect marco = frameGeometry();
    marco.moveCenter(screen()->availableGeometry().center());
    move(marco.topLeft());
}

void Form2::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (mostrada_) return;
    mostrada_ = true;
    if (frameGeometry().size() != size()) centrar();
}

void Form2::Command1_Click(int indice) {
    switch (indice) {
    case 0:
        close();
        return;
    case 1:
        registro_->ponerTexto(QString());
        return;
    default:
        return;
    }
}

void Form2::Form_Unload() {
    if (!cargada_) return;
    cargada_ = false;
    estado_.verCuentaOnline = false;
    manejador_.ponerVentanaOnline(nullptr, nullptr);
    Q_EMIT descargada();
}

void Form2::closeEvent(QCloseEvent* e) {
    Form_Unload();
    e->accept();
}

} // namespace corvane
