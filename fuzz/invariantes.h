#pragma once
// Rules that hold for any byte stream whatever the receiver (or the line) sends:
// first for the framer and the field extraction alone, then for the whole receive
// road down to the stored rows. The fuzz targets stop at the first broken rule; the
// test that replays their saved inputs runs the same checks. Every check returns the
// first broken rule as a text, or the empty text when all hold.

#include <QByteArray>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "common/caja_texto.h"
#include "common/registro_errores.h"
#include "common/reloj.h"
#include "decoding/moduloCid.h"
#include "reception/estado_proceso.h"
#include "reception/manejador.h"
#include "reception/tramas.h"
#include "store/funcionesBaseDatos.h"
#include "store/motor.h"

namespace corvane::invariantes {

// ---------------------------------------------------------------------------
// Framer and field extraction

// Characters of a field taken from a packet: hex digits whose zero is written "0",
// never "a" (the digit-zero rule), at most `ancho` of them.
inline bool es_campo(const QString& texto, qsizetype ancho) {
    if (texto.size() > ancho) return false;
    return std::all_of(texto.begin(), texto.end(), [](QChar c) {
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
               (c >= QLatin1Char('b') && c <= QLatin1Char('f'));
    });
}

// Data characters of the stream: "0".."9", "a".."f".
inline bool es_dato(QChar c) {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
}

inline bool solo_datos(const QString& texto) {
    return std::all_of(texto.begin(), texto.end(), es_dato);
}

inline QString revisar_registro(const EventoCid& e, size_t indice) {
    const QString donde = QStringLiteral("registro %1: ").arg(indice);
    const std::pair<const QString*, qsizetype> campos[] = {
        {&e.cuenta1, 2}, {&e.cuenta2, 2}, {&e.particion, 2}, {&e.zona, 3}, {&e.evento, 3}};
    for (const auto& [campo, ancho] : campos) {
        if (!es_campo(*campo, ancho))
            return donde + QStringLiteral("campo «%1» fuera de 0-9 b-f o de más de %2 caracteres")
                               .arg(*campo)
                               .arg(ancho);
    }
    // The main event's type comes from a decimal digit other than 3 (0 G, 1 E, 2 R,
    // 4-9 none); a sub-block's from two bits, so always one of the four letters.
    const QStringList tipos =
        indice == 0 ? QStringList{"", "G", "E", "R"} : QStringList{"G", "R", "E", "O"};
    if (!tipos.contains(e.tipoEvento))
        return donde + QStringLiteral("tipo de evento «%1» imposible").arg(e.tipoEvento);
    return {};
}

// The most sub-blocks a long packet can hold. A block is its two-character code and
// the fields the code announces, so the characters after position 32 hold at most
// one block per two; a code cut in half by the packet's end is not a block. Blocks
// also start no later than 2 x N (N = characters 7-8 in hex), the first at 33.
inline qsizetype bloques_posibles(const QString& paquete) {
    bool ok = false;
    const int n = paquete.mid(6, 2).toInt(&ok, 16);
    const qsizetype porLargo = std::max<qsizetype>(0, (paquete.size() - 32) / 2);
    const qsizetype porArea = ok ? std::max(0, n - 16) : 0;
    return std::min(porLargo, porArea);
}

inline QString revisar_paquete_largo(const QString& paquete) {
    const QString donde = QStringLiteral("paquete largo «%1»: ").arg(paquete);
    if (!solo_datos(paquete)) return donde + QStringLiteral("contiene caracteres que no son datos");
    if (paquete.size() < 20 || paquete.size() > kLargoMaximoPaquete)
        return donde + QStringLiteral("largo %1 imposible").arg(paquete.size());
    if (paquete.mid(8, 2) != QLatin1String("00"))
        return donde + QStringLiteral("los caracteres 9-10 no son 00");
    const QChar tipo = paquete.at(19);
    if (tipo < QLatin1Char('0') || tipo > QLatin1Char('9') || tipo == QLatin1Char('3'))
        return donde + QStringLiteral("el carácter 20 no es un dígito decimal distinto de 3");

    std::vector<EventoCid> eventos;
    decodificar_largo(paquete, eventos);
    for (size_t i = 0; i < eventos.size(); ++i) {
        if (QString f = revisar_registro(eventos[i], i); !f.isEmpty()) return donde + f;
    }
    // Once the packet holds the whole main event (32 characters), only the last block
    // can run past the end: every other record has every field at its full width.
    if (paquete.size() >= 32) {
        for (size_t i = 0; i + 1 < eventos.size() || i == 0; ++i) {
            const EventoCid& e = eventos[i];
            if (e.cuenta1.size() != 2 || e.cuenta2.size() != 2 || e.particion.size() != 2 ||
                e.zona.size() != 3 || e.evento.size() != 3)
                return donde + QStringLiteral("registro %1 con campos incompletos").arg(i);
        }
    }
    const auto bloques = static_cast<qsizetype>(eventos.size()) - 1;
    if (bloques > bloques_posibles(paquete))
        return donde + QStringLiteral("%1 registros de subbloque; el paquete admite %2")
                           .arg(bloques)
                           .arg(bloques_posibles(paquete));
    return {};
}

inline QString revisar_item(const ItemRx& item) {
    switch (item.tipo) {
    case TipoItem::Ninguno:
        return {};
    case TipoItem::PaqueteLargo:
        return revisar_paquete_largo(item.texto);
    case TipoItem::PaqueteCuatro:
        if (item.texto.size() != 4)
            return QStringLiteral("paquete de cuatro «%1» con otro largo").arg(item.texto);
        return {};
    case TipoItem::PaqueteDiez: {
        const QChar letra = item.texto.isEmpty() ? QChar() : item.texto.at(0);
        const bool letraInicio = (letra >= QLatin1Char('A') && letra <= QLatin1Char('H')) ||
                                 (letra >= QLatin1Char('m') && letra <= QLatin1Char('t'));
        if (item.texto.size() != 10 || !letraInicio || !solo_datos(item.texto.mid(1)))
            return QStringLiteral("paquete de diez «%1» mal formado").arg(item.texto);
        return {};
    }
    case TipoItem::LetraEstado:
        if (item.texto.size() != 1 || item.texto.at(0) < QLatin1Char('I') ||
            item.texto.at(0) > QLatin1Char('Y'))
            return QStringLiteral("letra de estado «%1» imposible").arg(item.texto);
        return {};
    }
    return QStringLiteral("tipo de item desconocido");
}

inline bool estado_valido(const QString& estadoRx) {
    return estadoRx == kEstadoC || estadoRx == kEstadoD || estadoRx == kEstadoN;
}

// The bytes one at a time through the framer, as from the start of a run (state
// "N", empty buffer); every framed long packet through the field extraction.
inline QString revisar_tramas(const QByteArray& entrada) {
    QString bufferRx;
    QString estadoRx = kEstadoN;
    for (qsizetype i = 0; i < entrada.size(); ++i) {
        const ItemRx item = recibir_caracter(entrada.at(i), bufferRx, estadoRx);
        const QString donde = QStringLiteral("byte %1: ").arg(i);
        if (bufferRx.size() > kLargoMaximoPaquete)
            return donde + QStringLiteral("bufferRx de %1 caracteres").arg(bufferRx.size());
        if (!estado_valido(estadoRx))
            return donde + QStringLiteral("estadoRx «%1» imposible").arg(estadoRx);
        if (QString f = revisar_item(item); !f.isEmpty()) return donde + f;
    }
    return {};
}

// ---------------------------------------------------------------------------
// The whole receive road

// A log box that also keeps each text put in front of it, so that every report can
// be read whole whatever the 50000-character cut did to the older text.
class CajaAnotada : public CajaMemoria {
public:
    void anteponer(const QString& nuevo) override {
        entradas.push_back(nuevo);
        CajaMemoria::anteponer(nuevo);
    }
    std::vector<QString> entradas;
};

// The engine of slot 0 watched from outside: each row and each statement text is
// kept and then passed unchanged to the real engine.
class BaseObservada : public BaseDatos {
public:
    explicit BaseObservada(std::unique_ptr<BaseDatos> real) : real_(std::move(real)) {}
    Dialecto dialecto() const override { return real_->dialecto(); }
    Fallo guardar(const FilaEvento& fila) override {
        filas.push_back(fila);
        return real_->guardar(fila);
    }
    using BaseDatos::abrirRegistros;
    using BaseDatos::ejecutar;
    Fallo ejecutar(const QString& sentencia, const QVariantList& valores) override {
        sentencias.push_back(sentencia);
        return real_->ejecutar(sentencia, valores);
    }
    Fallo abrirRegistros(const QString& sentencia, const QVariantList& valores,
                         std::unique_ptr<Registros>& registros) override {
        return real_->abrirRegistros(sentencia, valores, registros);
    }
    Fallo recorrer(const QString& sentencia, const FuncionFila& fila) override {
        return real_->recorrer(sentencia, fila);
    }
    Fallo comenzarLote() override { return real_->comenzarLote(); }
    Fallo confirmarLote() override { return real_->confirmarLote(); }
    void deshacerLote() override { real_->deshacerLote(); }

    std::vector<FilaEvento> filas;
    std::vector<QString> sentencias;

private:
    std::unique_ptr<BaseDatos> real_;
};

// What a short report line says about the row stored with it.
struct FilaInformada {
    bool largo = false; // from a long packet; otherwise from a ten-character packet
    QString cuenta;
    QString nivel;
    QString origen; // decimal, as stored
};

// Runs inputs through a fresh receive road each: a handler with in-memory boxes, a
// fixed clock, the online account window open on account 1234, and an in-memory
// event database on slot 0. Failures of the database routines go to error.log in a
// temporary folder, which must stay absent.
class RecorridoRecepcion {
public:
    // The moment every line and row carries.
    static QDateTime momento_fijo() { return {QDate(2026, 12, 6), QTime(14, 27, 13)}; }

    QString revisar(const QByteArray& entrada) const {
        QFile::remove(errores_.ruta());
        QString falta = recorrer(entrada);
        if (falta.isEmpty() && QFile::exists(errores_.ruta())) {
            QFile log(errores_.ruta());
            log.open(QIODevice::ReadOnly);
            falta = QStringLiteral("error.log no quedó vacío: ") + QString::fromUtf8(log.readAll());
        }
        QFile::remove(errores_.ruta());
        return falta;
    }

private:
    QString recorrer(const QByteArray& entrada) const {
        EstadoProceso estado;
        estado.bases.errores = &errores_;
        inic_base_de_datos(estado.bases);
        abrir_base_de_datos(kBaseEnMemoria, 0, estado.bases);
        if (!estado.bases.base[0]) return QStringLiteral("no se abrió la base en memoria");
        auto observada = std::make_unique<BaseObservada>(std::move(estado.bases.base[0]));
        BaseObservada& base = *observada;
        estado.bases.base[0] = std::move(observada);

        CajaAnotada text1, registroOnline;
        CajaMemoria text4, cuentaOnline;
        cuentaOnline.ponerTexto(kCuentaSeguida);
        estado.verCuentaOnline = true;
        ManejadorRx manejador(estado, text1, text4, reloj_);
        manejador.ponerVentanaOnline(&cuentaOnline, &registroOnline);

        std::vector<FilaInformada> informadas;
        for (qsizetype i = 0; i < entrada.size(); ++i) {
            const char c = entrada.at(i);
            // What the framer makes of this byte, on a copy of the handler's state.
            QString bufferRx = estado.bufferRx;
            QString estadoRx = estado.estadoRx;
            const ItemRx item = recibir_caracter(c, bufferRx, estadoRx);

            text1.entradas.clear();
            registroOnline.entradas.clear();
            base.filas.clear();
            base.sentencias.clear();
            manejador.MSComm1_OnComm(kEventoRecepcion, QByteArray(1, c));

            const QString donde = QStringLiteral("byte %1: ").arg(i);
            if (estado.bufferRx != bufferRx || estado.estadoRx != estadoRx)
                return donde + QStringLiteral("el manejador deja otro estado que el enmarcador");
            if (estado.bufferRx.size() > kLargoMaximoPaquete || !estado_valido(estado.estadoRx))
                return donde + QStringLiteral("bufferRx de %1 caracteres, estadoRx «%2»")
                                   .arg(estado.bufferRx.size())
                                   .arg(estado.estadoRx);
            if (QString f = revisar_item(item); !f.isEmpty()) return donde + f;
            if (!base.sentencias.empty())
                return donde + QStringLiteral("la recepción ejecutó un texto de sentencia: ") +
                       base.sentencias.front();
            if (QString f = revisar_paso(item, estado, text1.entradas, base.filas,
                                         registroOnline.entradas, informadas);
                !f.isEmpty())
                return donde + f;
        }
        return revisar_filas(base, informadas);
    }

    // One byte's effects: a long packet reports one line per record (at least one)
    // and stores one row per line; a ten-character packet one line and one row;
    // anything else neither. The online window receives exactly the detailed lines
    // of the followed account.
    static QString revisar_paso(const ItemRx& item, const EstadoProceso& estado,
                                const std::vector<QString>& informes,
                                const std::vector<FilaEvento>& filas,
                                const std::vector<QString>& copiasOnline,
                                std::vector<FilaInformada>& informadas) {
        static const QRegularExpression kLineaLarga(QStringLiteral(
            "^Cuenta=([0-9b-f]{0,4})  Señal=([0-9]+)/16  Origen=([0-9a-f])  14:27:13$"));
        static const QRegularExpression kLineaDiez(
            QStringLiteral("^Cuenta=([0-9]{4})  Señal=([0-9]+)/16  Origen=([0-9]+)  14:27:13$"));
        const bool largo = item.tipo == TipoItem::PaqueteLargo;
        const bool diez = item.tipo == TipoItem::PaqueteDiez;
        if (!largo && !diez) {
            if (!informes.empty() || !filas.empty())
                return QStringLiteral("un item sin evento escribió el registro o la base");
            return {};
        }
        if (informes.size() != 1) return QStringLiteral("el paquete no dio un único informe");
        QStringList lineas = informes.front().split(QStringLiteral("\r\n"));
        if (lineas.isEmpty() || !lineas.takeLast().isEmpty())
            return QStringLiteral("informe sin fin de línea: «%1»").arg(informes.front());
        if (lineas.isEmpty()) return QStringLiteral("paquete largo sin ningún registro");
        const qsizetype esperadas = largo ? static_cast<qsizetype>(estado.eventosCid.size()) : 1;
        if (lineas.size() != esperadas)
            return QStringLiteral("%1 líneas para %2 registros").arg(lineas.size()).arg(esperadas);
        if (static_cast<qsizetype>(filas.size()) != lineas.size())
            return QStringLiteral("%1 filas para %2 líneas").arg(filas.size()).arg(lineas.size());

        // The short lines come highest record first; the rows are stored in record order.
        qsizetype seguidas = 0;
        for (auto l = lineas.crbegin(); l != lineas.crend(); ++l) {
            const auto m = (largo ? kLineaLarga : kLineaDiez).match(*l);
            if (!m.hasMatch()) return QStringLiteral("línea mal formada: «%1»").arg(*l);
            const QString origen =
                largo ? QString::number(m.captured(3).toInt(nullptr, 16)) : m.captured(3);
            informadas.push_back({largo, m.captured(1), m.captured(2), origen});
            if (m.captured(1) == kCuentaSeguida) ++seguidas;
        }
        if (static_cast<qsizetype>(copiasOnline.size()) != seguidas)
            return QStringLiteral("%1 líneas copiadas a la cuenta en línea, %2 de la cuenta %3")
                .arg(copiasOnline.size())
                .arg(seguidas)
                .arg(kCuentaSeguida);
        for (const QString& copia : copiasOnline) {
            if (!copia.startsWith(QStringLiteral("Cuenta=") + kCuentaSeguida + QLatin1Char(' ')))
                return QStringLiteral("copia de otra cuenta: «%1»").arg(copia);
        }
        return {};
    }

    // After the input: one row per reported line, in order, each with the account,
    // level and origin that its line showed and the forms the decoders produce.
    static QString revisar_filas(BaseDatos& base, const std::vector<FilaInformada>& informadas) {
        std::unique_ptr<Registros> rs;
        if (Fallo f = base.abrirRegistros(QStringLiteral("select * from TABLA_GENERAL order by gral_id"), rs))
            return QStringLiteral("no se pudieron leer las filas: ") + f.detalle;
        size_t i = 0;
        for (; !rs->alFinal(); ++i, rs->siguiente()) {
            if (i >= informadas.size())
                return QStringLiteral("más filas que las %1 líneas informadas")
                    .arg(informadas.size());
            QStringList v;
            for (const esquema::Columna& columna : esquema::kColumnas) {
                QVariant valor;
                if (Fallo f = rs->valor(columna.nombre, valor))
                    return QStringLiteral("columna %1 ilegible").arg(columna.nombre);
                v << valor.toString();
            }
            if (QString f = revisar_fila(v, informadas[i]); !f.isEmpty())
                return QStringLiteral("fila %1 (%2): %3").arg(i).arg(v.join(QLatin1Char('|')), f);
        }
        if (i != informadas.size())
            return QStringLiteral("%1 filas para %2 líneas informadas")
                .arg(i)
                .arg(informadas.size());
        return {};
    }

    static QString revisar_fila(const QStringList& v, const FilaInformada& informada) {
        const QString& cuenta = v[0];
        bool ok = false;
        const int nivel = v[1].toInt(&ok);
        if (!ok || nivel < 1 || nivel > 16) return QStringLiteral("nivel fuera de 1..16");
        if (v[3] != momento_fijo().toString(kFormatoMomento))
            return QStringLiteral("momento distinto del reloj");
        static const QRegularExpression kOrigen(QStringLiteral("^([0-9]|1[0-5])$"));
        if (!kOrigen.match(v[4]).hasMatch()) return QStringLiteral("origen fuera de 0..15");
        if (cuenta != informada.cuenta || v[1] != informada.nivel || v[4] != informada.origen)
            return QStringLiteral("no coincide con su línea (%1, %2, %3)")
                .arg(informada.cuenta, informada.nivel, informada.origen);

        const QString relleno = QStringLiteral("----");
        if (informada.largo) {
            static const QRegularExpression kEvento(QStringLiteral("^[GERO]?[0-9b-f]{0,3}$"));
            if (!es_campo(cuenta, 4)) return QStringLiteral("cuenta fuera de 0-9 b-f");
            if (v[2] != QLatin1String("00")) return QStringLiteral("indicador distinto de 00");
            if (v[5].size() != 2 || !solo_datos(v[5]))
                return QStringLiteral("origen_todos mal formado");
            if (!kEvento.match(v[6]).hasMatch()) return QStringLiteral("evento mal formado");
            if (!es_campo(v[7], 2)) return QStringLiteral("partición mal formada");
            if (!es_campo(v[8], 3)) return QStringLiteral("zona mal formada");
        } else {
            static const QRegularExpression kCuenta(QStringLiteral("^[0-9]{4}$"));
            if (!kCuenta.match(cuenta).hasMatch() || cuenta.toInt() > 4095)
                return QStringLiteral("cuenta decimal fuera de 0000..4095");
            if (v[2].size() != 2 || !solo_datos(v[2]))
                return QStringLiteral("indicador mal formado");
            if (v[6].size() != 2 || !solo_datos(v[6])) return QStringLiteral("evento mal formado");
            if (v[5] != relleno || v[7] != relleno || v[8] != relleno)
                return QStringLiteral("falta el relleno ----");
        }
        return {};
    }

    inline static const QString kCuentaSeguida = QStringLiteral("1234");

    QTemporaryDir carpeta_;
    RelojFijo reloj_{momento_fijo()};
    RegistroErrores errores_{carpeta_.path(), reloj_};
};

} // namespace corvane::invariantes
