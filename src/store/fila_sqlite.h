#pragma once
// An event row bound to a prepared SQLite statement whose parameters follow
// esquema::kColumnas: the event file's INSERT and the local queue's.

#include <sqlite3.h>

#include "store/esquema.h"

namespace corvane {

// The texts are bound without a copy: the row must outlive the statement's step.
// A non-null pointer also for the empty text: '' is stored as '', not NULL.
inline void vincular_fila(sqlite3_stmt* st, const FilaEvento& fila) {
    int indice = 1;
    for (const esquema::Columna& c : esquema::kColumnas) {
        if (c.texto == nullptr) {
            sqlite3_bind_int64(st, indice++, fila.nivel);
            continue;
        }
        const QString& valor = fila.*c.texto;
        sqlite3_bind_text16(st, indice++, valor.isNull() ? reinterpret_cast<const ushort*>(u"") : valor.utf16(),
                            static_cast<int>(valor.size() * 2), SQLITE_STATIC);
    }
}

} // namespace corvane
