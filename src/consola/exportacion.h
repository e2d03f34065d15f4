#pragma once
// Listings of a range of days, of one account or of every account, in any of
// the three forms: the operator's lines, the detailed lines and CSV. They are
// written as the database gives the rows, none kept, so that memory stays flat
// however many there are (a year of every account is ten million).

#include <QByteArray>

#include <functional>
#include <string_view>

#include "common/fallo.h"
#include "consola/listado.h"
#include "store/consulta.h"
#include "store/motor.h"

namespace corvane {

// Where a listing goes, a piece at a time; a failure stops the listing.
using SalidaListado = std::function<Fallo(const QByteArray& bytes)>;

// The CSV header: every stored column by its name (esquema::kColumnas), then
// "descripcion" and "clase"; CR LF.
QByteArray cabecera_csv();

// Writes the listing of `c` read from `base` in `forma` to `salida`; `filas`
// counts the rows listed. With no row, the operator's and the detailed forms
// write "No hay registros para ese abonado" and CSV its header alone. A value
// that the operator's line cannot read as a number (the level, the origin) is a
// kSentenciaRechazada failure, as for the account-day listing. What was listed
// before a failure is written; a failure before the first row writes nothing.
Fallo escribir_listado(BaseDatos& base, const ConsultaIntervalo& c, FormaListado forma, const SalidaListado& salida,
                       qint64& filas);

// The CSV of `c` into the file `ruta`, created or replaced only once it is
// written whole (a failure leaves what was there before).
Fallo exportar_csv(BaseDatos& base, const ConsultaIntervalo& c, const QString& ruta, qint64& filas);

} // namespace corvane
