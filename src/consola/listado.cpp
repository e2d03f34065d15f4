#include "consola/listado.h"

#include "common/reloj.h"

namespace corvane {

QString linea_historial(const FilaHistorial& f) {
    QString linea = QStringLiteral("Cuenta=") + f.abonado + QStringLiteral("  ") +
                    QStringLiteral("Señal=") + QString::number(f.nivel) + QStringLiteral("  ") +
                    QStringLiteral("Origen=");
    if (f.origenNumero == 0) {
        linea += QStringLiteral("Dir     ");
    } else {
        linea += QStringLiteral("Rep ") + f.origen + QStringLiteral("   ");
    }
    return linea + QStringLiteral("Hora=") +
           (f.momento.isValid() ? f.momento.toString(kFormatoListado) : f.momentoTexto) +
           QStringLiteral("\r\n");
}

QString consultar_historial(const QString& sentencia, qint16 indice, qint16 indiceRegistros,
                            ConjuntoBases& bases, Fallo* fallo) {
    return consultar_historial(sentencia, indice, indiceRegistros, bases, linea_historial,
                               kSinRegistros, fallo);
}

} // namespace corvane
