#include "common/caja_texto.h"

namespace corvane {

void CajaTexto::anteponer(const QString& nuevo) {
    ponerTexto(nuevo + texto().left(kLimiteRegistro));
}

void CajaTexto::anteponerConTonos(const QString& nuevo, const Tonos&) { anteponer(nuevo); }

void CajaMemoria::anteponer(const QString& nuevo) {
    // Cut first, then insert in place: one allocation at most, no copy of the
    // whole log through a temporary.
    if (texto_.size() > kLimiteRegistro) texto_.truncate(kLimiteRegistro);
    texto_.prepend(nuevo);
}

void EscriturasDiferidas::soltar() {
    // Taken out first: a box may receive further writes while these are applied.
    std::vector<Escritura> lista;
    lista.swap(pendientes_);
    for (Escritura& e : lista) {
        if (e.anteponer && e.tonos.empty()) e.caja->anteponer(e.texto);
        else if (e.anteponer) e.caja->anteponerConTonos(e.texto, e.tonos);
        else e.caja->ponerTexto(e.texto);
    }
}

} // namespace corvane
