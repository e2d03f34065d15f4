#pragma once
// The console's command line. Every message is Spanish; a bad command line is
// reported before anything is opened or created.

#include <QDate>
#include <QString>
#include <QStringList>

#include "consola/vigilancia.h"

namespace corvane {

enum class Modo {
    Ventanas,
    Reproducir,
    SinVentana,
    Consultar,
    Copia,
    Pendientes,
    ReenviarRechazadas,
    ImportarAbonados,
    ExportarAbonados,
    Abonado,
    OperadorAlta,
    OperadorBaja,
    OperadorClave,
    Operadores,
    VerificarAuditoria,
    Alarmas,
    ReconocerAlarma,
    NotaAlarma,
    CerrarAlarma,
    ReabrirAlarma,
    InformeAtencion,
    Ayuda
};

struct Opciones {
    Modo modo = Modo::Ventanas;
    QString archivo;    // --reproducir: a capture file, or "-" for standard input
    QString carpeta;    // --carpeta: data folder; empty: carpeta_por_omision (modos.h)
    QString base;       // --base: postgresql:// URL; empty: baseTolm.mdb in the data folder
    QString puerto;     // --puerto: a numbered port (es_puerto_numerado) or a device path
    int velocidad = 0;  // --velocidad: one of kVelocidades, bit/s
    QString cuenta;     // --consultar: an account (cuenta_valida)
    bool todas = false; // --todas: every account instead of one
    QDate fecha;        // --fecha or --desde: the first day listed; today when not given
                 // (--verificar-auditoria: the first day verified; none: from the first entry;
                 // --informe-atencion: none: six days before today)
    QDate hasta;          // --hasta: the last day listed, not before fecha; fecha when not given
                          // (--verificar-auditoria: none: to the last entry;
                          // --informe-atencion: none: today, or fecha when later)
    int origen = 0;       // --origen as the origin filter's index (common/reglas.h)
    bool csv = false;     // --csv (--consultar, --informe-atencion)
    bool detalle = false; // --detalle
    QString copia; // --copia: path of the copy of the event database, a file still to be made
    int vigilancia =
        kVigilanciaPorOmision; // --vigilancia: seconds of silence before an alert; 0 off
    bool vista = false;        // --vista: no port; shows what the central server (--base) stores
    QString puesto; // --puesto: this workstation's name in the alarm table; empty: the host name
    bool esperarPuerto =
        false; // --esperar-puerto: a port missing at start is waited for, as a lost one
    QString
        carpetaAbonados; // --importar-abonados / --exportar-abonados: the folder of the CSV files
    QString abonado;     // --abonado: the account whose card is shown (cuenta_valida)
    QString operador;    // --operador-alta, -baja, -clave: a user name (usuario_valido)
    QString nombreOperador; // --nombre: the new operator's full name
    QString rol = QStringLiteral(
        "operador");     // --rol: operador or supervisor
                         // (--operador: the operator who acts on an alarm, in `operador`)
    QString claveAlarma; // --reconocer, --nota, --cerrar, --reabrir: the alarm's key
    QString textoNota;   // the note's text: after --nota CLAVE, or --nota with --cerrar/--reabrir
    QString resolucion;  // --resolucion: a resolution's code
};

// The longest --puesto: the alarm table's column.
inline constexpr int kLargoPuesto = 255;

struct LineaComandos {
    Opciones opciones;
    QString error; // empty when the command line is good
};

// `argumentos` without the program name.
LineaComandos analizar_linea_comandos(const QStringList& argumentos);

// Text of --ayuda.
QString texto_ayuda();

// Overwrites with 'x', in place and byte for byte, the passwords that the
// process's arguments carry in a postgresql:// URL (--base URL, --base=URL): the
// password of the user information and the value of a "password=" parameter.
// Any local user reads the arguments in /proc/PID/cmdline; called once the line
// has been read, before anything else runs, it leaves them readable for
// milliseconds only. The lengths and everything else stay as they were.
void ocultar_claves(int argc, char* argv[]);
// `url` as it may be shown or logged: its passwords written as 'x', as
// ocultar_claves leaves them.
QString sin_clave(const QString& url);

} // namespace corvane
