#pragma once
// moduloCid: packet decoding, pure: packet text in, typed rows and report
// texts out. A framed long packet becomes the list eventosCid (the main event
// and one record per sub-block) and one event row per record; a ten-character
// packet one event row; a four-character packet a status text. Showing the
// rows' lines (evento/informe.h) and storing the rows is the receive handler's.

#include <QString>

#include <vector>

#include "common/reloj.h"
#include "evento/filas.h"

namespace corvane {

struct EventoCid {
    QString cuenta1;    // first two characters of the account
    QString cuenta2;    // last two characters of the account
    QString particion;  // two characters
    QString zona;       // three characters
    QString evento;     // three characters
    QString tipoEvento; // "G", "E", "R", "O" or empty

    QString cuenta() const { return cuenta1 + cuenta2; }
    bool operator==(const EventoCid&) const = default;
};

// Main event of a long packet, from characters 20 to 32.
EventoCid extraer_evento(const QString& paquete);

// Appends one record per sub-block (from character 33 on) to `eventosCid`, whose
// record 0 must already hold the main event. The walk ends at a "00" code, past
// the sub-block area that characters 7-8 announce, or where the packet's end leaves
// less than a whole two-character code: an area announced longer than the packet
// adds no records.
void extraer_bloques(const QString& paquete, std::vector<EventoCid>& eventosCid);

// The three steps of a long packet: `eventosCid` becomes its main event (record
// 0) followed by one record per sub-block.
void decodificar_largo(const QString& paquete, std::vector<EventoCid>& eventosCid);

// Fills `registro` from the block whose code is `codigo` at position `pos` (from
// 1); absent fields come from record 0 of `eventosCid`. Returns the block's length.
qint16 decodificar_bloque(EventoCid& registro, const QString& codigo, qint16 pos,
                          const QString& paquete, const std::vector<EventoCid>& eventosCid);

// The rows of the records of `eventosCid` for `paquete`, in index order. Each
// row's moment is one reading of `reloj`, taken when its record is reached.
std::vector<FilaEvento> procesar_eventos_cid(const QString& paquete,
                                             const std::vector<EventoCid>& eventosCid,
                                             const Reloj& reloj);

// Status text of a four-character packet ("Rx=10   Señal=16/16   14:27:13").
QString procesar_paquete_rx(const QString& paquete, const Reloj& reloj);

// The row of a ten-character packet, at one reading of `reloj`.
FilaEvento procesar_paquete_corto(const QString& paquete, const Reloj& reloj);

} // namespace corvane
