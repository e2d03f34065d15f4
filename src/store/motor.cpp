#include "store/motor.h"

#include "store/motor_postgresql.h"
#include "store/motor_sqlite.h"

namespace corvane {

Fallo abrir_motor(const QString& ruta, std::unique_ptr<BaseDatos>& base) {
    base.reset();
    return es_url_postgresql(ruta) ? abrir_postgresql(ruta, base) : abrir_sqlite(ruta, base);
}

} // namespace corvane
