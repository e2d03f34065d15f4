#include "ui/ficha_abonado.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

#include "common/mensajes.h"
#include "common/reglas.h"
#include "consola/edicion_abonados.h"
#include "decoding/codigos_evento.h"
#include "ui/estilo.h"

namespace corvane {

namespace {

const QString kDefinida = QStringLiteral("definida");
const QString kSinDefinir = QStringLiteral("sin definir");

// The contacts' columns; the password's holds its hash out of sight.
constexpr int kColumnaClave = 3;

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

FichaAbonado::FichaAbonado(CajaMensajes& mensajes, QWidget* parent)
    : QWidget(parent), mensajes_(mensajes) {
    setObjectName(QStringLiteral("Ficha"));
    construir();
    mostrar({});
}

FichaAbonado::~FichaAbonado() = default;

void FichaAbonado::construir() {
    QWidget* ficha = this;
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
    connect(agregar, &QPushButton::clicked, this, &FichaAbonado::agregarFila);
    connect(quitar, &QPushButton::clicked, this, &FichaAbonado::quitarFila);
    auto* botones = new QHBoxLayout;
    botones->addWidget(agregar);
    botones->addWidget(quitar);

    auto* columna = new QVBoxLayout(ficha);
    columna->setContentsMargins(0, 0, 0, 0);
    columna->addLayout(datos);
    columna->addWidget(modificado_);
    columna->addWidget(pestanas_, 1);
    columna->addLayout(botones);

    // Only what the operator does marks the card changed.
    for (QLineEdit* c : {cuenta_, nombre_, direccion_, localidad_, telefono_, hasta_, cada_})
        connect(c, &QLineEdit::textEdited, this, &FichaAbonado::marcarCambio);
    connect(notas_, &QPlainTextEdit::textChanged, this, &FichaAbonado::marcarCambio);
    for (QTableWidget* t : {zonas_, contactos_, instrucciones_})
        connect(t, &QTableWidget::itemChanged, this, &FichaAbonado::marcarCambio);
    connect(estado_, &QComboBox::currentIndexChanged, this, [this] {
        marcarCambio();
        estadoElegido();
    });
}

void FichaAbonado::marcarCambio() {
    if (!cargando_) cambiada_ = true;
}

void FichaAbonado::estadoElegido() {
    const bool enPruebas =
        estado_->currentData().toString() == texto_estado(EstadoAbonado::EnPruebas);
    hasta_->setEnabled(enPruebas);
    if (!enPruebas && !cargando_) hasta_->clear();
}

void FichaAbonado::cambioAjeno() {
    modificado_->setText(QStringLiteral("Otro puesto cambió este abonado mientras usted lo edita: "
                                        "al guardar se le preguntará."));
}

void FichaAbonado::enfocarCuenta() {
    cuenta_->setFocus();
}

QTableWidget* FichaAbonado::tablaElegida() const {
    return pestanas_->currentIndex() == 0   ? zonas_
           : pestanas_->currentIndex() == 1 ? contactos_
                                            : instrucciones_;
}

void FichaAbonado::mostrar(const Abonado& a) {
    cargando_ = true;
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
    modificado_->setText(a.modificado.isEmpty() ? QStringLiteral("Cuenta nueva, sin guardar")
                                                : texto_modificado(a));

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

Abonado FichaAbonado::leer() const {
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

void FichaAbonado::agregarFila() {
    QTableWidget* t = tablaElegida();
    const int r = t->rowCount();
    t->insertRow(r);
    for (int c = 0; c < t->columnCount(); ++c) t->setItem(r, c, new QTableWidgetItem);
    if (t == contactos_) t->setItem(r, kColumnaClave, celda_clave({}));
    if (t == instrucciones_) t->setCellWidget(r, 0, elegir_clase({}));
    t->setCurrentCell(r, t == instrucciones_ ? 1 : 0);
    cambiada_ = true;
}

void FichaAbonado::quitarFila() {
    QTableWidget* t = tablaElegida();
    if (t->currentRow() < 0) return;
    t->removeRow(t->currentRow());
    cambiada_ = true;
}

void FichaAbonado::moverContacto(int paso) {
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

void FichaAbonado::ponerClave(bool quitar) {
    const int r = contactos_->currentRow();
    const QString clave = clave_->text();
    clave_->clear();
    if (r < 0) {
        mensajes_.mostrar(QStringLiteral("Elija primero el contacto de la palabra clave."),
                          kTituloMensajes, IconoMensaje::Exclamacion);
        return;
    }
    if (!quitar && clave.isEmpty()) {
        mensajes_.mostrar(QStringLiteral("Escriba la palabra clave del contacto."), kTituloMensajes,
                          IconoMensaje::Exclamacion);
        return;
    }
    // Only the hash is kept; the password goes with the field.
    contactos_->setItem(r, kColumnaClave,
                        celda_clave(quitar ? QString() : hash_palabra_clave(clave)));
    cambiada_ = true;
}

} // namespace corvane
