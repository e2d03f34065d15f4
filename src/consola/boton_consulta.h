#pragma once
// The search button (Command3, "Realizar Busqueda"): one account, one day,
// optionally at most one signal level and one origin.

#include <QDate>
#include <QString>

#include <functional>
#include <optional>

#include "common/caja_texto.h"
#include "common/mensajes.h"
#include "consola/exportacion.h"
#include "store/definesBaseDatos.h"

namespace corvane {

class CatalogoAbonados;

inline const QString kMensajeCuentaVacia = QStringLiteral("Debe llenar el campo usuario");

// Reads the account box, the two list indexes (see sentencia_historial) and the
// day; an empty account shows "Debe llenar el campo usuario" titled "Brisca" and
// runs nothing; otherwise the result box receives the operator's listing of
// database slot 0. A failed query is logged and leaves in the box what was listed
// before it; `fallo`, when given, receives the failure (the command line tells it).
void Command3_Click(const CajaTexto& text3, int senal, int origen, const QDate& dia,
                    CajaTexto& text2, CajaMensajes& mensajes, ConjuntoBases& bases,
                    Fallo* fallo = nullptr);

// The export button ("Exportar…") beside it: the same account and day, with
// the origin list's index, every column as CSV (exportacion.h) into a file that
// `elegir` asks for, offering `propuesto` (empty: cancelled, nothing done). An
// empty account shows "Debe llenar el campo usuario" as the search does; then a
// message says how many events went to the file, or why none did (the file is
// only replaced once written whole).
void Exportar_Click(const CajaTexto& text3, int origen, const QDate& dia,
                    const std::function<QString(const QString& propuesto)>& elegir,
                    CajaMensajes& mensajes, ConjuntoBases& bases);

// What a search lists: the account, the two list indexes (see
// sentencia_historial) and the day.
struct ConsultaCuenta {
    QString cuenta;
    int senal = 0;
    int origen = 0;
    QDate dia;
    bool operator==(const ConsultaCuenta&) const = default;
};

// The file that an export goes to and its form; an empty path: cancelled.
struct ArchivoElegido {
    QString ruta;
    FormatoCsv formato = FormatoCsv::Rfc4180;
};
using ElegirExportacion = std::function<ArchivoElegido(const QString& propuesto)>;

// The listing of `c` (an account given) into the file that `elegir` asks for,
// offering "cuenta_<cuenta>_<yyyy-MM-dd>.csv", every column in the form chosen,
// the rows that the search of `c` lists; then the message of Exportar_Click.
// `catalogo`: the register's names and zones for the last two columns, read
// for the one account before the listing starts, so that the listing's
// connection is never asked while it streams; none: empty.
void exportar_consulta(const ConsultaCuenta& c, const ElegirExportacion& elegir,
                       CajaMensajes& mensajes, ConjuntoBases& bases,
                       CatalogoAbonados* catalogo = nullptr);

// The query frame's result box and the search it shows. A search fills the box
// and remembers its query; a change of the account, of a filter or of the day
// empties the box and forgets it, so that the box never shows the listing of
// other controls than those on screen, and an export writes the rows of the
// listing shown, or nothing when none is.
class HistorialMostrado {
public:
    explicit HistorialMostrado(CajaTexto& text2) : text2_(text2) {}

    // "Realizar Busqueda" with `c` (Command3_Click). After a failed search (the
    // box holds the lines read before the failure) none is shown.
    void buscar(const ConsultaCuenta& c, CajaMensajes& mensajes, ConjuntoBases& bases);
    // The account, a filter or the day changed: the box is emptied.
    void cambio();
    // "Exportar…": the listing shown is searched again, so that the box shows the
    // rows written, then exported; with none shown, nothing is done.
    void exportar(const ElegirExportacion& elegir, CajaMensajes& mensajes, ConjuntoBases& bases,
                  CatalogoAbonados* catalogo = nullptr);
    // The search whose listing the box shows, if any.
    const std::optional<ConsultaCuenta>& mostrada() const { return mostrada_; }

private:
    CajaTexto& text2_;
    std::optional<ConsultaCuenta> mostrada_;
};

} // namespace corvane
