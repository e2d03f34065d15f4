#include "abonados/esquema_abonados.h"

namespace corvane::esquema_abonados {

QStringList crear_tablas() {
    return {crear(kAbonados, kColumnasAbonados, kClaveAbonados),
            crear(kZonas, kColumnasZonas, kClaveZonas),
            crear(kContactos, kColumnasContactos, kClaveContactos),
            crear(kInstrucciones, kColumnasInstrucciones, kClaveInstrucciones)};
}

QString asegurar_postgresql() {
    return tablas_propias::asegurar_postgresql({kAbonados, kZonas, kContactos, kInstrucciones},
                                               crear_tablas());
}

} // namespace corvane::esquema_abonados
