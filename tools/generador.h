#pragma once
// The traffic of an alarm-report receiver, generated from a seed. The same seed
// gives the same bytes on every machine and with every standard library: values
// are taken straight from std::mt19937 (whose output sequence is fixed by the
// standard) by remainder, never through the library's distributions.
//
// Kinds of traffic, as they go on the line:
// - long packet: LF, 32 or more lower-case hex digits, CR. Characters 7-8 announce
//   the end of the sub-block area (twice their value), 9-10 are "00", 13 is the
//   origin (0 direct, 1-f a repeater), 19 the signal level 0-f, 20 the event type
//   digit 0-2, 21-32 the main event, then 0 to 3 sub-blocks. Zero digits of the
//   event fields are sometimes sent as "a", as receivers do.
// - ten-character packet: a start letter ("A".."H", "m".."t") and nine hex digits.
// - four-character signal report: LF, four hex digits, CR.
// - status letter: one of "I".."Y".
// - now and then a malformed packet that a correct console drops without a trace.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace corvane::simulador {

enum class Clase { Largo, Diez, Cuatro, LetraEstado, Malformado };

// How a malformed packet is broken.
enum class Defecto {
    Ninguno,
    Indicador,   // long packet whose characters 9-10 are not "00"
    Tipo3,       // long packet whose character 20 is "3"
    Corto,       // LF, 5 to 9 hex digits, CR: neither a signal report nor a long packet
    Basura,      // LF, characters of no class with at most 3 hex digits among them, CR
    DiezCortado, // a start letter and fewer than nine hex digits, cut by the next packet
};

struct Paquete {
    Clase clase = Clase::Largo;
    Defecto defecto = Defecto::Ninguno;
    std::string bytes; // exactly what goes on the line
    int filas = 0;     // rows a correct console stores for it
    int letras = 0;    // status letters among its bytes (one may ride inside a long packet)
};

// Counts of what was written, and the rows a correct console must store for it:
// one per event record of each accepted long packet (main event and each sub-block
// that the walk reaches) and one per ten-character packet.
struct Resumen {
    std::uint64_t largos = 0;
    std::uint64_t diez = 0;
    std::uint64_t cuatro = 0;
    std::uint64_t letras = 0;
    std::uint64_t malformados = 0;
    std::uint64_t filas = 0;
    std::uint64_t bytes = 0;

    void contar(const Paquete& p);
    Resumen& operator+=(const Resumen& otro);
    bool operator==(const Resumen&) const = default;
};

// The Spanish text of --resumen, one count a line.
std::string texto_resumen(const Resumen& r);

// LF, `datos`, CR: one line of the receiver.
std::string entre_lf_y_cr(const std::string& datos);
// `valor` (0-255) as two lower-case hex digits.
std::string dos_hex(std::uint32_t valor);
// The start letter k (0-15) of a ten-character packet: "A".."H", "m".."t".
char letra_inicio(std::uint32_t k);

class Generador {
public:
    explicit Generador(std::uint32_t semilla);

    // One report in ten (about) comes from `cuenta`, a decimal account of four
    // digits from 0000 to 4095: as its own four characters in long packets and as
    // its value in hex in ten-character packets, so that following `cuenta` in the
    // online account window matches both kinds. Empty: no such account.
    void ponerCuentaSeguida(const std::string& cuenta);

    Paquete siguiente();

private:
    std::uint32_t sacar(std::uint32_t n); // uniform enough in [0, n)
    bool por_mil(std::uint32_t p);        // true with probability p/1000
    char hex();
    std::string hex(int ancho);
    std::string campo(std::string digitos, bool ceroComoA);
    std::string cuenta_larga();
    // Characters of a long packet without LF and CR; `filas` gets its event records.
    std::string datos_largo(int& filas);

    Paquete largo();
    Paquete diez();
    Paquete cuatro();
    Paquete letra();
    Paquete malformado();

    std::mt19937 motor_;
    std::string seguidaLarga_; // the followed account in long packets, or empty
    std::string seguidaDiez_;  // the same account as three hex digits
    std::string receptor_;                 // characters 1-4 of every long packet
    std::uint32_t secuencia_ = 0;          // characters 5-6, one more each long packet
    std::vector<std::string> cuentas_;     // accounts of the long packets, 4 hex digits
    std::vector<std::string> cuentasDiez_; // accounts of the ten-character packets, 3 hex digits
};

} // namespace corvane::simulador
