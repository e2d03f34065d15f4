#include "ui/ventana_eventos.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "common/reglas.h"
#include "ui/disposicion.h"
#include "ui/estilo.h"
#include "ui/geometria_ventana.h"

namespace corvane {

namespace {

const QString kTitulo = QStringLiteral("Eventos");
const QString kTodas = QStringLiteral("Todas");

// Columns are fitted to their contents at most this often while rows arrive
// (milliseconds), and only while the window is shown.
constexpr int kAjusteColumnasMs = 500;
// The account box is as wide as this text.
const QString kCuentaMasAncha = QStringLiteral("WWWWW");

QLabel* etiqueta(const QString& texto, QWidget* padre) {
    auto* l = new QLabel(texto, padre);
    l->setFont(fuente_consola(true));
    return l;
}

} // namespace

VentanaEventos::VentanaEventos(std::size_t maximo, QWidget* parent)
    : QWidget(parent, Qt::Window), modelo_(maximo) {
    setObjectName(QStringLiteral("Eventos"));
    setWindowTitle(kTitulo);
    pintar_fondo(this, kGrisFondo);
    filtro_.setSourceModel(&modelo_);
    construir();
    setMinimumSize(twips_a_px(kAnchoMinimoEventos, logicalDpiX()),
                   twips_a_px(kAltoMinimoEventos, logicalDpiY()));
    resize(twips_a_px(kAnchoInicialEventos, logicalDpiX()),
           twips_a_px(kAltoInicialEventos, logicalDpiY()));
    restaurada_ = restaurar_geometria(*this, kClaveGeometriaEventos);
    contar();
}

VentanaEventos::~VentanaEventos() {
    if (isVisible()) guardar_geometria(*this, kClaveGeometriaEventos);
}

void VentanaEventos::construir() {
    // Hex digits, upper or lower case alike, as many as an account has.
    cuenta_ = new QLineEdit(this);
    cuenta_->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9A-Fa-f]{0,%1}").arg(kLargoCuenta)), cuenta_));
    cuenta_->setObjectName(QStringLiteral("FiltroCuenta"));
    cuenta_->setFont(fuente_consola(false));
    cuenta_->setPlaceholderText(QStringLiteral("todas"));
    cuenta_->setToolTip(QStringLiteral("Las cuentas que empiezan así; vacío: todas"));
    cuenta_->setMinimumWidth(cuenta_->fontMetrics().horizontalAdvance(kCuentaMasAncha) +
                             2 * cuenta_->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 8);
    cuenta_->setMaximumWidth(cuenta_->minimumWidth());
    caja_blanca(cuenta_);

    clase_ = new QComboBox(this);
    clase_->setObjectName(QStringLiteral("FiltroClase"));
    clase_->setFont(fuente_consola(false));
    clase_->addItem(kTodas);
    for (int c = 0; c <= static_cast<int>(ClaseEvento::Otro); ++c)
        clase_->addItem(nombre_clase(static_cast<ClaseEvento>(c)), c);

    cuantos_ = etiqueta(QString(), this);
    cuantos_->setObjectName(QStringLiteral("Cuantos"));

    tabla_ = new QTableView(this);
    tabla_->setObjectName(QStringLiteral("Tabla"));
    tabla_->setFont(fuente_consola(false));
    tabla_->horizontalHeader()->setFont(fuente_consola(true));
    tabla_->setModel(&filtro_);
    tabla_->setSortingEnabled(false);
    tabla_->setWordWrap(false);
    tabla_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tabla_->setSelectionMode(QAbstractItemView::SingleSelection);
    tabla_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tabla_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // In pixels, so that the rows inserted on top move the view by their height.
    tabla_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    tabla_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    tabla_->verticalHeader()->hide();
    // Every row one line high.
    const int altoFila = tabla_->fontMetrics().lineSpacing() + 6;
    tabla_->verticalHeader()->setMinimumSectionSize(altoFila);
    tabla_->verticalHeader()->setDefaultSectionSize(altoFila);
    tabla_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tabla_->horizontalHeader()->setHighlightSections(false);
    caja_blanca(tabla_);

    auto* filtros = new QHBoxLayout;
    filtros->addWidget(etiqueta(QStringLiteral("Cuenta"), this));
    filtros->addWidget(cuenta_);
    filtros->addSpacing(12);
    filtros->addWidget(etiqueta(QStringLiteral("Clase"), this));
    filtros->addWidget(clase_);
    filtros->addStretch(1);
    filtros->addWidget(cuantos_);
    auto* todo = new QVBoxLayout(this);
    todo->addLayout(filtros);
    todo->addWidget(tabla_, 1);

    ajuste_ = new QTimer(this);
    ajuste_->setSingleShot(true);
    ajuste_->setInterval(kAjusteColumnasMs);
    connect(ajuste_, &QTimer::timeout, this, &VentanaEventos::ajustarColumnas);

    connect(cuenta_, &QLineEdit::textChanged, this, [this](const QString& t) {
        filtro_.ponerCuenta(t);
        ajuste_->start();
    });
    connect(clase_, &QComboBox::currentIndexChanged, this, [this] {
        const QVariant c = clase_->currentData();
        filtro_.ponerClase(c.isValid() ? std::optional(static_cast<ClaseEvento>(c.toInt()))
                                       : std::nullopt);
        ajuste_->start();
    });

    // While the operator reads further down, the rows that come in on top push
    // the view down by their height: it goes back by as much, and what was on
    // screen stays there.
    QScrollBar* barra = tabla_->verticalScrollBar();
    connect(&filtro_, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this, barra] { antes_ = barra->value(); });
    connect(&filtro_, &QAbstractItemModel::rowsInserted, this,
            [this, barra](const QModelIndex&, int primera, int ultima) {
                if (!llegando_ || antes_ <= 0) return;
                tabla_->doItemsLayout();
                barra->setValue(antes_ + (ultima - primera + 1) *
                                             tabla_->verticalHeader()->defaultSectionSize());
            });
    for (const auto senal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&filtro_, senal, this, &VentanaEventos::contar);
    connect(&filtro_, &QAbstractItemModel::modelReset, this, &VentanaEventos::contar);
    connect(&filtro_, &QAbstractItemModel::layoutChanged, this, &VentanaEventos::contar);

    setTabOrder(cuenta_, clase_);
    setTabOrder(clase_, tabla_);
}

void VentanaEventos::recibir(const std::vector<FilaEvento>& filas) {
    llegando_ = true;
    modelo_.agregar(filas);
    llegando_ = false;
    if (isVisible() && !ajuste_->isActive()) ajuste_->start();
}

void VentanaEventos::ajustarColumnas() {
    if (isVisible()) tabla_->resizeColumnsToContents();
}

void VentanaEventos::contar() {
    const int guardadas = modelo_.rowCount();
    const int vistos = filtro_.rowCount();
    cuantos_->setText(vistos == guardadas
                          ? QStringLiteral("%1 eventos").arg(guardadas)
                          : QStringLiteral("%1 de %2 eventos").arg(vistos).arg(guardadas));
}

void VentanaEventos::traerAlFrente() {
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void VentanaEventos::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    ajustarColumnas();
    if (mostrada_) return;
    mostrada_ = true;
    if (!restaurada_) colocar_en_esquina(*this, Qt::BottomLeftCorner);
    ajustar_a_pantalla(*this);
    QTimer::singleShot(kRevisarColocacionMs, this, [this] { ajustar_a_pantalla(*this); });
}

void VentanaEventos::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    if (mostrada_ && !e->spontaneous()) guardar_geometria(*this, kClaveGeometriaEventos);
}

} // namespace corvane
