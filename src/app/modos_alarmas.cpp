// The alarms' command-line modes: the listing, and the operator's steps
// (acknowledge, note, close, reopen) taken at once on the database, each in the
// audit trail.

#include <QDateTime>
#include <QSysInfo>

#include <unistd.h>

#include "abonados/registro_abonados.h"
#include "app/cajas_consola.h"
#include "app/entrada_clave.h"
#include "app/modos.h"
#include "auditoria/auditoria.h"
#include "consola/acciones_alarma.h"
#include "decoding/codigos_evento.h"
#include "operadores/operadores.h"
#include "store/archivo_base.h"
#include "store/motor.h"

namespace corvane {
namespace {

// Closed alarms listed after the open ones by --alarmas --todas.
constexpr int kCerradasListadas = 50;

QString ahora() {
    return QDateTime::currentDateTime().toString(kFormatoMomento);
}

// A refusal of the operator's step: the Spanish reason, exit 2.
int rechazar(const QString& motivo) {
    escribir(stderr, QStringLiteral("corvane: %1\n").arg(motivo));
    return kSalidaError;
}

// "Ana Pérez (ana)"-style column: the user name as stored.
QString operador_de(const FilaAlarma& a) {
    switch (estado_de(a)) {
    case EstadoAlarma::Cerrada:
        return a.operadorCierre;
    case EstadoAlarma::Reconocida:
        return a.operadorReconocimiento;
    case EstadoAlarma::Nueva:
        break;
    }
    return {};
}

} // namespace

int modo_alarmas(const Opciones& o) {
    QString error;
    if (!preparar_carpeta(o, error)) return fallar(error);
    const QString ruta = ruta_base(o);
    std::unique_ptr<BaseDatos> base;
    if (const Fallo f = abrir_motor(ruta, base)) return fallar_lectura(ruta, f);
    FiltroAlarmas filtro;
    filtro.cerradas = o.todas ? kCerradasListadas : 0;
    std::vector<FilaAlarma> alarmas;
    if (const Fallo f = leer_alarmas_ciclo(*base, filtro, alarmas)) return fallar_lectura(ruta, f);
    CatalogoAbonados catalogo([&base] { return base.get(); });
    QString texto = QStringLiteral(
        "clave\trecibida\tabonado\tnombre\tevento\tdescripcion\tzona\testado\toperador\n");
    for (const FilaAlarma& a : alarmas) {
        const QDateTime recibida = QDateTime::fromString(a.recibida, kFormatoMomento);
        texto +=
            QStringList{a.clave,       recibida.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")),
                        a.abonado,     catalogo.nombre(a.abonado).value_or(QString()),
                        a.evento,      describir_evento(a.evento),
                        a.zona,        nombre_estado(estado_de(a)),
                        operador_de(a)}
                .join(QLatin1Char('\t')) +
            QLatin1Char('\n');
    }
    escribir(stdout, texto);
    return kSalidaCorrecta;
}

int modo_accion_alarma(const Opciones& o) {
    QString error;
    if (!preparar_carpeta(o, error)) return fallar(error);
    const QString ruta = ruta_base(o);
    std::unique_ptr<BaseDatos> base;
    if (const Fallo f = abrir_motor(ruta, base)) return fallar_lectura(ruta, f);
    const QString puesto = o.puesto.isEmpty() ? QSysInfo::machineHostName() : o.puesto;

    // The operator signs in with the password on standard input.
    QByteArray leida =
        ::isatty(STDIN_FILENO) != 0 ? leer_sin_eco(QStringLiteral("Contraseña: ")) : QByteArray();
    if (::isatty(STDIN_FILENO) == 0) leer_linea_entrada(leida);
    QString clave = QString::fromUtf8(leida);
    leida.fill('\0');
    if (const Fallo f = crear_tabla_operadores(*base)) return fallar_lectura(ruta, f);
    Credenciales c;
    const Fallo fc =
        comprobar_credenciales(*base, o.operador, clave, QDateTime::currentDateTime(), c);
    clave.fill(QLatin1Char('\0'));
    if (fc) return fallar_lectura(ruta, fc);
    if (!c.aceptadas) {
        static_cast<void>(anotar_auditoria(*base, EntradaAuditoria{ahora(), puesto, o.operador,
                                                                   AccionAuditoria::AccesoFallido,
                                                                   o.operador, c.mensaje}));
        return rechazar(c.mensaje);
    }

    using T = AccionAlarma::Tipo;
    const T tipo = o.modo == Modo::ReconocerAlarma ? T::Reconocer
                   : o.modo == Modo::NotaAlarma    ? T::Nota
                   : o.modo == Modo::CerrarAlarma  ? T::Cerrar
                                                   : T::Reabrir;
    AccionAlarma accion = nueva_accion(tipo, o.claveAlarma, ahora(), puesto, o.operador);
    accion.nota = o.textoNota;
    accion.resolucion = o.resolucion;
    ResultadoAccion r;
    if (const Fallo f = tomar_accion(*base, accion, c.operador->rol == RolOperador::Supervisor, r))
        return fallar_lectura(ruta, f);
    if (!r.hecha) return rechazar(r.rechazo);

    // The audit trail: closing an alarm not acknowledged acknowledges it first.
    std::vector<EntradaAuditoria> entradas;
    const auto anotar = [&](AccionAuditoria a, const QString& detalle) {
        entradas.push_back({accion.momento, puesto, o.operador, a, accion.clave, detalle});
    };
    const QString descripcion =
        r.alarma ? QStringLiteral("abonado %1, %2 %3")
                       .arg(r.alarma->abonado, r.alarma->evento, describir_evento(r.alarma->evento))
                 : QString();
    switch (tipo) {
    case T::Reconocer:
        anotar(AccionAuditoria::Reconocimiento, descripcion);
        break;
    case T::Nota:
        anotar(AccionAuditoria::Nota, accion.nota);
        break;
    case T::Cerrar:
        if (r.antes == EstadoAlarma::Nueva) anotar(AccionAuditoria::Reconocimiento, descripcion);
        anotar(AccionAuditoria::Cierre,
               QStringLiteral("resolución %1%2")
                   .arg(accion.resolucion, accion.nota.isEmpty()
                                               ? QString()
                                               : QStringLiteral("; nota: ") + accion.nota));
        break;
    case T::Reabrir:
        anotar(AccionAuditoria::Reapertura, accion.nota);
        break;
    case T::Restaurar:
        break;
    }
    if (const Fallo f = anotar_auditoria(*base, entradas)) return fallar_lectura(ruta, f);

    const QString hecho =
        tipo == T::Reconocer ? QStringLiteral("reconocida")
        : tipo == T::Nota    ? QStringLiteral("con la nota añadida")
        : tipo == T::Cerrar
            ? QStringLiteral("cerrada (%1)").arg(resolucion_de(accion.resolucion)->nombre)
            : QStringLiteral("reabierta");
    escribir(stdout, QStringLiteral("Alarma %1 %2\n").arg(accion.clave, hecho));
    return kSalidaCorrecta;
}

} // namespace corvane
