#pragma once
// The text-box seam: the logic reads and replaces the text of named boxes
// (online log, status line, account boxes, query result) without knowing
// whether a window, a terminal or a test holds them.

#include <QString>

#include <vector>

namespace corvane {

// Older text kept behind each new entry of a log box, in characters.
inline constexpr qsizetype kLimiteRegistro = 50000;

// How a log line stands out: the windows give each tone its colour, other boxes
// show the text alone. Alarma: fire, panic, medical; Averia: troubles and
// supervisory conditions; Rutina: tests, openings and closings.
enum class Tono : quint8 { Normal, Alarma, Robo, Averia, Restauracion, Rutina };
// One tone per line of a text, top line first; a line without one is Normal.
using Tonos = std::vector<Tono>;

class CajaTexto {
public:
    virtual ~CajaTexto() = default;
    virtual QString texto() const = 0;
    virtual void ponerTexto(const QString& texto) = 0;
    // A log box takes `nuevo` in front of its previous text, which is first cut
    // to its first kLimiteRegistro characters. Boxes may do this more cheaply
    // than reading and replacing the whole text, with the same result.
    virtual void anteponer(const QString& nuevo);
    // As anteponer, with the tone of each line of `nuevo` (lines end in CR LF).
    // The text is the same; a box without colours ignores the tones.
    virtual void anteponerConTonos(const QString& nuevo, const Tonos& tonos);
};

// A box held in memory: the tests' box and the text model behind the windows.
class CajaMemoria : public CajaTexto {
public:
    QString texto() const override { return texto_; }
    void ponerTexto(const QString& texto) override { texto_ = texto; }
    void anteponer(const QString& nuevo) override;

private:
    QString texto_;
};

// Writes held back and applied later, in order: the reports of one batch of
// received bytes reach their boxes only after their rows are committed.
class EscriturasDiferidas {
public:
    void anteponer(CajaTexto& caja, QString texto, Tonos tonos = {}) {
        pendientes_.push_back({&caja, std::move(texto), true, std::move(tonos)});
    }
    void poner(CajaTexto& caja, QString texto) { pendientes_.push_back({&caja, std::move(texto), false, {}}); }
    void soltar();
    bool vacia() const { return pendientes_.empty(); }

private:
    struct Escritura {
        CajaTexto* caja;
        QString texto;
        bool anteponer;
        Tonos tonos;
    };
    std::vector<Escritura> pendientes_;
};

// A box whose writes go to an EscriturasDiferidas; reads see the real box.
class CajaDiferida : public CajaTexto {
public:
    CajaDiferida(CajaTexto& real, EscriturasDiferidas& cola) : real_(real), cola_(cola) {}
    QString texto() const override { return real_.texto(); }
    void ponerTexto(const QString& texto) override { cola_.poner(real_, texto); }
    void anteponer(const QString& nuevo) override { cola_.anteponer(real_, nuevo); }
    void anteponerConTonos(const QString& nuevo, const Tonos& tonos) override {
        cola_.anteponer(real_, nuevo, tonos);
    }

private:
    CajaTexto& real_;
    EscriturasDiferidas& cola_;
};

} // namespace corvane
