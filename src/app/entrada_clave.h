#pragma once
// Passwords typed by the operator at the command line: at a terminal without
// echo (a signal that ends the program at the prompt gives the echo back
// first), from a script the lines of standard input. Never written anywhere.

#include <QByteArray>
#include <QString>

namespace corvane {

// One line of standard input without its end ("\n" or "\r\n"), read a byte at
// a time so that nothing after it is taken; false at the end of input with
// nothing read.
bool leer_linea_entrada(QByteArray& linea);
// One line typed at the terminal after `invitacion` (on standard error), not
// echoed; standard input's next line when it is no terminal.
QByteArray leer_sin_eco(const QString& invitacion);

} // namespace corvane
