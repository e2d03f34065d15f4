#include "consola/listado.h"

#include "common/reloj.h"

namespace corvane {
namespace {

QString campo_csv(const QString& valor) {
    if (!valor.contains(QLatin1Char(',')) && !valor.contains(QLatin1Char('"'))) return valor;
    QString r = valor;
    r.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + r + QLatin1Char('"');
}

} // namespace

QString linea_historial(const FilaHistorial& f) {
    QString linea = QStringLiteral("Cuenta=") + f.abonado + QStringLiteral("  ") + QStringLiteral("Señal=") +
                    QString::number(f.nivel) + QStringLiteral("  ") + QStringLiteral("Origen=");
    if (f.origenNumero == 0) {
        linea += QStringLiteral("Dir     ");
    } else {
        linea += QStringLiteral("Rep ") + f.origen + QStringLiteral("   ");
    }
    return linea + QStringLiteral("Hora=") +
           (f.momento.isValid() ? f.momento.toString(kFormatoListado) : f.momentoTexto) +
           QStringLiteral("\r\n");
}

QString linea_csv(const FilaHistorial& f) {
    return campo_csv(f.abonado) + QLatin1Char(',') + QString::number(f.nivel) + QLatin1Char(',') +
           campo_csv(f.origen) + QLatin1Char(',') +
           (f.momento.isValid() ? f.momento.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
                                : campo_csv(f.momentoTexto)) +
           QStringLiteral("\r\n");
}

QString consultar_historial(const QString& sentencia, qint16 indice, qint16 indiceRegistros,
                            ConjuntoBases& bases, FormaListado forma) {
    if (forma == FormaListado::Csv)
        return kCabeceraCsv +
               consultar_historial(sentencia, indice, indiceRegistros, bases, linea_csv, QString());
    return consultar_historial(sentencia, indice, indiceRegistros, bases, linea_historial, kSinRegistros);
}

} // namespace corvane
