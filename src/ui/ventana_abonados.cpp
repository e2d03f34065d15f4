#include "ui/ventana_abonados.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QSplitter>
#include <QTimer>

#include "abonados/registro_abonados.h"
#include "consola/edicion_abonados.h"
#include "ui/estilo.h"
#include "ui/ficha_abonado.h"
#include "ui/geometria_ventana.h"

namespace corvane {

namespace {

const QString kTitulo = QStringLiteral("Abonados");

// The first size of the window, in pixels.
constexpr int kAnchoInicial = 980;
constexpr int kAltoInicial = 640;

const QColor kGrisEnPruebas{0x70, 0x70, 0x70};

} // namespace

VentanaAbonados::VentanaAbonados(ConjuntoBases& bases, CatalogoAbonados& catalogo,
                                 const Reloj& reloj, QString puesto, CajaMensajes* mensajes,
                                 QWidget* parent)
    : QWidget(parent, Qt::Window), bases_(bases), catalogo_(catalogo), reloj_(reloj),
      puesto_(std::move(puesto)), mensajesPropios_(this),
      mensajes_(mensajes != nullptr ? mensajes : &mensajesPropios_) {
    setObjectName(QStringLiteral("Abonados"));
    setWindowTitle(kTitulo);
    construir();
    resize(kAnchoInicial, kAltoInicial);
    static_cast<void>(restaurar_geometria(*this, kClaveGeometriaAbonados));
    nuevo();
    buscar();
}

VentanaAbonados::~VentanaAbonados() {
    if (isVisible()) guardar_geometria(*this, kClaveGeometriaAbonados);
}

bool VentanaAbonados::cambiada() const {
    return ficha_->cambiada();
}

BaseDatos* VentanaAbonados::base() const {
    return bases_.base[0].get();
}

void VentanaAbonados::construir() {
    buscar_ = new QLineEdit(this);
    buscar_->setObjectName(QStringLiteral("Buscar"));
    buscar_->setFont(fuente_consola(false));
    caja_blanca(buscar_);
    buscar_->setPlaceholderText(QStringLiteral("Cuenta o parte del nombre"));
    buscar_->setClearButtonEnabled(true);
    connect(buscar_, &QLineEdit::textChanged, this, &VentanaAbonados::buscar);

    lista_ = new QListWidget(this);
    lista_->setObjectName(QStringLiteral("ListaAbonados"));
    lista_->setFont(fuente_consola(false));
    caja_blanca(lista_);
    connect(lista_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* i) { abrir(i->data(Qt::UserRole).toString()); });
    connect(lista_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* i) {
        if (i == nullptr || cargando_) return;
        const QString cuenta = i->data(Qt::UserRole).toString();
        if (cuenta == cuentaLeida_) return;
        // Edits are not dropped unasked.
        if (ficha_->cambiada() &&
            !mensajes_->preguntar(
                QStringLiteral("La ficha de %1 tiene cambios sin guardar. ¿Descartarlos?")
                    .arg(cuentaLeida_.isEmpty() ? QStringLiteral("la cuenta nueva") : cuentaLeida_),
                kTituloMensajes))
            return;
        abrir(cuenta);
    });

    auto* izquierda = new QWidget(this);
    auto* columna = new QVBoxLayout(izquierda);
    columna->setContentsMargins(0, 0, 0, 0);
    columna->addWidget(buscar_);
    columna->addWidget(lista_, 1);

    ficha_ = new FichaAbonado(*mensajes_, this);
    auto* partes = new QSplitter(this);
    partes->addWidget(izquierda);
    partes->addWidget(ficha_);
    partes->setStretchFactor(1, 3);
    // The list wide enough for a key, a name and its state.
    partes->setSizes({kAnchoInicial * 2 / 5, kAnchoInicial * 3 / 5});

    const auto boton = [this](const char* nombre, const QString& titulo) {
        auto* b = new QPushButton(titulo, this);
        b->setObjectName(QLatin1String(nombre));
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* nueva = boton("Nuevo", QStringLiteral("Nuevo"));
    QPushButton* guardarB = boton("Guardar", QStringLiteral("Guardar"));
    connect(nueva, &QPushButton::clicked, this, &VentanaAbonados::nuevo);
    connect(guardarB, &QPushButton::clicked, this, [this] { static_cast<void>(guardar()); });
    auto* botones = new QHBoxLayout;
    botones->addStretch(1);
    botones->addWidget(nueva);
    botones->addWidget(guardarB);

    auto* todo = new QVBoxLayout(this);
    todo->addWidget(partes, 1);
    todo->addLayout(botones);
}

void VentanaAbonados::avisar(const QString& texto) {
    mensajes_->mostrar(texto, kTituloMensajes, IconoMensaje::Exclamacion);
}

void VentanaAbonados::buscar() {
    std::vector<ResumenAbonado> encontrados;
    BaseDatos* b = base();
    if (b == nullptr ||
        buscar_abonados(*b, buscar_->text().trimmed(), kAbonadosListados, encontrados)) {
        lista_->clear();
        lista_->addItem(QStringLiteral("(el registro de abonados no se puede leer)"));
        return;
    }
    cargando_ = true;
    lista_->clear();
    for (const ResumenAbonado& r : encontrados) {
        QString texto = r.cuenta + QStringLiteral("  ") + r.nombre;
        if (r.estado == EstadoAbonado::EnPruebas)
            texto += QStringLiteral("  (en pruebas hasta %1)")
                         .arg(fin_pruebas_de_momento(r.enPruebasHasta));
        else if (r.estado == EstadoAbonado::Baja)
            texto += QStringLiteral("  (baja)");
        auto* item = new QListWidgetItem(texto, lista_);
        item->setData(Qt::UserRole, r.cuenta);
        if (r.estado != EstadoAbonado::Activo) item->setForeground(kGrisEnPruebas);
        if (r.cuenta == cuentaLeida_) lista_->setCurrentItem(item);
    }
    cargando_ = false;
}

bool VentanaAbonados::abrir(const QString& cuenta) {
    std::optional<Abonado> a;
    BaseDatos* b = base();
    if (b == nullptr || leer_abonado(*b, cuenta, a)) {
        avisar(QStringLiteral("El abonado %1 no se puede leer del registro ahora.").arg(cuenta));
        return false;
    }
    if (!a) return false;
    mostrar(*a);
    return true;
}

void VentanaAbonados::nuevo() {
    mostrar({});
    ficha_->enfocarCuenta();
}

void VentanaAbonados::mostrar(const Abonado& a) {
    cuentaLeida_ = a.cuenta;
    leido_ = a.modificado;
    ficha_->mostrar(a);
}

bool VentanaAbonados::guardar() {
    Abonado a = ficha_->leer();
    const QString problema = revisar_abonado(a);
    if (!problema.isEmpty()) {
        avisar(problema);
        return false;
    }
    BaseDatos* b = base();
    QString leido = leido_;
    for (;;) {
        std::optional<Abonado> actual;
        const QString momento = reloj_.ahora().toString(kFormatoMomento);
        if (b == nullptr || guardar_abonado(*b, a, leido, momento, puesto_, actual)) {
            avisar(QStringLiteral("El abonado %1 no se guardó: el registro no se puede escribir "
                                  "ahora. Los cambios siguen en la ficha.")
                       .arg(a.cuenta));
            return false;
        }
        if (!actual) break;
        // Saved elsewhere since it was read: the operator chooses.
        const QString pregunta =
            texto_modificado(*actual) +
            QStringLiteral(" mientras usted editaba el abonado %1.\n¿Guardar sus cambios encima? "
                           "(No: ver lo que se guardó y descartar sus cambios)")
                .arg(a.cuenta);
        if (!mensajes_->preguntar(pregunta, kTituloMensajes)) {
            mostrar(*actual);
            buscar();
            return false;
        }
        leido = actual->modificado;
    }
    catalogo_.olvidar(a.cuenta);
    abrir(a.cuenta);
    buscar();
    Q_EMIT guardado(a.cuenta);
    return true;
}

void VentanaAbonados::abonadoCambiado(const QString& cuenta) {
    if (!isVisible()) return;
    buscar();
    if (cuentaLeida_.isEmpty() || (!cuenta.isEmpty() && cuenta != cuentaLeida_)) return;
    if (!ficha_->cambiada()) {
        abrir(cuentaLeida_);
        return;
    }
    // The operator's text stays; saving will ask.
    ficha_->cambioAjeno();
}

void VentanaAbonados::traerAlFrente() {
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
    buscar_->setFocus();
    abonadoCambiado({});
}

void VentanaAbonados::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    // Back to the window: what other workstations saved meanwhile shows.
    if (e->type() == QEvent::ActivationChange && isActiveWindow()) abonadoCambiado({});
}

void VentanaAbonados::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (mostrada_) return;
    mostrada_ = true;
    ajustar_a_pantalla(*this);
    QTimer::singleShot(kRevisarColocacionMs, this, [this] { ajustar_a_pantalla(*this); });
}

void VentanaAbonados::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    if (mostrada_ && !e->spontaneous()) guardar_geometria(*this, kClaveGeometriaAbonados);
}

} // namespace corvane
