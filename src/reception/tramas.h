#pragma once
// Receive framing: the receiver's character stream, one character at a time,
// becomes framed items. Long packets: LF, hex data, CR. Four-character packets:
// LF, four data characters, CR. Ten-character packets: a start letter ("A".."H",
// "m".."t") and nine data characters, complete at the tenth. Status letters:
// "I".."Y", single characters.

#include <QString>

namespace corvane {

enum class TipoItem { Ninguno, PaqueteLargo, PaqueteCuatro, PaqueteDiez, LetraEstado };

struct ItemRx {
    TipoItem tipo = TipoItem::Ninguno;
    QString texto; // the packet's characters, or the status letter
};

// A packet being collected is dropped when it grows past this many characters;
// no real packet comes near it.
inline constexpr qsizetype kLargoMaximoPaquete = 4096;

// Framing states of estadoRx.
inline const QString kEstadoC = QStringLiteral("C"); // after LF: long or four-character packet
inline const QString kEstadoD = QStringLiteral("D"); // after a start letter: ten-character packet
inline const QString kEstadoN = QStringLiteral("N"); // idle: data characters ignored

// Updates bufferRx and estadoRx with `c` and returns the item that `c` completed.
// At a CR the buffer is emptied after its end-of-line test, so a second CR frames
// nothing; a long packet whose characters 9-10 are not "00", or whose character 20
// is not a decimal digit other than 3, is dropped.
ItemRx recibir_caracter(char c, QString& bufferRx, QString& estadoRx);

} // namespace corvane
