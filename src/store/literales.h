#pragma once
// Date-time literals of the statement texts: the Jet form #YYYY/MM/DD hh:mm:ss#
// that the history query writes, turned into each engine's own literal.

#include <QString>

#include "store/motor.h"

namespace corvane {

// Turns each literal found outside quoted text into the engine's own ('...' on
// SQLite, TIMESTAMP '...' on PostgreSQL, both as yyyy-MM-dd hh:mm:ss); everything
// else, and a "#" that does not open a whole literal, is left as it stands.
QString traducir_sentencia(const QString& sentencia, Dialecto dialecto);

} // namespace corvane
