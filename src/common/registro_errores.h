#pragma once
// The error log: every trapped failure of the database routines appends one
// record to error.log in the data folder. Lines end in CR LF; the file is opened,
// appended and closed at every call, never truncated and never read back.
//
//   ****** Error *******
//   Fecha: 06/12/2026 Hora: 14:27:13
//   Error: 3134 El motor de base de datos rechazó la sentencia
//   NuevoDato                           (only when the label is not empty)

#include <QString>

#include "common/reloj.h"

namespace corvane {

// Failure numbers, fixed once: error.log files and whoever reads them rely on
// them. The engine's numbers follow those of the original Jet engine where one
// existed for the same failure.
namespace fallos {
inline constexpr qint32 kNinguno = 0;
inline constexpr qint32 kIndiceFueraDeRango = 9;       // slot index outside its range
inline constexpr qint32 kSinObjeto = 91;               // slot holds no open database/recordset
inline constexpr qint32 kMotorGeneral = 3000;          // any other engine failure
inline constexpr qint32 kArchivoNoEncontrado = 3024;
inline constexpr qint32 kAccesoRechazado = 3029;       // the server refused the login   // file or folder missing, cannot open
inline constexpr qint32 kDiscoLleno = 3026;            // no space left
inline constexpr qint32 kSoloLectura = 3027;           // database or file is read-only
inline constexpr qint32 kSentenciaRechazada = 3134;    // statement rejected by the engine
inline constexpr qint32 kFilaRechazada = 3317;         // one row refused by the target, set apart
inline constexpr qint32 kConexionPerdida = 3151;       // server connection lost or refused
inline constexpr qint32 kBloqueada = 3260;             // database locked by another process
inline constexpr qint32 kNoEsBaseDeDatos = 3343;       // file exists but is not a database
inline constexpr qint32 kColaRecuperada = 3049;        // damaged queue set aside, rows recovered
inline constexpr qint32 kPuertoInexistente = 8002;     // no serial port behind the name
inline constexpr qint32 kPuertoOcupado = 8005;         // serial port in use or not permitted
inline constexpr qint32 kPuertoRechazado = 8015;       // serial port refused a setting or failed
inline constexpr qint32 kReceptorSinActividad = 8090;  // no character for the supervision time
inline constexpr qint32 kEventosPerdidos = 8100;       // rows shown that neither store nor queue kept
} // namespace fallos

// Message text for a failure number; one generic text for numbers not in the table.
QString mensaje_de_error(qint32 numero);

// Formats one record, CR LF line ends included.
QString registro_de_error(qint32 numero, const QString& etiqueta, const Reloj& reloj);

class RegistroErrores {
public:
    RegistroErrores(QString carpeta, const Reloj& reloj);

    // Appends one record to <carpeta>/error.log. A log that cannot be written
    // goes to standard error instead; the caller never notices either way.
    void registrar_error(qint32 numero, const QString& etiqueta) const;

    QString ruta() const;

private:
    QString carpeta_;
    const Reloj& reloj_;
};

} // namespace corvane
