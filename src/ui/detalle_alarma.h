#pragma once
// The alarm window's detail pane: for the alarm chosen in the list, who the
// account is (name, address), what the zone is, whom to call in call order, a
// field that checks the password a caller says against the contacts' own
// (answering "correcta" or "incorrecta", the password never kept or shown), and
// what to do with an alarm of its class. An account the register does not hold
// says "Abonado desconocido" where the name would be.

#include <QWidget>

#include <functional>
#include <vector>

class QLabel;
class QLineEdit;
class QTreeWidget;

namespace corvane {

class BaseDatos;
class CatalogoAbonados;
struct Abonado;
struct Alarma;

inline const QString kAbonadoDesconocido = QStringLiteral("Abonado desconocido");

class DetalleAlarma : public QWidget {
    Q_OBJECT
public:
    // The register through `catalogo` (null: none) and the database `base` gives,
    // for the instructions.
    DetalleAlarma(CatalogoAbonados* catalogo, std::function<BaseDatos*()> base,
                  QWidget* parent = nullptr);
    ~DetalleAlarma() override;

    // Shows `alarma`, read afresh from the register; null: nothing.
    void mostrar(const Alarma* alarma);

    // Checks what the caller said (the field's text) and empties the field.
    void comprobarClave();

private:
    void construir();
    void vaciar();

    CatalogoAbonados* catalogo_;
    std::function<BaseDatos*()> base_;
    std::vector<QString> hashes_; // of the contacts listed, in call order
    QLabel* nombre_ = nullptr;
    QLabel* direccion_ = nullptr;
    QLabel* zona_ = nullptr;
    QLabel* instrucciones_ = nullptr;
    QTreeWidget* contactos_ = nullptr;
    QLineEdit* clave_ = nullptr;
    QLabel* resultado_ = nullptr;
};

} // namespace corvane
