#pragma once
// The command-line syntax that corvane and corvane-simulador share, read by
// QCommandLineParser and reported in Spanish; the parser's own English texts never
// reach the user.
//  - "--nombre" is an option and "-nombre" the same option; its value comes as
//    "--nombre=valor" or as the next argument, which may not begin with "--"
//    (that is a forgotten value followed by another option);
//  - "--ayuda", "--help" and "-h" ask for the help text, whatever else is given;
//  - each option at most once, a switch takes no value, a value is never empty,
//    and nothing that is not an option or its value ("--" alone included).
// Each program lists its options in a table: one entry an option, with the check
// of its value.

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace corvane {

inline constexpr bool kConValor = true;     // "--opcion VALOR"
inline constexpr bool kInterruptor = false; // "--opcion"

struct OpcionLinea {
    const char* nombre; // without the dashes: "carpeta" is --carpeta
    bool conValor;
    // Checks the value (empty for a switch) and keeps it; returns the Spanish
    // reason when it refuses the value, an empty text otherwise. None: the option
    // is only looked for in LecturaLinea::dadas.
    std::function<QString(const QString& valor)> aplicar;
};

// An `aplicar` that keeps the value as given.
std::function<QString(const QString&)> guardar_en(QString& destino);
// An `aplicar` for a switch: sets `destino`.
std::function<QString(const QString&)> marcar(bool& destino);

struct LecturaLinea {
    // Spanish; empty when the line is good. Of several faults the one told is, in
    // this order: an unknown option, a repeated one, a missing value, a value given
    // to a switch, an argument that is no option, an empty value, then the first
    // value refused by its own check, in the order given.
    QString error;
    bool ayuda = false;  // help was asked for; nothing else was checked or applied
    QStringList dadas;   // names of the options given (without dashes), in their order
    QStringList sueltos; // arguments that are no option, where the caller allows them
};

// Reads `argumentos` (without the program's name) against `tabla`: first the
// syntax, then each given option's `aplicar`, in the order given, until one
// refuses its value. `sueltos`: how many arguments that are no option the
// caller takes (in LecturaLinea::sueltos) and checks itself.
LecturaLinea leer_linea(const QStringList& argumentos, const std::vector<OpcionLinea>& tabla,
                        int sueltos = 0);

} // namespace corvane
