#include "ui/detalle_alarma.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include "abonados/registro_abonados.h"
#include "consola/registro_alarmas.h"
#include "decoding/codigos_evento.h"
#include "ui/estilo.h"

namespace corvane {

namespace {

QLabel* etiqueta(QWidget* padre, const char* nombre, bool negrita) {
    auto* l = new QLabel(padre);
    l->setObjectName(QLatin1String(nombre));
    l->setFont(fuente_consola(negrita));
    l->setWordWrap(true);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

QString direccion_de(const Abonado& a) {
    QStringList partes;
    for (const QString* p : {&a.direccion, &a.localidad})
        if (!p->isEmpty()) partes << *p;
    QString texto = partes.join(QStringLiteral(", "));
    if (!a.telefono.isEmpty()) texto += QStringLiteral("   Tel. ") + a.telefono;
    return texto;
}

} // namespace

DetalleAlarma::DetalleAlarma(CatalogoAbonados* catalogo, std::function<BaseDatos*()> base,
                             QWidget* parent)
    : QWidget(parent), catalogo_(catalogo), base_(std::move(base)) {
    setObjectName(QStringLiteral("Detalle"));
    construir();
}

DetalleAlarma::~DetalleAlarma() = default;

void DetalleAlarma::construir() {
    nombre_ = etiqueta(this, "DetalleNombre", true);
    direccion_ = etiqueta(this, "DetalleDireccion", false);
    zona_ = etiqueta(this, "DetalleZona", false);
    instrucciones_ = etiqueta(this, "DetalleInstrucciones", false);
    instrucciones_->setAlignment(Qt::AlignTop | Qt::AlignLeft);

    contactos_ = new QTreeWidget(this);
    contactos_->setObjectName(QStringLiteral("DetalleContactos"));
    contactos_->setFont(fuente_consola(false));
    contactos_->setRootIsDecorated(false);
    contactos_->setHeaderLabels({QStringLiteral("Orden"), QStringLiteral("Contacto"),
                                 QStringLiteral("Teléfono"), QStringLiteral("Relación")});
    contactos_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    caja_blanca(contactos_);

    clave_ = new QLineEdit(this);
    clave_->setObjectName(QStringLiteral("ClaveDicha"));
    clave_->setEchoMode(QLineEdit::Password);
    clave_->setPlaceholderText(QStringLiteral("Palabra clave que dice quien llama"));
    auto* comprobar = new QPushButton(QStringLiteral("Comprobar"), this);
    comprobar->setObjectName(QStringLiteral("ComprobarClave"));
    comprobar->setAutoDefault(false);
    resultado_ = etiqueta(this, "ResultadoClave", true);
    connect(clave_, &QLineEdit::returnPressed, this, &DetalleAlarma::comprobarClave);
    connect(comprobar, &QPushButton::clicked, this, &DetalleAlarma::comprobarClave);

    // Left: the account, the zone and what to do; right: whom to call.
    auto* rejilla = new QGridLayout(this);
    rejilla->setContentsMargins(0, 0, 0, 0);
    rejilla->addWidget(nombre_, 0, 0);
    rejilla->addWidget(direccion_, 1, 0);
    rejilla->addWidget(zona_, 2, 0);
    rejilla->addWidget(instrucciones_, 3, 0);
    rejilla->addWidget(contactos_, 0, 1, 3, 3);
    rejilla->addWidget(clave_, 3, 1, Qt::AlignTop);
    rejilla->addWidget(comprobar, 3, 2, Qt::AlignTop);
    rejilla->addWidget(resultado_, 3, 3, Qt::AlignTop);
    rejilla->setColumnStretch(0, 1);
    rejilla->setColumnStretch(1, 1);
    rejilla->setRowStretch(3, 1);
    vaciar();
}

void DetalleAlarma::vaciar() {
    for (QLabel* l : {nombre_, direccion_, zona_, instrucciones_, resultado_}) l->clear();
    contactos_->clear();
    hashes_.clear();
    clave_->clear();
    clave_->setEnabled(false);
}

void DetalleAlarma::mostrar(const Alarma* alarma) {
    vaciar();
    if (alarma == nullptr) return;
    const FilaAlarma& f = alarma->fila;
    const std::optional<Abonado> a =
        catalogo_ != nullptr ? catalogo_->abonado(f.abonado) : std::nullopt;
    if (!a) {
        nombre_->setText(f.abonado + QStringLiteral("  ") + kAbonadoDesconocido);
        return;
    }
    nombre_->setText(f.abonado + QStringLiteral("  ") + a->nombre);
    direccion_->setText(direccion_de(*a));
    const QString zona = catalogo_->descripcionZona(f.abonado, f.particion, f.zona);
    zona_->setText(QStringLiteral("Zona %1: %2")
                       .arg(f.zona, zona.isEmpty() ? QStringLiteral("sin descripción") : zona));
    QList<QTreeWidgetItem*> filas;
    for (const ContactoAbonado& c : a->contactos) {
        filas << new QTreeWidgetItem(
            QStringList{QString::number(c.orden), c.nombre, c.telefono, c.relacion});
        hashes_.push_back(c.hashClave);
    }
    contactos_->addTopLevelItems(filas);
    clave_->setEnabled(true);
    QString texto;
    BaseDatos* base = base_ ? base_() : nullptr;
    const QString clase = nombre_clase(clasificar_evento(f.evento).clase);
    if (base != nullptr && !instruccion_para(*base, f.abonado, clase, texto))
        instrucciones_->setText(texto.isEmpty() ? QString() : clase + QStringLiteral(": ") + texto);
}

void DetalleAlarma::comprobarClave() {
    const QString dicha = clave_->text();
    clave_->clear();
    if (dicha.isEmpty()) return;
    // The contact whose password it is stands chosen in the list.
    for (std::size_t i = 0; i < hashes_.size(); ++i) {
        if (hashes_[i].isEmpty() || !palabra_clave_correcta(hashes_[i], dicha)) continue;
        resultado_->setText(QStringLiteral("correcta"));
        contactos_->setCurrentItem(contactos_->topLevelItem(static_cast<int>(i)));
        return;
    }
    contactos_->setCurrentItem(nullptr);
    resultado_->setText(QStringLiteral("incorrecta"));
}

} // namespace corvane
