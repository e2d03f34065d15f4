#pragma once
// The database handle set: three database slots and four recordset slots. The
// console uses database slot 0 and recordset slot 0 only.

#include <QString>

#include <array>
#include <memory>
#include <vector>

#include "common/registro_errores.h"
#include "store/esquema.h"
#include "store/motor.h"

namespace corvane {

inline constexpr int kBasesDatos = 3;
inline constexpr int kRegistros = 4;

// The event rows of one batch of received bytes, stored in one transaction on
// one slot.
struct LoteFilas {
    enum class Estado {
        Inactivo,      // no batch: each row is stored at once, alone
        Esperando,     // a batch without rows yet: its transaction begins at its first row
        EnTransaccion, // rows stored in the open transaction, kept until its commit
        Suelto,        // no transaction (it could not begin, or was undone): rows one by one
    };
    Estado estado = Estado::Inactivo;
    qint16 indice = 0;
    // Stored inside the open transaction, not yet committed: only needed again
    // after a failure undoes it.
    FilasCompactas hechas;
};

struct ConjuntoBases {
    // 1 once abrir_base_de_datos stored a database in the slot, 0 after inic_base_de_datos.
    std::array<qint16, kBasesDatos> abierta{};
    std::array<std::unique_ptr<BaseDatos>, kBasesDatos> base;
    std::array<std::unique_ptr<Registros>, kRegistros> registros;
    // Where the routines log their failures; nothing is logged while it is null.
    const RegistroErrores* errores = nullptr;
    // The local queue of pending rows (a file in the data folder) behind the
    // store, and the opener of a store with that queue (the road sets both);
    // without them the engine alone is opened.
    QString colaPendientes;
    AbrirConCola abrirConCola = nullptr;
    LoteFilas lote;
};

} // namespace corvane
