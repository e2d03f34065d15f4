#pragma once
// The alarm window's detail pane: for the alarm chosen in the list, who the
// account is (name, address), what the zone is, whom to call in call order, a
// field that checks the password a caller says against the contacts' own
// (answering "correcta" or "incorrecta", the password never kept or shown), and
// what to do with an alarm of its class. An account the register does not hold
// says "Abonado desconocido" where the name would be.
//
// Beside them, the alarm's handling: its state (and "Restaurada a las
// HH:mm:ss" once its zone restored), its notes in order (moment, operator,
// text), the account's events of the last hour, and the operator's steps:
// "Reconocer", "Añadir nota" (the note field's text) and "Cerrar" (with the
// resolution chosen from the fixed list and the note field's text). The pane
// asks for the steps; the window takes them and says a refusal.

#include <QWidget>

#include <functional>
#include <vector>

#include "evento/filas.h"

class QComboBox;
class QDateTime;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace corvane {

class BaseDatos;
class CatalogoAbonados;
struct Abonado;
struct Alarma;
struct NotaAlarma;

// The account's events shown under an alarm: those of the last hour, the latest
// this many.
inline constexpr std::size_t kEventosDetalle = 20;

inline const QString kAbonadoDesconocido = QStringLiteral("Abonado desconocido");

class DetalleAlarma : public QWidget {
    Q_OBJECT
public:
    // The register through `catalogo` (null: none) and the database `base` gives,
    // for the instructions.
    DetalleAlarma(CatalogoAbonados* catalogo, std::function<BaseDatos*()> base,
                  QWidget* parent = nullptr);
    ~DetalleAlarma() override;

    // Shows `alarma`, read afresh from the register, with its `notas`, and the
    // account's events of the hour before `ahora`; null: nothing. The note being
    // written and the resolution chosen stay while the same alarm is shown again.
    void mostrar(const Alarma* alarma, const std::vector<NotaAlarma>& notas,
                 const QDateTime& ahora);

    // Checks what the caller said (the field's text) and empties the field.
    void comprobarClave();

    // The note field's text, and the resolution chosen (its code; empty: none).
    QString nota() const;
    QString resolucion() const;
    // After a step taken: the note field and the resolution emptied.
    void vaciarPaso();

Q_SIGNALS:
    void pideReconocer();
    void pideNota();
    void pideCierre();

private:
    void construir();
    void vaciar();
    void mostrarEventos(const FilaAlarma& alarma, const QDateTime& ahora);

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
    QString mostrada_;
    QLabel* estado_ = nullptr;
    QLabel* restaurada_ = nullptr;
    QTreeWidget* notas_ = nullptr;
    QTreeWidget* eventos_ = nullptr;
    QLineEdit* nota_ = nullptr;
    QComboBox* resolucion_ = nullptr;
    QPushButton* pasos_[3] = {nullptr, nullptr, nullptr};
};

} // namespace corvane
