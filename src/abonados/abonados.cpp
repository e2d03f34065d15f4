#include "abonados/abonados.h"

namespace corvane {

QString texto_estado(EstadoAbonado estado) {
    switch (estado) {
    case EstadoAbonado::EnPruebas:
        return QStringLiteral("en_pruebas");
    case EstadoAbonado::Baja:
        return QStringLiteral("baja");
    case EstadoAbonado::Activo:
        break;
    }
    return QStringLiteral("activo");
}

std::optional<EstadoAbonado> estado_de_texto(const QString& texto) {
    for (const EstadoAbonado e :
         {EstadoAbonado::Activo, EstadoAbonado::EnPruebas, EstadoAbonado::Baja})
        if (texto == texto_estado(e)) return e;
    return std::nullopt;
}

} // namespace corvane
