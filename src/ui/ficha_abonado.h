#pragma once
// The card of one account in the account window: its data, its state and the
// end of its test, the interval of its periodic test, who saved it last, and in
// tabs its zones, its contacts in call order and its own instructions by event
// class, with buttons to add and remove rows and to reorder the contacts. A
// contact's password is typed in a hidden field and turned into its hash at
// once; the card shows "definida" or "sin definir", never the password.

#include <QWidget>

#include "abonados/abonados.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTableWidget;
class QTabWidget;

namespace corvane {

class CajaMensajes;

class FichaAbonado : public QWidget {
    Q_OBJECT
public:
    // What the operator must do first is told through `mensajes`.
    explicit FichaAbonado(CajaMensajes& mensajes, QWidget* parent = nullptr);
    ~FichaAbonado() override;

    // Shows `a` as read (an empty account: a new one, its key editable).
    void mostrar(const Abonado& a);
    // The account as the card holds it, not yet checked: an end of test that is
    // not a moment stays as typed, an interval that is not a number is -1.
    Abonado leer() const;
    // True once the operator changed something since mostrar().
    bool cambiada() const { return cambiada_; }
    // Says that another workstation saved the account meanwhile; the text stays.
    void cambioAjeno();
    void enfocarCuenta();

private:
    void construir();
    QTableWidget* tablaElegida() const;
    void agregarFila();
    void quitarFila();
    void moverContacto(int paso);
    void ponerClave(bool quitar);
    void estadoElegido();
    void marcarCambio();

    CajaMensajes& mensajes_;
    bool cambiada_ = false;
    bool cargando_ = false;

    QLineEdit* cuenta_ = nullptr;
    QLineEdit* nombre_ = nullptr;
    QLineEdit* direccion_ = nullptr;
    QLineEdit* localidad_ = nullptr;
    QLineEdit* telefono_ = nullptr;
    QPlainTextEdit* notas_ = nullptr;
    QComboBox* estado_ = nullptr;
    QLineEdit* hasta_ = nullptr;
    QLineEdit* cada_ = nullptr;
    QLabel* modificado_ = nullptr;
    QTabWidget* pestanas_ = nullptr;
    QTableWidget* zonas_ = nullptr;
    QTableWidget* contactos_ = nullptr;
    QTableWidget* instrucciones_ = nullptr;
    QLineEdit* clave_ = nullptr;
};

} // namespace corvane
