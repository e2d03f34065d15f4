// The operators' command-line modes: add, deactivate, set a password, list.

#include <QDateTime>
#include <QSysInfo>

#include <unistd.h>

#include <cstdio>

#include "app/cajas_consola.h"
#include "app/entrada_clave.h"
#include "app/modos.h"
#include "auditoria/auditoria.h"
#include "common/registro_errores.h"
#include "common/reloj.h"
#include "operadores/operadores.h"
#include "store/motor.h"

namespace corvane {
namespace {

// The new password: typed twice at a terminal, without echo; from a script,
// the first line of standard input. False with the Spanish reason when the
// two differ or it is empty. Never written anywhere.
bool leer_clave_nueva(QString& clave, QString& error) {
    QByteArray primera;
    if (::isatty(STDIN_FILENO) != 0) {
        primera = leer_sin_eco(QStringLiteral("Contraseña: "));
        QByteArray segunda = leer_sin_eco(QStringLiteral("Repita la contraseña: "));
        const bool iguales = primera == segunda;
        segunda.fill('\0');
        if (!iguales) {
            primera.fill('\0');
            error = QStringLiteral("las contraseñas no coinciden; no se ha cambiado nada");
            return false;
        }
    } else {
        leer_linea_entrada(primera);
    }
    clave = QString::fromUtf8(primera);
    primera.fill('\0');
    if (clave.isEmpty()) {
        error = QStringLiteral("la contraseña está vacía; no se ha cambiado nada");
        return false;
    }
    return true;
}

QString ahora() {
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// The store of the data folder or --base, with the operators' table; the
// operator `o.operador` as it stands. 0 when ready, the exit status otherwise.
int abrir_operadores(const Opciones& o, std::unique_ptr<BaseDatos>& base,
                     std::optional<Operador>& actual) {
    QString error;
    if (!preparar_carpeta(o, error)) return fallar(error);
    const QString ruta = ruta_base(o);
    if (const Fallo f = abrir_motor(ruta, base)) return fallar_lectura(ruta, f);
    if (const Fallo f = crear_tabla_operadores(*base)) return fallar_lectura(ruta, f);
    if (const Fallo f = leer_operador(*base, o.operador, actual)) return fallar_lectura(ruta, f);
    return kSalidaCorrecta;
}

// The workstation that the audit trail and the operator's row name.
QString puesto_de(const Opciones& o) {
    return o.puesto.isEmpty() ? QSysInfo::machineHostName() : o.puesto;
}

// "nombre «Ana Pérez», rol supervisor, activo sí": what an entry says of an
// operator before or after a change; "—" for none.
QString describir(const std::optional<Operador>& op) {
    if (!op) return QStringLiteral("—");
    return QStringLiteral("nombre «%1», rol %2, activo %3")
        .arg(op->nombre, texto_rol(op->rol),
             op->activo ? QStringLiteral("sí") : QStringLiteral("no"));
}

// The change just stored, in the audit trail of the same database: an entry that
// cannot be written is told and logged, and leaves the change as it is.
void anotar_cambio(const Opciones& o, BaseDatos& base, AccionAuditoria accion,
                   const QString& momento, const QString& detalle) {
    EntradaAuditoria e;
    e.momento = momento;
    e.puesto = puesto_de(o);
    e.accion = accion;
    e.objeto = o.operador;
    e.detalle = detalle;
    if (const Fallo f = anotar_auditoria(base, e)) {
        escribir(stderr,
                 QStringLiteral("corvane: el cambio del operador no quedó en la auditoría: %1\n")
                     .arg(motivo_de(f)));
        RelojSistema reloj;
        RegistroErrores(carpeta_datos(o), reloj)
            .registrar_error(f.numero, QStringLiteral("auditoria"));
    }
}

// The change with the row before it and as it stands after it.
void anotar_antes_y_despues(const Opciones& o, BaseDatos& base, AccionAuditoria accion,
                            const QString& momento, const std::optional<Operador>& antes) {
    std::optional<Operador> despues;
    if (leer_operador(base, o.operador, despues)) despues.reset();
    anotar_cambio(
        o, base, accion, momento,
        QStringLiteral("antes: %1; después: %2").arg(describir(antes), describir(despues)));
}

int fallar_escritura(const Opciones& o, const Fallo& f) {
    fallar(QStringLiteral("no se pudo guardar el operador en «%1»: %2")
               .arg(sin_clave(ruta_base(o)), motivo_de(f)));
    return kSalidaBaseIlegible;
}

int no_existe(const Opciones& o) {
    return fallar(QStringLiteral("el operador «%1» no existe").arg(o.operador));
}

} // namespace

int modo_operador_alta(const Opciones& o) {
    std::unique_ptr<BaseDatos> base;
    std::optional<Operador> actual;
    if (const int r = abrir_operadores(o, base, actual)) return r;
    if (actual) return fallar(QStringLiteral("el operador «%1» ya existe").arg(o.operador));
    QString clave, error;
    if (!leer_clave_nueva(clave, error)) return fallar(error);
    Operador nuevo;
    nuevo.usuario = o.operador;
    nuevo.nombre = o.nombreOperador;
    nuevo.rol = rol_de_texto(o.rol).value_or(RolOperador::Operador);
    const QString momento = ahora();
    if (const Fallo f = alta_operador(*base, nuevo, clave, momento, puesto_de(o)))
        return fallar_escritura(o, f);
    anotar_antes_y_despues(o, *base, AccionAuditoria::AltaOperador, momento, std::nullopt);
    escribir(stdout, QStringLiteral("Operador %1 dado de alta (%2)\n").arg(o.operador, o.rol));
    return kSalidaCorrecta;
}

int modo_operador_baja(const Opciones& o) {
    std::unique_ptr<BaseDatos> base;
    std::optional<Operador> actual;
    if (const int r = abrir_operadores(o, base, actual)) return r;
    if (!actual) return no_existe(o);
    if (!actual->activo)
        return fallar(QStringLiteral("el operador «%1» ya está de baja").arg(o.operador));
    const QString momento = ahora();
    if (const Fallo f = baja_operador(*base, o.operador, momento, puesto_de(o)))
        return fallar_escritura(o, f);
    anotar_antes_y_despues(o, *base, AccionAuditoria::BajaOperador, momento, actual);
    escribir(stdout, QStringLiteral("Operador %1 dado de baja\n").arg(o.operador));
    return kSalidaCorrecta;
}

int modo_operador_clave(const Opciones& o) {
    std::unique_ptr<BaseDatos> base;
    std::optional<Operador> actual;
    if (const int r = abrir_operadores(o, base, actual)) return r;
    if (!actual) return no_existe(o);
    QString clave, error;
    if (!leer_clave_nueva(clave, error)) return fallar(error);
    const QString momento = ahora();
    const Fallo f = cambiar_clave_operador(*base, o.operador, clave, momento, puesto_de(o));
    clave.fill(QLatin1Char('\0'));
    if (f) return fallar_escritura(o, f);
    // The password itself is never written anywhere.
    anotar_cambio(o, *base, AccionAuditoria::ClaveOperador, momento,
                  actual->fallos > 0 || !actual->bloqueadoHasta.isEmpty()
                      ? QStringLiteral("contraseña cambiada; fallos y bloqueo anulados")
                      : QStringLiteral("contraseña cambiada"));
    escribir(stdout, QStringLiteral("Contraseña del operador %1 cambiada\n").arg(o.operador));
    return kSalidaCorrecta;
}

int modo_operadores(const Opciones& o) {
    // The file read-only, as a query: a file without the table lists nobody.
    std::unique_ptr<BaseDatos> base;
    if (const int r = abrir_para_listar(o, base)) return r;
    const QString ruta = ruta_base(o);
    bool presente = false;
    std::vector<Operador> operadores;
    if (const Fallo f = tabla_operadores_presente(*base, presente)) return fallar_lectura(ruta, f);
    if (presente)
        if (const Fallo f = listar_operadores(*base, operadores)) return fallar_lectura(ruta, f);
    QString texto = QStringLiteral("usuario\tnombre\trol\tactivo\n");
    for (const Operador& op : operadores)
        texto += QStringLiteral("%1\t%2\t%3\t%4\n")
                     .arg(op.usuario, op.nombre, texto_rol(op.rol),
                          op.activo ? QStringLiteral("sí") : QStringLiteral("no"));
    escribir(stdout, texto);
    return kSalidaCorrecta;
}

} // namespace corvane
