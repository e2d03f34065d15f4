#pragma once
// The rules of the values that the operator gives, in the windows and on the
// command line: the line speeds, the numbered ports, the account, the origin
// filter and the address of a central database. Each rule lives here once; every
// list, filter and check asks it.

#include <QString>
#include <QStringList>

#include <array>

namespace corvane {

// Speeds of the receiver's line, in bit/s, in the order the speed list shows them.
inline constexpr std::array<qint32, 4> kVelocidades = {1200, 4800, 9600, 19200};

// kVelocidades as decimal texts ("1200", ...): the speed list's items and the only
// texts that --velocidad takes.
QStringList textos_velocidades();

// Ports numbered 1 to kPuertosNumerados: COM1..COM20 on Windows,
// /dev/ttyS0../dev/ttyS19 elsewhere.
inline constexpr int kPuertosNumerados = 20;

// True when `puerto` is such a number written plainly: decimal digits only, no
// sign, no leading zero, no spaces.
bool es_puerto_numerado(const QString& puerto);

// An account is 1 to kLargoCuenta characters, each "0"-"9" or "b"-"f"; "a" and the
// upper-case letters are not account characters.
inline constexpr int kLargoCuenta = 4;

bool es_caracter_de_cuenta(char16_t codigo);

// True when every character of `cuenta` is an account character and there are 1
// to kLargoCuenta of them; a line feed, a space or a quote anywhere refuses it.
bool cuenta_valida(const QString& cuenta);

// An event's origin is 0 when its panel reported directly, or the number of the
// repeater it came through, 1 to kRepetidoras.
inline constexpr int kRepetidoras = 15;

// The origin filter as an index, as the origin list shows it and --origen gives
// it: kOrigenesTodos (no condition), kOrigenDirecto (origin 0), then repeater n
// at indice_filtro_origen(n).
inline constexpr int kOrigenesTodos = 0;
inline constexpr int kOrigenDirecto = 1;
constexpr int indice_filtro_origen(int origen) {
    return kOrigenDirecto + origen;
}
// The origin that filter index `indice` (not kOrigenesTodos) keeps.
constexpr int origen_filtrado(int indice) {
    return indice - kOrigenDirecto;
}

// True when `ruta` addresses a central PostgreSQL database
// ("postgresql://usuario@servidor:puerto/base" or "postgres://..."); anything else
// is the path of an SQLite file.
bool es_url_postgresql(const QString& ruta);

} // namespace corvane
