#pragma once
// The console with its windows.

#include <QString>

#include <memory>

#include "app/camino.h"
#include "app/linea_comandos.h"
#include "common/mensajes.h"
#include "ui/form1.h"

namespace corvane {

// The main window over `camino` (a road of the windows' mode), as the window's
// load finds it: the event database opened, the port list on `puerto` when it is
// given, the road writing the window's online log and status line until the
// window goes. Messages go to `mensajes`, or to message boxes when it is null.
// With `velocidad` (bit/s, not 0) the port is opened at that speed as soon as the
// event loop runs, as if the port button were pressed (Form1::abrirPuerto).
std::unique_ptr<Form1> abrir_ventana(Camino& camino, const QString& puerto,
                                     CajaMensajes* mensajes = nullptr, int velocidad = 0);

// Opens the main window and runs until it closes; returns the exit status.
int modo_ventanas(int& argc, char* argv[], const Opciones& o);

} // namespace corvane
