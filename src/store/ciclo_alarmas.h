#pragma once
// The handling of an alarm in the alarm table: new -> acknowledged -> closed,
// each step by a workstation and an operator, notes at any time, a supervisor's
// reopening, and the restore of the same account and zone attached while it is
// open. The steps live in columns the alarm table gains when first opened by
// this version (added, never rebuilt, on both engines: an older table keeps its
// alarms and a console of the older version keeps writing it), and the notes in
// a table of their own beside it.
//
// Every step is a statement that can run twice without harm (an acknowledgement
// marks only an alarm not acknowledged, a closing only one not closed, a note is
// stored once by its key), so the same step can wait in the local queue and be
// applied when the database returns.

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

#include "common/fallo.h"
#include "evento/filas.h"

namespace corvane {

class BaseDatos;

enum class EstadoAlarma { Nueva, Reconocida, Cerrada };

// "nueva", "reconocida", "cerrada": as the table stores it.
QString codigo_estado(EstadoAlarma estado);
// "Nueva", "Reconocida", "Cerrada": as the operator reads it.
QString nombre_estado(EstadoAlarma estado);
// The state of a row read back: alar_estado, or for a row that an older
// version wrote (no state stored) new or acknowledged by its acknowledgement.
EstadoAlarma estado_de(const FilaAlarma& fila);

// A way an alarm ends. `falsa`: a false alarm (user error, a trouble, the
// environment), counted per account in the centre's figures.
struct Resolucion {
    QString codigo;
    QString nombre;
    bool falsa;
};
inline const std::array<Resolucion, 10> kResoluciones = {{
    {QStringLiteral("policia"), QStringLiteral("Real: policía avisada"), false},
    {QStringLiteral("bomberos"), QStringLiteral("Real: bomberos avisados"), false},
    {QStringLiteral("ambulancia"), QStringLiteral("Real: ambulancia avisada"), false},
    {QStringLiteral("seguridad"), QStringLiteral("Real: seguridad privada enviada"), false},
    {QStringLiteral("error_usuario"), QStringLiteral("Falsa: error del usuario"), true},
    {QStringLiteral("averia"), QStringLiteral("Falsa: avería del sistema"), true},
    {QStringLiteral("entorno"), QStringLiteral("Falsa: animal o entorno"), true},
    {QStringLiteral("prueba"), QStringLiteral("Prueba"), false},
    {QStringLiteral("cancelada_clave"),
     QStringLiteral("Cancelada por el cliente con su contraseña"), false},
    {QStringLiteral("otra"), QStringLiteral("Otra"), false},
}};
// nullptr when `codigo` names none.
const Resolucion* resolucion_de(const QString& codigo);
// "policia, bomberos, ...": the valid codes, for a refusal's message.
QString codigos_resolucion();

// One step of an alarm's handling.
struct AccionAlarma {
    enum class Tipo { Reconocer, Nota, Cerrar, Reabrir, Restaurar };
    Tipo tipo = Tipo::Reconocer;
    QString clave;      // the alarm's key
    QString momento;    // "yyyy-MM-dd HH:mm:ss"
    QString puesto;     // the workstation
    QString operador;   // user name; empty where no operator signs in
    QString resolucion; // Cerrar: its code
    QString nota;       // Nota, and Cerrar or Reabrir with a note: its text
    QString idNota;     // the note's own key, made once when the step is taken
    // Reabrir: the closing moment the supervisor saw, so that a reopening
    // applied twice never reopens a later closing.
    QString cierreVisto;
    // Restaurar: the restore's account, partition and zone; it is attached to
    // every open alarm of theirs received before it and not restored yet
    // (`clave` unused).
    QString abonado;
    QString particion;
    QString zona;

    bool operator==(const AccionAlarma&) const = default;
};
// The step as one text (JSON) for the local queue, and back; nullopt for a text
// that is none.
QString serializar(const AccionAlarma& accion);
std::optional<AccionAlarma> accion_de_texto(const QString& texto);

// A note of an alarm.
struct NotaAlarma {
    QString id;
    QString alarma;
    QString momento;
    QString puesto;
    QString operador;
    QString texto;
};

// Makes sure of the alarm table with its handling columns, and of the notes'
// table: created when missing, columns added when the table lacks them.
Fallo asegurar_ciclo_alarmas(BaseDatos& base);

// Applies `accion` (the table made sure of first). Closing an alarm not yet
// acknowledged acknowledges it first, with the same moment and operator; a
// note given with a closing or a reopening is stored with it. An alarm that is
// not there changes nothing.
Fallo aplicar_accion(BaseDatos& base, const AccionAlarma& accion);

// Reads the alarms: with `abiertas`, every one not closed, oldest first;
// else also the latest `cerradas` closed, the latest closing first (after the
// open ones). `clave`: only that alarm, or (8 characters or more) the alarms
// whose key starts with it.
struct FiltroAlarmas {
    bool abiertas = true;
    int cerradas = 0;
    QString clave;
};
Fallo leer_alarmas_ciclo(BaseDatos& base, const FiltroAlarmas& filtro,
                         std::vector<FilaAlarma>& alarmas);
// The notes of alarm `clave`, in order.
Fallo leer_notas(BaseDatos& base, const QString& clave, std::vector<NotaAlarma>& notas);

} // namespace corvane
