#include "decoding/codigos_evento.h"

#include <algorithm>
#include <iterator>

namespace corvane {
namespace {

using C = ClaseEvento;

struct Codigo {
    int numero;
    ClaseEvento clase;
    const char* descripcion; // UTF-8
};

// The event codes that panels commonly send, by family: 1xx alarms, 2xx
// supervisory, 3xx troubles, 4xx openings and closings, 5xx bypasses, 6xx tests
// and system messages. Sorted by number.
constexpr Codigo kCodigos[] = {
    {100, C::Medica, "Emergencia médica"},
    {101, C::Medica, "Emergencia personal (colgante)"},
    {102, C::Medica, "Persona sin reportarse"},
    {110, C::Fuego, "Incendio"},
    {111, C::Fuego, "Detección de humo"},
    {112, C::Fuego, "Combustión"},
    {113, C::Fuego, "Circulación de agua en rociadores"},
    {114, C::Fuego, "Detección de calor"},
    {115, C::Fuego, "Pulsador manual de incendio"},
    {116, C::Fuego, "Humo en conducto"},
    {117, C::Fuego, "Detección de llama"},
    {118, C::Fuego, "Prealarma de incendio"},
    {120, C::Panico, "Pánico"},
    {121, C::Panico, "Coacción"},
    {122, C::Panico, "Pánico silencioso"},
    {123, C::Panico, "Pánico audible"},
    {124, C::Panico, "Coacción con acceso concedido"},
    {125, C::Panico, "Coacción con salida concedida"},
    {130, C::Robo, "Robo"},
    {131, C::Robo, "Intrusión en el perímetro"},
    {132, C::Robo, "Intrusión en el interior"},
    {133, C::Robo, "Zona de 24 horas"},
    {134, C::Robo, "Intrusión por entrada o salida"},
    {135, C::Robo, "Zona día/noche"},
    {136, C::Robo, "Intrusión en el exterior"},
    {137, C::Robo, "Sabotaje"},
    {138, C::Robo, "Prealarma de intrusión"},
    {139, C::Robo, "Intrusión verificada"},
    {140, C::Robo, "Alarma general"},
    {143, C::Averia, "Falla de módulo de expansión"},
    {144, C::Robo, "Sabotaje de sensor"},
    {145, C::Robo, "Sabotaje de módulo de expansión"},
    {146, C::Robo, "Robo silencioso"},
    {147, C::Supervision, "Falla de supervisión de sensor"},
    {150, C::Supervision, "Alarma técnica de 24 horas"},
    {151, C::Supervision, "Detección de gas"},
    {152, C::Supervision, "Falla de refrigeración"},
    {153, C::Supervision, "Pérdida de calefacción"},
    {154, C::Supervision, "Pérdida de agua"},
    {158, C::Supervision, "Temperatura alta"},
    {159, C::Supervision, "Temperatura baja"},
    {200, C::Supervision, "Supervisión de incendio"},
    {201, C::Supervision, "Baja presión de agua"},
    {202, C::Supervision, "Bajo nivel de CO2"},
    {203, C::Supervision, "Sensor de válvula de compuerta"},
    {204, C::Supervision, "Bajo nivel de agua"},
    {205, C::Supervision, "Bomba activada"},
    {206, C::Supervision, "Falla de bomba"},
    {300, C::Averia, "Avería del sistema"},
    {301, C::Averia, "Corte de energía eléctrica"},
    {302, C::Averia, "Batería del sistema baja"},
    {303, C::Averia, "Error de memoria RAM"},
    {304, C::Averia, "Error de memoria ROM"},
    {305, C::Averia, "Reinicio del sistema"},
    {306, C::Averia, "Programación de la central modificada"},
    {307, C::Averia, "Falla de autodiagnóstico"},
    {308, C::Averia, "Sistema apagado"},
    {309, C::Averia, "Falla en la prueba de batería"},
    {310, C::Averia, "Falla a tierra"},
    {311, C::Averia, "Batería ausente o agotada"},
    {312, C::Averia, "Sobrecarga de la fuente"},
    {313, C::Averia, "Reinicio por el técnico"},
    {320, C::Averia, "Avería de sirena o relé"},
    {321, C::Averia, "Avería de la sirena 1"},
    {322, C::Averia, "Avería de la sirena 2"},
    {330, C::Averia, "Avería de periférico"},
    {333, C::Averia, "Falla de módulo de expansión"},
    {344, C::Averia, "Interferencia de radio"},
    {350, C::Averia, "Avería de comunicación"},
    {351, C::Averia, "Falla de la línea telefónica 1"},
    {352, C::Averia, "Falla de la línea telefónica 2"},
    {353, C::Averia, "Falla del transmisor de radio"},
    {354, C::Averia, "Evento no comunicado"},
    {370, C::Averia, "Avería de lazo"},
    {373, C::Averia, "Avería de incendio"},
    {380, C::Averia, "Avería de sensor"},
    {381, C::Averia, "Pérdida de supervisión de radio"},
    {383, C::Averia, "Sabotaje de sensor"},
    {384, C::Averia, "Batería baja de transmisor"},
    {400, C::AperturaCierre, "Apertura/cierre"},
    {401, C::AperturaCierre, "Apertura/cierre por usuario"},
    {402, C::AperturaCierre, "Apertura/cierre de grupo"},
    {403, C::AperturaCierre, "Apertura/cierre automático"},
    {406, C::AperturaCierre, "Cancelación por usuario"},
    {407, C::AperturaCierre, "Armado/desarmado remoto"},
    {408, C::AperturaCierre, "Armado rápido"},
    {409, C::AperturaCierre, "Apertura/cierre con llave"},
    {441, C::AperturaCierre, "Armado con personas dentro"},
    {450, C::AperturaCierre, "Apertura/cierre fuera de horario"},
    {451, C::AperturaCierre, "Apertura/cierre anticipado"},
    {452, C::AperturaCierre, "Apertura/cierre tardío"},
    {453, C::AperturaCierre, "Sin apertura a la hora prevista"},
    {454, C::AperturaCierre, "Sin cierre a la hora prevista"},
    {455, C::AperturaCierre, "Falla del armado automático"},
    {456, C::AperturaCierre, "Armado parcial"},
    {457, C::AperturaCierre, "Error de salida"},
    {459, C::AperturaCierre, "Cierre reciente"},
    {520, C::Anulacion, "Sirena o relé desactivado"},
    {570, C::Anulacion, "Zona anulada"},
    {571, C::Anulacion, "Zona de incendio anulada"},
    {572, C::Anulacion, "Zona de 24 horas anulada"},
    {573, C::Anulacion, "Zona de intrusión anulada"},
    {574, C::Anulacion, "Grupo de zonas anulado"},
    {575, C::Anulacion, "Zona anulada por repetición"},
    {601, C::Prueba, "Prueba manual"},
    {602, C::Prueba, "Prueba periódica"},
    {603, C::Prueba, "Transmisión periódica de radio"},
    {604, C::Prueba, "Prueba de incendio"},
    {605, C::Prueba, "Informe de estado"},
    {607, C::Prueba, "Modo de prueba de zonas"},
    {608, C::Prueba, "Prueba periódica con avería presente"},
    {611, C::Prueba, "Punto probado"},
    {612, C::Prueba, "Punto sin probar"},
    {621, C::Otro, "Registro de eventos borrado"},
    {622, C::Otro, "Registro de eventos a la mitad"},
    {623, C::Otro, "Registro de eventos casi lleno"},
    {624, C::Otro, "Registro de eventos desbordado"},
    {625, C::Otro, "Fecha y hora cambiadas"},
    {626, C::Otro, "Fecha y hora inexactas"},
    {627, C::Otro, "Entrada en programación"},
    {628, C::Otro, "Salida de programación"},
};

static_assert(std::is_sorted(std::begin(kCodigos), std::end(kCodigos),
                             [](const Codigo& a, const Codigo& b) { return a.numero < b.numero; }));

// The code without its type letter.
QStringView codigo_de(QStringView evento) {
    if (evento.size() == 4 && QStringView(u"GERO").contains(evento.front())) return evento.mid(1);
    return evento;
}

// The table's row of a code of three decimal digits, or null.
const Codigo* buscar(QStringView codigo) {
    if (codigo.size() != 3) return nullptr;
    int numero = 0;
    for (const QChar c : codigo) {
        if (c < u'0' || c > u'9') return nullptr;
        numero = numero * 10 + (c.unicode() - u'0');
    }
    const auto* it = std::lower_bound(std::begin(kCodigos), std::end(kCodigos), numero,
                                      [](const Codigo& a, int n) { return a.numero < n; });
    return it != std::end(kCodigos) && it->numero == numero ? it : nullptr;
}

} // namespace

bool ClasificacionEvento::alarma() const {
    if (estado != EstadoEvento::Nuevo) return false;
    return clase == C::Fuego || clase == C::Panico || clase == C::Medica || clase == C::Robo;
}

Tono ClasificacionEvento::tono() const {
    switch (clase) {
    case C::Prueba:
    case C::AperturaCierre:
        return Tono::Rutina;
    default:
        break;
    }
    if (estado == EstadoEvento::Restauracion) return Tono::Restauracion;
    switch (clase) {
    case C::Fuego:
    case C::Panico:
    case C::Medica:
        return Tono::Alarma;
    case C::Robo:
        return Tono::Robo;
    case C::Averia:
    case C::Supervision:
        return Tono::Averia;
    default:
        return Tono::Normal;
    }
}

QString nombre_clase(ClaseEvento clase) {
    switch (clase) {
    case C::Fuego: return QStringLiteral("Fuego");
    case C::Panico: return QStringLiteral("Pánico");
    case C::Medica: return QStringLiteral("Médica");
    case C::Robo: return QStringLiteral("Robo");
    case C::Supervision: return QStringLiteral("Supervisión");
    case C::Averia: return QStringLiteral("Avería");
    case C::AperturaCierre: return QStringLiteral("Apertura/cierre");
    case C::Anulacion: return QStringLiteral("Anulación");
    case C::Prueba: return QStringLiteral("Prueba");
    case C::Otro: break;
    }
    return QStringLiteral("Otro");
}

ClasificacionEvento clasificar_evento(QStringView evento) {
    ClasificacionEvento r;
    if (evento.size() == 4 && evento.front() == u'E')
        r.estado = EstadoEvento::Nuevo;
    else if (evento.size() == 4 && evento.front() == u'R')
        r.estado = EstadoEvento::Restauracion;
    if (const Codigo* c = buscar(codigo_de(evento))) r.clase = c->clase;
    return r;
}

QString describir_evento(QStringView evento) {
    const QStringView codigo = codigo_de(evento);
    if (const Codigo* c = buscar(codigo)) return QString::fromUtf8(c->descripcion);
    return QStringLiteral("Código ") + codigo.toString();
}

} // namespace corvane
