#include "ui/form1.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSysInfo>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <initializer_list>
#include <iterator>

#include "abonados/registro_abonados.h"
#include "common/reglas.h"
#include "consola/boton_consulta.h"
#include "consola/turno.h"
#include "ui/cajas_ventana.h"
#include "ui/dialogo_turno.h"
#include "ui/disposicion.h"
#include "ui/estilo.h"
#include "ui/form2.h"
#include "ui/marco.h"
#include "ui/panel_etiquetado.h"
#include "ui/ventana_abonados.h"
#include "ui/ventana_alarmas.h"
#include "ui/ventana_eventos.h"
#include "ui/ventana_informe.h"

namespace corvane {

namespace {

const QString kTitulo = QStringLiteral("Analizador Corvane");

// Design geometry, twips, relative to the parent; the layout replaces part of it
// at load.
constexpr RectTwips kFrame1{240, 480, 5655, 2295};
constexpr RectTwips kElastic1{120, 240, 5415, 1335};
constexpr RectTwips kCombo1[2] = {{2520, 0, 2295, 360}, {2520, 480, 2295, 360}};
constexpr RectTwips kCommand4{120, 960, 2295, 375};
constexpr RectTwips kCommand1{2760, 960, 2295, 375};
constexpr RectTwips kText4{240, 1680, 4935, 390};
constexpr RectTwips kFrame2{240, 5040, 5655, 2175};
constexpr RectTwips kCommand2{1680, 1200, 2895, 495};
constexpr RectTwips kText1{360, 600, 2775, 390};
constexpr RectTwips kFrame3{6360, 360, 5655, 5415};
constexpr RectTwips kElastic2{360, 480, 4455, 2655};
constexpr RectTwips kText3{2040, 0, 1215, 285};
constexpr RectTwips kCombo2[2] = {{2040, 360, 4215, 360}, {2040, 840, 4215, 360}};
constexpr RectTwips kDTPicker1{2040, 1320, 2415, 375};
constexpr RectTwips kCommand3{480, 1920, 3255, 495};
constexpr RectTwips kText2{1200, 4320, 2775, 390};
constexpr RectTwips kCommand6{3855, 1920, 1935, 495};
// The strip along the top: pixels around and between what it holds.
constexpr int kMargenFranja = 4;
constexpr int kEntreFranja = 8;
// The alerts take a smaller type, down to the last of these points, before they
// would not fit the strip's two lines.
constexpr double kPuntosAviso[] = {kPuntosNormal, kPuntosRegistroOnline, 7.0, 6.0};
// The widest name of the operator on duty in the strip, pixels; longer ones are
// cut in the middle.
constexpr int kAnchoDeTurno = 110;
// The alarm button is wide enough for this text, with two digits.
const QString kAlarmasMasAncho = QStringLiteral("Alarmas (99)");

constexpr int kNivelesSenal = 16;

QGroupBox* marco(QWidget* padre, const char* nombre, const QString& titulo, const RectTwips& r) {
    auto* m = new Marco(titulo, padre);
    m->setObjectName(QLatin1String(nombre));
    m->setFont(fuente_consola(true));
    pintar_fondo(m, kGrisFondo);
    colocar(m, r);
    return m;
}

PanelEtiquetado* panel(QWidget* padre, const char* nombre, const RectTwips& r) {
    auto* p = new PanelEtiquetado(padre);
    p->setObjectName(QLatin1String(nombre));
    pintar_fondo(p, kGrisFondo);
    colocar(p, r);
    return p;
}

QPushButton* boton(QWidget* padre, const QString& nombre, const QString& titulo,
                   const RectTwips& r) {
    auto* b = new QPushButton(titulo, padre);
    b->setObjectName(nombre);
    b->setFont(fuente_consola(true));
    b->setAutoDefault(false);
    colocar(b, r);
    return b;
}

QComboBox* lista(QWidget* padre, const QString& nombre, const RectTwips& r) {
    // Not editable: a value is only chosen from the list.
    auto* c = new QComboBox(padre);
    c->setObjectName(nombre);
    c->setFont(fuente_consola(false));
    colocar(c, r);
    return c;
}

QPlainTextEdit* registro(QWidget* padre, const char* nombre, const RectTwips& r) {
    auto* t = new QPlainTextEdit(padre);
    t->setObjectName(QLatin1String(nombre));
    t->setFont(fuente_consola(false));
    t->setReadOnly(true);
    t->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    t->setFocusPolicy(Qt::StrongFocus);
    t->setTabChangesFocus(true);
    t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    caja_blanca(t);
    colocar(t, r);
    return t;
}

} // namespace

// The alert strip as the road sees it: a text, shown only while not empty. The
// windows' own lasting alert (a sound that cannot be heard) goes after the road's.
// The alert strip as the road sees it: the road's text and the windows' own
// (no sound), shown only while not empty; the strip fits it to its room after
// each change.
class Form1::CajaAviso : public CajaTexto {
public:
    CajaAviso(QLabel* etiqueta, std::function<void()> ajustar)
        : etiqueta_(etiqueta), ajustar_(std::move(ajustar)) {}
    QString texto() const override { return etiqueta_ ? etiqueta_->text() : QString(); }
    void ponerTexto(const QString& texto) override {
        delCamino_ = texto;
        mostrar();
    }
    void ponerPropio(const QString& texto) {
        propio_ = texto;
        mostrar();
    }

private:
    void mostrar() {
        QStringList partes;
        for (const QString* p : {&delCamino_, &propio_})
            if (!p->isEmpty()) partes << *p;
        const QString texto = partes.join(QStringLiteral("   |   "));
        if (!etiqueta_ || etiqueta_->text() == texto) return;
        etiqueta_->setText(texto);
        etiqueta_->setToolTip(texto);
        etiqueta_->setVisible(!texto.isEmpty());
        ajustar_();
    }

    QPointer<QLabel> etiqueta_;
    std::function<void()> ajustar_;
    QString delCamino_;
    QString propio_;
};

Form1::Form1(EstadoProceso& estado, const Reloj& reloj, ManejadorRx& manejador,
             PuertoSerie& MSComm1, QString puerto, CajaMensajes* mensajes, QWidget* parent)
    : QWidget(parent), estado_(estado), reloj_(reloj), manejador_(manejador), MSComm1_(MSComm1),
      puertoInicial_(std::move(puerto)), mensajesPropios_(this),
      mensajes_(mensajes != nullptr ? mensajes : &mensajesPropios_) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kTitulo);
    pintar_fondo(this, kGrisFondo);
    construir();
    cajaText1_ = std::make_unique<CajaRegistroVentana>(text1_);
    cajaText2_ = std::make_unique<CajaRegistroVentana>(text2_);
    cajaText4_ = std::make_unique<CajaLineaVentana>(text4_);
    cajaAviso_ = std::make_unique<CajaAviso>(aviso_, [this] { colocarFranja(); });
    cajaText1_->ponerAvisoAtras([this](bool atras, int nuevas) { mostrarNuevas(atras, nuevas); });
    puesto_ = estado_.puesto.isEmpty() ? QSysInfo::machineHostName() : estado_.puesto;
    catalogo_ = std::make_unique<CatalogoAbonados>([this] { return estado_.bases.base[0].get(); });
    alarmas_ = std::make_unique<VentanaAlarmas>(estado_.bases, reloj_, puesto_, catalogo_.get(),
                                                mensajes_);
    connect(alarmas_.get(), &VentanaAlarmas::cambio, this, [this](int n) {
        contar_alarmas(*command5_, n);
        colocarFranja();
    });
    connect(alarmas_.get(), &VentanaAlarmas::estado, this,
            [this](const QString& t) { cajaText4_->ponerTexto(t); });
    connect(alarmas_.get(), &VentanaAlarmas::sinSonido, this,
            [this](const QString& t) { cajaAviso_->ponerPropio(t); });
    contar_alarmas(*command5_, static_cast<int>(alarmas_->registro().pendientes().size()));
    manejador_.ponerAvisoAlarmas(
        [this](const std::vector<FilaEvento>& filas) { alarmas_->recibir(filas); });
    eventos_ = std::make_unique<VentanaEventos>();
    eventos_->ponerCatalogo(catalogo_.get());
    manejador_.ponerAvisoFilas([this](const std::vector<FilaEvento>& filas) {
        eventos_->recibir(filas);
        alarmas_->restaurar(filas);
    });
    Form_Load();
    // After the load's choices: a change of the query's account, filters or day
    // empties the listing of the former ones.
    historial_ = std::make_unique<HistorialMostrado>(*cajaText2_);
    command6_->setEnabled(false);
    connect(text3_, &QLineEdit::textChanged, this, &Form1::historialCambiado);
    for (QComboBox* filtro : combo2_)
        connect(filtro, &QComboBox::currentIndexChanged, this, &Form1::historialCambiado);
    connect(dtPicker1_, &QDateEdit::dateChanged, this, &Form1::historialCambiado);
}

Form1::~Form1() {
    manejador_.ponerAvisoAlarmas({});
    manejador_.ponerAvisoFilas({});
    // The online account window is a window of its own; it goes with this one.
    delete form2_.data();
}

void Form1::construir() {
    franja_ = new QWidget(this);
    franja_->setObjectName(QStringLiteral("Franja"));
    pintar_fondo(franja_, kGrisFondo);
    interior_ = new QWidget(this);
    interior_->setObjectName(QStringLiteral("Interior"));
    pintar_fondo(interior_, kGrisFondo);

    aviso_ = new QLabel(franja_);
    aviso_->setObjectName(QStringLiteral("Aviso"));
    aviso_->setFont(fuente_consola(true));
    aviso_->setAutoFillBackground(true);
    QPalette paleta = aviso_->palette();
    paleta.setColor(QPalette::Window, kRojoAlerta);
    paleta.setColor(QPalette::WindowText, Qt::white);
    aviso_->setPalette(paleta);
    aviso_->setIndent(6);
    aviso_->setWordWrap(true);
    aviso_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    aviso_->hide();
    // Beside the alerts, right to left: the alarm button, the event button, the
    // account button, then the way back to the top of the online log while the operator reads
    // further down.
    command5_ = new QPushButton(kAlarmasMasAncho, franja_);
    command5_->setObjectName(QStringLiteral("Command5"));
    command5_->setFont(fuente_consola(true));
    command5_->setAutoDefault(false);
    command5_->setMinimumWidth(command5_->sizeHint().width());
    command5_->setText(QStringLiteral("Alarmas"));
    botonEventos_ = new QPushButton(QStringLiteral("Eventos"), franja_);
    botonEventos_->setObjectName(QStringLiteral("BotonEventos"));
    botonEventos_->setFont(fuente_consola(true));
    botonEventos_->setAutoDefault(false);
    botonEventos_->setToolTip(QStringLiteral("Los eventos recibidos, en una tabla con filtros"));
    botonInforme_ = new QPushButton(QStringLiteral("Informe"), franja_);
    botonInforme_->setObjectName(QStringLiteral("BotonInforme"));
    botonInforme_->setFont(fuente_consola(true));
    botonInforme_->setAutoDefault(false);
    botonInforme_->setToolTip(
        QStringLiteral("Las cifras de atención de las alarmas, con gráficos"));
    botonAbonados_ = new QPushButton(QStringLiteral("Abonados"), franja_);
    botonAbonados_->setObjectName(QStringLiteral("BotonAbonados"));
    botonAbonados_->setFont(fuente_consola(true));
    botonAbonados_->setAutoDefault(false);
    botonAbonados_->setToolTip(
        QStringLiteral("El registro de abonados: datos, zonas, contactos e instrucciones"));
    nuevas_ = new QPushButton(franja_);
    nuevas_->setObjectName(QStringLiteral("NuevasText1"));
    nuevas_->setFont(fuente_consola(true));
    nuevas_->setAutoDefault(false);
    nuevas_->setToolTip(QStringLiteral("Volver al principio del registro OnLine"));
    nuevas_->hide();
    connect(nuevas_, &QPushButton::clicked, this, [this] { cajaText1_->volverArriba(); });
    // Who is on duty, and in its menu the way to sign in or hand over; only once
    // operators exist. Narrow, in the smaller type: the alerts keep their room.
    deTurno_ = new QToolButton(franja_);
    deTurno_->setObjectName(QStringLiteral("DeTurno"));
    deTurno_->setFont(fuente_consola(true, kPuntosRegistroOnline));
    deTurno_->setPopupMode(QToolButton::InstantPopup);
    deTurno_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto* menuTurno = new QMenu(deTurno_);
    cambiarTurno_ = menuTurno->addAction(QStringLiteral("Cambiar de turno"));
    cambiarTurno_->setObjectName(QStringLiteral("CambiarTurno"));
    connect(cambiarTurno_, &QAction::triggered, this, &Form1::CambiarTurno_Click);
    deTurno_->setMenu(menuTurno);
    deTurno_->hide();
    // Two lines of alerts, and never lower than the buttons.
    altoFranja_ =
        std::max(2 * QFontMetrics(aviso_->font()).lineSpacing() + 2 * aviso_->margin() + 4,
                 command5_->sizeHint().height()) +
        2 * kMargenFranja;

    frame1_ = marco(interior_, "Frame1", QStringLiteral("Configuracion Puerto serie"), kFrame1);
    vsElastic1_ = panel(frame1_, "vsElastic1", kElastic1);
    const QString etiquetasPuerto[2] = {QStringLiteral("Puerto serie"), QStringLiteral("Baudrate")};
    for (int i = 0; i < 2; ++i) {
        combo1_[i] = lista(vsElastic1_, QStringLiteral("Combo1_%1").arg(i), kCombo1[i]);
        vsElastic1_->ponerEtiqueta(combo1_[i], etiquetasPuerto[i]);
    }
    command4_ = boton(vsElastic1_, QStringLiteral("Command4"), QStringLiteral("Ver Cuenta OnLine"),
                      kCommand4);
    command4_->setEnabled(false);
    command1_ = boton(vsElastic1_, QStringLiteral("Command1"), kTituloInicial, kCommand1);
    text4_ = new QLineEdit(frame1_);
    text4_->setObjectName(QStringLiteral("Text4"));
    text4_->setFont(fuente_consola(false));
    text4_->setReadOnly(true);
    caja_blanca(text4_);
    colocar(text4_, kText4);

    frame2_ = marco(interior_, "Frame2", QStringLiteral("Actividad Puerto serie"), kFrame2);
    command2_ = boton(frame2_, QStringLiteral("Command2"),
                      QStringLiteral("Limpiar Pantalla OnLine"), kCommand2);
    text1_ = registro(frame2_, "Text1", kText1);

    frame3_ = marco(interior_, "Frame3", QStringLiteral("Consulta de abonados"), kFrame3);
    vsElastic2_ = panel(frame3_, "vsElastic2", kElastic2);
    text3_ = new CampoCuenta(vsElastic2_);
    text3_->setObjectName(QStringLiteral("Text3"));
    text3_->setFont(fuente_consola(false));
    caja_blanca(text3_);
    colocar(text3_, kText3);
    vsElastic2_->ponerEtiqueta(text3_, QStringLiteral("Nro.Cuenta"));
    const QString etiquetasFiltro[2] = {QStringLiteral("Señal"), QStringLiteral("Origen del dato")};
    for (int i = 0; i < 2; ++i) {
        combo2_[i] = lista(vsElastic2_, QStringLiteral("Combo2_%1").arg(i), kCombo2[i]);
        vsElastic2_->ponerEtiqueta(combo2_[i], etiquetasFiltro[i]);
    }
    dtPicker1_ = new QDateEdit(vsElastic2_);
    dtPicker1_->setObjectName(QStringLiteral("DTPicker1"));
    dtPicker1_->setFont(fuente_consola(false));
    dtPicker1_->setCalendarPopup(true);
    dtPicker1_->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    colocar(dtPicker1_, kDTPicker1);
    vsElastic2_->ponerEtiqueta(dtPicker1_, QStringLiteral("Fecha"));
    command3_ = boton(vsElastic2_, QStringLiteral("Command3"), QStringLiteral("Realizar Busqueda"),
                      kCommand3);
    // Right of the search button, where the layout puts it.
    command6_ = boton(vsElastic2_, QStringLiteral("Command6"), QStringLiteral("Exportar…"), kCommand6);
    text2_ = registro(frame3_, "Text2", kText2);

    QWidget* orden[] = {combo1_[1], combo1_[0], command1_, text1_,     command2_, text2_,   text3_,
                        combo2_[0], combo2_[1], command3_, dtPicker1_, text4_,    command4_};
    for (std::size_t i = 1; i < std::size(orden); ++i) setTabOrder(orden[i - 1], orden[i]);

    connect(command1_, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(command2_, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(command3_, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(command4_, &QPushButton::clicked, this, &Form1::Command4_Click);
    setTabOrder(command4_, command5_);
    connect(command5_, &QPushButton::clicked, this, &Form1::Command5_Click);
    setTabOrder(command5_, botonEventos_);
    connect(botonEventos_, &QPushButton::clicked, this, &Form1::Eventos_Click);
    setTabOrder(botonEventos_, botonInforme_);
    connect(botonInforme_, &QPushButton::clicked, this, &Form1::Informe_Click);
    setTabOrder(botonInforme_, botonAbonados_);
    connect(botonAbonados_, &QPushButton::clicked, this, &Form1::Abonados_Click);
    setTabOrder(command3_, command6_);
    connect(command6_, &QPushButton::clicked, this, &Form1::Command6_Click);
}

void Form1::Form_Load() {
    // The event database is open and the framing idle already: the road that the
    // window drives does that before building it.
    for (int i = 1; i <= kPuertosNumerados; ++i) combo1_[0]->addItem(QString::number(i));
    combo1_[1]->addItems(textos_velocidades());
    combo1_[0]->setCurrentIndex(0);
    combo1_[1]->setCurrentIndex(0);
    // After the numbered ports, those the system reports (USB adapters) and the
    // one named at start, which is chosen.
    for (const QString& p : puertos_del_sistema())
        if (combo1_[0]->findText(p) < 0) combo1_[0]->addItem(p);
    if (!puertoInicial_.isEmpty()) {
        int i = combo1_[0]->findText(puertoInicial_);
        if (i < 0) {
            combo1_[0]->addItem(puertoInicial_);
            i = combo1_[0]->count() - 1;
        }
        combo1_[0]->setCurrentIndex(i);
    }

    combo2_[0]->addItem(QStringLiteral("Todas las señales"));
    for (int k = 1; k <= kNivelesSenal; ++k)
        combo2_[0]->addItem(QStringLiteral("Maximo %1").arg(k));
    combo2_[0]->setCurrentIndex(0);

    combo2_[1]->addItem(QStringLiteral("Ver todos los origenes"));
    combo2_[1]->addItem(QStringLiteral("Solo abonados directos"));
    for (int n = 1; n <= kRepetidoras; ++n)
        combo2_[1]->addItem(QStringLiteral("Solo abonados por repetidora %1").arg(n));
    combo2_[1]->setCurrentIndex(0);

    disponer();
    dtPicker1_->setDate(reloj_.ahora().date());
}

void Form1::disponer() {
    // A maximised window fills the screen's work area; that is its inside until
    // the window manager, which maximises only once the window appears, says
    // what room its decorations leave.
    resize(screen()->availableGeometry().size());
    setWindowState(windowState() | Qt::WindowMaximized);
    disponerInterior();
}

void Form1::disponerPara(const QSize& tamano) {
    esperandoMaximizado_ = false;
    setWindowState(windowState() & ~Qt::WindowMaximized);
    resize(tamano);
    disponerInterior();
}

void Form1::disponerInterior() {
    dispuesto_ = size();
    // The strip keeps its height; the frames are laid out in the inside under it.
    franja_->setGeometry(0, 0, width(), altoFranja_);
    interior_->setGeometry(0, altoFranja_, width(), std::max(0, height() - altoFranja_));
    colocarFranja();
    MedidasForm1 m;
    m.W = ancho_twips(interior_);
    m.H = alto_twips(interior_);
    m.L = static_cast<float>(vsElastic2_->anchoEtiquetas());
    m.altoFrame1 = alto_twips(frame1_);
    m.arribaElastic1 = px_a_twips(vsElastic1_->y(), logicalDpiY());
    m.anchoElastic1 = ancho_twips(vsElastic1_);
    m.altoElastic1 = alto_twips(vsElastic1_);
    m.altoText4 = alto_twips(text4_);
    m.altoCommand2 = alto_twips(command2_);
    m.altoText3 = alto_twips(text3_);
    m.altoCombo2_0 = alto_twips(combo2_[0]);
    m.altoCombo2_1 = alto_twips(combo2_[1]);
    m.altoDTPicker1 = alto_twips(dtPicker1_);
    m.anchoCommand3 = ancho_twips(command3_);
    m.altoCommand3 = alto_twips(command3_);
    const DisposicionForm1 d = disponer_form1(m);

    colocar(frame1_, d.frame1);
    colocar(vsElastic1_, d.vsElastic1);
    colocar(text4_, d.text4);
    colocar(frame2_, d.frame2);
    colocar(command2_, d.command2);
    colocar(text1_, d.text1);
    colocar(frame3_, d.frame3);
    colocar(vsElastic2_, d.vsElastic2);
    colocar(text2_, d.text2);
    colocar(text3_, d.text3);
    colocar(combo2_[0], d.combo2_0);
    combo2_[0]->hide();
    colocar(combo2_[1], d.combo2_1);
    colocar(dtPicker1_, d.dtPicker1);
    colocar(command3_, d.command3);
    colocar(command6_, disponer_boton_exportar(d, kCommand6.width));
}

void Form1::colocarFranja() {
    // The buttons from the right edge at their own width, the alerts in the rest.
    const int alto = franja_->height() - 2 * kMargenFranja;
    int derecha = franja_->width() - kMargenFranja;
    for (QWidget* b : std::initializer_list<QWidget*>{command5_, botonEventos_, botonInforme_,
                                                      botonAbonados_, deTurno_, nuevas_}) {
        if (b->isHidden()) continue;
        const int ancho = std::max(b->sizeHint().width(), b->minimumWidth());
        const int altoBoton = std::min(alto, b->sizeHint().height());
        b->setGeometry(derecha - ancho, kMargenFranja + (alto - altoBoton) / 2, ancho, altoBoton);
        derecha -= ancho + kEntreFranja;
    }
    aviso_->setGeometry(kMargenFranja, kMargenFranja, std::max(0, derecha - kMargenFranja), alto);
    ajustarAviso();
}

void Form1::ajustarAviso() {
    // The whole text, never cut: a smaller type where two lines do not hold it.
    QFont fuente = aviso_->font();
    for (const double puntos : kPuntosAviso) {
        fuente.setPointSizeF(puntos);
        aviso_->setFont(fuente);
        if (aviso_->heightForWidth(aviso_->width()) <= aviso_->height()) break;
    }
}

void Form1::mostrarNuevas(bool atras, int nuevas) {
    nuevas_->setText(nuevas == 0   ? QStringLiteral("Volver arriba")
                     : nuevas == 1 ? QStringLiteral("1 línea nueva")
                                   : QStringLiteral("%1 líneas nuevas").arg(nuevas));
    nuevas_->setVisible(atras);
    colocarFranja();
}

void Form1::ponerTurno(Turno* turno) {
    turno_ = turno;
    alarmas_->ponerTurno(turno);
    connect(alarmas_.get(), &VentanaAlarmas::pideTurno, this, &Form1::CambiarTurno_Click,
            Qt::UniqueConnection);
    if (turno_) connect(turno_, &Turno::cambio, this, &Form1::mostrarTurno);
    mostrarTurno();
}

void Form1::mostrarTurno() {
    const bool con = turno_ != nullptr && turno_->conOperadores();
    deTurno_->setVisible(con);
    if (con) {
        const bool nadie = !turno_->deTurno();
        // "De turno:" over the name, cut to kAnchoDeTurno with the whole in the tip.
        const QString nombre = nadie ? QString() : nombrar_operador(*turno_->deTurno());
        deTurno_->setText(nadie ? turno_->texto()
                                : QStringLiteral("De turno:\n%1")
                                      .arg(deTurno_->fontMetrics().elidedText(
                                          nombre, Qt::ElideMiddle, kAnchoDeTurno)));
        deTurno_->setToolTip(turno_->texto());
        QPalette paleta = deTurno_->palette();
        paleta.setColor(QPalette::ButtonText,
                        nadie ? kRojoAlerta : palette().color(QPalette::ButtonText));
        deTurno_->setPalette(paleta);
        cambiarTurno_->setText(nadie ? QStringLiteral("Iniciar turno")
                                     : QStringLiteral("Cambiar de turno"));
    }
    colocarFranja();
}

void Form1::CambiarTurno_Click() {
    if (turno_ == nullptr || !turno_->conOperadores()) return;
    if (!dialogoTurno_) {
        dialogoTurno_ = new DialogoTurno(*turno_, this);
        // The main window waits for the answer; the event loop, and so
        // reception, does not. The alarm window that an alarm brings up stays
        // usable, its actions refused while nobody is on duty.
        dialogoTurno_->setWindowModality(Qt::WindowModal);
    }
    dialogoTurno_->show();
    dialogoTurno_->raise();
    dialogoTurno_->activateWindow();
}

DialogoTurno* Form1::dialogoTurno() const {
    return dialogoTurno_ && dialogoTurno_->isVisible() ? dialogoTurno_.data() : nullptr;
}

void Form1::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (mostrada_) return;
    mostrada_ = true;
    esperandoMaximizado_ = true;
    QTimer::singleShot(kEsperaMaximizadoMs, this, [this] { esperandoMaximizado_ = false; });
}

void Form1::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    // The layout is computed once more, for the inside of the maximised window,
    // when that comes after the window appeared; later resizes change nothing.
    if (!esperandoMaximizado_ || !(windowState() & Qt::WindowMaximized) || size() == dispuesto_)
        return;
    esperandoMaximizado_ = false;
    disponerInterior();
}

void Form1::habilitarVerCuenta(bool habilitado) {
    command4_->setEnabled(habilitado);
}
void Form1::ponerTituloBoton(const QString& titulo) {
    command1_->setText(titulo);
}
void Form1::habilitarListas(bool habilitadas) {
    combo1_[0]->setEnabled(habilitadas);
    combo1_[1]->setEnabled(habilitadas);
}

void Form1::sinPuerto() {
    habilitarListas(false);
    command1_->setEnabled(false);
    // The rows that the central server gives are followed as received ones.
    habilitarVerCuenta(true);
}

void Form1::abrirPuerto(int velocidad) {
    if (MSComm1_.PortOpen()) return;
    const int i = combo1_[1]->findText(QString::number(velocidad));
    if (i >= 0) combo1_[1]->setCurrentIndex(i);
    Command1_Click();
}

void Form1::Command1_Click() {
    AbrirCom(combo1_[0]->currentText(), MSComm1_, combo1_[1]->currentText().toInt(), *this,
             *mensajes_);
}

void Form1::Command2_Click() {
    cajaText1_->ponerTexto(QString());
}

void Form1::Command3_Click() {
    historial_->buscar({text3_->texto(), combo2_[0]->currentIndex(), combo2_[1]->currentIndex(),
                        dtPicker1_->date()},
                       *mensajes_, estado_.bases);
    command6_->setEnabled(historial_->mostrada().has_value());
}

void Form1::historialCambiado() {
    historial_->cambio();
    command6_->setEnabled(false);
}

void Form1::Command6_Click() {
    ElegirExportacion elegir = elegirExportacion_;
    if (!elegir && elegirArchivo_)
        elegir = [this](const QString& propuesto) {
            return ArchivoElegido{elegirArchivo_(propuesto)};
        };
    if (!elegir)
        elegir = [this](const QString& propuesto) {
            const QString csv = QStringLiteral("CSV (*.csv)");
            const QString hoja =
                QStringLiteral("Hoja de cálculo, separado por punto y coma (*.csv)");
            QString filtro = csv;
            const QString ruta =
                QFileDialog::getSaveFileName(this, QStringLiteral("Exportar consulta"), propuesto,
                                             csv + QStringLiteral(";;") + hoja, &filtro);
            return ArchivoElegido{ruta,
                                  filtro == hoja ? FormatoCsv::HojaDeCalculo : FormatoCsv::Rfc4180};
        };
    historial_->exportar(elegir, *mensajes_, estado_.bases, catalogo_.get());
    command6_->setEnabled(historial_->mostrada().has_value());
}

void Form1::Command4_Click() {
    estado_.verCuentaOnline = true;
    if (!form2_) {
        form2_ = new Form2(estado_, manejador_);
        connect(form2_, &Form2::descargada, this, [this] { form2_ = nullptr; });
        form2_->ponerCatalogo(catalogo_.get());
    }
    form2_->show();
    form2_->raise();
    form2_->activateWindow();
}

void Form1::Command5_Click() {
    alarmas_->traerAlFrente();
}

void Form1::Eventos_Click() {
    eventos_->traerAlFrente();
}

void Form1::Informe_Click() {
    // Built the first time it is asked for, and kept.
    if (!informe_)
        informe_ = std::make_unique<VentanaInforme>([this] { return estado_.bases.base[0].get(); },
                                                    reloj_);
    informe_->traerAlFrente();
}

void Form1::Abonados_Click() {
    // Built the first time it is asked for, and kept.
    if (!abonados_) {
        abonados_ = std::make_unique<VentanaAbonados>(estado_.bases, *catalogo_, reloj_, puesto_,
                                                      mensajes_);
        connect(abonados_.get(), &VentanaAbonados::guardado, this, &Form1::abonadoCambiado);
    }
    abonados_->traerAlFrente();
}

void Form1::abonadoCambiado(const QString& cuenta) {
    catalogo_->olvidar(cuenta);
    alarmas_->abonadoCambiado(cuenta);
    eventos_->abonadoCambiado(cuenta);
    if (form2_) form2_->nombrarCuenta();
    if (abonados_) abonados_->abonadoCambiado(cuenta);
}

CajaTexto& Form1::text1() {
    return *cajaText1_;
}
CajaTexto& Form1::text2() {
    return *cajaText2_;
}
CajaTexto& Form1::text3() {
    return *text3_;
}
CajaTexto& Form1::text4() {
    return *cajaText4_;
}
CajaTexto& Form1::text4Alerta() {
    return cajaText4_->comoAlerta();
}
CajaTexto& Form1::aviso() {
    return *cajaAviso_;
}

void Form1::Form_Unload() {
    if (form2_) form2_->close();
    alarmas_->close();
    eventos_->close();
    if (abonados_) abonados_->close();
}

void Form1::closeEvent(QCloseEvent* e) {
    Form_Unload();
    e->accept();
}

} // namespace corvane
