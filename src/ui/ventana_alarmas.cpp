#include "ui/ventana_alarmas.h"

#include <QApplication>
#include <QDateTime>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QTreeWidget>

#include <iterator>

#include "ui/disposicion.h"
#include "ui/estilo.h"
#include "ui/sirena.h"

namespace corvane {

namespace {

const QString kTitulo = QStringLiteral("Alarmas");

// The list's columns and their widths in twips; the description takes the rest.
struct ColumnaLista {
    const char16_t* titulo;
    float ancho;
};
constexpr ColumnaLista kColumnas[] = {
    {u"Estado", 2400},    {u"Cuenta", 900},  {u"Descripción", 0}, {u"Zona", 800},
    {u"Partición", 1150}, {u"Origen", 2000}, {u"Recibida", 2700},
};
constexpr int kColumnaDescripcion = 2;

// Design place of the buttons until the layout puts them in their row.
constexpr RectTwips kBoton{120, 0, 2895, 495};

// An unacknowledged alarm: bold, in the alert colour on a pale red.
const QColor kFondoSinReconocer{0xFF, 0xD8, 0xD8};
const QColor kTextoReconocida{0x70, 0x70, 0x70};

QString origen_mostrado(const QString& origen) {
    return origen == QLatin1String("0") ? QStringLiteral("Directo")
                                        : QStringLiteral("Repetidora ") + origen;
}

QString momento_mostrado(const QString& momento) {
    const QDateTime m = QDateTime::fromString(momento, kFormatoMomento);
    return m.isValid() ? m.toString(kFormatoListado) : momento;
}

} // namespace

void contar_alarmas(QPushButton& boton, int sinReconocer) {
    boton.setText(sinReconocer > 0 ? QStringLiteral("Alarmas (%1)").arg(sinReconocer)
                                   : QStringLiteral("Alarmas"));
    QPalette p = boton.palette();
    p.setColor(QPalette::ButtonText, sinReconocer > 0
                                         ? kRojoAlerta
                                         : QApplication::palette().color(QPalette::ButtonText));
    boton.setPalette(p);
}

VentanaAlarmas::VentanaAlarmas(ConjuntoBases& bases, const Reloj& reloj, const QString& puesto,
                               QWidget* parent)
    : QWidget(parent, Qt::Window), registro_(bases, reloj, puesto) {
    setObjectName(QStringLiteral("Alarmas"));
    setWindowTitle(kTitulo);
    pintar_fondo(this, kGrisFondo);
    construir();
    Form_Load();
    // Alarm writes the database did not take are tried again; nothing is done
    // while none waits.
    auto* reintento = new QTimer(this);
    reintento->setInterval(kReintentoMs);
    connect(reintento, &QTimer::timeout, this, [this] {
        registro_.reintentar();
        // Writes the table refuses are told in the title while they wait.
        const QString aviso = registro_.aviso();
        setWindowTitle(aviso.isEmpty() ? kTitulo : kTitulo + QStringLiteral(" — ") + aviso);
    });
    reintento->start();
}

VentanaAlarmas::~VentanaAlarmas() {
    if (sirena_ != nullptr) sirena_->callar();
}

void VentanaAlarmas::construir() {
    lista_ = new QTreeWidget(this);
    lista_->setObjectName(QStringLiteral("Lista"));
    lista_->setFont(fuente_consola(false));
    lista_->header()->setFont(fuente_consola(true));
    lista_->setRootIsDecorated(false);
    lista_->setUniformRowHeights(true);
    lista_->setAllColumnsShowFocus(true);
    lista_->setSelectionMode(QAbstractItemView::SingleSelection);
    lista_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    caja_blanca(lista_);
    QStringList titulos;
    for (const ColumnaLista& c : kColumnas) titulos << QString::fromUtf16(c.titulo);
    lista_->setHeaderLabels(titulos);

    const QString titulosBotones[2] = {QStringLiteral("Reconocer"),
                                       QStringLiteral("Reconocer todas")};
    for (int i = 0; i < 2; ++i) {
        command1_[i] = new QPushButton(titulosBotones[i], this);
        command1_[i]->setObjectName(QStringLiteral("Command1_%1").arg(i));
        command1_[i]->setFont(fuente_consola(true));
        command1_[i]->setAutoDefault(false);
        colocar(command1_[i], kBoton);
        connect(command1_[i], &QPushButton::clicked, this, [this, i] { Command1_Click(i); });
    }
    setTabOrder(lista_, command1_[0]);
    setTabOrder(command1_[0], command1_[1]);
}

void VentanaAlarmas::Form_Load() {
    const int dx = logicalDpiX();
    const int dy = logicalDpiY();
    MedidasAlarmas m;
    m.altoBoton = alto_twips(command1_[0]);
    const DisposicionAlarmas d = disponer_alarmas(m);
    // The layout is computed once, here; the window keeps its size.
    setFixedSize(twips_a_px(m.ancho, dx), twips_a_px(m.alto, dy));
    colocar(lista_, d.lista);
    colocar(command1_[0], d.reconocer);
    colocar(command1_[1], d.reconocerTodas);
    for (int i = 0; i < static_cast<int>(std::size(kColumnas)); ++i) {
        if (i == kColumnaDescripcion)
            lista_->header()->setSectionResizeMode(i, QHeaderView::Stretch);
        else
            lista_->setColumnWidth(i, twips_a_px(kColumnas[i].ancho, dx));
    }
    lista_->header()->setStretchLastSection(false);

    registro_.cargar();
    mostrarTodas();
    // Alarms left from before come to the front once the main window is up.
    if (!registro_.pendientes().empty()) QTimer::singleShot(0, this, [this] { traerAlFrente(); });
}

void VentanaAlarmas::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (mostrada_) return;
    mostrada_ = true;
    // The first time, in the top right corner of the work area, over the query
    // frame, where it hides neither the online log nor the online account window.
    QRect marco = frameGeometry();
    marco.moveTopRight(screen()->availableGeometry().topRight());
    move(marco.topLeft());
}

void VentanaAlarmas::ponerSirena(Sirena* sirena) {
    if (sirena_ != nullptr && sirena_ != sirena) sirena_->callar();
    sirena_ = sirena;
    if (sirena_ != nullptr && !registro_.pendientes().empty()) sirena_->sonar();
}

QTreeWidgetItem* VentanaAlarmas::elemento(const Alarma& a) const {
    const FilaAlarma& f = a.fila;
    QString estado = a.reconocida() ? QStringLiteral("Reconocida ") + f.reconocida.mid(11)
                                    : QStringLiteral("SIN RECONOCER");
    // Another workstation's acknowledgement says whose it is.
    if (a.reconocida() && f.reconocidaEn != registro_.puesto()) estado += QStringLiteral(" por ") + f.reconocidaEn;
    auto* item =
        new QTreeWidgetItem(QStringList{estado, f.abonado, a.descripcion, f.zona, f.particion,
                                        origen_mostrado(f.origen), momento_mostrado(f.recibida)});
    item->setData(0, Qt::UserRole, f.clave);
    if (a.reconocida()) {
        item->setToolTip(0, QStringLiteral("Reconocida el %1 en %2")
                                .arg(momento_mostrado(f.reconocida), f.reconocidaEn));
        for (int i = 0; i < item->columnCount(); ++i) item->setForeground(i, kTextoReconocida);
        return item;
    }
    QFont negrita = fuente_consola(true);
    for (int i = 0; i < item->columnCount(); ++i) {
        item->setBackground(i, kFondoSinReconocer);
        item->setForeground(i, kRojoAlerta);
        item->setFont(i, negrita);
    }
    return item;
}

void VentanaAlarmas::mostrarTodas() {
    QList<QTreeWidgetItem*> items;
    for (const Alarma& a : registro_.pendientes()) items << elemento(a);
    for (const Alarma& a : registro_.reconocidas()) items << elemento(a);
    lista_->clear();
    lista_->addTopLevelItems(items);
    // The newest unacknowledged alarm is the one "Reconocer" acknowledges next.
    if (!registro_.pendientes().empty()) lista_->setCurrentItem(lista_->topLevelItem(0));
}

void VentanaAlarmas::recibir(const std::vector<FilaEvento>& filas) {
    const std::vector<Alarma> nuevas = registro_.recibir(filas);
    if (nuevas.empty()) return;
    QList<QTreeWidgetItem*> items;
    for (const Alarma& a : nuevas) items << elemento(a);
    lista_->insertTopLevelItems(0, items);
    if (lista_->currentItem() == nullptr) lista_->setCurrentItem(lista_->topLevelItem(0));
    // In front of the console's other windows; the keyboard stays where the
    // operator is typing, unless the console had it nowhere.
    traerAlFrente(QApplication::activeWindow() == nullptr);
    if (sirena_ != nullptr) sirena_->sonar();
    avisar();
}

void VentanaAlarmas::traerAlFrente(bool activar) {
    // Already in front: a burst of alarms costs the window system nothing more.
    if (isVisible() && !isMinimized() && isActiveWindow()) return;
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    if (activar) activateWindow();
}

void VentanaAlarmas::Command1_Click(int indice) {
    switch (indice) {
    case 0: {
        const QTreeWidgetItem* item = lista_->currentItem();
        if (item == nullptr || !registro_.reconocer(item->data(0, Qt::UserRole).toString())) return;
        break;
    }
    case 1:
        if (registro_.reconocerTodas() == 0) return;
        break;
    default:
        return;
    }
    // On a central server another workstation may have acknowledged it first:
    // the table says whose acknowledgement stands.
    static_cast<void>(registro_.refrescar());
    mostrarTodas();
    avisar();
}

void VentanaAlarmas::refrescar() {
    const std::vector<Alarma> nuevas = registro_.refrescar();
    if (!registro_.compartido()) return;
    const QString actual = lista_->currentItem() != nullptr ? lista_->currentItem()->data(0, Qt::UserRole).toString()
                                                             : QString();
    mostrarTodas();
    // The selection stays on the alarm the operator chose while it is listed.
    for (int i = 0; !actual.isEmpty() && i < lista_->topLevelItemCount(); ++i)
        if (lista_->topLevelItem(i)->data(0, Qt::UserRole).toString() == actual)
            lista_->setCurrentItem(lista_->topLevelItem(i));
    if (!nuevas.empty()) {
        traerAlFrente(QApplication::activeWindow() == nullptr);
        if (sirena_ != nullptr) sirena_->sonar();
    }
    avisar();
}

void VentanaAlarmas::avisar() {
    if (sirena_ != nullptr && registro_.pendientes().empty()) sirena_->callar();
    Q_EMIT cambio(static_cast<int>(registro_.pendientes().size()));
}

} // namespace corvane
