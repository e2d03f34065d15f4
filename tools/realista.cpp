#include "tools/realista.h"

#include <iterator>
#include <string_view>

namespace corvane::simulador {
namespace {

constexpr std::string_view kHex = "0123456789abcdef";

constexpr std::string_view kPruebas[] = {"602", "602", "602", "603"};
constexpr std::string_view kAperturas[] = {"401", "401", "402", "403", "441"};
constexpr std::string_view kAverias[] = {"301", "302", "309", "311", "320", "333",
                                          "344", "350", "373", "380", "383"};
// The alarm classes, each as likely as the others: fire, panic or hold-up,
// medical, burglary.
constexpr std::string_view kFuego[] = {"110", "111"};
constexpr std::string_view kPanico[] = {"120", "121", "122"};
constexpr std::string_view kMedica[] = {"100", "101"};
constexpr std::string_view kRobo[] = {"130", "131", "132", "134"};

// The events, per mille, as cumulative bounds: tests, openings and closings,
// troubles, alarms, restores of what is still unrestored; the rest bypasses.
constexpr std::uint32_t kHastaPruebas = 480;
constexpr std::uint32_t kHastaAperturas = kHastaPruebas + 320;
constexpr std::uint32_t kHastaAverias = kHastaAperturas + 80;
constexpr std::uint32_t kHastaAlarmas = kHastaAverias + 50;
constexpr std::uint32_t kHastaRestauraciones = kHastaAlarmas + 60;
// Per mille of the events sent as ten-character packets.
constexpr std::uint32_t kDiezPorMil = 100;

constexpr std::uint32_t kCuentas = 40;

template <std::size_t N> std::string_view uno(const std::string_view (&lista)[N], std::uint32_t k) {
    return lista[k % N];
}

} // namespace

GeneradorRealista::GeneradorRealista(std::uint32_t semilla) : motor_(semilla) {
    for (int i = 0; i < 4; ++i) receptor_ += kHex[sacar(16)];
    secuencia_ = sacar(256);
    for (std::uint32_t i = 0; i < kCuentas; ++i) {
        std::string c;
        for (int k = 0; k < 4; ++k) c += kHex[sacar(16)];
        cuentas_.push_back(c);
    }
}

void GeneradorRealista::ponerCuentaSeguida(const std::string& cuenta) { seguida_ = cuenta; }

std::uint32_t GeneradorRealista::sacar(std::uint32_t n) {
    return static_cast<std::uint32_t>(motor_() % n);
}

GeneradorRealista::Evento GeneradorRealista::nuevo() {
    Evento e;
    e.cuenta = !seguida_.empty() && sacar(10) == 0 ? seguida_ : cuentas_[sacar(kCuentas)];
    e.particion = sacar(10) < 8 ? 1 : 1 + sacar(4);
    std::uint32_t r = sacar(1000);
    if (r >= kHastaAlarmas && r < kHastaRestauraciones) {
        if (!sinRestaurar_.empty()) {
            const std::size_t k = sacar(static_cast<std::uint32_t>(sinRestaurar_.size()));
            Evento restaurado = sinRestaurar_[k];
            sinRestaurar_.erase(sinRestaurar_.begin() + static_cast<std::ptrdiff_t>(k));
            restaurado.tipo = '2';
            return restaurado;
        }
        r = 0; // nothing to restore: a test instead
    }
    if (r < kHastaPruebas) {
        e.codigo = uno(kPruebas, sacar(4));
        e.zona = 0;
    } else if (r < kHastaAperturas) {
        // An opening (1) or a closing (2) by a user, whose number goes in the zone.
        e.codigo = uno(kAperturas, sacar(5));
        e.tipo = sacar(2) == 0 ? '1' : '2';
        e.zona = 1 + sacar(30);
    } else if (r < kHastaAverias) {
        e.codigo = uno(kAverias, sacar(static_cast<std::uint32_t>(std::size(kAverias))));
        e.zona = sacar(100);
        sinRestaurar_.push_back(e);
    } else if (r < kHastaAlarmas) {
        const std::uint32_t k = sacar(100);
        switch (sacar(4)) {
        case 0:
            e.codigo = uno(kFuego, k);
            break;
        case 1:
            e.codigo = uno(kPanico, k);
            break;
        case 2:
            e.codigo = uno(kMedica, k);
            break;
        default:
            e.codigo = uno(kRobo, k);
            break;
        }
        e.zona = 1 + sacar(64);
        sinRestaurar_.push_back(e);
    } else {
        e.codigo = "570"; // a zone bypassed
        e.zona = 1 + sacar(64);
    }
    return e;
}

Paquete GeneradorRealista::siguiente() {
    const std::uint64_t n = items_++;
    if (n % kCadaPruebaEnlace == kCadaPruebaEnlace - 1) {
        Paquete p;
        p.clase = Clase::LetraEstado;
        p.letras = 1;
        p.bytes = std::string(1, kLetraPruebaEnlace);
        return p;
    }
    const Evento e = nuevo();
    return sacar(1000) < kDiezPorMil ? diez(e) : largo(e);
}

Paquete GeneradorRealista::largo(const Evento& e) {
    // Zero digits of the event fields are sometimes sent as "a", as receivers do.
    const bool ceroComoA = sacar(2) == 0;
    const auto campo = [ceroComoA](std::string digitos) {
        if (ceroComoA)
            for (char& c : digitos)
                if (c == '0') c = 'a';
        return digitos;
    };
    std::string zona = std::to_string(e.zona);
    zona.insert(0, 3 - zona.size(), '0');
    std::string s = receptor_; // 1-4
    secuencia_ = (secuencia_ + 1) % 256;
    s += dos_hex(secuencia_);                      // 5-6
    s += "10";                                     // 7-8: the area ends at 32, no sub-blocks
    s += "00";                                     // 9-10
    s += dos_hex(sacar(256));                      // 11-12
    s += sacar(10) < 6 ? '0' : kHex[1 + sacar(15)]; // 13: direct, or one of 15 repeaters
    s += kHex[sacar(16)];                          // 14
    s += dos_hex(sacar(256));                      // 15-16
    s += dos_hex(sacar(256));                      // 17-18
    s += kHex[8 + sacar(8)];                       // 19: a good signal
    s += e.tipo;                                   // 20
    s += campo(e.codigo);                          // 21-23
    std::string particion(1, '0');
    particion += std::to_string(e.particion);      // (appended: GCC 12 warns wrongly on "0" + string)
    s += campo(particion);                         // 24-25
    s += campo(zona);                              // 26-28
    s += e.cuenta;                                 // 29-32
    Paquete p;
    p.clase = Clase::Largo;
    p.filas = 1;
    p.bytes = entre_lf_y_cr(s);
    return p;
}

Paquete GeneradorRealista::diez(const Evento& e) {
    // Positions 4-6 carry the account as three hex digits, shown in decimal: the
    // followed account's decimal digits, the others' last three hex digits.
    std::string cuenta = e.cuenta.substr(1);
    if (!seguida_.empty() && e.cuenta == seguida_) {
        const unsigned long valor = std::stoul(seguida_);
        cuenta = {kHex[(valor >> 8) & 0xf], kHex[(valor >> 4) & 0xf], kHex[valor & 0xf]};
    }
    Paquete p;
    p.clase = Clase::Diez;
    p.filas = 1;
    p.bytes += letra_inicio(sacar(16));
    p.bytes += e.codigo.substr(0, 2);              // 2-3: the code's class and group
    p.bytes += cuenta;                             // 4-6
    p.bytes += kHex[8 + sacar(8)];                 // 7: signal
    p.bytes += kHex[sacar(16)];                    // 8
    p.bytes += sacar(10) < 6 ? '0' : kHex[1 + sacar(15)]; // 9: origin
    p.bytes += kHex[sacar(16)];                    // 10
    return p;
}

} // namespace corvane::simulador
