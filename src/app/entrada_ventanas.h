#pragma once
// The entry of the windows' module (corvane-ventanas.so): modo_ventanas.

#include "app/linea_comandos.h"

// The module's file, beside the program, and its entry's name.
inline constexpr const char* kModuloVentanas = "corvane-ventanas.so";
inline constexpr const char* kEntradaVentanas = "corvane_modo_ventanas";

extern "C" {
using EntradaVentanas = int (*)(int* argc, char** argv, const corvane::Opciones* o);
}
