#pragma once
// corvane-simulador's command line: its options, their defaults and its help text.
// The syntax and its messages are those of corvane's own (app/tabla_opciones.h).

#include <cstdint>
#include <optional>
#include <string>

namespace corvane::simulador {

inline constexpr std::uint32_t kVelocidadPorOmision = 19200; // bit/s
inline constexpr std::uint32_t kVelocidadMaxima = 4000000;   // bit/s

enum class Destino { Pseudoterminal, Dispositivo, Salida };

struct Opciones {
    std::uint32_t semilla = 1;
    std::optional<std::uint64_t> paquetes;          // none: without end
    std::uint32_t velocidad = kVelocidadPorOmision; // 0: as fast as possible
    Destino destino = Destino::Pseudoterminal;
    std::string ruta; // --dispositivo or --salida
    bool resumen = false;
    bool ayuda = false;
    std::string cuentaSeguida; // --cuenta-seguida
    // --pausa SEGUNDOS@CADA: every `cadaPausa` seconds the line falls silent for
    // `pausa` seconds (pausa < cadaPausa); 0: never.
    std::uint32_t pausa = 0;
    std::uint32_t cadaPausa = 0;
    bool realista = false; // --realista: GeneradorRealista, one item a second
};

// The longest period that --pausa takes, in seconds (a day).
inline constexpr std::uint32_t kPausaMaxima = 86400;

// Text of --ayuda.
const char* texto_ayuda();

// Reads the command line into `o`. Empty when it is good; otherwise the Spanish
// reason (UTF-8).
std::string analizar(int argc, char** argv, Opciones& o);

} // namespace corvane::simulador
