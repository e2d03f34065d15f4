#pragma once
// The receive handler: every received character runs the whole road, framing,
// decoding, storing, and the texts of the online log (Text1), the status line
// (Text4) and the followed account's log. The windows, the replay of a capture,
// the headless service and the tests all drive this same object.

#include <QByteArray>

#include <functional>
#include <memory>
#include <vector>

#include "common/caja_texto.h"
#include "common/reloj.h"
#include "evento/filas.h"
#include "reception/estado_proceso.h"

namespace corvane {

// CommEvent value of a receive notification.
inline constexpr int kEventoRecepcion = 2;

class ManejadorRx {
public:
    ManejadorRx(EstadoProceso& estado, CajaTexto& text1, CajaTexto& text4, const Reloj& reloj);

    // The online account window's account box and log while it is loaded; null
    // while it is not.
    void ponerVentanaOnline(CajaTexto* cuenta, CajaTexto* registro);

    // Told, after the texts of each read reach their boxes, of the rows of new
    // alarms (fire, panic, medical, burglary) that the read stored, in arrival
    // order. Empty: no one is told.
    using AvisoAlarmas = std::function<void(const std::vector<FilaEvento>&)>;
    void ponerAvisoAlarmas(AvisoAlarmas aviso) { avisoAlarmas_ = std::move(aviso); }

    // Told, after the texts of each read reach their boxes, of every row that
    // the online log showed: the rows a read stored and the rows a viewer reads
    // (mostrar_filas), in arrival order; before the read's alarms are told.
    // Empty: no one is told.
    using AvisoFilas = std::function<void(const std::vector<FilaEvento>&)>;
    void ponerAvisoFilas(AvisoFilas aviso) { avisoFilas_ = std::move(aviso); }

    // One notification of the serial port: acts only on a receive notification,
    // whose first character goes through the road; a read that yields no
    // character does nothing.
    void MSComm1_OnComm(int commEvent, const QByteArray& input);

    // The bytes of one read, in arrival order. Their rows are stored in one
    // transaction, committed before this returns; the texts of their reports
    // reach the boxes only after that commit.
    void recibir(const QByteArray& bytes);

    // Rows that other consoles stored, in commit order: shown as if received here
    // (the online log, the followed account's log, each line in its event's
    // colour, at the row's time), not stored, and not taken as this
    // workstation's alarms.
    void mostrar_filas(const std::vector<FilaEvento>& filas);

private:
    void procesar_caracter(char c);
    void procesar_largo(const QString& paquete);
    void procesar_diez(const QString& paquete);
    // The reports of `filas` (one packet's rows, or rows a viewer read), in
    // order: each row's detailed line to the followed account's log, and, with
    // `guardar`, the row to slot 0 and its alarm kept for the notice; then their
    // short lines, newest first, to the online log, each in the colour of its
    // event.
    void informar(const std::vector<FilaEvento>& filas, bool guardar);
    void mostrar_estado(const QString& texto);
    // True when the online account window is open and its account box, read
    // as four lower-case hex digits, names `cuenta` exactly.
    bool seguida(const QString& cuenta) const;

    EstadoProceso& e_;
    const Reloj& reloj_;
    EscriturasDiferidas diferidas_;
    CajaDiferida text1_;
    CajaDiferida text4_;
    CajaTexto* cuentaOnline_ = nullptr;
    std::unique_ptr<CajaDiferida> registroOnline_;
    std::vector<FilaEvento> alarmas_; // the new alarms of the read at hand
    AvisoAlarmas avisoAlarmas_;
    std::vector<FilaEvento> mostradas_; // the rows the read at hand showed
    AvisoFilas avisoFilas_;
};

} // namespace corvane
