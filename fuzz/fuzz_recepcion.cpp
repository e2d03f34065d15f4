// Arbitrary bytes through the whole receive road: handler, decoders, online account
// window and an in-memory event database. A broken rule is printed and stops the
// run at once.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "invariantes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo) {
    // One temporary folder for the error log serves the whole run; each input gets
    // its own handler, boxes and database.
    static const corvane::invariantes::RecorridoRecepcion recorrido;
    const QByteArray entrada = QByteArray::fromRawData(reinterpret_cast<const char*>(datos),
                                                       static_cast<qsizetype>(largo));
    const QString falta = recorrido.revisar(entrada);
    if (!falta.isEmpty()) {
        std::fprintf(stderr, "regla rota: %s\n", falta.toUtf8().constData());
        __builtin_trap();
    }
    return 0;
}
