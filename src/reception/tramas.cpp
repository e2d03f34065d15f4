#include "reception/tramas.h"

namespace corvane {
namespace {

bool es_letra_inicio(char c) { return (c >= 'A' && c <= 'H') || (c >= 'm' && c <= 't'); }
bool es_letra_estado(char c) { return c >= 'I' && c <= 'Y'; }
bool es_dato(char c) { return (c >= 'a' && c <= 'f') || (c >= '0' && c <= '9'); }

ItemRx fin_de_linea(const QString& buffer) {
    const qsizetype largo = buffer.size();
    if (largo == 4) return {TipoItem::PaqueteCuatro, buffer};
    if (largo < 10) return {};
    if (buffer.at(8) != QLatin1Char('0') || buffer.at(9) != QLatin1Char('0')) return {};
    // Character 20 must be a decimal digit other than 3.
    if (largo < 20) return {};
    const QChar tipo = buffer.at(19);
    if (!tipo.isDigit() || tipo == QLatin1Char('3')) return {};
    return {TipoItem::PaqueteLargo, buffer};
}

} // namespace

ItemRx recibir_caracter(char c, QString& bufferRx, QString& estadoRx) {
    if (c == '\n') {
        bufferRx.clear();
        estadoRx = kEstadoC;
        return {};
    }
    if (c == '\r') {
        ItemRx item = fin_de_linea(bufferRx);
        bufferRx.clear();
        estadoRx = kEstadoN;
        return item;
    }
    if (es_letra_inicio(c)) {
        bufferRx = QChar::fromLatin1(c);
        estadoRx = kEstadoD;
        return {};
    }
    if (es_letra_estado(c)) return {TipoItem::LetraEstado, QString(QChar::fromLatin1(c))};
    if (!es_dato(c)) return {};

    if (estadoRx == kEstadoC) {
        bufferRx.append(QChar::fromLatin1(c));
        if (bufferRx.size() > kLargoMaximoPaquete) {
            bufferRx.clear();
            estadoRx = kEstadoN;
        }
        return {};
    }
    if (estadoRx == kEstadoD) {
        bufferRx.append(QChar::fromLatin1(c));
        if (bufferRx.size() == 10) {
            estadoRx = kEstadoN;
            return {TipoItem::PaqueteDiez, bufferRx};
        }
    }
    return {};
}

} // namespace corvane
