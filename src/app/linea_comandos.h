#pragma once
// The console's command line. Every message is Spanish; a bad command line is
// reported before anything is opened or created.

#include <QDate>
#include <QString>
#include <QStringList>

namespace corvane {

enum class Modo { Ventanas, Reproducir, SinVentana, Consultar, Ayuda };

struct Opciones {
    Modo modo = Modo::Ventanas;
    QString archivo;   // --reproducir: a capture file, or "-" for standard input
    QString carpeta;   // --carpeta: data folder; empty: the program's folder
    QString base;      // --base: postgresql:// URL; empty: baseTolm.mdb in the data folder
    QString puerto;    // --puerto: a numbered port (es_puerto_numerado) or a device path
    int velocidad = 0; // --velocidad: one of kVelocidades, bit/s
    QString cuenta;    // --consultar: an account (cuenta_valida)
    QDate fecha;       // --fecha; today when not given
    int origen = 0;    // --origen as the origin list's index: 0 all, 1 direct, 1 + n repeater n
    bool csv = false;  // --csv
};

struct LineaComandos {
    Opciones opciones;
    QString error; // empty when the command line is good
};

// `argumentos` without the program name.
LineaComandos analizar_linea_comandos(const QStringList& argumentos);

// Text of --ayuda.
QString texto_ayuda();

} // namespace corvane
