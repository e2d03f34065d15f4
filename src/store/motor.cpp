#include "store/motor.h"

#include "store/base_central.h"
#include "store/base_respaldada.h"
#include "store/motor_postgresql.h"
#include "store/motor_sqlite.h"

namespace corvane {

Fallo abrir_motor(const QString& ruta, std::unique_ptr<BaseDatos>& base, const QString& cola) {
    base.reset();
    if (!es_url_postgresql(ruta))
        return cola.isEmpty() || ruta == kBaseEnMemoria ? abrir_sqlite(ruta, base) : abrir_respaldada(ruta, cola, base);
    return cola.isEmpty() ? abrir_postgresql(ruta, base) : abrir_central(ruta, cola, base);
}

} // namespace corvane
