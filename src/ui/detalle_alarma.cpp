#include "ui/detalle_alarma.h"

#include <QComboBox>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

#include "abonados/registro_abonados.h"
#include "common/reloj.h"
#include "consola/acciones_alarma.h"
#include "consola/listado.h"
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

QTreeWidget* lista(QWidget* padre, const char* nombre, const QStringList& titulos) {
    auto* l = new QTreeWidget(padre);
    l->setObjectName(QLatin1String(nombre));
    l->setFont(fuente_consola(false));
    l->setRootIsDecorated(false);
    l->setUniformRowHeights(true);
    l->setHeaderLabels(titulos);
    l->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    l->header()->setStretchLastSection(true);
    // The header and two rows at least: the pane then fits a small window.
    l->setMinimumHeight(l->fontMetrics().height() * 5);
    caja_blanca(l);
    return l;
}

QString hora(const QString& momento) {
    const QDateTime m = QDateTime::fromString(momento, kFormatoMomento);
    return m.isValid() ? m.toString(kFormatoHora) : momento;
}

QString fecha_hora(const QString& momento) {
    const QDateTime m = QDateTime::fromString(momento, kFormatoMomento);
    return m.isValid() ? m.toString(kFormatoListado) : momento;
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

    estado_ = etiqueta(this, "DetalleEstado", true);
    restaurada_ = etiqueta(this, "DetalleRestaurada", true);

    // Whom to call, the notes and the account's last hour, one in sight at a time.
    auto* hojas = new QTabWidget(this);
    hojas->setObjectName(QStringLiteral("DetalleHojas"));
    hojas->setFont(fuente_consola(false));
    contactos_ = lista(this, "DetalleContactos",
                       {QStringLiteral("Orden"), QStringLiteral("Contacto"),
                        QStringLiteral("Teléfono"), QStringLiteral("Relación")});
    notas_ = lista(hojas, "DetalleNotas",
                   {QStringLiteral("Momento"), QStringLiteral("Operador"), QStringLiteral("Nota")});
    eventos_ = lista(hojas, "DetalleEventos",
                     {QStringLiteral("Hora"), QStringLiteral("Evento"), QStringLiteral("Zona"),
                      QStringLiteral("Partición")});
    hojas->addTab(notas_, QStringLiteral("Notas"));
    hojas->addTab(eventos_, QStringLiteral("Última hora"));

    // The steps: a note, a resolution for the closing, and the three buttons.
    nota_ = new QLineEdit(this);
    nota_->setObjectName(QStringLiteral("TextoNota"));
    nota_->setPlaceholderText(QStringLiteral("Nota"));
    resolucion_ = new QComboBox(this);
    resolucion_->setObjectName(QStringLiteral("Resolucion"));
    // As wide as a short name: the note field keeps the room in a small window.
    resolucion_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    resolucion_->setMinimumContentsLength(14);
    resolucion_->addItem(QStringLiteral("Resolución…"), QString());
    for (const Resolucion& r : kResoluciones) resolucion_->addItem(r.nombre, r.codigo);
    auto* pasos = new QHBoxLayout;
    pasos->addWidget(nota_, 2);
    pasos->addWidget(resolucion_, 1);
    const char* nombres[3] = {"DetalleReconocer", "DetalleNota", "DetalleCerrar"};
    const QString titulos[3] = {QStringLiteral("Reconocer"), QStringLiteral("Añadir nota"),
                                QStringLiteral("Cerrar")};
    for (int i = 0; i < 3; ++i) {
        pasos_[i] = new QPushButton(titulos[i], this);
        pasos_[i]->setObjectName(QLatin1String(nombres[i]));
        pasos_[i]->setAutoDefault(false);
        pasos->addWidget(pasos_[i]);
    }
    connect(pasos_[0], &QPushButton::clicked, this, &DetalleAlarma::pideReconocer);
    connect(pasos_[1], &QPushButton::clicked, this, &DetalleAlarma::pideNota);
    connect(nota_, &QLineEdit::returnPressed, this, &DetalleAlarma::pideNota);
    connect(pasos_[2], &QPushButton::clicked, this, &DetalleAlarma::pideCierre);

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
    // Whom to call, and the check of the password a caller says, on one page.
    auto* pagina = new QWidget(hojas);
    auto* columna = new QGridLayout(pagina);
    columna->setContentsMargins(0, 0, 0, 0);
    columna->addWidget(contactos_, 0, 0, 1, 3);
    columna->addWidget(clave_, 1, 0);
    columna->addWidget(comprobar, 1, 1);
    columna->addWidget(resultado_, 1, 2);
    columna->setColumnStretch(0, 1);
    hojas->insertTab(0, pagina, QStringLiteral("Contactos"));
    hojas->setCurrentIndex(0);

    // Left: the state, the account, the zone and what to do; right: whom to
    // call, the notes, the last hour; under both, the steps.
    auto* rejilla = new QGridLayout(this);
    rejilla->setContentsMargins(0, 0, 0, 0);
    rejilla->addWidget(estado_, 0, 0);
    rejilla->addWidget(restaurada_, 1, 0);
    rejilla->addWidget(nombre_, 2, 0);
    rejilla->addWidget(direccion_, 3, 0);
    rejilla->addWidget(zona_, 4, 0);
    rejilla->addWidget(instrucciones_, 5, 0);
    rejilla->addWidget(hojas, 0, 1, 6, 1);
    rejilla->addLayout(pasos, 6, 0, 1, 2);
    rejilla->setColumnStretch(0, 1);
    rejilla->setColumnStretch(1, 1);
    rejilla->setRowStretch(5, 1);
    vaciar();
}

void DetalleAlarma::vaciar() {
    for (QLabel* l : {nombre_, direccion_, zona_, instrucciones_, resultado_, estado_, restaurada_})
        l->clear();
    restaurada_->hide();
    contactos_->clear();
    notas_->clear();
    eventos_->clear();
    hashes_.clear();
    clave_->clear();
    clave_->setEnabled(false);
}

QString DetalleAlarma::nota() const {
    return nota_->text();
}

QString DetalleAlarma::resolucion() const {
    return resolucion_->currentData().toString();
}

void DetalleAlarma::vaciarPaso() {
    nota_->clear();
    resolucion_->setCurrentIndex(0);
}

void DetalleAlarma::mostrarEventos(const FilaAlarma& alarma, const QDateTime& ahora) {
    BaseDatos* base = base_ ? base_() : nullptr;
    std::vector<FilaEvento> eventos;
    if (base == nullptr || !ahora.isValid() ||
        leer_eventos_recientes(*base, alarma.abonado, ahora.addSecs(-3600), ahora, kEventosDetalle,
                               eventos))
        return;
    QList<QTreeWidgetItem*> filas;
    // The latest on top.
    for (auto it = eventos.rbegin(); it != eventos.rend(); ++it)
        filas << new QTreeWidgetItem(
            QStringList{hora(it->momento), describir_evento(it->evento), it->zona, it->particion});
    eventos_->addTopLevelItems(filas);
}

void DetalleAlarma::mostrar(const Alarma* alarma, const std::vector<NotaAlarma>& notas,
                            const QDateTime& ahora) {
    vaciar();
    const QString clave = alarma != nullptr ? alarma->fila.clave : QString();
    // Another alarm: what was being written for the former one goes.
    if (clave != mostrada_) vaciarPaso();
    mostrada_ = clave;
    const EstadoAlarma estado = alarma != nullptr ? alarma->estado() : EstadoAlarma::Cerrada;
    pasos_[0]->setEnabled(alarma != nullptr && estado == EstadoAlarma::Nueva);
    pasos_[1]->setEnabled(alarma != nullptr);
    pasos_[2]->setEnabled(alarma != nullptr && estado != EstadoAlarma::Cerrada);
    if (alarma == nullptr) return;
    const FilaAlarma& f = alarma->fila;
    QString dicho = nombre_estado(estado);
    if (estado == EstadoAlarma::Cerrada) {
        const Resolucion* r = resolucion_de(f.resolucion);
        dicho +=
            QStringLiteral(": %1; %2").arg(r != nullptr ? r->nombre : f.resolucion, quien_cerro(f));
    }
    estado_->setText(dicho);
    if (!f.restaurada.isEmpty())
        restaurada_->setText(QStringLiteral("Restaurada a las ") + hora(f.restaurada));
    restaurada_->setVisible(!f.restaurada.isEmpty());
    QList<QTreeWidgetItem*> filasNotas;
    for (const NotaAlarma& n : notas)
        filasNotas << new QTreeWidgetItem(QStringList{
            fecha_hora(n.momento), n.operador.isEmpty() ? n.puesto : n.operador, n.texto});
    notas_->addTopLevelItems(filasNotas);
    mostrarEventos(f, ahora);
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
