#include "common/caja_texto.h"

namespace corvane {

void CajaTexto::anteponer(const QString& nuevo) {
    ponerTexto(nuevo + texto().left(kLimiteRegistro));
}

void CajaMemoria::anteponer(const QString& nuevo) {
    // Cut first, then insert in place: one allocation at most, no copy of the
    // whole log through a temporary.
    if (texto_.size() > kLimiteRegistro) texto_.truncate(kLimiteRegistro);
    texto_.prepend(nuevo);
}

} // namespace corvane
