#pragma once
// The database handle set: three database slots and four recordset slots. The
// console uses database slot 0 and recordset slot 0 only.

#include <QString>

#include <array>
#include <memory>
#include <vector>

#include "common/registro_errores.h"
#include "store/motor.h"

namespace corvane {

inline constexpr int kBasesDatos = 3;
inline constexpr int kRegistros = 4;

// Statements of one batch of received bytes, run in one transaction on one slot.
struct LoteSentencias {
    bool activo = false;
    bool iniciado = false; // the transaction is begun at the batch's first statement
    bool enTransaccion = false;
    qint16 indice = 0;
    // Executed inside the open transaction, not yet committed: only needed again
    // after a failure. Each is kept as its values part behind a header shared by
    // all statements of the same shape, a fraction of the memory of whole texts.
    struct Hecha {
        QString cabecera;
        QString resto;
    };
    std::vector<Hecha> hechas;
};

struct ConjuntoBases {
    // 1 once abrir_base_de_datos stored a database in the slot, 0 after inic_base_de_datos.
    std::array<qint16, kBasesDatos> abierta{};
    std::array<std::unique_ptr<BaseDatos>, kBasesDatos> base;
    std::array<std::unique_ptr<Registros>, kRegistros> registros;
    // Where the routines log their failures; nothing is logged while it is null.
    const RegistroErrores* errores = nullptr;
    LoteSentencias lote;
};

} // namespace corvane
