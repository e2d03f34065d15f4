#pragma once
// The event window ("Eventos"): the operator's readable view of what the online
// log shows, one row per event, newest first, each in the colour of its class,
// with the account and class filters over it. It lives as long as the main
// window and takes rows from the start whether shown or not, so opening it
// shows what arrived since (the newest kMaximoEventos rows).
//
// A normal window: moved, resized, minimised and closed through the window
// manager; closing it only hides it. Its place and size are kept between starts
// (QSettings "corvane"); the first time it stands in the lower left corner of
// the work area, over the older lines of the online log, clear of the port
// controls and the query. A kept place off the screen is brought back on it.
//
// New rows come in on top; while the operator reads further down, the rows on
// screen stay where they are, and the selection follows its row.

#include <QWidget>

#include <vector>

#include "ui/modelo_eventos.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;
class QTimer;

namespace corvane {

// The smallest the event window gets, in twips (600 × 300 pixels at 96 dpi),
// and its size the first time it opens (960 × 480).
inline constexpr float kAnchoMinimoEventos = 9000;
inline constexpr float kAltoMinimoEventos = 4500;
inline constexpr float kAnchoInicialEventos = 14400;
inline constexpr float kAltoInicialEventos = 7200;

inline const QString kClaveGeometriaEventos = QStringLiteral("eventos/geometria");

class VentanaEventos : public QWidget {
    Q_OBJECT
public:
    explicit VentanaEventos(std::size_t maximo = kMaximoEventos, QWidget* parent = nullptr);
    ~VentanaEventos() override;

    // Rows the online log showed, in arrival order.
    void recibir(const std::vector<FilaEvento>& filas);
    // How many rows are kept at most; the oldest beyond it go at once.
    void ponerMaximo(std::size_t maximo) { modelo_.ponerMaximo(maximo); }
    // The register that names the accounts and zones (null: none), and a change of
    // one of its accounts (empty: any).
    void ponerCatalogo(CatalogoAbonados* catalogo) { modelo_.ponerCatalogo(catalogo); }
    void abonadoCambiado(const QString& cuenta) { modelo_.abonadoCambiado(cuenta); }

    // Shows the window (restored if minimised) in front of the others, with the
    // keyboard.
    void traerAlFrente();

    const ModeloEventos& modelo() const { return modelo_; }
    // The rows on screen, filtered.
    const FiltroEventos& filtro() const { return filtro_; }

protected:
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    void construir();
    void ajustarColumnas();
    void contar();

    ModeloEventos modelo_;
    FiltroEventos filtro_;
    QLineEdit* cuenta_ = nullptr;
    QComboBox* clase_ = nullptr;
    QLabel* cuantos_ = nullptr;
    QTableView* tabla_ = nullptr;
    QTimer* ajuste_ = nullptr;
    bool mostrada_ = false;
    bool restaurada_ = false;
    bool llegando_ = false; // rows of the handler are going in
    int antes_ = 0;         // the vertical scroll before they went in
};

} // namespace corvane
