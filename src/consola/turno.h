#pragma once
// The shift: which operator is on duty at this console. While the operators'
// table holds no active operator (or there is no table) nobody needs to sign in
// and the console works as it did before operators existed; once one exists,
// the operator's actions wait for someone to sign in. Reception never waits.
//
// Every sign-in, refusal, handover and end of shift is an audit entry handed to
// the sink given; none ever carries a password. The operators are read on a
// connection of the shift's own to the event database, opened for each check.

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

#include "auditoria/auditoria.h"
#include "common/fallo.h"
#include "common/reloj.h"
#include "operadores/operadores.h"

namespace corvane {

class Turno : public QObject {
    Q_OBJECT
public:
    using Anotar = std::function<void(const EntradaAuditoria&)>;

    // The operators of the event database `direccionBase` (a file, or a central
    // server's URL, as abrir_motor takes it); moments from `reloj`; entries
    // stamped with the workstation `puesto` and handed to `anotar` (null: none).
    Turno(QString direccionBase, const Reloj& reloj, QString puesto, Anotar anotar,
          QObject* parent = nullptr);

    // Looks again whether the table holds an active operator. A database that
    // cannot be read leaves what was known (at start: none) and fails.
    Fallo revisar();
    // True once an active operator exists: someone must be on duty.
    bool conOperadores() const { return conOperadores_; }

    // The operator on duty; nullopt: nobody.
    const std::optional<Operador>& deTurno() const { return deTurno_; }
    // "De turno: Nombre Completo (usuario)", or "Sin operador de turno".
    QString texto() const;
    // Why an operator action is refused now (nobody on duty while operators
    // exist), in Spanish; empty when it may go ahead.
    QString motivoSinTurno() const;

    struct Intento {
        bool aceptado = false;
        QString mensaje; // Spanish, for the operator; empty when accepted
    };
    // Checks `usuario` and `clave` at the clock's moment (comprobar_credenciales:
    // the same lock after wrong passwords). Accepted: `usuario` is on duty, an
    // Acceso entry when nobody was or the same one signs in again (no handover),
    // CambioTurno ("de X a Y") when another one was. Refused: an AccesoFallido
    // entry, object the user typed (only when it is a valid user name, so that a
    // password typed in the wrong field is not kept), detail the reason.
    Intento iniciar(const QString& usuario, const QString& clave);

    // The console closes with an operator on duty: a Salida entry, and nobody is.
    void terminar();

Q_SIGNALS:
    // The operator on duty changed, or whether operators exist.
    void cambio();

private:
    void anotar(AccionAuditoria accion, const QString& operador, const QString& objeto,
                const QString& detalle) const;

    QString direccion_;
    const Reloj& reloj_;
    QString puesto_;
    Anotar anotar_;
    bool conOperadores_ = false;
    std::optional<Operador> deTurno_;
};

// "Ana Pérez (ana)": how an operator is named to the others.
QString nombrar_operador(const Operador& o);

} // namespace corvane
