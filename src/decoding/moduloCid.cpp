#include "decoding/moduloCid.h"

#include "common/comun.h"
#include "decoding/codigos_evento.h"
#include "store/funcionesBaseDatos.h"

namespace corvane {
namespace {

const QString kFinLinea = QStringLiteral("\r\n");

// Every field taken from the packet writes its digit zero as "a".
QString campo(const QString& paquete, qsizetype desde, qsizetype largo) {
    QString r = subcadena(paquete, desde, largo);
    r.replace(QLatin1Char('a'), QLatin1Char('0'));
    return r;
}

int numero(const QString& texto, int baseOrigen, int ancho) {
    return convertir_base_con_ceros(texto, baseOrigen, 10, ancho).toInt();
}

// True when the online account window follows `cuenta`: its key is the typed
// account as four lower-case hex digits.
bool seguida(const CuentaOnline& online, const QString& cuenta) {
    if (!online.verCuentaOnline || online.cuenta == nullptr || online.registro == nullptr) return false;
    return convertir_base_con_ceros(online.cuenta->texto(), 16, 16, 4) == cuenta;
}

// What one report says, as its two lines and its stored row give it.
struct Informe {
    QString cuenta;
    int nivel = 0;
    QString textoNivel;
    QString origenMostrado; // long packet: the character as received; ten-character: decimal
    QString origenGuardado; // decimal, no leading zero
    QString evento;         // type letter and code
    const EventoCid* zona;  // partition and zone of a long packet's record; null for ten characters
    QString indicador;
    QString origenTodos;
};

const QString kRelleno = QStringLiteral("----");

// The two lines of a report, each ended by CR LF: the detailed line of the
// followed account's log (partition and zone only for a long packet's record) and
// the short line of the online log.
QString linea_detallada(const Informe& i, const QString& hora) {
    QString detalle = QStringLiteral("Cuenta=") + i.cuenta + QStringLiteral("  Señal=") + i.textoNivel +
                      QStringLiteral("/16  Or=") + i.origenMostrado + QStringLiteral("  Ev=") + i.evento;
    if (i.zona != nullptr)
        detalle += QStringLiteral("  Part=") + i.zona->particion + QStringLiteral("  Zona=") + i.zona->zona;
    return detalle + QStringLiteral("  ") + hora + kFinLinea;
}

QString linea_corta(const Informe& i, const QString& hora) {
    return QStringLiteral("Cuenta=") + i.cuenta + QStringLiteral("  Señal=") + i.textoNivel +
           QStringLiteral("/16  Origen=") + i.origenMostrado + QStringLiteral("  ") + hora + kFinLinea;
}

void al_registro_seguido(const Informe& i, const CuentaOnline& online, const QString& hora) {
    if (seguida(online, i.cuenta))
        online.registro->anteponerConTonos(linea_detallada(i, hora), {clasificar_evento(i.evento).tono()});
}

// In this order: the detailed line to the followed account's log (in the colour
// of its event), the short line, the row to slot 0 (and to `guardadas`); returns
// the short line. The clock is read once: both lines show the stored moment.
QString informar(const Informe& i, const CuentaOnline& online, ConjuntoBases& bases, const Reloj& reloj,
                 std::vector<FilaEvento>* guardadas) {
    QString fecha, hora;
    reloj.textos(fecha, hora);
    al_registro_seguido(i, online, hora);
    const QString corta = linea_corta(i, hora);

    FilaEvento fila;
    fila.abonado = i.cuenta;
    fila.nivel = i.nivel;
    fila.indicador = i.indicador;
    fila.momento = fecha + QLatin1Char(' ') + hora;
    fila.origen = i.origenGuardado;
    fila.origenTodos = i.origenTodos;
    fila.evento = i.evento;
    fila.particion = i.zona != nullptr ? i.zona->particion : kRelleno;
    fila.zona = i.zona != nullptr ? i.zona->zona : kRelleno;
    NuevoDato(fila, 0, bases);
    if (guardadas != nullptr) guardadas->push_back(std::move(fila));
    return corta;
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

QString procesar_eventos_cid(const QString& paquete, const std::vector<EventoCid>& eventosCid,
                             const CuentaOnline& online, ConjuntoBases& bases, const Reloj& reloj,
                             std::vector<FilaEvento>* guardadas) {
    Informe informe;
    const QString origen = caracter(paquete, 13);
    informe.nivel = numero(caracter(paquete, 19), 16, 3) + 1;
    informe.textoNivel = QString::number(informe.nivel);
    informe.origenMostrado = origen;
    informe.origenGuardado = QString::number(numero(origen, 16, 2));
    informe.indicador = subcadena(paquete, 9, 2);
    informe.origenTodos = subcadena(paquete, 15, 2);
    QString resultado;
    for (const EventoCid& e : eventosCid) {
        informe.cuenta = e.cuenta();
        informe.evento = e.tipoEvento + e.evento;
        informe.zona = &e;
        resultado.prepend(informar(informe, online, bases, reloj, guardadas));
    }
    return resultado;
}

QString informar_fila(const FilaEvento& fila, const CuentaOnline& online) {
    // A ten-character packet stores "----" for all origins; a long packet's origin
    // was one hex digit, as the receiver sends it (lower case).
    const bool diez = fila.origenTodos == kRelleno;
    EventoCid zona;
    zona.particion = fila.particion;
    zona.zona = fila.zona;
    Informe i;
    i.cuenta = fila.abonado;
    i.textoNivel = QString::number(fila.nivel);
    i.origenMostrado = diez ? fila.origen : QString::number(fila.origen.toInt(), 16);
    i.evento = fila.evento;
    i.zona = diez ? nullptr : &zona;
    const QString hora = fila.momento.mid(11, 8);
    al_registro_seguido(i, online, hora);
    return linea_corta(i, hora);
}

QString procesar_paquete_rx(const QString& paquete, const Reloj& reloj) {
    // Two hex digits worth 100 to 255 give a three-digit decimal text, shown whole.
    const auto rx = static_cast<qint16>(numero(subcadena(paquete, 1, 2), 16, 2));
    const auto nivel = static_cast<qint16>(numero(subcadena(paquete, 3, 2), 16, 2) + 1);
    return QStringLiteral("Rx=") + QString::number(rx) + QStringLiteral("   Señal=") +
           QString::number(nivel) + QStringLiteral("/16   ") + reloj.texto_hora();
}

QString procesar_paquete_corto(const QString& paquete, const CuentaOnline& online,
                               ConjuntoBases& bases, const Reloj& reloj,
                               std::vector<FilaEvento>* guardadas) {
    Informe informe;
    informe.cuenta = convertir_base_con_ceros(subcadena(paquete, 4, 3), 16, 10, 4);
    informe.nivel = numero(caracter(paquete, 7), 16, 2) + 1;
    informe.textoNivel = QString::number(informe.nivel);
    informe.origenMostrado = informe.origenGuardado = QString::number(numero(caracter(paquete, 9), 16, 2));
    informe.evento = subcadena(paquete, 2, 2);
    informe.zona = nullptr;
    informe.indicador = subcadena(paquete, 9, 2);
    informe.origenTodos = kRelleno;
    return informar(informe, online, bases, reloj, guardadas);
}

} // namespace corvane
