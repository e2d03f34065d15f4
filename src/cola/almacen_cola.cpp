#include "cola/almacen_cola.h"

#include "cola/base_central.h"
#include "cola/base_respaldada.h"
#include "common/registro_errores.h"

namespace corvane {

Fallo abrir_almacen(const QString& ruta, const QString& cola, std::unique_ptr<BaseDatos>& base) {
    base.reset();
    if (cola.isEmpty() || ruta == kBaseEnMemoria) return abrir_motor(ruta, base);
    return es_url_postgresql(ruta) ? abrir_central(ruta, cola, base)
                                   : abrir_respaldada(ruta, cola, base);
}

EscrituraAuditoria* escritura_auditoria(BaseDatos* base) {
    auto* almacen = dynamic_cast<AlmacenConCola*>(base);
    return almacen != nullptr ? &almacen->auditoria() : nullptr;
}

Fallo anotar_en_auditoria(ConjuntoBases& bases, const std::vector<EntradaAuditoria>& entradas) {
    BaseDatos* base = bases.base[0].get();
    if (EscrituraAuditoria* e = escritura_auditoria(base)) return e->anotar(entradas);
    if (base == nullptr || bases.abierta[0] == 0)
        return {fallos::kSinObjeto, QStringLiteral("sin base de datos")};
    return anotar_auditoria(*base, entradas);
}

Fallo anotar_en_auditoria(ConjuntoBases& bases, const EntradaAuditoria& entrada) {
    return anotar_en_auditoria(bases, std::vector<EntradaAuditoria>{entrada});
}

} // namespace corvane
