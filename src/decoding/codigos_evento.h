#pragma once
// Names and classes of the alarm industry's three-digit event codes, and the
// state that the type letter in front of a code gives.
//
// An event text is the type letter and the code, as stored in gral_evento
// ("E130"). "E" is a new event (an activation; for openings and closings, the
// opening), "R" a restore (for openings and closings, the closing). "G" and "O",
// which the decoders also produce, carry no state of their own: their line takes
// the colour of the code's class, as a new event would, but they never count as
// a new alarm. A ten-character packet carries a two-character event and no type
// letter: it has no entry in the table, so it is "Código XX" of class Otro, and a
// three-character text without a letter (a type digit past 3) has no state.

#include <QString>
#include <QStringView>

#include "common/caja_texto.h"

namespace corvane {

enum class ClaseEvento : quint8 {
    Fuego,
    Panico, // panic, duress, hold-up
    Medica,
    Robo, // burglary, intrusion, tamper
    Supervision,
    Averia,
    AperturaCierre,
    Anulacion,
    Prueba,
    Otro,
};

enum class EstadoEvento : quint8 { Nuevo, Restauracion, SinEstado };

struct ClasificacionEvento {
    ClaseEvento clase = ClaseEvento::Otro;
    EstadoEvento estado = EstadoEvento::SinEstado;

    // A new event of fire, panic, medical or burglary: what the operator must
    // acknowledge.
    bool alarma() const;
    // The colour of its log line: tests, openings and closings Rutina whatever
    // their state; any other restore Restauracion; fire, panic and medical
    // Alarma; burglary Robo; troubles and supervisory conditions Averia;
    // bypasses and the rest Normal.
    Tono tono() const;
};

// The class's Spanish name, as listings and exports show it: "Fuego", "Pánico",
// "Médica", "Robo", "Supervisión", "Avería", "Apertura/cierre", "Anulación",
// "Prueba", "Otro".
QString nombre_clase(ClaseEvento clase);

// `evento`: type letter and code ("E130", "R401"), or a code alone ("12").
ClasificacionEvento clasificar_evento(QStringView evento);

// The Spanish description of the code of `evento` (the type letter dropped):
// "Incendio" for "E110", "Código 999" for a code not in the table, "Código 12"
// for a ten-character packet's event.
QString describir_evento(QStringView evento);

} // namespace corvane
