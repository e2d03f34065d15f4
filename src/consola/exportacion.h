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

class CatalogoAbonados;

// Where a listing goes, a piece at a time; a failure stops the listing.
using SalidaListado = std::function<Fallo(const QByteArray& bytes)>;

// The two forms of a CSV file. RFC 4180: UTF-8 without a byte-order mark,
// values separated by commas (what --csv writes and scripts read). For a
// spreadsheet: UTF-8 after the byte-order mark EF BB BF and values separated by
// semicolons, which a spreadsheet set up for Spanish (where the comma is the
// decimal sign) opens in columns with its accents; the same quoting rules.
enum class FormatoCsv { Rfc4180, HojaDeCalculo };
char separador_csv(FormatoCsv formato);

// The CSV header: every stored column by its name (esquema::kColumnas), then
// "descripcion", "clase", "nombre_abonado" and "descripcion_zona", separated by
// `separador`; CR LF.
QByteArray cabecera_csv(char separador = ',');

// Writes the listing of `c` read from `base` in `forma` to `salida`; `filas`
// counts the rows listed. With no row, the operator's and the detailed forms
// write "No hay registros para ese abonado" and CSV its header alone. A value
// that the operator's line cannot read as a number (the level, the origin) is a
// kSentenciaRechazada failure, as for the account-day listing. What was listed
// before a failure is written; a failure before the first row writes nothing.
// `separador`: between the values of a CSV row (FormaListado::Csv only).
// `catalogo`: the register's name of each row's account and description of its
// zone (the CSV's last two columns, and a line of the detailed form after the
// event's for a registered account); none: those columns empty. It must read
// through a connection of its own: the listing's connection is busy walking.
Fallo escribir_listado(BaseDatos& base, const ConsultaIntervalo& c, FormaListado forma,
                       const SalidaListado& salida, qint64& filas, char separador = ',',
                       CatalogoAbonados* catalogo = nullptr);

// The CSV of `c` in `formato` into the file `ruta`, created or replaced only
// once it is written whole (a failure leaves what was there before).
Fallo exportar_csv(BaseDatos& base, const ConsultaIntervalo& c, const QString& ruta, qint64& filas,
                   FormatoCsv formato = FormatoCsv::Rfc4180, CatalogoAbonados* catalogo = nullptr);

} // namespace corvane
