#pragma once
// The rows every room passes around: one event as the event table keeps it, one
// alarm as the alarm table keeps it, and the compact form in which a batch keeps
// its rows while it may need them again.

#include <QString>

#include <array>
#include <vector>

namespace corvane {

// What a ten-character packet stores in the columns it does not carry (all
// origins, partition, zone).
inline const QString kRelleno = QStringLiteral("----");

// One event: a record of a long packet, or a ten-character packet. The
// decoders fill it, the handler shows and stores it, the engines bind it, a
// viewer reads it back from a central server.
struct FilaEvento {
    QString abonado;     // gral_numero_abonado: four characters
    int nivel = 0;       // gral_nivel_señal: 1 to 16
    QString indicador;   // gral_indicador_paquete: packet characters 9-10
    QString momento;     // gral_hora_fecha: "yyyy-MM-dd HH:mm:ss" of reception
    QString origen;      // gral_origen: 0 direct, 1 to 15 a repeater, no leading zero
    QString origenTodos; // gral_origen_todos: two packet characters, or kRelleno
    QString evento;      // gral_evento: event type letter and code
    QString particion;   // gral_particion, or kRelleno
    QString zona;        // gral_zona, or kRelleno

    // The eight texts, in the order of the table's columns.
    static constexpr std::array<QString FilaEvento::*, 8> kTextos = {
        &FilaEvento::abonado,   &FilaEvento::indicador,   &FilaEvento::momento,
        &FilaEvento::origen,    &FilaEvento::origenTodos, &FilaEvento::evento,
        &FilaEvento::particion, &FilaEvento::zona};

    bool operator==(const FilaEvento&) const = default;
};

// A ten-character packet's row: the only kind whose all-origins field is the
// filler (a long packet's are two hex digits).
bool de_paquete_corto(const FilaEvento& fila);

// The origin as the report lines show it: a long packet's as the receiver sent
// it, one lower-case hex digit (a for repeater 10); a ten-character packet's in
// decimal, as stored. A stored value that is not a number shows as 0.
QString origen_mostrado(const FilaEvento& fila);

// The time of day of the row's moment, "HH:mm:ss".
QString hora_de(const FilaEvento& fila);

// Rows kept in memory while a batch may still need them again: their texts one
// after the other in one buffer, a fraction of the memory of whole rows (a
// batch of a replayed capture holds some ten thousand).
class FilasCompactas {
public:
    void agregar(const FilaEvento& fila);
    FilaEvento fila(size_t i) const;
    size_t size() const { return niveles_.size(); }
    bool empty() const { return niveles_.empty(); }
    void clear();

private:
    QString textos_;              // the eight texts of each row, in column order
    std::vector<qint32> inicios_; // where each text starts; one more at the end
    std::vector<int> niveles_;
};

// One row of the alarm table: a new event of an alarm class, as the console that
// received it stored it, and its acknowledgement.
struct FilaAlarma {
    QString clave;        // alar_clave: unique, given by the receiving console
    QString abonado;      // alar_numero_abonado, as gral_numero_abonado
    QString evento;       // alar_evento: type letter and code, as gral_evento
    QString particion;    // alar_particion
    QString zona;         // alar_zona
    QString origen;       // alar_origen: 0 direct, 1 to 15 a repeater
    QString recibida;     // alar_recibida: "yyyy-MM-dd HH:mm:ss" of reception
    QString puesto;       // alar_puesto: host name of the receiving workstation
    QString reconocida;   // alar_reconocida: moment of acknowledgement; empty (NULL) until then
    QString reconocidaEn; // alar_puesto_reconocimiento: host name of the workstation that
                          // acknowledged it
    // The alarm's handling, in columns a table of an older version gains when
    // first opened; empty (NULL) until the step is taken.
    QString estado{};                 // alar_estado: "nueva", "reconocida", "cerrada"
    QString operadorReconocimiento{}; // alar_operador_reconocimiento: user name, or empty
    QString cerrada{};                // alar_cerrada: moment of closing
    QString puestoCierre{};           // alar_puesto_cierre
    QString operadorCierre{};         // alar_operador_cierre
    QString resolucion{};             // alar_resolucion: the resolution's code
    QString restaurada{};             // alar_restaurada: moment of the first restore while open

    bool operator==(const FilaAlarma&) const = default;
};

} // namespace corvane
