#include "common/reloj.h"

namespace corvane {

QString Reloj::texto_hora() const { return ahora().toString(kFormatoHora); }
QString Reloj::texto_fecha() const { return ahora().toString(kFormatoFecha); }

} // namespace corvane
