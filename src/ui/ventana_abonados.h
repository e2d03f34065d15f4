#pragma once
// The account window ("Abonados"): a search field (the start of an account or
// any part of a name, answered as the operator types), the accounts found, and
// the card of the one chosen, with its zones, contacts in call order and own
// instructions, to edit and save. What breaks an account's rules is told in a
// message before anything is saved. A contact's password is typed in a hidden
// field and only its hash is kept; the card says "definida" or "sin definir",
// never the password.
//
// Two workstations may edit the same account: the second to save is told who
// saved it and when ("Modificado por PUESTO a las HH:mm:ss del dd/MM/yyyy …") and
// chooses to save over it or to see what was saved; nothing is overwritten
// unasked. Changes saved elsewhere show when they are announced, and each time
// the window comes to the front; a card being edited keeps the operator's text.
//
// A normal window, closed by hiding it; its place and size are kept between
// starts (QSettings "corvane").

#include <QWidget>

#include "abonados/abonados.h"
#include "common/mensajes.h"
#include "common/reloj.h"
#include "store/definesBaseDatos.h"
#include "ui/mensajes_ventana.h"

class QLineEdit;
class QListWidget;

namespace corvane {

class CatalogoAbonados;
class FichaAbonado;

inline const QString kClaveGeometriaAbonados = QStringLiteral("abonados/geometria");

// At most this many accounts are listed for a search.
inline constexpr int kAbonadosListados = 200;

class VentanaAbonados : public QWidget {
    Q_OBJECT
public:
    // The register of the event database in slot 0 of `bases`; `catalogo` is told
    // of each account saved here; saves are stamped by `reloj` and `puesto`;
    // messages through `mensajes` (null: boxes of its own).
    VentanaAbonados(ConjuntoBases& bases, CatalogoAbonados& catalogo, const Reloj& reloj,
                    QString puesto, CajaMensajes* mensajes = nullptr, QWidget* parent = nullptr);
    ~VentanaAbonados() override;

    // Shows the window in front of the others with the keyboard in the search
    // field, the list and the card read again.
    void traerAlFrente();

    // Lists the accounts that the search field matches.
    void buscar();
    // Shows `cuenta` on the card, read afresh; false when the register does not
    // hold it (or cannot be read: told).
    bool abrir(const QString& cuenta);
    // An empty card for a new account.
    void nuevo();
    // Checks the card and saves it; false when it was not saved (told why, or the
    // operator chose to see what another workstation saved).
    bool guardar();
    // The account on the card as read (empty: a new one), and whether the
    // operator changed the card since.
    QString cuentaLeida() const { return cuentaLeida_; }
    bool cambiada() const;

    // The register changed `cuenta` (empty: any account), here or elsewhere.
    void abonadoCambiado(const QString& cuenta);

Q_SIGNALS:
    // An account was saved here.
    void guardado(const QString& cuenta);

protected:
    void changeEvent(QEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;

private:
    void construir();
    BaseDatos* base() const;
    // Shows `a` as read: its stamp is the one a save checks.
    void mostrar(const Abonado& a);
    void avisar(const QString& texto);

    ConjuntoBases& bases_;
    CatalogoAbonados& catalogo_;
    const Reloj& reloj_;
    QString puesto_;
    MensajesVentana mensajesPropios_;
    CajaMensajes* mensajes_;

    QString cuentaLeida_;
    QString leido_;         // the stamp of the account as read; empty: a new one
    bool cargando_ = false; // the list is being filled
    bool mostrada_ = false;

    QLineEdit* buscar_ = nullptr;
    QListWidget* lista_ = nullptr;
    FichaAbonado* ficha_ = nullptr;
};

} // namespace corvane
