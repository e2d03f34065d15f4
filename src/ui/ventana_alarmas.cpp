#include "ui/ventana_alarmas.h"

#include <QApplication>
#include <QDateTime>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <iterator>

#include "abonados/registro_abonados.h"
#include "consola/acciones_alarma.h"
#include "consola/turno.h"
#include "ui/detalle_alarma.h"
#include "ui/disposicion.h"
#include "ui/estilo.h"
#include "ui/geometria_ventana.h"
#include "ui/sirena.h"

namespace corvane {

namespace {

const QString kTitulo = QStringLiteral("Alarmas");

// The list's columns; each as wide as its contents.
constexpr const char16_t* kColumnas[] = {
    u"Estado",
    u"Cuenta",
    u"Descripción",
    u"Zona",
    u"Partición",
    u"Origen",
    u"Recibida",
    u"Antigüedad",
    u"Resolución",
    u"Abonado",
    u"Descripción de la zona",
};
constexpr int kColumnaEdad = 7;
// Where a row keeps the moment its alarm was received, while it is open.
constexpr int kPapelRecibida = Qt::UserRole + 1;

// The part of the list's room that the detail pane takes, under the list.
constexpr float kParteDetalle = 0.45F;
// In a small window the pane takes what it needs to show its steps, up to this part.
constexpr float kParteDetalleMaxima = 0.7F;

// The strip that says the sound cannot be heard, over the list; in twips.
constexpr float kAltoFranjaSonido = 300;
constexpr float kSeparacion = 60;

// Design place of the buttons until the layout puts them in their row.
constexpr RectTwips kBoton{120, 0, 2895, 495};

// An unacknowledged alarm: bold, in the alert colour on a pale red.
const QColor kFondoSinReconocer{0xFF, 0xD8, 0xD8};
const QColor kTextoReconocida{0x70, 0x70, 0x70};
// An alarm of an account in test: grey on a light grey, in italics.
const QColor kFondoEnPruebas{0xEC, 0xEC, 0xEC};

QString origen_mostrado(const QString& origen) {
    return origen == QLatin1String("0") ? QStringLiteral("Directo")
                                        : QStringLiteral("Repetidora ") + origen;
}

QString momento_mostrado(const QString& momento, const QString& formato = kFormatoListado) {
    const QDateTime m = QDateTime::fromString(momento, kFormatoMomento);
    return m.isValid() ? m.toString(formato) : momento;
}

// " por OPERADOR (PUESTO)", " por OPERADOR", " por PUESTO" or nothing: whose a
// step is, as seen from workstation `aqui`.
QString por(const QString& operador, const QString& puesto, const QString& aqui) {
    const bool otroPuesto = puesto != aqui;
    if (operador.isEmpty()) return otroPuesto ? QStringLiteral(" por ") + puesto : QString();
    return QStringLiteral(" por ") + operador +
           (otroPuesto ? QStringLiteral(" (%1)").arg(puesto) : QString());
}

} // namespace

QString antiguedad(const QDateTime& recibida, const QDateTime& ahora) {
    const qint64 minutos = std::max<qint64>(0, recibida.secsTo(ahora)) / 60;
    if (minutos < 60) return QStringLiteral("%1 min").arg(minutos);
    if (minutos < 24 * 60)
        return QStringLiteral("%1 h %2 min")
            .arg(minutos / 60)
            .arg(minutos % 60, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1 d %2 h").arg(minutos / (24 * 60)).arg(minutos / 60 % 24);
}

namespace {} // namespace

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
                               CatalogoAbonados* catalogo, CajaMensajes* mensajes, QWidget* parent)
    : QWidget(parent, Qt::Window), bases_(bases), reloj_(reloj), registro_(bases, reloj, puesto),
      catalogo_(catalogo), mensajesPropios_(this),
      mensajes_(mensajes != nullptr ? mensajes : &mensajesPropios_) {
    setObjectName(QStringLiteral("Alarmas"));
    // An account is in test for an alarm received before its test ends.
    if (catalogo_ != nullptr)
        registro_.ponerEnPruebas(
            [this](const FilaAlarma& f) { return catalogo_->enPruebas(f.abonado, f.recibida); });
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
        // Attention again once the operator went to another window.
        if (!registro_.pendientes().empty() && isVisible() && !isActiveWindow())
            QApplication::alert(this, 0);
        ponerEdades();
    });
    reintento->start();
}

VentanaAlarmas::~VentanaAlarmas() {
    if (isVisible()) guardar_geometria(*this, kClaveGeometriaAlarmas);
    if (sirena_ != nullptr) {
        sirena_->alCambiarFalla({});
        sirena_->callar();
    }
}

void VentanaAlarmas::construir() {
    sonido_ = new QLabel(this);
    sonido_->setObjectName(QStringLiteral("SinSonido"));
    sonido_->setFont(fuente_consola(true));
    sonido_->setAutoFillBackground(true);
    QPalette paleta = sonido_->palette();
    paleta.setColor(QPalette::Window, kRojoAlerta);
    paleta.setColor(QPalette::WindowText, Qt::white);
    sonido_->setPalette(paleta);
    sonido_->setIndent(6);
    sonido_->hide();

    lista_ = new QTreeWidget(this);
    lista_->setObjectName(QStringLiteral("Lista"));
    lista_->setFont(fuente_consola(false));
    lista_->header()->setFont(fuente_consola(true));
    lista_->setRootIsDecorated(false);
    lista_->setUniformRowHeights(true);
    lista_->setAllColumnsShowFocus(true);
    lista_->setSelectionMode(QAbstractItemView::SingleSelection);
    lista_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // In pixels, so that a row inserted above moves the view by its own height.
    lista_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    caja_blanca(lista_);
    QStringList titulos;
    for (const char16_t* c : kColumnas) titulos << QString::fromUtf16(c);
    lista_->setHeaderLabels(titulos);

    detalle_ = new DetalleAlarma(
        catalogo_, [this] { return bases_.base[0].get(); }, this);
    connect(lista_, &QTreeWidget::currentItemChanged, this, &VentanaAlarmas::mostrarDetalle);
    // From the detail the operator goes on with the same alarm (a note, the closing).
    connect(detalle_, &DetalleAlarma::pideReconocer, this, [this] {
        if (!sinTurno()) reconocerSeleccionada(false);
    });
    connect(detalle_, &DetalleAlarma::pideNota, this, [this] {
        if (sinTurno()) return;
        tomarPaso(registro_.anadirNota(seleccionada(), detalle_->nota()),
                  QStringLiteral("Nota añadida"));
    });
    connect(detalle_, &DetalleAlarma::pideCierre, this, [this] {
        if (sinTurno()) return;
        if (detalle_->resolucion().isEmpty()) {
            mensajes_->mostrar(QStringLiteral("Elija la resolución de la alarma para cerrarla"),
                               kTituloMensajes, IconoMensaje::Exclamacion);
            return;
        }
        const Resolucion* r = resolucion_de(detalle_->resolucion());
        tomarPaso(registro_.cerrar(seleccionada(), detalle_->resolucion(), detalle_->nota()),
                  QStringLiteral("Alarma cerrada: ") + r->nombre);
    });

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
    setMinimumSize(twips_a_px(kAnchoMinimoAlarmas, logicalDpiX()),
                   twips_a_px(kAltoMinimoAlarmas, logicalDpiY()));
    resize(minimumSize());
    // Every column as wide as what it holds (an acknowledgement by another
    // workstation names it); the last one takes what is left.
    lista_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    // Measured on the rows on screen: an alarm arriving over hundreds listed costs
    // no more than over a few.
    lista_->header()->setResizeContentsPrecision(0);
    lista_->header()->setStretchLastSection(true);
    restaurada_ = restaurar_geometria(*this, kClaveGeometriaAlarmas);
    disponer();

    registro_.cargar();
    mostrarTodas({});
    // Alarms left from before come to the front once the main window is up.
    if (!registro_.pendientes().empty()) QTimer::singleShot(0, this, [this] { traerAlFrente(); });
}

void VentanaAlarmas::disponer() {
    MedidasAlarmas m;
    m.ancho = ancho_twips(this);
    m.alto = alto_twips(this);
    m.altoBoton = alto_twips(command1_[0]);
    DisposicionAlarmas d = disponer_alarmas(m);
    if (!sonido_->isHidden()) {
        colocar(sonido_, RectTwips{d.lista.left, d.lista.top, d.lista.width, kAltoFranjaSonido});
        const float baja = kAltoFranjaSonido + kSeparacion;
        d.lista.top += baja;
        d.lista.height = std::max(0.0F, d.lista.height - baja);
    }
    // The detail pane under the list, in the same room.
    RectTwips detalle = d.lista;
    const float necesita = px_a_twips(detalle_->minimumSizeHint().height(), logicalDpiY());
    detalle.height = std::min(std::max(d.lista.height * kParteDetalle, necesita),
                              d.lista.height * kParteDetalleMaxima);
    d.lista.height -= detalle.height + kSeparacion;
    detalle.top = d.lista.top + d.lista.height + kSeparacion;
    colocar(lista_, d.lista);
    colocar(detalle_, detalle);
    colocar(command1_[0], d.reconocer);
    colocar(command1_[1], d.reconocerTodas);
}

void VentanaAlarmas::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    disponer();
}

void VentanaAlarmas::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (mostrada_) return;
    mostrada_ = true;
    if (!restaurada_) colocarPrimeraVez();
    ajustar_a_pantalla(*this);
    QTimer::singleShot(kRevisarColocacionMs, this, [this] { ajustar_a_pantalla(*this); });
}

void VentanaAlarmas::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    if (mostrada_ && !e->spontaneous()) guardar_geometria(*this, kClaveGeometriaAlarmas);
}

void VentanaAlarmas::colocarPrimeraVez() {
    // The lower right corner, where the main window has the query's result list:
    // the port controls, the search button and the top of the online log stay in
    // sight.
    resize(minimumSize());
    colocar_en_esquina(*this, Qt::BottomRightCorner);
}

void VentanaAlarmas::ponerSirena(Sirena* sirena) {
    if (sirena_ != nullptr && sirena_ != sirena) {
        sirena_->alCambiarFalla({});
        sirena_->callar();
    }
    sirena_ = sirena;
    if (sirena_ != nullptr)
        sirena_->alCambiarFalla([this](const QString& f) { mostrarFallaSonido(f); });
    mostrarFallaSonido(sirena_ != nullptr ? sirena_->falla() : QString());
    if (sirena_ != nullptr && !registro_.pendientes().empty()) sirena_->sonar();
}

void VentanaAlarmas::mostrarFallaSonido(const QString& falla) {
    if (falla == sonido_->text() && falla.isEmpty() == sonido_->isHidden()) return;
    sonido_->setText(falla);
    sonido_->setVisible(!falla.isEmpty());
    disponer();
    Q_EMIT sinSonido(falla);
}

QTreeWidgetItem* VentanaAlarmas::elemento(const Alarma& a) const {
    const FilaAlarma& f = a.fila;
    const EstadoAlarma e = a.estado();
    const QString& aqui = registro_.puesto();
    QString estado, resolucion;
    switch (e) {
    case EstadoAlarma::Nueva:
        estado = a.enPruebas ? QStringLiteral("En pruebas") : nombre_estado(e);
        break;
    case EstadoAlarma::Reconocida:
        estado = nombre_estado(e) + QLatin1Char(' ') + f.reconocida.mid(11) +
                 por(f.operadorReconocimiento, f.reconocidaEn, aqui);
        break;
    case EstadoAlarma::Cerrada: {
        estado = nombre_estado(e) + QLatin1Char(' ') + f.cerrada.mid(11) +
                 por(f.operadorCierre, f.puestoCierre, aqui);
        const Resolucion* r = resolucion_de(f.resolucion);
        resolucion = r != nullptr ? r->nombre : f.resolucion;
        break;
    }
    }
    if (e != EstadoAlarma::Cerrada && !f.restaurada.isEmpty())
        resolucion = QStringLiteral("Restaurada a las ") + f.restaurada.mid(11);
    QString nombre, zona;
    if (catalogo_ != nullptr) {
        nombre = catalogo_->nombre(f.abonado).value_or(kAbonadoDesconocido);
        zona = catalogo_->descripcionZona(f.abonado, f.particion, f.zona);
    }
    const QDateTime recibida = QDateTime::fromString(f.recibida, kFormatoMomento);
    const bool abierta = e != EstadoAlarma::Cerrada && recibida.isValid();
    auto* item = new QTreeWidgetItem(QStringList{
        estado, f.abonado, a.descripcion, f.zona, f.particion, origen_mostrado(f.origen),
        momento_mostrado(f.recibida), abierta ? antiguedad(recibida, reloj_.ahora()) : QString(),
        resolucion, nombre, zona});
    item->setData(0, Qt::UserRole, f.clave);
    if (abierta) item->setData(0, kPapelRecibida, recibida);
    if (e == EstadoAlarma::Reconocida) {
        item->setToolTip(0, QStringLiteral("Reconocida el %1 en %2")
                                .arg(momento_mostrado(f.reconocida), f.reconocidaEn));
        return item;
    }
    if (e == EstadoAlarma::Cerrada) {
        item->setToolTip(0, quien_cerro(f));
        for (int i = 0; i < item->columnCount(); ++i) item->setForeground(i, kTextoReconocida);
        return item;
    }
    if (a.enPruebas) {
        item->setToolTip(0, QStringLiteral("El abonado estaba en pruebas al recibirla"));
        QFont cursiva = fuente_consola(false);
        cursiva.setItalic(true);
        for (int i = 0; i < item->columnCount(); ++i) {
            item->setBackground(i, kFondoEnPruebas);
            item->setForeground(i, kTextoReconocida);
            item->setFont(i, cursiva);
        }
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

void VentanaAlarmas::ponerEdades() {
    const QDateTime ahora = reloj_.ahora();
    for (int i = 0; i < lista_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = lista_->topLevelItem(i);
        const QDateTime recibida = item->data(0, kPapelRecibida).toDateTime();
        if (!recibida.isValid()) continue;
        const QString edad = antiguedad(recibida, ahora);
        if (item->text(kColumnaEdad) != edad) item->setText(kColumnaEdad, edad);
    }
}

const Alarma* VentanaAlarmas::alarma(const QString& clave) const {
    return registro_.alarma(clave);
}

void VentanaAlarmas::mostrarDetalle() {
    const QString clave = seleccionada();
    const Alarma* a = alarma(clave);
    // The notes and the last hour are read for the chosen alarm alone.
    std::vector<NotaAlarma> notas;
    if (a != nullptr) static_cast<void>(registro_.notas(clave, notas));
    detalle_->mostrar(a, notas, reloj_.ahora());
}

void VentanaAlarmas::abonadoCambiado(const QString& cuenta) {
    static_cast<void>(cuenta);
    mostrarTodas(lugar());
}

QString VentanaAlarmas::seleccionada() const {
    const QTreeWidgetItem* item = lista_->currentItem();
    return item != nullptr ? item->data(0, Qt::UserRole).toString() : QString();
}

QTreeWidgetItem* VentanaAlarmas::buscar(const QString& clave) const {
    for (int i = 0; !clave.isEmpty() && i < lista_->topLevelItemCount(); ++i)
        if (lista_->topLevelItem(i)->data(0, Qt::UserRole).toString() == clave)
            return lista_->topLevelItem(i);
    return nullptr;
}

VentanaAlarmas::Lugar VentanaAlarmas::lugar() const {
    Lugar l;
    QTreeWidgetItem* item = lista_->currentItem();
    if (item == nullptr) return l;
    l.clave = item->data(0, Qt::UserRole).toString();
    const QRect fila = lista_->visualItemRect(item);
    if (fila.isValid() && lista_->viewport()->rect().intersects(fila)) l.arriba = fila.top();
    return l;
}

void VentanaAlarmas::volverA(const Lugar& l) {
    QTreeWidgetItem* item = buscar(l.clave);
    // Nothing chosen, or no longer listed: the newest unacknowledged alarm is
    // the one "Reconocer" acknowledges next.
    if (item == nullptr) {
        if (!registro_.pendientes().empty()) lista_->setCurrentItem(lista_->topLevelItem(0));
        return;
    }
    lista_->setCurrentItem(item);
    if (l.arriba < 0) return;
    // The row stays under the pointer: the view moves by what was inserted above.
    lista_->doItemsLayout();
    QScrollBar* barra = lista_->verticalScrollBar();
    barra->setValue(barra->value() + lista_->visualItemRect(item).top() - l.arriba);
}

void VentanaAlarmas::mostrarTodas(const Lugar& l) {
    QList<QTreeWidgetItem*> items;
    for (const Alarma& a : registro_.pendientes()) items << elemento(a);
    for (const Alarma& a : registro_.enPruebas()) items << elemento(a);
    for (const Alarma& a : registro_.reconocidas()) items << elemento(a);
    for (const Alarma& a : registro_.cerradas()) items << elemento(a);
    {
        // The detail is shown once, for the alarm chosen in the end: a note being
        // written stays while the list is read again.
        const QSignalBlocker quieta(lista_);
        lista_->clear();
        lista_->addTopLevelItems(items);
        volverA(l);
    }
    mostrarDetalle();
}

void VentanaAlarmas::recibir(const std::vector<FilaEvento>& filas) {
    const std::vector<Alarma> nuevas = registro_.recibir(filas);
    if (nuevas.empty()) return;
    const Lugar antes = lugar();
    // Those that wait on top; those in test on top of the others in test.
    QList<QTreeWidgetItem*> items, enPruebas;
    for (const Alarma& a : nuevas) (a.enPruebas ? enPruebas : items) << elemento(a);
    lista_->insertTopLevelItems(0, items);
    lista_->insertTopLevelItems(static_cast<int>(registro_.pendientes().size()), enPruebas);
    volverA(antes);
    // An account in test is listed, and no more.
    if (items.isEmpty()) return;
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
    if (!registro_.pendientes().empty()) QApplication::alert(this, 0);
}

void VentanaAlarmas::ponerTurno(const Turno* turno) {
    turno_ = turno;
    const auto seguir = [this] {
        const std::optional<Operador>& op = turno_ ? turno_->deTurno() : std::nullopt;
        registro_.ponerOperador(op ? op->usuario : QString(),
                                op && op->rol == RolOperador::Supervisor);
    };
    seguir();
    if (turno_) connect(turno_, &Turno::cambio, this, seguir);
}

bool VentanaAlarmas::sinTurno() {
    const QString motivo = turno_ ? turno_->motivoSinTurno() : QString();
    if (motivo.isEmpty()) return false;
    mensajes_->mostrar(motivo, kTituloMensajes, IconoMensaje::Exclamacion);
    Q_EMIT pideTurno();
    return true;
}

void VentanaAlarmas::Command1_Click(int indice) {
    if (sinTurno()) return;
    switch (indice) {
    case 0:
        reconocerSeleccionada(true);
        return;
    case 1:
        reconocerListadas();
        return;
    default:
        return;
    }
}

void VentanaAlarmas::reconocerSeleccionada(bool siguiente) {
    const QString clave = seleccionada();
    const Alarma* it = alarma(clave);
    if (clave.isEmpty() || it == nullptr || it->reconocida()) return;
    const QString dicho = QStringLiteral("Alarma reconocida: abonado %1, %2, %3")
                              .arg(it->fila.abonado, it->descripcion,
                                   momento_mostrado(it->fila.recibida, kFormatoHora));
    if (!registro_.reconocer(clave).isEmpty()) return;
    // On a central server another workstation may have acknowledged it first:
    // the table says whose acknowledgement stands.
    static_cast<void>(registro_.refrescar());
    // The next to acknowledge is the newest left.
    mostrarTodas(siguiente ? Lugar{} : lugar());
    Q_EMIT estado(dicho);
    avisar();
}

void VentanaAlarmas::tomarPaso(const QString& rechazo, const QString& hecho) {
    if (!rechazo.isEmpty()) {
        mensajes_->mostrar(rechazo, kTituloMensajes, IconoMensaje::Exclamacion);
        return;
    }
    const Lugar antes = lugar();
    detalle_->vaciarPaso();
    static_cast<void>(registro_.refrescar());
    mostrarTodas(antes);
    Q_EMIT estado(hecho);
    avisar();
}

void VentanaAlarmas::reconocerListadas() {
    std::vector<QString> listadas;
    for (const Alarma& a : registro_.pendientes()) listadas.push_back(a.fila.clave);
    if (listadas.empty()) return;
    // Alarms may arrive while the question is open: they are not among those the
    // operator agreed to.
    if (!mensajes_->preguntar(
            QStringLiteral("¿Reconocer las %1 alarmas listadas?").arg(listadas.size()),
            kTituloMensajes))
        return;
    const Lugar antes = lugar();
    const std::size_t hechas = registro_.reconocerTodas(listadas);
    static_cast<void>(registro_.refrescar());
    mostrarTodas(antes);
    avisar();
    Q_EMIT estado(QStringLiteral("Alarmas reconocidas: %1").arg(hechas));
    const auto nuevas = std::count_if(
        registro_.pendientes().begin(), registro_.pendientes().end(), [&](const Alarma& a) {
            return std::find(listadas.begin(), listadas.end(), a.fila.clave) == listadas.end();
        });
    if (nuevas > 0)
        mensajes_->mostrar(
            QStringLiteral("Llegaron %1 alarmas nuevas mientras tanto: siguen sin reconocer")
                .arg(nuevas),
            kTituloMensajes, IconoMensaje::Exclamacion);
}

void VentanaAlarmas::restaurar(const std::vector<FilaEvento>& filas) {
    if (registro_.restaurar(filas) == 0) return;
    mostrarTodas(lugar());
}

void VentanaAlarmas::refrescar() {
    const std::vector<Alarma> nuevas = registro_.refrescar();
    if (!registro_.compartido()) return;
    // The selection stays on the alarm the operator chose while it is listed.
    mostrarTodas(lugar());
    if (!nuevas.empty()) {
        traerAlFrente(QApplication::activeWindow() == nullptr);
        if (sirena_ != nullptr) sirena_->sonar();
    }
    avisar();
}

void VentanaAlarmas::avisar() {
    // A closing taken here that another workstation's preceded: said once.
    for (const QString& aviso : registro_.tomarAvisos())
        mensajes_->mostrar(aviso, kTituloMensajes, IconoMensaje::Exclamacion);
    if (sirena_ != nullptr && registro_.pendientes().empty()) sirena_->callar();
    if (!registro_.pendientes().empty() && isVisible()) QApplication::alert(this, 0);
    Q_EMIT cambio(static_cast<int>(registro_.pendientes().size()));
}

} // namespace corvane
