#include "decoding/moduloCid.h"

#include "common/comun.h"

namespace corvane {
namespace {

// Every field taken from the packet writes its digit zero as "a".
QString campo(const QString& paquete, qsizetype desde, qsizetype largo) {
    QString r = subcadena(paquete, desde, largo);
    r.replace(QLatin1Char('a'), QLatin1Char('0'));
    return r;
}

int numero(const QString& texto, int baseOrigen, int ancho) {
    return convertir_base_con_ceros(texto, baseOrigen, 10, ancho).toInt();
}

// A row stamped with one reading of the clock: its lines and its stored moment
// agree, also across a second's or a day's change.
FilaEvento fila_con_momento(const Reloj& reloj) {
    QString fecha, hora;
    reloj.textos(fecha, hora);
    FilaEvento fila;
    fila.momento = fecha + QLatin1Char(' ') + hora;
    return fila;
}

} // namespace

EventoCid extraer_evento(const QString& paquete) {
    EventoCid e;
    const QString tipo = caracter(paquete, 20);
    if (tipo == QLatin1String("0")) e.tipoEvento = QStringLiteral("G");
    else if (tipo == QLatin1String("1")) e.tipoEvento = QStringLiteral("E");
    else if (tipo == QLatin1String("2")) e.tipoEvento = QStringLiteral("R");
    else if (tipo == QLatin1String("3")) e.tipoEvento = QStringLiteral("O");
    e.evento = campo(paquete, 21, 3);
    e.particion = campo(paquete, 24, 2);
    e.zona = campo(paquete, 26, 3);
    e.cuenta1 = campo(paquete, 29, 2);
    e.cuenta2 = campo(paquete, 31, 2);
    return e;
}

void extraer_bloques(const QString& paquete, std::vector<EventoCid>& eventosCid) {
    qint16 pos = 33;
    for (;;) {
        const int n = numero(subcadena(paquete, 7, 2), 16, 3);
        const QString codigo = subcadena(paquete, pos, 2);
        // A code cut short by the packet's end (one character or none) is no block.
        if (pos > 2 * n || codigo == QLatin1String("00") || codigo.size() < 2) break;
        eventosCid.emplace_back();
        const qint16 largo = decodificar_bloque(eventosCid.back(), codigo, pos, paquete, eventosCid);
        pos = static_cast<qint16>(pos + largo);
    }
}

qint16 decodificar_bloque(EventoCid& registro, const QString& codigo, qint16 pos,
                          const QString& paquete, const std::vector<EventoCid>& eventosCid) {
    const QString bits = convertir_base_con_ceros(codigo, 16, 2, 8);
    const EventoCid& principal = eventosCid.front();
    qint16 p = static_cast<qint16>(pos + 2);
    qint16 largo = 0;

    const QString tipo = bits.mid(1, 2);
    if (tipo == QLatin1String("00")) registro.tipoEvento = QStringLiteral("G");
    else if (tipo == QLatin1String("01")) registro.tipoEvento = QStringLiteral("R");
    else if (tipo == QLatin1String("10")) registro.tipoEvento = QStringLiteral("E");
    else registro.tipoEvento = QStringLiteral("O");

    struct Presente {
        int bit;
        int ancho;
        QString EventoCid::*miembro;
    };
    static constexpr Presente kCampos[] = {
        {3, 3, &EventoCid::evento},  {4, 2, &EventoCid::particion}, {5, 3, &EventoCid::zona},
        {6, 2, &EventoCid::cuenta1}, {7, 2, &EventoCid::cuenta2},
    };
    for (const Presente& c : kCampos) {
        if (bits.at(c.bit) == QLatin1Char('1')) {
            registro.*c.miembro = campo(paquete, p, c.ancho);
            p = static_cast<qint16>(p + c.ancho);
            largo = static_cast<qint16>(largo + c.ancho);
        } else {
            registro.*c.miembro = principal.*c.miembro;
        }
    }
    return static_cast<qint16>(largo + 2);
}

void decodificar_largo(const QString& paquete, std::vector<EventoCid>& eventosCid) {
    eventosCid.assign(1, extraer_evento(paquete));
    extraer_bloques(paquete, eventosCid);
}

std::vector<FilaEvento> procesar_eventos_cid(const QString& paquete,
                                             const std::vector<EventoCid>& eventosCid,
                                             const Reloj& reloj) {
    // The origin character is stored as its decimal value; the lines show it
    // back as received (evento/informe.h).
    const int nivel = numero(caracter(paquete, 19), 16, 3) + 1;
    const QString origen = QString::number(numero(caracter(paquete, 13), 16, 2));
    const QString indicador = subcadena(paquete, 9, 2);
    const QString origenTodos = subcadena(paquete, 15, 2);
    std::vector<FilaEvento> filas;
    filas.reserve(eventosCid.size());
    for (const EventoCid& e : eventosCid) {
        FilaEvento fila = fila_con_momento(reloj);
        fila.abonado = e.cuenta();
        fila.nivel = nivel;
        fila.indicador = indicador;
        fila.origen = origen;
        fila.origenTodos = origenTodos;
        fila.evento = e.tipoEvento + e.evento;
        fila.particion = e.particion;
        fila.zona = e.zona;
        filas.push_back(std::move(fila));
    }
    return filas;
}

QString procesar_paquete_rx(const QString& paquete, const Reloj& reloj) {
    // Two hex digits worth 100 to 255 give a three-digit decimal text, shown whole.
    const auto rx = static_cast<qint16>(numero(subcadena(paquete, 1, 2), 16, 2));
    const auto nivel = static_cast<qint16>(numero(subcadena(paquete, 3, 2), 16, 2) + 1);
    return QStringLiteral("Rx=") + QString::number(rx) + QStringLiteral("   Señal=") +
           QString::number(nivel) + QStringLiteral("/16   ") + reloj.texto_hora();
}

FilaEvento procesar_paquete_corto(const QString& paquete, const Reloj& reloj) {
    // The account in decimal; the origin (position 9) in decimal, shown and
    // stored alike; the columns the packet does not carry hold the filler.
    FilaEvento fila = fila_con_momento(reloj);
    fila.abonado = convertir_base_con_ceros(subcadena(paquete, 4, 3), 16, 10, 4);
    fila.nivel = numero(caracter(paquete, 7), 16, 2) + 1;
    fila.indicador = subcadena(paquete, 9, 2);
    fila.origen = QString::number(numero(caracter(paquete, 9), 16, 2));
    fila.origenTodos = kRelleno;
    fila.evento = subcadena(paquete, 2, 2);
    fila.particion = kRelleno;
    fila.zona = kRelleno;
    return fila;
}

} // namespace corvane
