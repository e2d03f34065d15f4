#pragma once
// The port button (Command1): one press opens the chosen port, the next closes
// it, and the controls that depend on the port follow.

#include <QString>

#include "common/mensajes.h"
#include "reception/puerto_serie.h"

namespace corvane {

inline const QString kMensajePuerto =
    QStringLiteral("Error al abrir puerto serie,verifique el numero de com");
// Captions of the port button: at start-up, after a close, after an open.
inline const QString kTituloInicial = QStringLiteral("Abrir Com");
inline const QString kTituloAbrir = QStringLiteral("Abrir COM");
inline const QString kTituloCerrar = QStringLiteral("Cerrar COM");

// The controls that opening and closing the port change.
class ControlesPuerto {
public:
    virtual ~ControlesPuerto() = default;
    virtual void habilitarVerCuenta(bool habilitado) = 0;     // Command4, "Ver Cuenta OnLine"
    virtual void ponerTituloBoton(const QString& titulo) = 0; // Command1
    virtual void habilitarListas(bool habilitadas) = 0;       // Combo1(0), then Combo1(1)
};

// Closes the port when it is open (a lost port being retried counts as open),
// otherwise opens `puerto` at `baudrate` bit/s, and updates the controls as the
// button's states require. A port that does not open shows "Error al abrir puerto
// serie,verifique el numero de com" titled "Brisca" and changes no control.
void AbrirCom(const QString& puerto, PuertoSerie& comm, qint32 baudrate, ControlesPuerto& controles,
              CajaMensajes& mensajes);

} // namespace corvane
