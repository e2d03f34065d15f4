#include "consola/listado.h"

#include <deque>

#include "common/reloj.h"
#include "store/consulta.h"
#include "store/esquema.h"
#include "store/motor.h"

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

Fallo leer_eventos_recientes(BaseDatos& base, const QString& cuenta, const QDateTime& desde,
                             const QDateTime& hasta, std::size_t maximo,
                             std::vector<FilaEvento>& eventos) {
    eventos.clear();
    ConsultaIntervalo c;
    c.cuenta = cuenta;
    c.desde = desde.date();
    c.hasta = hasta.date();
    // The listing's statement runs by whole days: the hours outside are left out here.
    const QByteArray primero = desde.toString(kFormatoMomento).toUtf8();
    const QByteArray ultimo = hasta.toString(kFormatoMomento).toUtf8();
    std::deque<FilaEvento> ultimos;
    const Fallo f = base.recorrer(sentencia_intervalo(c), [&](const ValoresFila& v) -> Fallo {
        if (v.size() != esquema::kColumnas.size()) return {};
        FilaEvento fila;
        for (std::size_t i = 0; i < v.size(); ++i) {
            const QString texto =
                QString::fromUtf8(v[i].data(), static_cast<qsizetype>(v[i].size()));
            if (esquema::kColumnas[i].texto != nullptr)
                fila.*esquema::kColumnas[i].texto = texto;
            else
                fila.nivel = texto.toInt();
        }
        // PostgreSQL's text of a timestamp is the stored form; a fraction is cut.
        fila.momento.truncate(19);
        const QByteArray m = fila.momento.toUtf8();
        if (m < primero || m > ultimo) return {};
        ultimos.push_back(std::move(fila));
        if (ultimos.size() > maximo) ultimos.pop_front();
        return {};
    });
    eventos.assign(ultimos.begin(), ultimos.end());
    return f;
}

} // namespace corvane
