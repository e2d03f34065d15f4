#include "tools/generador.h"

#include <iterator>
#include <string_view>

namespace corvane::simulador {

// Built by appending, which also keeps GCC 12 from a false -Wrestrict on string
// concatenation.
std::string entre_lf_y_cr(const std::string& datos) {
    std::string r;
    r.reserve(datos.size() + 2);
    r += '\n';
    r += datos;
    r += '\r';
    return r;
}

namespace {

constexpr std::string_view kHex = "0123456789abcdef";

// Contact ID event codes that panels report most (alarms, troubles, openings and
// closings, tests), three decimal digits.
constexpr std::string_view kEventos[] = {
    "100", "110", "120", "121", "122", "123", "130", "131", "132", "133", "134",
    "137", "139", "140", "150", "301", "302", "305", "309", "311", "320", "333",
    "344", "350", "373", "380", "383", "401", "402", "403", "406", "407", "408",
    "409", "441", "456", "570", "573", "601", "602", "623", "627"};

// Characters of no class: the framer ignores them wherever they fall. Line noise
// brings NUL, DEL and 0xff as well.
constexpr char kBasura[] = {'Z',    'g',
                            'h',    'i',
                            'j',    'k',
                            'l',    'u',
                            'v',    'w',
                            'x',    'y',
                            'z',    ' ',
                            '!',    '?',
                            '*',    '#',
                            '.',    ',',
                            ';',    ':',
                            '-',    '+',
                            '/',    '=',
                            '_',    '~',
                            '(',    ')',
                            '\t',   '\0',
                            '\x7f', static_cast<char>(0xff)};
constexpr auto kNumEventos = static_cast<std::uint32_t>(std::size(kEventos));
constexpr auto kNumBasura = static_cast<std::uint32_t>(std::size(kBasura));

// Per mille of each kind of traffic; the rest are malformed packets.
constexpr std::uint32_t kLargos = 420;
constexpr std::uint32_t kDiez = 200;
constexpr std::uint32_t kCuatro = 150;
constexpr std::uint32_t kLetras = 170;

constexpr std::uint32_t kCuentasLargas = 48; // accounts that report through long packets
constexpr std::uint32_t kCuentasDiez = 32;   // accounts that report through ten-character ones

// Length of the main part of a long packet: characters 1 to 32.
constexpr std::size_t kLargoPrincipal = 32;

} // namespace

std::string dos_hex(std::uint32_t valor) {
    return {kHex[(valor >> 4) & 0xf], kHex[valor & 0xf]};
}

char letra_inicio(std::uint32_t k) {
    return k < 8 ? static_cast<char>('A' + k) : static_cast<char>('m' + (k - 8));
}

void Resumen::contar(const Paquete& p) {
    switch (p.clase) {
    case Clase::Largo:
        ++largos;
        break;
    case Clase::Diez:
        ++diez;
        break;
    case Clase::Cuatro:
        ++cuatro;
        break;
    case Clase::Malformado:
        ++malformados;
        break;
    case Clase::LetraEstado:
        break;
    }
    letras += static_cast<std::uint64_t>(p.letras);
    filas += static_cast<std::uint64_t>(p.filas);
    bytes += p.bytes.size();
}

Resumen& Resumen::operator+=(const Resumen& o) {
    largos += o.largos;
    diez += o.diez;
    cuatro += o.cuatro;
    letras += o.letras;
    malformados += o.malformados;
    filas += o.filas;
    bytes += o.bytes;
    return *this;
}

std::string texto_resumen(const Resumen& r) {
    const auto linea = [](std::string_view nombre, std::uint64_t valor) {
        std::string s = "  ";
        s += nombre;
        s += ':';
        s.append(nombre.size() < 36 ? 36 - nombre.size() : 1, ' ');
        s += std::to_string(valor);
        s += '\n';
        return s;
    };
    std::string s = "Resumen de lo escrito:\n";
    s += linea("paquetes largos", r.largos);
    s += linea("paquetes de diez caracteres", r.diez);
    s += linea("paquetes de cuatro caracteres", r.cuatro);
    s += linea("letras de estado", r.letras);
    s += linea("paquetes malformados", r.malformados);
    s += linea("bytes", r.bytes);
    s += linea("filas que la consola debe guardar", r.filas);
    return s;
}

Generador::Generador(std::uint32_t semilla) : motor_(semilla) {
    receptor_ = hex(4);
    secuencia_ = sacar(256);
    for (std::uint32_t i = 0; i < kCuentasLargas; ++i) cuentas_.push_back(hex(4));
    for (std::uint32_t i = 0; i < kCuentasDiez; ++i) cuentasDiez_.push_back(hex(3));
}

std::uint32_t Generador::sacar(std::uint32_t n) {
    return static_cast<std::uint32_t>(motor_() % n);
}

bool Generador::por_mil(std::uint32_t p) {
    return sacar(1000) < p;
}

char Generador::hex() {
    return kHex[sacar(16)];
}

std::string Generador::hex(int ancho) {
    std::string s;
    for (int i = 0; i < ancho; ++i) s += hex();
    return s;
}

std::string Generador::campo(std::string digitos, bool ceroComoA) {
    if (ceroComoA)
        for (char& c : digitos)
            if (c == '0') c = 'a';
    return digitos;
}

void Generador::ponerCuentaSeguida(const std::string& cuenta) {
    seguidaLarga_ = cuenta;
    seguidaDiez_.clear();
    if (cuenta.empty()) return;
    const unsigned long valor = std::stoul(cuenta);
    static const char kDigitos[] = "0123456789abcdef";
    seguidaDiez_ = {kDigitos[(valor >> 8) & 0xf], kDigitos[(valor >> 4) & 0xf], kDigitos[valor & 0xf]};
}

std::string Generador::cuenta_larga() {
    if (!seguidaLarga_.empty() && por_mil(135)) return seguidaLarga_;
    // Most reports come from the accounts of this receiver; a few from anywhere.
    if (por_mil(900)) return cuentas_[sacar(kCuentasLargas)];
    return hex(4);
}

Paquete Generador::siguiente() {
    const std::uint32_t r = sacar(1000);
    if (r < kLargos) return largo();
    if (r < kLargos + kDiez) return diez();
    if (r < kLargos + kDiez + kCuatro) return cuatro();
    if (r < kLargos + kDiez + kCuatro + kLetras) return letra();
    return malformado();
}

std::string Generador::datos_largo(int& filas) {
    const bool ceroComoA = por_mil(500);
    const auto evento = [&] { return campo(std::string(kEventos[sacar(kNumEventos)]), ceroComoA); };
    const auto particion = [&] {
        const std::uint32_t n = por_mil(700) ? 1 : 1 + sacar(8);
        return campo(std::string(1, '0').append(std::to_string(n)), ceroComoA);
    };
    const auto zona = [&] {
        const std::uint32_t n = sacar(100);
        std::string z = std::to_string(n);
        return campo(std::string(3 - z.size(), '0').append(z), ceroComoA);
    };

    std::string s = receptor_; // 1-4
    secuencia_ = (secuencia_ + 1) % 256;
    s += dos_hex(secuencia_);                      // 5-6
    s += "..";                                     // 7-8: the sub-block area, set below
    s += "00";                                     // 9-10
    s += hex(2);                                   // 11-12
    s += por_mil(500) ? '0' : kHex[1 + sacar(15)]; // 13: origin
    s += hex();                                    // 14
    s += hex(2);                                   // 15-16: all origins
    s += hex(2);                                   // 17-18
    s += hex();                                    // 19: signal level
    s += static_cast<char>('0' + sacar(3));        // 20: event type digit
    s += evento();                                 // 21-23
    s += particion();                              // 24-25
    s += zona();                                   // 26-28
    s += cuenta_larga();                           // 29-32

    const std::uint32_t r = sacar(10);
    const int bloques = r < 4 ? 0 : r < 7 ? 1 : r < 9 ? 2 : 3;
    std::vector<std::size_t> inicios; // positions from 1
    for (int i = 0; i < bloques; ++i) {
        inicios.push_back(s.size() + 1);
        const std::uint32_t codigo = 1 + sacar(255); // "00" would end the walk
        s += dos_hex(codigo);
        if (codigo & 16) s += evento();
        if (codigo & 8) s += particion();
        if (codigo & 4) s += zona();
        if (codigo & 3) {
            const std::string cuenta = cuenta_larga();
            if (codigo & 2) s += cuenta.substr(0, 2);
            if (codigo & 1) s += cuenta.substr(2, 2);
        }
    }

    // The area that characters 7-8 announce: mostly exactly the blocks; sometimes
    // closed by a "00" code with any larger area; sometimes shorter, so that the
    // walk leaves the last blocks out.
    const std::size_t largo = s.size();
    const std::uint32_t variante = sacar(100);
    std::uint32_t n = 0;
    if (variante < 80) {
        n = static_cast<std::uint32_t>(largo / 2);
    } else if (variante < 90) {
        s += "00";
        const auto minimo = static_cast<std::uint32_t>((largo + 2) / 2);
        n = minimo + sacar(256 - minimo);
    } else {
        n = sacar(static_cast<std::uint32_t>(largo / 2) + 1);
    }
    s.replace(6, 2, dos_hex(n));
    filas = 1;
    for (const std::size_t inicio : inicios) {
        if (inicio > 2 * n) break;
        ++filas;
    }
    return s;
}

Paquete Generador::largo() {
    Paquete p;
    p.clase = Clase::Largo;
    std::string datos = datos_largo(p.filas);
    // Now and then a status letter arrives in the middle of a packet; collection
    // goes on around it.
    if (por_mil(20)) {
        const std::uint32_t donde = sacar(static_cast<std::uint32_t>(datos.size()) + 1);
        datos.insert(datos.begin() + donde, static_cast<char>('I' + sacar(17)));
        p.letras = 1;
    }
    p.bytes = entre_lf_y_cr(datos);
    return p;
}

Paquete Generador::diez() {
    Paquete p;
    p.clase = Clase::Diez;
    p.filas = 1;
    p.bytes += letra_inicio(sacar(16));
    p.bytes += hex(2);                                                    // 2-3: event
    if (!seguidaDiez_.empty() && por_mil(135)) p.bytes += seguidaDiez_;         // 4-6: account
    else p.bytes += por_mil(900) ? cuentasDiez_[sacar(kCuentasDiez)] : hex(3);
    p.bytes += hex();                                                     // 7: signal
    p.bytes += hex();                                                     // 8
    p.bytes += por_mil(500) ? '0' : kHex[1 + sacar(15)];                  // 9: origin
    p.bytes += hex();                                                     // 10
    return p;
}

Paquete Generador::cuatro() {
    Paquete p;
    p.clase = Clase::Cuatro;
    const std::uint32_t rx = sacar(100);
    const std::uint32_t senal = sacar(16);
    p.bytes = entre_lf_y_cr(dos_hex(rx).append(dos_hex(senal)));
    return p;
}

Paquete Generador::letra() {
    Paquete p;
    p.clase = Clase::LetraEstado;
    p.letras = 1;
    p.bytes = std::string(1, static_cast<char>('I' + sacar(17)));
    return p;
}

Paquete Generador::malformado() {
    Paquete p;
    p.clase = Clase::Malformado;
    switch (sacar(5)) {
    case 0: {
        p.defecto = Defecto::Indicador;
        int filas = 0;
        std::string datos = datos_largo(filas);
        datos.replace(8, 2, dos_hex(1 + sacar(255)));
        p.bytes = entre_lf_y_cr(datos);
        break;
    }
    case 1: {
        p.defecto = Defecto::Tipo3;
        int filas = 0;
        std::string datos = datos_largo(filas);
        datos[19] = '3';
        p.bytes = entre_lf_y_cr(datos);
        break;
    }
    case 2:
        p.defecto = Defecto::Corto;
        p.bytes = entre_lf_y_cr(hex(5 + static_cast<int>(sacar(5))));
        break;
    case 3: {
        p.defecto = Defecto::Basura;
        p.bytes.assign(1, '\n');
        int hexRestantes = 3;
        const std::uint32_t n = 1 + sacar(12);
        for (std::uint32_t i = 0; i < n; ++i) {
            if (hexRestantes > 0 && por_mil(200)) {
                p.bytes += hex();
                --hexRestantes;
            } else {
                p.bytes += kBasura[sacar(kNumBasura)];
            }
        }
        p.bytes += "\r";
        break;
    }
    default:
        p.defecto = Defecto::DiezCortado;
        p.bytes = std::string(1, letra_inicio(sacar(16)));
        p.bytes += hex(1 + static_cast<int>(sacar(8)));
        break;
    }
    return p;
}

} // namespace corvane::simulador
