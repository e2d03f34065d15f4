#pragma once
// The console with its windows.

#include "app/linea_comandos.h"

namespace corvane {

// Opens the main window and runs until it closes; returns the exit status.
int modo_ventanas(int& argc, char* argv[], const Opciones& o);

} // namespace corvane
