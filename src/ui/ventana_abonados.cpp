#include "ui/ventana_abonados.h"

#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

#include "abonados/registro_abonados.h"
#include "common/reglas.h"
#include "consola/edicion_abonados.h"
#include "decoding/codigos_evento.h"
#include "ui/estilo.h"
#include "ui/geometria_ventana.h"

namespace corvane {

namespace {

const QString kTitulo = QStringLiteral("Abonados");
const QString kDefinida = QStringLiteral("definida");
const QString kSinDefinir = QStringLiteral("sin definir");

// The contacts' columns; the password's holds its hash out of sight.
constexpr int kColumnaClave = 3;

// The first size of the window, in pixels.
constexpr int kAnchoInicial = 980;
constexpr int kAltoInicial = 640;

const QColor kGrisEnPruebas{0x70, 0x70, 0x70};

QLineEdit* campo(QWidget* padre, const char* nombre) {
    auto* c = new QLineEdit(padre);
    c->setObjectName(QLatin1String(nombre));
    c->setFont(fuente_consola(false));
    caja_blanca(c);
    return c;
}

QTableWidget* tabla(QWidget* padre, const char* nombre, const QStringList& titulos) {
    auto* t = new QTableWidget(0, static_cast<int>(titulos.size()), padre);
    t->setObjectName(QLatin1String(nombre));
    t->setFont(fuente_consola(false));
    t->setHorizontalHeaderLabels(titulos);
    t->horizontalHeader()->setStretchLastSection(true);
    t->verticalHeader()->hide();
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    caja_blanca(t);
    return t;
}

QString celda(const QTableWidget* t, int fila, int columna) {
    const QTableWidgetItem* i = t->item(fila, columna);
    return i != nullptr ? i->text() : QString();
}

QComboBox* elegir_clase(const QString& clase) {
    auto* c = new QComboBox;
    for (int k = 0; k <= static_cast<int>(ClaseEvento::Otro); ++k)
        c->addItem(nombre_clase(static_cast<ClaseEvento>(k)));
    const int i = c->findText(clase);
    if (i >= 0) c->setCurrentIndex(i);
    return c;
}

QTableWidgetItem* celda_clave(const QString& hash) {
    auto* i = new QTableWidgetItem(hash.isEmpty() ? kSinDefinir : kDefinida);
    i->setData(Qt::UserRole, hash);
    i->setFlags(i->flags() & ~Qt::ItemIsEditable);
    return i;
}

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

BaseDatos* VentanaAbonados::base() const {
    return bases_.base[0].get();
}

void VentanaAbonados::construir() {
    buscar_ = campo(this, "Buscar");
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
        if (cambiada_ &&
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

    auto* partes = new QSplitter(this);
    partes->addWidget(izquierda);
    partes->addWidget(construirFicha());
    partes->setStretchFactor(1, 3);

    auto* todo = new QVBoxLayout(this);
    todo->addWidget(partes, 1);
}

QWidget* VentanaAbonados::construirFicha() {
    auto* ficha = new QWidget(this);
    ficha->setObjectName(QStringLiteral("Ficha"));
    cuenta_ = campo(ficha, "Cuenta");
    cuenta_->setMaxLength(kLargoCuenta);
    nombre_ = campo(ficha, "Nombre");
    direccion_ = campo(ficha, "Direccion");
    localidad_ = campo(ficha, "Localidad");
    telefono_ = campo(ficha, "Telefono");
    notas_ = new QPlainTextEdit(ficha);
    notas_->setObjectName(QStringLiteral("Notas"));
    notas_->setTabChangesFocus(true);
    notas_->setMaximumHeight(notas_->fontMetrics().lineSpacing() * 4);
    caja_blanca(notas_);
    estado_ = new QComboBox(ficha);
    estado_->setObjectName(QStringLiteral("Estado"));
    estado_->addItem(QStringLiteral("Activo"), texto_estado(EstadoAbonado::Activo));
    estado_->addItem(QStringLiteral("En pruebas"), texto_estado(EstadoAbonado::EnPruebas));
    estado_->addItem(QStringLiteral("Baja"), texto_estado(EstadoAbonado::Baja));
    hasta_ = campo(ficha, "EnPruebasHasta");
    hasta_->setPlaceholderText(QStringLiteral("dd/MM/aaaa HH:mm"));
    cada_ = campo(ficha, "PruebaCada");
    cada_->setPlaceholderText(QStringLiteral("0: sin prueba periódica"));
    modificado_ = new QLabel(ficha);
    modificado_->setObjectName(QStringLiteral("Modificado"));

    auto* datos = new QFormLayout;
    datos->addRow(QStringLiteral("Cuenta"), cuenta_);
    datos->addRow(QStringLiteral("Nombre"), nombre_);
    datos->addRow(QStringLiteral("Dirección"), direccion_);
    datos->addRow(QStringLiteral("Localidad"), localidad_);
    datos->addRow(QStringLiteral("Teléfono"), telefono_);
    datos->addRow(QStringLiteral("Notas"), notas_);
    datos->addRow(QStringLiteral("Estado"), estado_);
    datos->addRow(QStringLiteral("En pruebas hasta"), hasta_);
    datos->addRow(QStringLiteral("Prueba periódica cada (min)"), cada_);

    zonas_ =
        tabla(ficha, "Zonas",
              {QStringLiteral("Partición"), QStringLiteral("Zona"), QStringLiteral("Descripción")});
    contactos_ = tabla(ficha, "Contactos",
                       {QStringLiteral("Nombre"), QStringLiteral("Teléfono"),
                        QStringLiteral("Relación"), QStringLiteral("Palabra clave")});
    instrucciones_ =
        tabla(ficha, "Instrucciones", {QStringLiteral("Clase"), QStringLiteral("Qué hacer")});
    pestanas_ = new QTabWidget(ficha);
    pestanas_->setObjectName(QStringLiteral("Pestanas"));
    pestanas_->addTab(zonas_, QStringLiteral("Zonas"));
    auto* hojaContactos = new QWidget(pestanas_);
    auto* columnaContactos = new QVBoxLayout(hojaContactos);
    columnaContactos->addWidget(contactos_, 1);
    clave_ = campo(hojaContactos, "PalabraClave");
    clave_->setEchoMode(QLineEdit::Password);
    clave_->setPlaceholderText(QStringLiteral("Palabra clave del contacto elegido"));
    auto* filaClave = new QHBoxLayout;
    filaClave->addWidget(clave_, 1);
    const auto boton = [this](QWidget* padre, const char* nombre, const QString& titulo) {
        auto* b = new QPushButton(titulo, padre);
        b->setObjectName(QLatin1String(nombre));
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* botonPoner =
        boton(hojaContactos, "PonerClave", QStringLiteral("Poner palabra clave"));
    QPushButton* botonQuitar =
        boton(hojaContactos, "QuitarClave", QStringLiteral("Quitar palabra clave"));
    QPushButton* subir = boton(hojaContactos, "Subir", QStringLiteral("Antes"));
    QPushButton* bajar = boton(hojaContactos, "Bajar", QStringLiteral("Después"));
    for (QPushButton* b : {botonPoner, botonQuitar, subir, bajar}) filaClave->addWidget(b);
    columnaContactos->addLayout(filaClave);
    pestanas_->addTab(hojaContactos, QStringLiteral("Contactos"));
    pestanas_->addTab(instrucciones_, QStringLiteral("Instrucciones"));
    connect(botonPoner, &QPushButton::clicked, this, [this] { ponerClave(false); });
    connect(botonQuitar, &QPushButton::clicked, this, [this] { ponerClave(true); });
    connect(clave_, &QLineEdit::returnPressed, this, [this] { ponerClave(false); });
    connect(subir, &QPushButton::clicked, this, [this] { moverContacto(-1); });
    connect(bajar, &QPushButton::clicked, this, [this] { moverContacto(1); });

    QPushButton* agregar = boton(ficha, "AgregarFila", QStringLiteral("Agregar fila"));
    QPushButton* quitar = boton(ficha, "QuitarFila", QStringLiteral("Quitar fila"));
    QPushButton* nueva = boton(ficha, "Nuevo", QStringLiteral("Nuevo"));
    QPushButton* guardarB = boton(ficha, "Guardar", QStringLiteral("Guardar"));
    connect(agregar, &QPushButton::clicked, this, &VentanaAbonados::agregarFila);
    connect(quitar, &QPushButton::clicked, this, &VentanaAbonados::quitarFila);
    connect(nueva, &QPushButton::clicked, this, &VentanaAbonados::nuevo);
    connect(guardarB, &QPushButton::clicked, this, [this] { static_cast<void>(guardar()); });
    auto* botones = new QHBoxLayout;
    botones->addWidget(agregar);
    botones->addWidget(quitar);
    botones->addStretch(1);
    botones->addWidget(nueva);
    botones->addWidget(guardarB);

    auto* columna = new QVBoxLayout(ficha);
    columna->setContentsMargins(0, 0, 0, 0);
    columna->addLayout(datos);
    columna->addWidget(modificado_);
    columna->addWidget(pestanas_, 1);
    columna->addLayout(botones);

    // Only what the operator does marks the card changed.
    for (QLineEdit* c : {cuenta_, nombre_, direccion_, localidad_, telefono_, hasta_, cada_})
        connect(c, &QLineEdit::textEdited, this, &VentanaAbonados::marcarCambio);
    connect(notas_, &QPlainTextEdit::textChanged, this, &VentanaAbonados::marcarCambio);
    for (QTableWidget* t : {zonas_, contactos_, instrucciones_})
        connect(t, &QTableWidget::itemChanged, this, &VentanaAbonados::marcarCambio);
    connect(estado_, &QComboBox::currentIndexChanged, this, [this] {
        marcarCambio();
        estadoElegido();
    });
    return ficha;
}

void VentanaAbonados::marcarCambio() {
    if (!cargando_) cambiada_ = true;
}

void VentanaAbonados::estadoElegido() {
    const bool enPruebas =
        estado_->currentData().toString() == texto_estado(EstadoAbonado::EnPruebas);
    hasta_->setEnabled(enPruebas);
    if (!enPruebas && !cargando_) hasta_->clear();
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
    aLaFicha(*a);
    return true;
}

void VentanaAbonados::nuevo() {
    Abonado a;
    aLaFicha(a);
    cuenta_->setFocus();
}

void VentanaAbonados::aLaFicha(const Abonado& a) {
    cargando_ = true;
    cuentaLeida_ = a.cuenta;
    leido_ = a.modificado;
    cuenta_->setText(a.cuenta);
    // The key of an account already saved stays as it is.
    cuenta_->setReadOnly(!a.modificado.isEmpty());
    nombre_->setText(a.nombre);
    direccion_->setText(a.direccion);
    localidad_->setText(a.localidad);
    telefono_->setText(a.telefono);
    notas_->setPlainText(a.notas);
    estado_->setCurrentIndex(std::max(0, estado_->findData(texto_estado(a.estado))));
    hasta_->setText(fin_pruebas_de_momento(a.enPruebasHasta));
    estadoElegido();
    cada_->setText(QString::number(a.pruebaCadaMin));
    mostrarModificado(a);

    zonas_->setRowCount(0);
    for (const ZonaAbonado& z : a.zonas) {
        const int r = zonas_->rowCount();
        zonas_->insertRow(r);
        zonas_->setItem(r, 0, new QTableWidgetItem(z.particion));
        zonas_->setItem(r, 1, new QTableWidgetItem(z.zona));
        zonas_->setItem(r, 2, new QTableWidgetItem(z.descripcion));
    }
    contactos_->setRowCount(0);
    for (const ContactoAbonado& c : a.contactos) {
        const int r = contactos_->rowCount();
        contactos_->insertRow(r);
        contactos_->setItem(r, 0, new QTableWidgetItem(c.nombre));
        contactos_->setItem(r, 1, new QTableWidgetItem(c.telefono));
        contactos_->setItem(r, 2, new QTableWidgetItem(c.relacion));
        contactos_->setItem(r, kColumnaClave, celda_clave(c.hashClave));
    }
    instrucciones_->setRowCount(0);
    for (const InstruccionAbonado& i : a.instrucciones) {
        const int r = instrucciones_->rowCount();
        instrucciones_->insertRow(r);
        instrucciones_->setCellWidget(r, 0, elegir_clase(i.clase));
        instrucciones_->setItem(r, 1, new QTableWidgetItem(i.texto));
    }
    clave_->clear();
    cambiada_ = false;
    cargando_ = false;
}

void VentanaAbonados::mostrarModificado(const Abonado& a) {
    modificado_->setText(a.modificado.isEmpty() ? QStringLiteral("Cuenta nueva, sin guardar")
                                                : texto_modificado(a));
}

Abonado VentanaAbonados::deLaFicha() const {
    Abonado a;
    a.cuenta = cuenta_->text();
    a.nombre = nombre_->text();
    a.direccion = direccion_->text();
    a.localidad = localidad_->text();
    a.telefono = telefono_->text();
    a.notas = notas_->toPlainText();
    a.estado = estado_de_texto(estado_->currentData().toString()).value_or(EstadoAbonado::Activo);
    // A text that is not a moment stays as typed, for the check to refuse it.
    const QString hasta = hasta_->text().trimmed();
    const QString momento = momento_de_fin_pruebas(hasta);
    a.enPruebasHasta = momento.isEmpty() ? hasta : momento;
    bool numero = true;
    const QString cada = cada_->text().trimmed();
    a.pruebaCadaMin = cada.isEmpty() ? 0 : cada.toInt(&numero);
    if (!numero) a.pruebaCadaMin = -1;
    for (int r = 0; r < zonas_->rowCount(); ++r)
        a.zonas.push_back({celda(zonas_, r, 0), celda(zonas_, r, 1), celda(zonas_, r, 2)});
    for (int r = 0; r < contactos_->rowCount(); ++r) {
        const QTableWidgetItem* clave = contactos_->item(r, kColumnaClave);
        a.contactos.push_back(
            {r + 1, celda(contactos_, r, 0), celda(contactos_, r, 1), celda(contactos_, r, 2),
             clave != nullptr ? clave->data(Qt::UserRole).toString() : QString()});
    }
    for (int r = 0; r < instrucciones_->rowCount(); ++r) {
        const auto* clase = qobject_cast<const QComboBox*>(instrucciones_->cellWidget(r, 0));
        a.instrucciones.push_back(
            {clase != nullptr ? clase->currentText() : QString(), celda(instrucciones_, r, 1)});
    }
    return a;
}

void VentanaAbonados::agregarFila() {
    QTableWidget* t = pestanas_->currentIndex() == 0   ? zonas_
                      : pestanas_->currentIndex() == 1 ? contactos_
                                                       : instrucciones_;
    const int r = t->rowCount();
    t->insertRow(r);
    for (int c = 0; c < t->columnCount(); ++c) t->setItem(r, c, new QTableWidgetItem);
    if (t == contactos_) t->setItem(r, kColumnaClave, celda_clave({}));
    if (t == instrucciones_) t->setCellWidget(r, 0, elegir_clase({}));
    t->setCurrentCell(r, t == instrucciones_ ? 1 : 0);
    cambiada_ = true;
}

void VentanaAbonados::quitarFila() {
    QTableWidget* t = pestanas_->currentIndex() == 0   ? zonas_
                      : pestanas_->currentIndex() == 1 ? contactos_
                                                       : instrucciones_;
    if (t->currentRow() < 0) return;
    t->removeRow(t->currentRow());
    cambiada_ = true;
}

void VentanaAbonados::moverContacto(int paso) {
    const int r = contactos_->currentRow();
    const int otra = r + paso;
    if (r < 0 || otra < 0 || otra >= contactos_->rowCount()) return;
    cargando_ = true;
    for (int c = 0; c < contactos_->columnCount(); ++c) {
        QTableWidgetItem* a = contactos_->takeItem(r, c);
        QTableWidgetItem* b = contactos_->takeItem(otra, c);
        contactos_->setItem(r, c, b);
        contactos_->setItem(otra, c, a);
    }
    cargando_ = false;
    contactos_->setCurrentCell(otra, contactos_->currentColumn());
    cambiada_ = true;
}

void VentanaAbonados::ponerClave(bool quitar) {
    const int r = contactos_->currentRow();
    const QString clave = clave_->text();
    clave_->clear();
    if (r < 0) {
        avisar(QStringLiteral("Elija primero el contacto de la palabra clave."));
        return;
    }
    if (!quitar && clave.isEmpty()) {
        avisar(QStringLiteral("Escriba la palabra clave del contacto."));
        return;
    }
    // Only the hash is kept; the password goes with the field.
    contactos_->setItem(r, kColumnaClave,
                        celda_clave(quitar ? QString() : hash_palabra_clave(clave)));
    cambiada_ = true;
}

bool VentanaAbonados::guardar() {
    Abonado a = deLaFicha();
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
            aLaFicha(*actual);
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
    if (!cambiada_) {
        abrir(cuentaLeida_);
        return;
    }
    // The operator's text stays; saving will ask.
    modificado_->setText(QStringLiteral("Otro puesto cambió este abonado mientras usted lo edita: "
                                        "al guardar se le preguntará."));
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
