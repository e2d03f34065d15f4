#pragma once
// The online account window ("ONLINE"): follows one account live. The decoders
// put the detailed line of every report of the account typed in its box at the
// top of its log while the window is open; closing it, by "Volver" or by its
// close control, stops that. It deletes itself when it closes, so opening it
// again starts with an empty box and an empty log.
//
// Left of the account box, a line of our own names the account followed, as the
// register holds it ("Abonado desconocido" when it holds no such account).

#include <QWidget>

#include <memory>

#include "reception/estado_proceso.h"
#include "reception/manejador.h"

class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace corvane {

class CampoCuenta;
class CatalogoAbonados;
class CajaRegistroVentana;
class PanelEtiquetado;

class Form2 : public QWidget {
    Q_OBJECT
public:
    Form2(EstadoProceso& estado, ManejadorRx& manejador, QWidget* parent = nullptr);
    ~Form2() override;

    // The account box (Text1) and the log (Text2).
    CajaTexto& cuenta();
    CajaTexto& registro();

    // The register that names the account followed; null: none.
    void ponerCatalogo(CatalogoAbonados* catalogo);
    // The register changed: the name is read again.
    void nombrarCuenta();

    // 0: "Volver" closes the window; 1: "Borrar" empties the log; others: nothing.
    void Command1_Click(int indice);

Q_SIGNALS:
    // The window closed; it is deleted soon after.
    void descargada();

protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void construir();
    void centrar();
    void Form_Load();
    void Form_Unload();

    EstadoProceso& estado_;
    ManejadorRx& manejador_;
    bool cargada_ = false;
    bool mostrada_ = false;

    QGroupBox* frame1_ = nullptr;
    PanelEtiquetado* vsElastic1_ = nullptr;
    CampoCuenta* text1_ = nullptr;
    QGroupBox* frame2_ = nullptr;
    QPlainTextEdit* text2_ = nullptr;
    QPushButton* command1_[2] = {nullptr, nullptr};
    std::unique_ptr<CajaRegistroVentana> registro_;
    CatalogoAbonados* catalogo_ = nullptr;
    QLabel* nombre_ = nullptr;
};

} // namespace corvane
