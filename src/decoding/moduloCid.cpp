#include "decoding/moduloCid.h"

#include "common/comun.h"
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

// The followed account's key: the typed account as four lower-case hex digits.
void copiar_a_cuenta_online(const CuentaOnline& online, const QString& cuenta,
                            const QString& detalle) {
    if (!online.verCuentaOnline || online.cuenta == nullptr || online.registro == nullptr) return;
    const QString clave = convertir_base_con_ceros(online.cuenta->texto(), 16, 16, 4);
    if (clave == cuenta) online.registro->anteponer(detalle);
}

QString momento_actual(const Reloj& reloj) {
    return reloj.texto_fecha() + QLatin1Char(' ') + reloj.texto_hora();
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

QString sentencia_insert(const FilaEvento& f) {
    const QString sep = QStringLiteral("','");
    return QStringLiteral("INSERT INTO TABLA_GENERAL (gral_numero_abonado") +
           QStringLiteral(",gral_nivel_señal") + QStringLiteral(",gral_indicador_paquete") +
           QStringLiteral(",gral_hora_fecha") + QStringLiteral(",gral_origen") +
           QStringLiteral(",gral_origen_todos") + QStringLiteral(",gral_evento") +
           QStringLiteral(",gral_particion") + QStringLiteral(",gral_zona") + QStringLiteral(") ") +
           QStringLiteral("values('") + f.abonado + QStringLiteral("',") + QString::number(f.nivel) +
           QStringLiteral(",'") + f.indicador + QStringLiteral("','") + f.momento + sep + f.origen +
           sep + f.origenTodos + sep + f.evento + sep + f.particion + sep + f.zona +
           QStringLiteral("')");
}

QString procesar_eventos_cid(const QString& paquete, const std::vector<EventoCid>& eventosCid,
                             const CuentaOnline& online, ConjuntoBases& bases, const Reloj& reloj) {
    const QString origen = caracter(paquete, 13);
    const int nivel = numero(caracter(paquete, 19), 16, 3) + 1;
    const int origenNumero = numero(origen, 16, 2);
    const QString textoNivel = QString::number(nivel);
    QString resultado;
    for (const EventoCid& e : eventosCid) {
        const QString cuenta = e.cuenta();
        const QString textoEvento = e.tipoEvento + e.evento;
        const QString detalle = QStringLiteral("Cuenta=") + cuenta + QStringLiteral("  Señal=") +
                                textoNivel + QStringLiteral("/16  Or=") + origen +
                                QStringLiteral("  Ev=") + textoEvento + QStringLiteral("  Part=") +
                                e.particion + QStringLiteral("  Zona=") + e.zona +
                                QStringLiteral("  ") + reloj.texto_hora() + kFinLinea;
        copiar_a_cuenta_online(online, cuenta, detalle);

        resultado.prepend(QStringLiteral("Cuenta=") + cuenta + QStringLiteral("  Señal=") + textoNivel +
                          QStringLiteral("/16  Origen=") + origen + QStringLiteral("  ") +
                          reloj.texto_hora() + kFinLinea);

        FilaEvento fila;
        fila.abonado = cuenta;
        fila.nivel = nivel;
        fila.indicador = subcadena(paquete, 9, 2);
        fila.momento = momento_actual(reloj);
        fila.origen = QString::number(origenNumero);
        fila.origenTodos = subcadena(paquete, 15, 2);
        fila.evento = textoEvento;
        fila.particion = e.particion;
        fila.zona = e.zona;
        NuevoDato(sentencia_insert(fila), 0, bases);
    }
    return resultado;
}

QString procesar_paquete_rx(const QString& paquete, const Reloj& reloj) {
    // Two hex digits worth 100 to 255 give a three-digit decimal text, shown whole.
    const auto rx = static_cast<qint16>(numero(subcadena(paquete, 1, 2), 16, 2));
    const auto nivel = static_cast<qint16>(numero(subcadena(paquete, 3, 2), 16, 2) + 1);
    return QStringLiteral("Rx=") + QString::number(rx) + QStringLiteral("   Señal=") +
           QString::number(nivel) + QStringLiteral("/16   ") + reloj.texto_hora();
}

QString procesar_paquete_corto(const QString& paquete, const CuentaOnline& online,
                               ConjuntoBases& bases, const Reloj& reloj) {
    const QString cuenta = convertir_base_con_ceros(subcadena(paquete, 4, 3), 16, 10, 4);
    const auto nivel = static_cast<qint16>(numero(caracter(paquete, 7), 16, 2) + 1);
    const QString origen = QString::number(numero(caracter(paquete, 9), 16, 2));
    const QString evento = subcadena(paquete, 2, 2);
    const QString textoNivel = QString::number(nivel);

    const QString detalle = QStringLiteral("Cuenta=") + cuenta + QStringLiteral("  Señal=") + textoNivel +
                            QStringLiteral("/16  Or=") + origen + QStringLiteral("  Ev=") + evento +
                            QStringLiteral("  ") + reloj.texto_hora() + kFinLinea;
    copiar_a_cuenta_online(online, cuenta, detalle);

    const QString corta = QStringLiteral("Cuenta=") + cuenta + QStringLiteral("  Señal=") + textoNivel +
                          QStringLiteral("/16  Origen=") + origen + QStringLiteral("  ") +
                          reloj.texto_hora() + kFinLinea;

    FilaEvento fila;
    fila.abonado = cuenta;
    fila.nivel = nivel;
    fila.indicador = subcadena(paquete, 9, 2);
    fila.momento = momento_actual(reloj);
    fila.origen = origen;
    fila.origenTodos = QStringLiteral("----");
    fila.evento = evento;
    fila.particion = QStringLiteral("----");
    fila.zona = QStringLiteral("----");
    NuevoDato(sentencia_insert(fila), 0, bases);
    return corta;
}

} // namespace corvane
