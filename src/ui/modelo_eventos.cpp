#include "ui/modelo_eventos.h"

#include <algorithm>

#include "abonados/registro_abonados.h"
#include "ui/estilo.h"

namespace corvane {

const std::array<QString, kColumnasEvento> kTitulosEvento = {
    QStringLiteral("Hora"),
    QStringLiteral("Cuenta"),
    QStringLiteral("Abonado"),
    QStringLiteral("Evento"),
    QStringLiteral("Descripción"),
    QStringLiteral("Clase"),
    QStringLiteral("Partición"),
    QStringLiteral("Zona"),
    QStringLiteral("Descripción de la zona"),
    QStringLiteral("Origen"),
    QStringLiteral("Nivel"),
};

namespace {

// A ten-character packet's partition and zone hold the filler: the table
// leaves them empty, as the followed account's log leaves them out.
QString sin_relleno(const QString& texto) {
    return texto == kRelleno ? QString() : texto;
}

} // namespace

ModeloEventos::ModeloEventos(std::size_t maximo, QObject* parent)
    : QAbstractTableModel(parent), maximo_(std::max<std::size_t>(maximo, 1)) {}

void ModeloEventos::agregar(const std::vector<FilaEvento>& filas) {
    // Of a batch longer than the bound only its newest rows are taken.
    const std::size_t n = std::min(filas.size(), maximo_);
    if (n == 0) return;
    beginInsertRows({}, 0, static_cast<int>(n) - 1);
    for (auto it = filas.end() - static_cast<std::ptrdiff_t>(n); it != filas.end(); ++it) {
        const ClasificacionEvento c = clasificar_evento(it->evento);
        eventos_.push_front({*it, c, describir_evento(it->evento)});
    }
    endInsertRows();
    recortar();
}

void ModeloEventos::ponerMaximo(std::size_t maximo) {
    maximo_ = std::max<std::size_t>(maximo, 1);
    recortar();
}

void ModeloEventos::recortar() {
    if (eventos_.size() <= maximo_) return;
    beginRemoveRows({}, static_cast<int>(maximo_), static_cast<int>(eventos_.size()) - 1);
    eventos_.resize(maximo_);
    endRemoveRows();
}

void ModeloEventos::ponerCatalogo(CatalogoAbonados* catalogo) {
    catalogo_ = catalogo;
    abonadoCambiado({});
}

void ModeloEventos::abonadoCambiado(const QString& cuenta) {
    static_cast<void>(cuenta);
    if (eventos_.empty()) return;
    // The views ask again for what they show, no more.
    const int ultima = static_cast<int>(eventos_.size()) - 1;
    for (const ColumnaEvento c : {ColumnaEvento::Nombre, ColumnaEvento::ZonaAbonado})
        Q_EMIT dataChanged(index(0, static_cast<int>(c)), index(ultima, static_cast<int>(c)),
                           {Qt::DisplayRole});
}

int ModeloEventos::rowCount(const QModelIndex& padre) const {
    return padre.isValid() ? 0 : static_cast<int>(eventos_.size());
}

int ModeloEventos::columnCount(const QModelIndex& padre) const {
    return padre.isValid() ? 0 : kColumnasEvento;
}

QVariant ModeloEventos::data(const QModelIndex& indice, int rol) const {
    if (!indice.isValid() || indice.row() >= rowCount()) return {};
    const Evento& e = eventos_[static_cast<std::size_t>(indice.row())];
    const auto columna = static_cast<ColumnaEvento>(indice.column());
    switch (rol) {
    case Qt::DisplayRole:
        switch (columna) {
        case ColumnaEvento::Hora:
            return hora_de(e.fila);
        case ColumnaEvento::Cuenta:
            return e.fila.abonado;
        case ColumnaEvento::Nombre:
            return catalogo_ != nullptr ? catalogo_->nombre(e.fila.abonado).value_or(QString())
                                        : QString();
        case ColumnaEvento::Evento:
            return e.fila.evento;
        case ColumnaEvento::Descripcion:
            return e.descripcion;
        case ColumnaEvento::Clase:
            return nombre_clase(e.c.clase);
        case ColumnaEvento::Particion:
            return sin_relleno(e.fila.particion);
        case ColumnaEvento::Zona:
            return sin_relleno(e.fila.zona);
        case ColumnaEvento::ZonaAbonado:
            return catalogo_ != nullptr && !de_paquete_corto(e.fila)
                       ? catalogo_->descripcionZona(e.fila.abonado, e.fila.particion, e.fila.zona)
                       : QString();
        case ColumnaEvento::Origen:
            return e.fila.origen;
        case ColumnaEvento::Nivel:
            return QString::number(e.fila.nivel);
        }
        return {};
    case Qt::ForegroundRole: {
        const QColor color = color_de_tono(e.c.tono());
        return color.isValid() ? color : kTextoCaja;
    }
    case Qt::BackgroundRole:
        return kFondoCaja;
    case Qt::TextAlignmentRole:
        if (columna == ColumnaEvento::Origen || columna == ColumnaEvento::Nivel)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ToolTipRole:
        if ((columna == ColumnaEvento::Particion || columna == ColumnaEvento::Zona) &&
            de_paquete_corto(e.fila))
            return QStringLiteral("Un paquete de diez caracteres no lleva partición ni zona");
        if (columna == ColumnaEvento::Origen)
            return e.fila.origen == QLatin1String("0")
                       ? QStringLiteral("Directo")
                       : QStringLiteral("Repetidora ") + e.fila.origen;
        return {};
    default:
        return {};
    }
}

QVariant ModeloEventos::headerData(int seccion, Qt::Orientation orientacion, int rol) const {
    if (orientacion != Qt::Horizontal || rol != Qt::DisplayRole || seccion < 0 ||
        seccion >= kColumnasEvento)
        return QAbstractTableModel::headerData(seccion, orientacion, rol);
    return kTitulosEvento[static_cast<std::size_t>(seccion)];
}

void FiltroEventos::ponerCuenta(const QString& cuenta) {
    if (cuenta.compare(cuenta_, Qt::CaseInsensitive) == 0) {
        cuenta_ = cuenta;
        return;
    }
    cuenta_ = cuenta;
    invalidateRowsFilter();
}

void FiltroEventos::ponerClase(std::optional<ClaseEvento> clase) {
    if (clase == clase_) return;
    clase_ = clase;
    invalidateRowsFilter();
}

bool FiltroEventos::filterAcceptsRow(int fila, const QModelIndex& padre) const {
    const auto* modelo = qobject_cast<const ModeloEventos*>(sourceModel());
    if (modelo == nullptr || padre.isValid()) return true;
    if (clase_ && modelo->clase(fila) != *clase_) return false;
    return cuenta_.isEmpty() || modelo->fila(fila).abonado.startsWith(cuenta_, Qt::CaseInsensitive);
}

} // namespace corvane
