#pragma once
// moduloCid: packet decoding. A framed long packet becomes the list eventosCid
// (the main event and one record per sub-block); every record, and every
// ten-character packet, becomes a detailed line, a short line and one stored
// row. Four-character packets become a status text.

#include <QString>

#include <vector>

#include "common/caja_texto.h"
#include "common/reloj.h"
#include "store/definesBaseDatos.h"

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

// The online account window as the decoders see it: its account box and its log.
// Both are read and written only while verCuentaOnline is set.
struct CuentaOnline {
    bool verCuentaOnline = false;
    CajaTexto* cuenta = nullptr;
    CajaTexto* registro = nullptr;
};

// Reports and stores every record of `eventosCid` for `paquete`; returns the short
// lines, the line of the highest index first. `guardadas`, when given, receives
// each stored row, in index order.
QString procesar_eventos_cid(const QString& paquete, const std::vector<EventoCid>& eventosCid,
                             const CuentaOnline& online, ConjuntoBases& bases, const Reloj& reloj,
                             std::vector<FilaEvento>* guardadas = nullptr);

// The report of a stored row as the console that received it gave it, at the
// row's time: its detailed line to the followed account's log (when it is
// followed) and, returned, its short line. Nothing is stored.
QString informar_fila(const FilaEvento& fila, const CuentaOnline& online);

// Status text of a four-character packet ("Rx=10   Señal=16/16   14:27:13").
QString procesar_paquete_rx(const QString& paquete, const Reloj& reloj);

// Reports and stores a ten-character packet; returns its short line. `guardadas`,
// when given, receives the stored row.
QString procesar_paquete_corto(const QString& paquete, const CuentaOnline& online,
                               ConjuntoBases& bases, const Reloj& reloj,
                               std::vector<FilaEvento>* guardadas = nullptr);

} // namespace corvane
