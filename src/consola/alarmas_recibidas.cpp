#include "consola/alarmas_recibidas.h"

#include <QUuid>

#include "cola/almacen_cola.h"
#include "cola/escritura_alarmas.h"
#include "decoding/codigos_evento.h"
#include "store/ciclo_alarmas.h"

namespace corvane {

std::vector<AlarmaPendiente> alarmas_nuevas(const std::vector<FilaEvento>& alarmas,
                                            const QString& puesto) {
    std::vector<AlarmaPendiente> escritos;
    for (const FilaEvento& f : alarmas) {
        FilaAlarma a;
        a.clave = QUuid::createUuid().toString(QUuid::WithoutBraces);
        a.abonado = f.abonado;
        a.evento = f.evento;
        a.particion = f.particion;
        a.zona = f.zona;
        a.origen = f.origen;
        a.recibida = f.momento;
        a.puesto = puesto;
        escritos.push_back({0, false, std::move(a), {}});
    }
    return escritos;
}

std::vector<AlarmaPendiente> restauraciones(const std::vector<FilaEvento>& filas,
                                            const QString& puesto) {
    std::vector<AlarmaPendiente> escritos;
    for (const FilaEvento& f : filas) {
        const ClasificacionEvento c = clasificar_evento(f.evento);
        const bool deAlarma = c.clase == ClaseEvento::Fuego || c.clase == ClaseEvento::Panico ||
                              c.clase == ClaseEvento::Medica || c.clase == ClaseEvento::Robo;
        if (!deAlarma || c.estado != EstadoEvento::Restauracion) continue;
        AccionAlarma a;
        a.tipo = AccionAlarma::Tipo::Restaurar;
        a.momento = f.momento;
        a.puesto = puesto;
        a.abonado = f.abonado;
        a.particion = f.particion;
        a.zona = f.zona;
        escritos.push_back({0, false, {}, serializar(a)});
    }
    return escritos;
}

std::vector<AlarmaPendiente> escritos_recibidos(const std::vector<FilaEvento>& filas,
                                                const QString& puesto) {
    std::vector<AlarmaPendiente> escritos;
    for (const FilaEvento& f : filas) {
        std::vector<AlarmaPendiente> uno = clasificar_evento(f.evento).alarma()
                                               ? alarmas_nuevas({f}, puesto)
                                               : restauraciones({f}, puesto);
        for (AlarmaPendiente& a : uno) escritos.push_back(std::move(a));
    }
    return escritos;
}

Fallo escribir_alarmas(EscrituraAlarmas* escritura, BaseDatos* base,
                       const std::vector<AlarmaPendiente>& escritos) {
    if (escritos.empty()) return {};
    if (escritura != nullptr) return escritura->escribir(base, escritos);
    if (base == nullptr) return kSinBaseAlarmas;
    std::size_t hechas = 0;
    return aplicar_alarmas(*base, escritos, hechas);
}

EscrituraAlarmas* escritura_alarmas(BaseDatos* base) {
    auto* almacen = dynamic_cast<AlmacenConCola*>(base);
    return almacen != nullptr ? &almacen->alarmas() : nullptr;
}

} // namespace corvane
