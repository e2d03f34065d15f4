#include "cola/almacen_cola.h"

#include "cola/base_central.h"
#include "cola/base_respaldada.h"

namespace corvane {

Fallo abrir_almacen(const QString& ruta, const QString& cola, std::unique_ptr<BaseDatos>& base) {
    base.reset();
    if (cola.isEmpty() || ruta == kBaseEnMemoria) return abrir_motor(ruta, base);
    return es_url_postgresql(ruta) ? abrir_central(ruta, cola, base)
                                   : abrir_respaldada(ruta, cola, base);
}

} // namespace corvane
