#pragma once
// The register's tables on either engine: created when missing, read by key,
// searched, saved whole in one transaction with a check that nobody changed the
// account since the editor read it. On a central server each change is
// announced (NOTIFY on kCanalAbonados, the account as payload) so that every
// workstation sees it within a second.

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "abonados/abonados.h"
#include "common/fallo.h"

namespace corvane {

class BaseDatos;

inline const QString kCanalAbonados = QStringLiteral("corvane_abonados");

// Creates the register's tables and indexes when missing (a database of an
// older version keeps its rows).
Fallo crear_tablas_abonados(BaseDatos& base);

// True when the four tables are there (a file of an older version, opened only
// to read, has none: its register is empty).
Fallo tablas_abonados_presentes(BaseDatos& base, bool& presentes);

// On a central server, tells every workstation (NOTIFY kCanalAbonados) that
// `cuenta` changed, at the commit of the transaction in progress; empty: the
// register as a whole (an import); kTodasLasCuentas: the general instructions.
// Nothing on SQLite.
Fallo avisar_cambio_abonado(BaseDatos& base, const QString& cuenta);

// On the embedded file, a number that changes whenever another connection (an
// import from the command line, another program) commits to the file, and only
// then (SQLite's data_version): a window asks it once a second and forgets
// what it kept of the register when it moves. 0 on a central server, which
// announces its changes instead.
Fallo version_de_la_base(BaseDatos& base, qint64& version);

// The account with its zones, contacts (call order) and own instructions;
// nullopt when the register does not hold it.
Fallo leer_abonado(BaseDatos& base, const QString& cuenta, std::optional<Abonado>& abonado);

// A line of the search list.
struct ResumenAbonado {
    QString cuenta;
    QString nombre;
    EstadoAbonado estado = EstadoAbonado::Activo;
    QString enPruebasHasta;
};
// Accounts whose key starts with, or whose name contains, `texto` (either case;
// empty: all), by key, at most `maximo`.
Fallo buscar_abonados(BaseDatos& base, const QString& texto, int maximo,
                      std::vector<ResumenAbonado>& encontrados);

// Saves `abonado` whole (data, zones, contacts, own instructions) in one
// transaction, stamped `momento` by `puesto`. `leido` is the stamp the editor
// read (the account's `modificado`, empty for an account it believed new): when
// the stored stamp differs, nothing is written and `actual` holds the stored
// account (who changed it and when); the caller decides and may save again with
// the new stamp. A contact's hashClave is stored as it is.
Fallo guardar_abonado(BaseDatos& base, const Abonado& abonado, const QString& leido,
                      const QString& momento, const QString& puesto,
                      std::optional<Abonado>& actual);

// The instruction for an event of class `clase` (nombre_clase's name) of
// `cuenta`: its own, else the one for every account ("*"); empty when none.
Fallo instruccion_para(BaseDatos& base, const QString& cuenta, const QString& clase,
                       QString& texto);
// The instructions for every account without its own ("*").
Fallo leer_instrucciones_generales(BaseDatos& base, std::vector<InstruccionAbonado>& generales);
Fallo guardar_instrucciones_generales(BaseDatos& base,
                                      const std::vector<InstruccionAbonado>& generales);

// What the screens show beside an event, looked up by account and kept until a
// change of the account is announced (olvidar): the name, the zone's
// description, whether it is in test at a moment. An account not registered has
// no name. Cheap enough to be asked for every row shown.
class CatalogoAbonados {
public:
    explicit CatalogoAbonados(std::function<BaseDatos*()> base);
    ~CatalogoAbonados();
    // The account's name; nullopt when the register does not hold it.
    std::optional<QString> nombre(const QString& cuenta);
    // The description of the zone; a zone registered with an empty partition
    // matches any partition. Empty when none.
    QString descripcionZona(const QString& cuenta, const QString& particion, const QString& zona);
    // True when the account is en_pruebas and `momento` is before its end.
    bool enPruebas(const QString& cuenta, const QString& momento);
    // The whole account (for a detail pane), read afresh.
    std::optional<Abonado> abonado(const QString& cuenta);
    // Forgets what it keeps of `cuenta` (empty: of every account).
    void olvidar(const QString& cuenta = {});

private:
    struct Datos;
    std::unique_ptr<Datos> d_;
};

} // namespace corvane
