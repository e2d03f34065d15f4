#pragma once
// Text boxes of the modes without windows: what the online log receives goes to
// standard output, exactly as it would be put at the top of the log; each text of
// the status line goes to standard error as one line. They write into the
// streams' buffers; the mode flushes both after each batch of received bytes
// (vaciar_salidas), once its rows are committed.

#include <cstdio>

#include "common/caja_texto.h"
#include "common/mensajes.h"

namespace corvane {

class CajaSalida : public CajaTexto {
public:
    explicit CajaSalida(std::FILE* destino) : destino_(destino) {}
    QString texto() const override { return {}; }
    void ponerTexto(const QString& texto) override;
    void anteponer(const QString& nuevo) override;

private:
    std::FILE* destino_;
};

class CajaLinea : public CajaTexto {
public:
    explicit CajaLinea(std::FILE* destino) : destino_(destino) {}
    QString texto() const override { return ultimo_; }
    void ponerTexto(const QString& texto) override;
    // A line put in front (a supervised state's change, ending in CR LF) is
    // written as one more line of the stream.
    void anteponer(const QString& nuevo) override;

private:
    std::FILE* destino_;
    QString ultimo_;
};

// Messages titled "Brisca" printed to standard error.
class MensajesConsola : public CajaMensajes {
public:
    void mostrar(const QString& texto, const QString& titulo, IconoMensaje icono) override;
};

// Writes `texto` as UTF-8 and flushes.
void escribir(std::FILE* destino, const QString& texto);
// Flushes standard output and standard error.
void vaciar_salidas();
// Gives standard error a full buffer, so that a line per status text does not
// cost a system call each; vaciar_salidas empties it.
void amortiguar_errores();

} // namespace corvane
