#pragma once
// Comun: conversions between digit texts in the bases 2, 8, 10 and 16, and the
// 1-based substring that every packet decoder reads its fields with.

#include <QString>

namespace corvane {

// Value of `texto` read in `base` (2, 8, 10 or 16; "a".."f" count as "A".."F").
// -1 marks a bad digit, an unsupported base, or a text outside the range below.
// The empty text is worth 0.
//
// Range: values up to 2,147,483,647 and texts shorter than 32,767 characters.
// Anything beyond (a longer text, a larger value) is treated as invalid (-1), so
// the callers of convertir_base_con_ceros get their run of zeros and go on.
double base_a_decimal(const QString& texto, int base);

// `valor` written in `base`, upper case, no leading zeros ("0" for 0). Empty for a
// negative value, an unsupported base or a value above 2,147,483,647.
QString decimal_a_base(double valor, int base);

// base_a_decimal then decimal_a_base; empty when the input is invalid.
QString convertir_base(const QString& texto, int baseOrigen, int baseDestino);

// The conversion in lower case, padded with leading "0" to `ancho` characters.
// A result already wider than `ancho` is returned whole, never cut; an invalid or
// empty input gives `ancho` zeros.
QString convertir_base_con_ceros(const QString& texto, int baseOrigen, int baseDestino, int ancho);

// Characters `desde` .. `desde + largo - 1` of `texto`, positions counted from 1.
// Positions past the end yield only the characters that exist, possibly none.
inline QString subcadena(const QString& texto, qsizetype desde, qsizetype largo) {
    if (desde < 1 || desde > texto.size() || largo <= 0) return QString();
    return texto.mid(desde - 1, largo);
}

// Character at position `pos` (from 1), or the empty text past the end.
inline QString caracter(const QString& texto, qsizetype pos) { return subcadena(texto, pos, 1); }

} // namespace corvane
