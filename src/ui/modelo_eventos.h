#pragma once
// The events the console showed, as a table: every row the online log showed
// (received and stored here, or read from a central server), newest first, in a
// bounded memory; and the filter that picks the rows on screen by account and
// by class, leaving the rows kept as they are.

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>

#include <array>
#include <cstddef>
#include <deque>
#include <optional>
#include <vector>

#include "decoding/codigos_evento.h"
#include "evento/filas.h"

namespace corvane {

class CatalogoAbonados;

// The table's columns, left to right.
enum class ColumnaEvento : quint8 {
    Hora,        // time of day of the row's moment
    Cuenta,      // account, as stored
    Nombre,      // the account's name in the register; empty when it holds none
    Evento,      // event text as stored: type letter and code ("E130")
    Descripcion, // describir_evento
    Clase,       // nombre_clase of the event's class
    Particion,   // empty for a ten-character packet, which carries none
    Zona,        // empty for a ten-character packet, which carries none
    ZonaAbonado, // the zone's description in the register; empty when none
    Origen,      // decimal: 0 direct, 1 to 15 a repeater
    Nivel,       // signal level, 1 to 16
};
inline constexpr int kColumnasEvento = static_cast<int>(ColumnaEvento::Nivel) + 1;

// The columns' headers, in column order.
extern const std::array<QString, kColumnasEvento> kTitulosEvento;

// At most this many rows are kept (a few megabytes); beyond it the oldest go
// first.
inline constexpr std::size_t kMaximoEventos = 10000;

class ModeloEventos : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ModeloEventos(std::size_t maximo = kMaximoEventos, QObject* parent = nullptr);

    // Rows in arrival order: they go on top, the last one first; the oldest
    // rows beyond the bound are dropped.
    void agregar(const std::vector<FilaEvento>& filas);
    // A new bound; rows beyond it are dropped at once, oldest first.
    void ponerMaximo(std::size_t maximo);
    // The register that names the accounts and their zones; null: none.
    void ponerCatalogo(CatalogoAbonados* catalogo);
    // The register changed `cuenta` (empty: any): its names are shown again.
    void abonadoCambiado(const QString& cuenta);

    const FilaEvento& fila(int i) const { return eventos_[static_cast<std::size_t>(i)].fila; }
    ClaseEvento clase(int i) const { return eventos_[static_cast<std::size_t>(i)].c.clase; }

    int rowCount(const QModelIndex& padre = {}) const override;
    int columnCount(const QModelIndex& padre = {}) const override;
    QVariant data(const QModelIndex& indice, int rol) const override;
    QVariant headerData(int seccion, Qt::Orientation orientacion, int rol) const override;

private:
    struct Evento {
        FilaEvento fila;
        ClasificacionEvento c;
        QString descripcion;
    };
    void recortar();

    std::size_t maximo_;
    std::deque<Evento> eventos_; // newest first
    CatalogoAbonados* catalogo_ = nullptr;
};

// The rows of an account and of a class. The account filter takes the rows
// whose account begins with what was typed (upper or lower case alike), so
// the list narrows as the operator types; empty takes every account.
class FiltroEventos : public QSortFilterProxyModel {
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void ponerCuenta(const QString& cuenta);
    // None: every class.
    void ponerClase(std::optional<ClaseEvento> clase);

protected:
    bool filterAcceptsRow(int fila, const QModelIndex& padre) const override;

private:
    QString cuenta_;
    std::optional<ClaseEvento> clase_;
};

} // namespace corvane
