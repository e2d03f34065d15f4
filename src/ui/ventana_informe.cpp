#include "ui/ventana_informe.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include "common/reloj.h"
#include "store/motor.h"
#include "ui/disposicion.h"
#include "ui/estilo.h"
#include "ui/geometria_ventana.h"
#include "ui/ventana_eventos.h"

namespace corvane {

namespace {

const QString kTitulo = QStringLiteral("Informe");

// The smallest the window gets and its size the first time it opens, in twips:
// those of the event window, whose first place it shares (600 × 300 and
// 960 × 480 pixels at 96 dpi), clear of the main window's controls.
constexpr float kAnchoMinimo = kAnchoMinimoEventos;
constexpr float kAltoMinimo = kAltoMinimoEventos;
constexpr float kAnchoInicial = kAnchoInicialEventos;
constexpr float kAltoInicial = kAltoInicialEventos;

QLabel* etiqueta(const QString& texto, QWidget* padre) {
    auto* l = new QLabel(texto, padre);
    l->setFont(fuente_consola(true));
    return l;
}

QDateEdit* campo_fecha(const char* nombre, QWidget* padre) {
    auto* d = new QDateEdit(padre);
    d->setObjectName(QLatin1String(nombre));
    d->setFont(fuente_consola(false));
    d->setCalendarPopup(true);
    d->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    return d;
}

QTableWidget* tabla(const char* nombre, const QStringList& cabecera, QWidget* padre) {
    auto* t = new QTableWidget(0, static_cast<int>(cabecera.size()), padre);
    t->setObjectName(QLatin1String(nombre));
    t->setFont(fuente_consola(false));
    t->horizontalHeader()->setFont(fuente_consola(true));
    t->setHorizontalHeaderLabels(cabecera);
    t->verticalHeader()->hide();
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setWordWrap(false);
    caja_blanca(t);
    return t;
}

// Fills `t` with `filas`; the columns from `numericas` on aligned to the right.
void llenar(QTableWidget& t, const std::vector<QStringList>& filas, int numericas) {
    t.setRowCount(static_cast<int>(filas.size()));
    for (int f = 0; f < t.rowCount(); ++f) {
        const QStringList& valores = filas[static_cast<std::size_t>(f)];
        for (int c = 0; c < valores.size(); ++c) {
            auto* item = new QTableWidgetItem(valores[c]);
            if (c >= numericas) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            t.setItem(f, c, item);
        }
    }
    t.resizeColumnsToContents();
}

QChartView* vista_grafico(const char* nombre, QWidget* padre) {
    auto* v = new QChartView(padre);
    v->setObjectName(QLatin1String(nombre));
    v->setRenderHint(QPainter::Antialiasing);
    v->setMinimumHeight(120);
    return v;
}

// A bar chart of `series` over `categorias`, the values' axis from 0.
void poner_barras(QChartView& vista, const QString& titulo, QBarSeries* series,
                  const QStringList& categorias, const QString& unidad, double maximo) {
    auto* grafico = new QChart;
    grafico->setTitle(titulo);
    grafico->addSeries(series);
    auto* ejeX = new QBarCategoryAxis;
    ejeX->append(categorias);
    grafico->addAxis(ejeX, Qt::AlignBottom);
    series->attachAxis(ejeX);
    auto* ejeY = new QValueAxis;
    ejeY->setRange(0, std::max(1.0, maximo));
    ejeY->setTitleText(unidad);
    ejeY->applyNiceNumbers();
    grafico->addAxis(ejeY, Qt::AlignLeft);
    series->attachAxis(ejeY);
    grafico->legend()->setVisible(series->count() > 1);
    grafico->legend()->setAlignment(Qt::AlignBottom);
    QChart* antes = vista.chart();
    vista.setChart(grafico);
    delete antes;
}

} // namespace

VentanaInforme::VentanaInforme(std::function<BaseDatos*()> base, const Reloj& reloj,
                               QWidget* parent)
    : QWidget(parent, Qt::Window), base_(std::move(base)), reloj_(reloj) {
    setObjectName(QStringLiteral("Informe"));
    setWindowTitle(kTitulo);
    pintar_fondo(this, kGrisFondo);
    construir();
    const QDate hoy = reloj_.ahora().date();
    desde_->setDate(hoy.addDays(-(kDiasInforme - 1)));
    hasta_->setDate(hoy);
    setMinimumSize(twips_a_px(kAnchoMinimo, logicalDpiX()), twips_a_px(kAltoMinimo, logicalDpiY()));
    resize(twips_a_px(kAnchoInicial, logicalDpiX()), twips_a_px(kAltoInicial, logicalDpiY()));
    restaurada_ = restaurar_geometria(*this, kClaveGeometriaInforme);
}

VentanaInforme::~VentanaInforme() {
    if (isVisible()) guardar_geometria(*this, kClaveGeometriaInforme);
}

void VentanaInforme::construir() {
    desde_ = campo_fecha("Desde", this);
    hasta_ = campo_fecha("Hasta", this);
    calcular_ = new QPushButton(QStringLiteral("Calcular"), this);
    calcular_->setObjectName(QStringLiteral("Calcular"));
    calcular_->setFont(fuente_consola(true));
    calcular_->setAutoDefault(false);
    connect(calcular_, &QPushButton::clicked, this, &VentanaInforme::calcular);
    estado_ = etiqueta(QString(), this);
    estado_->setObjectName(QStringLiteral("Estado"));
    estado_->setWordWrap(true);

    tabla_ =
        tabla("Tabla",
              {QStringLiteral("Operador"), QStringLiteral("Clase"), QStringLiteral("Atendidas"),
               QStringLiteral("Mediana reconocer"), QStringLiteral("P90 reconocer"),
               QStringLiteral("Mediana cerrar"), QStringLiteral("P90 cerrar")},
              this);
    abiertas_ = tabla("Abiertas", {QStringLiteral("Clase"), QStringLiteral("Abiertas")}, this);
    falsas_ = tabla("Falsas", {QStringLiteral("Abonado"), QStringLiteral("Falsas")}, this);
    porHora_ = vista_grafico("PorHora", this);
    tiempos_ = vista_grafico("Tiempos", this);

    auto* fechas = new QHBoxLayout;
    fechas->addWidget(etiqueta(QStringLiteral("Desde"), this));
    fechas->addWidget(desde_);
    fechas->addWidget(etiqueta(QStringLiteral("Hasta"), this));
    fechas->addWidget(hasta_);
    fechas->addWidget(calcular_);
    fechas->addWidget(estado_, 1);

    auto* lado = new QWidget(this);
    auto* columna = new QVBoxLayout(lado);
    columna->setContentsMargins(0, 0, 0, 0);
    columna->addWidget(etiqueta(QStringLiteral("Abiertas"), lado));
    columna->addWidget(abiertas_);
    columna->addWidget(etiqueta(QStringLiteral("Abonados con más falsas alarmas"), lado));
    columna->addWidget(falsas_);

    auto* arriba = new QSplitter(Qt::Horizontal, this);
    arriba->addWidget(tabla_);
    arriba->addWidget(lado);
    arriba->setStretchFactor(0, 3);
    arriba->setStretchFactor(1, 1);
    auto* abajo = new QSplitter(Qt::Horizontal, this);
    abajo->addWidget(porHora_);
    abajo->addWidget(tiempos_);
    auto* partes = new QSplitter(Qt::Vertical, this);
    partes->addWidget(arriba);
    partes->addWidget(abajo);

    auto* todo = new QVBoxLayout(this);
    todo->addLayout(fechas);
    todo->addWidget(partes, 1);
}

void VentanaInforme::calcular() {
    const QDate desde = desde_->date(), hasta = hasta_->date();
    if (hasta < desde) {
        estado_->setText(
            QStringLiteral("El intervalo no es válido: «Hasta» es anterior a «Desde»"));
        return;
    }
    BaseDatos* base = base_ ? base_() : nullptr;
    if (base == nullptr) {
        estado_->setText(QStringLiteral("No hay base de datos abierta"));
        return;
    }
    InformeAtencion nuevo;
    if (const Fallo f = informe_atencion(*base, desde, hasta, nuevo)) {
        estado_->setText(QStringLiteral("No se puede leer la base de datos: %1").arg(f.detalle));
        return;
    }
    informe_ = std::move(nuevo);
    estado_->setText(QStringLiteral("%1 alarmas recibidas").arg(informe_.recibidas));
    mostrar();
}

void VentanaInforme::mostrar() {
    std::vector<QStringList> filas;
    const auto fila = [&filas](const FilaOperadorClase& f, const QString& operador) {
        filas.push_back({operador, nombre_clase(f.clase), QString::number(f.atendidas),
                         texto_duracion(f.reconocer.mediana), texto_duracion(f.reconocer.p90),
                         texto_duracion(f.cerrar.mediana), texto_duracion(f.cerrar.p90)});
    };
    for (const FilaOperadorClase& f : informe_.operadores) fila(f, f.operador);
    for (const FilaOperadorClase& f : informe_.clases) fila(f, QStringLiteral("(todos)"));
    llenar(*tabla_, filas, 2);
    filas.clear();
    for (const auto& [clase, n] : informe_.abiertas)
        filas.push_back({nombre_clase(clase), QString::number(n)});
    llenar(*abiertas_, filas, 1);
    filas.clear();
    for (const auto& [abonado, n] : informe_.falsas) filas.push_back({abonado, QString::number(n)});
    llenar(*falsas_, filas, 1);

    auto* alarmas = new QBarSet(QStringLiteral("Alarmas"));
    QStringList horas;
    int maximo = 0;
    for (std::size_t h = 0; h < informe_.porHora.size(); ++h) {
        *alarmas << informe_.porHora[h];
        maximo = std::max(maximo, informe_.porHora[h]);
        horas << QString::number(h);
    }
    auto* porHora = new QBarSeries;
    porHora->append(alarmas);
    poner_barras(*porHora_, QStringLiteral("Alarmas por hora del día"), porHora, horas,
                 QStringLiteral("alarmas"), maximo);

    // Minutes, so that the bars of a few seconds and of an hour read on one axis.
    const QString nombres[4] = {QStringLiteral("Mediana reconocer"),
                                QStringLiteral("P90 reconocer"), QStringLiteral("Mediana cerrar"),
                                QStringLiteral("P90 cerrar")};
    QBarSet* conjuntos[4];
    for (int i = 0; i < 4; ++i) conjuntos[i] = new QBarSet(nombres[i]);
    QStringList clases;
    double mayor = 0;
    for (const FilaOperadorClase& f : informe_.clases) {
        clases << nombre_clase(f.clase);
        const std::optional<qint64> valores[4] = {f.reconocer.mediana, f.reconocer.p90,
                                                  f.cerrar.mediana, f.cerrar.p90};
        for (int i = 0; i < 4; ++i) {
            const double minutos = static_cast<double>(valores[i].value_or(0)) / 60.0;
            *conjuntos[i] << minutos;
            mayor = std::max(mayor, minutos);
        }
    }
    auto* tiempos = new QBarSeries;
    for (QBarSet* c : conjuntos) tiempos->append(c);
    poner_barras(*tiempos_, QStringLiteral("Tiempos de atención por clase"), tiempos, clases,
                 QStringLiteral("minutos"), mayor);
}

void VentanaInforme::traerAlFrente() {
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
    calcular();
}

void VentanaInforme::showEvent(QShowEvent* e) {
    QWidget::showEvent(e);
    if (mostrada_) return;
    mostrada_ = true;
    if (!restaurada_) colocar_en_esquina(*this, Qt::BottomLeftCorner);
    ajustar_a_pantalla(*this);
    QTimer::singleShot(kRevisarColocacionMs, this, [this] { ajustar_a_pantalla(*this); });
}

void VentanaInforme::hideEvent(QHideEvent* e) {
    QWidget::hideEvent(e);
    if (mostrada_ && !e->spontaneous()) guardar_geometria(*this, kClaveGeometriaInforme);
}

} // namespace corvane
