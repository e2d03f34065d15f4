#pragma once
// The account card as the operator edits it: what the register takes (the
// account's rules checked and its texts put in the form the decoders store), the
// moment a test ends as typed and as stored, and what an editor is told when
// another workstation saved the account since it was read.

#include <QString>

#include "abonados/abonados.h"

namespace corvane {

// How the end of an account's test is typed: "dd/MM/yyyy HH:mm".
inline const QString kFormatoFinPruebas = QStringLiteral("dd/MM/yyyy HH:mm");

// A typed end of test as a stored moment ("yyyy-MM-dd HH:mm:00"); empty when the
// text is not a moment.
QString momento_de_fin_pruebas(const QString& texto);
// A stored moment as typed; the text itself when it is not a moment.
QString fin_pruebas_de_momento(const QString& momento);

// Puts `a` in the register's form (the account as the event table stores it,
// partitions and zones in lower case as the account,
// texts trimmed, contacts numbered in call order, no end of test unless in test)
// and says, in the operator's words, the first rule it breaks; empty when it can
// be saved. An interval below 0 is refused, as one not typed as a number is
// (pruebaCadaMin < 0).
QString revisar_abonado(Abonado& a);

// "Modificado por PUESTO a las HH:mm:ss del dd/MM/yyyy": who saved `actual` last
// and when.
QString texto_modificado(const Abonado& actual);

} // namespace corvane
