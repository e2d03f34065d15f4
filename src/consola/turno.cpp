#include "consola/turno.h"

#include <memory>
#include <vector>

#include "common/registro_errores.h"
#include "store/motor.h"

namespace corvane {

QString nombrar_operador(const Operador& o) {
    return QStringLiteral("%1 (%2)").arg(o.nombre, o.usuario);
}

Turno::Turno(QString direccionBase, const Reloj& reloj, QString puesto, Anotar anotar,
             QObject* parent)
    : QObject(parent), direccion_(std::move(direccionBase)), reloj_(reloj),
      puesto_(std::move(puesto)), anotar_(std::move(anotar)) {}

Fallo Turno::revisar() {
    std::unique_ptr<BaseDatos> base;
    if (Fallo f = abrir_motor(direccion_, base)) return f;
    bool presente = false;
    if (Fallo f = tabla_operadores_presente(*base, presente)) return f;
    std::vector<Operador> operadores;
    if (presente)
        if (Fallo f = listar_operadores(*base, operadores)) return f;
    bool alguno = false;
    for (const Operador& o : operadores) alguno = alguno || o.activo;
    if (alguno != conOperadores_) {
        conOperadores_ = alguno;
        Q_EMIT cambio();
    }
    return {};
}

QString Turno::texto() const {
    return deTurno_ ? QStringLiteral("De turno: %1").arg(nombrar_operador(*deTurno_))
                    : QStringLiteral("Sin operador de turno");
}

QString Turno::motivoSinTurno() const {
    if (!conOperadores_ || deTurno_) return {};
    return QStringLiteral("No hay operador de turno: inicie el turno para atender las alarmas.");
}

Turno::Intento Turno::iniciar(const QString& usuario, const QString& clave) {
    Intento r;
    if (usuario.isEmpty() || clave.isEmpty()) {
        r.mensaje = QStringLiteral("Escriba el usuario y la contraseña");
        return r;
    }
    const QString deTurno = deTurno_ ? deTurno_->usuario : QString();
    // A name that is no user name may be a password typed in the wrong field.
    const QString objeto =
        usuario_valido(usuario) ? usuario : QStringLiteral("(usuario no válido)");
    Credenciales c;
    std::unique_ptr<BaseDatos> base;
    Fallo f = abrir_motor(direccion_, base);
    if (!f) f = comprobar_credenciales(*base, usuario, clave, reloj_.ahora(), c);
    if (f) {
        r.mensaje =
            QStringLiteral("No se pudo comprobar el usuario: %1").arg(mensaje_de_error(f.numero));
        anotar(AccionAuditoria::AccesoFallido, deTurno, objeto, r.mensaje);
        return r;
    }
    if (!c.aceptadas || !c.operador) {
        r.mensaje = c.mensaje.isEmpty() ? kCredencialesIncorrectas : c.mensaje;
        anotar(AccionAuditoria::AccesoFallido, deTurno, objeto, r.mensaje);
        return r;
    }
    r.aceptado = true;
    const Operador& nuevo = *c.operador;
    const QString quien = QStringLiteral("%1, %2").arg(nuevo.nombre, texto_rol(nuevo.rol));
    if (deTurno_ && deTurno_->usuario == nuevo.usuario) {
        // The same operator again: a sign-in, no handover.
        deTurno_ = nuevo;
        anotar(AccionAuditoria::Acceso, nuevo.usuario, nuevo.usuario,
               quien + QStringLiteral("; ya estaba de turno"));
        return r;
    }
    const std::optional<Operador> antes = deTurno_;
    deTurno_ = nuevo;
    conOperadores_ = true;
    if (antes)
        anotar(AccionAuditoria::CambioTurno, nuevo.usuario, nuevo.usuario,
               QStringLiteral("de %1 a %2").arg(nombrar_operador(*antes), nombrar_operador(nuevo)));
    else
        anotar(AccionAuditoria::Acceso, nuevo.usuario, nuevo.usuario, quien);
    Q_EMIT cambio();
    return r;
}

void Turno::terminar() {
    if (!deTurno_) return;
    const QString usuario = deTurno_->usuario;
    deTurno_.reset();
    anotar(AccionAuditoria::Salida, usuario, usuario, QString());
    Q_EMIT cambio();
}

void Turno::anotar(AccionAuditoria accion, const QString& operador, const QString& objeto,
                   const QString& detalle) const {
    if (!anotar_) return;
    EntradaAuditoria e;
    e.momento = reloj_.ahora().toString(kFormatoMomento);
    e.puesto = puesto_;
    e.operador = operador;
    e.accion = accion;
    e.objeto = objeto;
    e.detalle = detalle;
    anotar_(e);
}

} // namespace corvane
