#include "consola/acciones_alarma.h"

#include <QDateTime>
#include <QUuid>

#include "common/reloj.h"
#include "decoding/codigos_evento.h"
#include "store/motor.h"

namespace corvane {
namespace {

QString cuando(const QString& momento) {
    const QDateTime m = QDateTime::fromString(momento, kFormatoMomento);
    if (!m.isValid()) return momento;
    return QStringLiteral("el %1 a las %2")
        .arg(m.toString(QStringLiteral("dd/MM/yyyy")), m.toString(QStringLiteral("HH:mm:ss")));
}

QString quien(const QString& operador, const QString& puesto) {
    if (operador.isEmpty()) return QStringLiteral("el puesto %1").arg(puesto);
    return QStringLiteral("%1 (%2)").arg(operador, puesto);
}

Fallo leer_una(BaseDatos& base, const QString& clave, std::vector<FilaAlarma>& halladas) {
    FiltroAlarmas filtro;
    filtro.clave = clave;
    filtro.cerradas = 2; // enough to tell one from several
    return leer_alarmas_ciclo(base, filtro, halladas);
}

} // namespace

bool cierre_pide_nota(const FilaAlarma& alarma) {
    const ClaseEvento clase = clasificar_evento(alarma.evento).clase;
    return clase == ClaseEvento::Fuego || clase == ClaseEvento::Panico ||
           clase == ClaseEvento::Medica;
}

AccionAlarma nueva_accion(AccionAlarma::Tipo tipo, const QString& clave, const QString& momento,
                          const QString& puesto, const QString& operador) {
    AccionAlarma a;
    a.tipo = tipo;
    a.clave = clave;
    a.momento = momento;
    a.puesto = puesto;
    a.operador = operador;
    // The milliseconds since the epoch in front: notes of one second keep the
    // order they were written in (the notes are read by moment, then by key).
    a.idNota = QStringLiteral("%1-%2")
                   .arg(QDateTime::currentMSecsSinceEpoch(), 12, 16, QLatin1Char('0'))
                   .arg(QUuid::createUuid().toString(QUuid::WithoutBraces).left(27));
    return a;
}

QString quien_cerro(const FilaAlarma& alarma) {
    return QStringLiteral("la cerró %1 %2")
        .arg(quien(alarma.operadorCierre, alarma.puestoCierre), cuando(alarma.cerrada));
}

QString rechazo(const FilaAlarma& alarma, const AccionAlarma& accion, bool supervisor) {
    const EstadoAlarma estado = estado_de(alarma);
    using T = AccionAlarma::Tipo;
    switch (accion.tipo) {
    case T::Reconocer:
        if (estado == EstadoAlarma::Cerrada)
            return QStringLiteral("La alarma ya está cerrada: %1").arg(quien_cerro(alarma));
        if (estado == EstadoAlarma::Reconocida)
            return QStringLiteral("La alarma ya está reconocida: la reconoció %1 %2")
                .arg(quien(alarma.operadorReconocimiento, alarma.reconocidaEn),
                     cuando(alarma.reconocida));
        return {};
    case T::Nota:
        if (accion.nota.trimmed().isEmpty()) return QStringLiteral("La nota está vacía");
        return {};
    case T::Cerrar:
        if (estado == EstadoAlarma::Cerrada)
            return QStringLiteral("La alarma ya está cerrada: %1").arg(quien_cerro(alarma));
        if (!resolucion_de(accion.resolucion))
            return QStringLiteral("Resolución no válida «%1»: se espera una de %2")
                .arg(accion.resolucion, codigos_resolucion());
        if (cierre_pide_nota(alarma) && accion.nota.trimmed().isEmpty())
            return QStringLiteral(
                "Para cerrar una alarma de fuego, pánico o médica hace falta una nota");
        return {};
    case T::Reabrir:
        if (!supervisor) return QStringLiteral("Solo un supervisor puede reabrir una alarma");
        if (estado != EstadoAlarma::Cerrada) return QStringLiteral("La alarma no está cerrada");
        if (accion.nota.trimmed().isEmpty())
            return QStringLiteral("Para reabrir una alarma hace falta una nota");
        return {};
    case T::Restaurar:
        return {};
    }
    return {};
}

bool aplicar_en_fila(FilaAlarma& a, const AccionAlarma& accion) {
    using T = AccionAlarma::Tipo;
    const auto reconocer = [&] {
        if (!a.reconocida.isEmpty()) return false;
        a.reconocida = accion.momento;
        a.reconocidaEn = accion.puesto;
        a.operadorReconocimiento = accion.operador;
        a.estado = codigo_estado(EstadoAlarma::Reconocida);
        return true;
    };
    switch (accion.tipo) {
    case T::Reconocer:
        return a.clave == accion.clave && reconocer();
    case T::Nota:
        return false;
    case T::Cerrar: {
        if (a.clave != accion.clave) return false;
        const bool reconocida = reconocer();
        if (estado_de(a) == EstadoAlarma::Cerrada) return reconocida;
        a.estado = codigo_estado(EstadoAlarma::Cerrada);
        a.cerrada = accion.momento;
        a.puestoCierre = accion.puesto;
        a.operadorCierre = accion.operador;
        a.resolucion = accion.resolucion;
        return true;
    }
    case T::Reabrir:
        if (a.clave != accion.clave || estado_de(a) != EstadoAlarma::Cerrada ||
            a.cerrada != accion.cierreVisto)
            return false;
        a.estado = codigo_estado(EstadoAlarma::Reconocida);
        a.cerrada.clear();
        a.puestoCierre.clear();
        a.operadorCierre.clear();
        a.resolucion.clear();
        return true;
    case T::Restaurar:
        if (a.abonado != accion.abonado || a.particion != accion.particion ||
            a.zona != accion.zona || a.recibida > accion.momento || !a.restaurada.isEmpty() ||
            estado_de(a) == EstadoAlarma::Cerrada)
            return false;
        a.restaurada = accion.momento;
        return true;
    }
    return false;
}

Fallo tomar_accion(BaseDatos& base, AccionAlarma& accion, bool supervisor, ResultadoAccion& r) {
    r = {};
    if (Fallo f = asegurar_ciclo_alarmas(base)) return f;
    std::vector<FilaAlarma> halladas;
    if (Fallo f = leer_una(base, accion.clave, halladas)) return f;
    if (halladas.empty()) {
        r.rechazo = QStringLiteral("No hay ninguna alarma con la clave %1").arg(accion.clave);
        return {};
    }
    if (halladas.size() > 1) {
        r.rechazo =
            QStringLiteral("La clave %1 es el principio de varias alarmas: escriba más caracteres")
                .arg(accion.clave);
        return {};
    }
    accion.clave = halladas.front().clave;
    r.alarma = halladas.front();
    r.antes = estado_de(*r.alarma);
    if (accion.tipo == AccionAlarma::Tipo::Reabrir) accion.cierreVisto = r.alarma->cerrada;
    r.rechazo = rechazo(*r.alarma, accion, supervisor);
    if (!r.rechazo.isEmpty()) return {};

    if (Fallo f = base.comenzarLote()) return f;
    Fallo f = aplicar_accion(base, accion);
    if (!f) f = leer_una(base, accion.clave, halladas);
    if (f) {
        base.deshacerLote();
        return f;
    }
    r.alarma = halladas.empty() ? std::nullopt : std::optional<FilaAlarma>(halladas.front());
    // Another workstation's closing committed between the read and the change:
    // this one changed nothing but the acknowledgement, which is undone too.
    const bool otroCierre =
        accion.tipo == AccionAlarma::Tipo::Cerrar && r.alarma &&
        (r.alarma->cerrada != accion.momento || r.alarma->puestoCierre != accion.puesto ||
         r.alarma->operadorCierre != accion.operador);
    const bool otraReapertura = accion.tipo == AccionAlarma::Tipo::Reabrir && r.alarma &&
                                estado_de(*r.alarma) == EstadoAlarma::Cerrada;
    if (otroCierre || otraReapertura) {
        base.deshacerLote();
        r.rechazo =
            otroCierre ? QStringLiteral("La alarma ya está cerrada: %1").arg(quien_cerro(*r.alarma))
                       : QStringLiteral("La alarma volvió a cerrarse antes de reabrirla: %1")
                             .arg(quien_cerro(*r.alarma));
        return {};
    }
    if (Fallo g = base.confirmarLote()) return g;
    r.hecha = true;
    return {};
}

} // namespace corvane
