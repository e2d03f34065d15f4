#include "store/motor.h"

#include "store/base_central.h"
#include "store/motor_postgresql.h"
#include "store/motor_sqlite.h"

namespace corvane {

Fallo abrir_motor(const QString& ruta, std::unique_ptr<BaseDatos>& base, const QString& cola) {
    base.reset();
    if (!es_url_postgresql(ruta)) return abrir_sqlite(ruta, base);
    return cola.isEmpty() ? abrir_postgresql(ruta, base) : abrir_central(ruta, cola, base);
}

} // namespace corvane
