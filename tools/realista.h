#pragma once
// The traffic of a receiver watching a few dozen ordinary premises, one item a
// second as corvane-simulador --realista paces it: mostly periodic tests and
// openings and closings, now and then a trouble or an alarm of each class (fire,
// panic or hold-up, medical, burglary) and, later, its restore; and the
// receiver's link test, one status letter, every kCadaPruebaEnlace items. Event
// codes are the alarm industry's three-digit Contact ID codes; the event type
// digit (character 20) is 1 for a new event or an opening, 2 for a restore or a
// closing. Long packets carry no sub-blocks here. The same seed gives the same
// bytes, as for Generador.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tools/generador.h"

namespace corvane::simulador {

// Items between two link tests: one every 30 s at one item a second.
inline constexpr std::uint64_t kCadaPruebaEnlace = 30;
// The status letter of the link test.
inline constexpr char kLetraPruebaEnlace = 'I';

class GeneradorRealista {
public:
    explicit GeneradorRealista(std::uint32_t semilla);

    // About one event in ten comes from `cuenta` (as for Generador); empty: none.
    void ponerCuentaSeguida(const std::string& cuenta);

    Paquete siguiente();

private:
    // One event: account (4 hex digits in long packets), Contact ID code, type
    // digit, partition and zone.
    struct Evento {
        std::string cuenta;
        std::string codigo;
        char tipo = '1';
        std::uint32_t particion = 1;
        std::uint32_t zona = 0;
    };

    std::uint32_t sacar(std::uint32_t n);
    Evento nuevo();
    Paquete largo(const Evento& e);
    Paquete diez(const Evento& e);

    std::mt19937 motor_;
    std::uint64_t items_ = 0;
    std::string receptor_;              // characters 1-4 of every long packet
    std::uint32_t secuencia_ = 0;       // characters 5-6
    std::vector<std::string> cuentas_;  // 4 hex digits
    std::string seguida_;               // the followed account, or empty
    std::vector<Evento> sinRestaurar_;  // troubles and alarms still to be restored
};

} // namespace corvane::simulador
