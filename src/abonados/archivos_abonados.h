#pragma once
// The register in four CSV files (csv_abonados.h), for import and export:
//   abonados.csv
//   cuenta,nombre,direccion,localidad,telefono,estado,en_pruebas_hasta,prueba_cada_min,notas
//   zonas.csv         cuenta,particion,zona,descripcion
//   contactos.csv     cuenta,orden,nombre,telefono,relacion,palabra_clave[,palabra_clave_hash]
//   instrucciones.csv cuenta,clase,texto
// Moments are written "AAAA-MM-DD HH:mm". A spoken password is read in clear
// and kept only as its hash; the export writes palabra_clave empty and the hash
// in palabra_clave_hash, which the import takes as it is.

#include <QString>

#include "common/fallo.h"

namespace corvane {

class BaseDatos;

inline const QString kArchivoAbonados = QStringLiteral("abonados.csv");
inline const QString kArchivoZonas = QStringLiteral("zonas.csv");
inline const QString kArchivoContactos = QStringLiteral("contactos.csv");
inline const QString kArchivoInstrucciones = QStringLiteral("instrucciones.csv");

struct ResumenImportacion {
    qint64 abonados = 0;
    qint64 zonas = 0;
    qint64 contactos = 0;
    qint64 instrucciones = 0;
};

// Reads whichever of the four files `carpeta` holds and stores them all in one
// transaction, or nothing. An account of abonados.csv that the register holds
// has its data replaced; one it does not hold is added. An account named in
// zonas.csv, contactos.csv or instrucciones.csv has its set of zones, contacts
// or own instructions replaced by the file's ("*": the general instructions).
// Every account is stamped `momento` by `puesto`. Input that is refused leaves
// `rechazo` as "ARCHIVO, línea N: motivo" (or a message about the folder) and
// nothing written; a failure of the store is the Fallo. No password, and no
// hash, is ever part of `rechazo`.
Fallo importar_abonados(BaseDatos& base, const QString& carpeta, const QString& momento,
                        const QString& puesto, QString& rechazo, ResumenImportacion& resumen);

// Writes the four files into `carpeta` (created when missing), each replaced
// only once written whole, rows by key; a register without its tables (a file
// of an older version) gives the headers alone. `rechazo`: a folder or file
// that cannot be written.
Fallo exportar_abonados(BaseDatos& base, const QString& carpeta, QString& rechazo,
                        ResumenImportacion& resumen);

// The card of account `cuenta` for the command line: its data, zones, contacts
// in call order (whether a password is set, never the password nor its hash),
// its own instructions and the general ones for the classes it lacks, marked as
// such. `registrado` false when the register does not hold the account.
Fallo ficha_abonado(BaseDatos& base, const QString& cuenta, bool& registrado, QString& ficha);

} // namespace corvane
