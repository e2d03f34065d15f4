#pragma once
// The statement of the account history query: one account, one day, optionally
// at most one signal level and one origin.

#include <QDate>
#include <QString>

namespace corvane {

// The SELECT for `cuenta` on `dia`. `senal` is the index of the signal list (0: no
// condition, k: level at most k); `origen` the index of the origin filter
// (common/reglas.h). The day runs from 00:00:00 to 23:59:59
// of `dia` itself, whatever the machine's locale.
QString sentencia_historial(const QString& cuenta, int senal, int origen, const QDate& dia);

// The listing of a range of days: one account or every one, from 00:00:00 of
// `desde` to 23:59:59 of `hasta`, optionally one origin.
struct ConsultaIntervalo {
    QString cuenta; // empty: every account
    QDate desde;
    QDate hasta;
    int origen = 0; // as for sentencia_historial
    int senal = 0;  // as for sentencia_historial: 0 every level, else at most this one
};

// The SELECT of every stored column (esquema::kColumnas, in their order) of the
// rows of `c`, by moment, then by arrival.
QString sentencia_intervalo(const ConsultaIntervalo& c);

// A SELECT of every stored column that gives no row: it fails on an event table
// with other columns, which a day without rows would not show.
QString sentencia_columnas();

} // namespace corvane
