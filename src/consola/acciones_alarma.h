#pragma once
// The operator's steps on an alarm (store/ciclo_alarmas.h), shared by the
// windows and the command line: which step an alarm in its state refuses, and
// in what words; making a step; taking it at once on a database, with the
// answer of a concurrent closing.

#include <QString>

#include <optional>

#include "common/fallo.h"
#include "store/ciclo_alarmas.h"

namespace corvane {

class BaseDatos;

// Fire, panic and medical alarms are closed only with a note.
bool cierre_pide_nota(const FilaAlarma& alarma);

// A step of `tipo` on alarm `clave`, now (`momento`), by `operador` at
// `puesto`; a note's step gets the note's own key.
AccionAlarma nueva_accion(AccionAlarma::Tipo tipo, const QString& clave, const QString& momento,
                          const QString& puesto, const QString& operador);

// Why `alarma`, as it stands, refuses `accion` by an operator who is
// `supervisor` or not: a Spanish sentence ("La alarma ya está cerrada: la cerró
// ana (puesto1) el 07/12/2026 a las 10:00:00", "Para cerrar una alarma de
// fuego, pánico o médica hace falta una nota"...); empty when it takes it.
QString rechazo(const FilaAlarma& alarma, const AccionAlarma& accion, bool supervisor);

// "la cerró OPERADOR (PUESTO) el dd/MM/yyyy a las HH:mm:ss": who closed `alarma`.
QString quien_cerro(const FilaAlarma& alarma);

// Applies `accion` to `alarma` as it stands in memory, on the conditions the
// table's statements have (store/ciclo_alarmas.h aplicar_accion): an
// acknowledgement marks only an alarm not acknowledged, a closing (which
// acknowledges first) only one not closed, a reopening only the closing seen, a
// restore only an open alarm of its account, partition and zone received before
// it and not restored yet. A note changes no row. True when `alarma` changed.
bool aplicar_en_fila(FilaAlarma& alarma, const AccionAlarma& accion);

// The answer of a step taken at once.
struct ResultadoAccion {
    bool hecha = false;
    QString rechazo;                          // Spanish, when not hecha
    std::optional<FilaAlarma> alarma;         // as it stands after the step (or the refusal)
    EstadoAlarma antes = EstadoAlarma::Nueva; // the alarm's state before the step
};

// Takes `accion` on `base` at once, in a transaction of its own: the alarm is
// read (a key of 8 characters or more may be the start of one alarm's key,
// which `accion.clave` then becomes), refused as rechazo() says, changed, and
// read again; a closing that another workstation committed first is undone and
// refused, naming who closed it. Fails only when the database does.
Fallo tomar_accion(BaseDatos& base, AccionAlarma& accion, bool supervisor, ResultadoAccion& r);

} // namespace corvane
