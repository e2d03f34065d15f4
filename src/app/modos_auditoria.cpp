// The audit trail's command-line mode: its verification.

#include "app/cajas_consola.h"
#include "app/modos.h"
#include "auditoria/auditoria.h"
#include "store/motor.h"

namespace corvane {

int modo_verificar_auditoria(const Opciones& o) {
    std::unique_ptr<BaseDatos> base;
    if (const int r = abrir_para_listar(o, base)) return r;
    const QString ruta = ruta_base(o);
    // A range of days: from the start of --desde to the end of --hasta (or of
    // the last entry).
    const QString desde = o.fecha.isValid() ? o.fecha.toString(QStringLiteral("yyyy-MM-dd")) +
                                                  QStringLiteral(" 00:00:00")
                                            : QString();
    const QString hasta = o.hasta.isValid() ? o.hasta.toString(QStringLiteral("yyyy-MM-dd")) +
                                                  QStringLiteral(" 23:59:59")
                                            : QString();
    VerificacionAuditoria r;
    if (const Fallo f = verificar_auditoria(*base, desde, hasta, r)) return fallar_lectura(ruta, f);
    if (!r.tabla) {
        escribir(stdout, QStringLiteral("Auditoría rota. La base no tiene tabla de auditoría\n"));
        return kSalidaAuditoriaRota;
    }
    if (!r.rotura.isEmpty()) {
        escribir(stdout, QStringLiteral("Auditoría rota. %1 (%2 entradas íntegras antes)\n")
                             .arg(r.rotura)
                             .arg(r.entradas));
        return kSalidaAuditoriaRota;
    }
    QString texto = QStringLiteral("Auditoría íntegra: %1 entradas").arg(r.entradas);
    if (r.entradas > 0) texto += QStringLiteral(", de la %1 a la %2").arg(r.primera).arg(r.ultima);
    escribir(stdout, texto + QLatin1Char('\n'));
    return kSalidaCorrecta;
}

} // namespace corvane
