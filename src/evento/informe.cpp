#include "evento/informe.h"

namespace corvane {

LineasInforme lineas_informe(const FilaEvento& fila) {
    static const QString kFinLinea = QStringLiteral("\r\n");
    const QString cabeza = QStringLiteral("Cuenta=") + fila.abonado + QStringLiteral("  Señal=") +
                           QString::number(fila.nivel);
    const QString origen = origen_mostrado(fila);
    const QString hora = QStringLiteral("  ") + hora_de(fila) + kFinLinea;
    LineasInforme l;
    l.detallada =
        cabeza + QStringLiteral("/16  Or=") + origen + QStringLiteral("  Ev=") + fila.evento;
    if (!de_paquete_corto(fila))
        l.detallada +=
            QStringLiteral("  Part=") + fila.particion + QStringLiteral("  Zona=") + fila.zona;
    l.detallada += hora;
    l.corta = cabeza + QStringLiteral("/16  Origen=") + origen + hora;
    return l;
}

} // namespace corvane
