// Arbitrary bytes through the framer and, for every framed long packet, the field
// extraction. A broken rule is printed and stops the run at once.

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "invariantes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t largo) {
    const QByteArray entrada = QByteArray::fromRawData(reinterpret_cast<const char*>(datos),
                                                       static_cast<qsizetype>(largo));
    const QString falta = corvane::invariantes::revisar_tramas(entrada);
    if (!falta.isEmpty()) {
        std::fprintf(stderr, "regla rota: %s\n", falta.toUtf8().constData());
        __builtin_trap();
    }
    return 0;
}
