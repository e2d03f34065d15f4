#pragma once
// The figures an alarm centre reports on its handling of alarms, over the
// alarms RECEIVED between the start of one day and the end of another: per
// operator and class, how many they handled and how long acknowledging and
// closing took; the alarms still open per class; the accounts with most false
// alarms; the alarms per hour of the day. Computed from the alarm table
// (store/ciclo_alarmas.h), read as it stands and never written: it runs on a
// read-only file while a console writes it, and on a central server.
//
// Times are whole seconds from reception to the acknowledgement or the
// closing; a moment before the reception (two workstations' clocks apart)
// counts as 0 s.

#include <QByteArray>
#include <QDate>
#include <QString>

#include <array>
#include <optional>
#include <vector>

#include "common/fallo.h"
#include "decoding/codigos_evento.h"
#include "evento/filas.h"

namespace corvane {

class BaseDatos;

// The median and the 90th percentile of a list of times; none when it is empty.
struct TiemposAtencion {
    int cuantos = 0;
    std::optional<qint64> mediana; // seconds
    std::optional<qint64> p90;     // seconds
};

// One operator's alarms of one class. The acknowledgement counts for the
// operator who acknowledged, the closing for the one who closed: an alarm that
// one acknowledged and another closed is handled by both. "(sin operador)"
// stands for a step taken where no operator signs in.
struct FilaOperadorClase {
    QString operador;
    ClaseEvento clase = ClaseEvento::Otro;
    int atendidas = 0; // alarms this operator acknowledged or closed, each once
    TiemposAtencion reconocer;
    TiemposAtencion cerrar;
};

struct InformeAtencion {
    QDate desde, hasta;
    int recibidas = 0;
    // By operator (alphabetical, "(sin operador)" last), then by class.
    std::vector<FilaOperadorClase> operadores;
    // Every operator together, one row per class with alarms (operador empty).
    std::vector<FilaOperadorClase> clases;
    // Alarms not closed, per class with any.
    std::vector<std::pair<ClaseEvento, int>> abiertas;
    // The kMaximoFalsas accounts with most false alarms (closed with a
    // resolution marked falsa), most first, then by account.
    std::vector<std::pair<QString, int>> falsas;
    // Alarms received in each hour of the day, 0 to 23.
    std::array<int, 24> porHora{};
};

inline constexpr int kMaximoFalsas = 10;
// The days a report covers when none are given: today and the six before.
inline constexpr int kDiasInforme = 7;
inline const QString kSinOperador = QStringLiteral("(sin operador)");

// The figures of `alarmas` (rows as leer_alarmas_informe gives them; those
// received outside the days are left out).
InformeAtencion calcular_informe(const std::vector<FilaAlarma>& alarmas, QDate desde, QDate hasta);

// The alarms received from `desde` 00:00:00 to `hasta` 23:59:59, with their
// handling. Reads only: a table of an older version without the handling's
// columns gives its alarms with those empty, a database without the alarm
// table gives none.
Fallo leer_alarmas_informe(BaseDatos& base, QDate desde, QDate hasta,
                           std::vector<FilaAlarma>& alarmas);
// Both: the read, then the figures.
Fallo informe_atencion(BaseDatos& base, QDate desde, QDate hasta, InformeAtencion& informe);

// Seconds as the operator reads them: "m:ss" under an hour, "h:mm:ss" from one;
// "-" for none.
QString texto_duracion(std::optional<qint64> segundos);

// The report as a readable table, one section after another, for a terminal.
QString texto_informe(const InformeAtencion& informe);
// The report as one CSV (RFC 4180, commas, CR LF, as the other --csv outputs):
// a header, then rows whose first column names the section ("operador",
// "clase", "abiertas", "falsas", "hora"); times in whole seconds.
QByteArray csv_informe(const InformeAtencion& informe);

} // namespace corvane
