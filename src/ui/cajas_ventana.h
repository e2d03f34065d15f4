#pragma once
// The text boxes of the windows behind the text-box seam.
//
// The log boxes keep their text in memory and show it on screen at most
// kRefrescoMs apart: a burst of reports costs one update of the widget, not one
// per report. Reading a box returns the text in memory, which is always exact.

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QStringList>
#include <QTextCursor>
#include <QTimer>
#include <QValidator>

#include <deque>
#include <functional>

#include "common/caja_texto.h"
#include "common/reglas.h"

namespace corvane {

// Milliseconds between two updates of a box on screen (about 30 a second).
inline constexpr int kRefrescoMs = 33;

// The account key filter: the account characters (es_caracter_de_cuenta) and
// Backspace (8). An account box holds at most kLargoCuenta characters.
bool tecla_cuenta_aceptada(char16_t codigo);

// Applies the account filter to whatever enters the box, typed, pasted or
// dropped: refused characters are dropped and an insertion is cut to the room
// left, so pasting "12'a3" into an empty box leaves "123" and a fifth typed
// character is refused.
class FiltroCuenta : public QValidator {
    Q_OBJECT
public:
    using QValidator::QValidator;
    State validate(QString& entrada, int& pos) const override;
};

// A box for an account (the query's and the followed one): one line, the filter
// above for keys and for every other way of entering text.
class CampoCuenta : public QLineEdit, public CajaTexto {
    Q_OBJECT
public:
    explicit CampoCuenta(QWidget* parent = nullptr);
    QString texto() const override { return text(); }
    void ponerTexto(const QString& t) override { setText(t); }

protected:
    void keyPressEvent(QKeyEvent* e) override;
};

// A box whose screen updates wait for a timer, so that they come at most once per
// kRefrescoMs however often the text changes.
class CajaRefrescada : public CajaTexto {
public:
    CajaRefrescada();
    // Shows pending changes now.
    void volcarAhora();
    // True while the screen lags behind the text.
    bool pendiente() const { return temporizador_.isActive(); }

protected:
    void programar();
    // Drops a pending update; the caller shows the text itself.
    void cancelar() { temporizador_.stop(); }
    virtual void volcar() = 0;

private:
    QTimer temporizador_;
};

// A multi-line box: the online logs and the query result. New reports go in front
// and the older text is cut to kLimiteRegistro characters, on the text in memory
// at once and on screen at the next update, which inserts only the new lines and
// drops the tail. Replacing the whole text is shown at once. When the operator
// edits an editable log, the edited text becomes the text in memory, with the
// reports that were still waiting in front of it.
//
// Lines given with a tone are shown in its colour (color_de_tono), on every
// update and every redraw; the text is the same either way. A box that never
// got a coloured line costs what it did without colours. After an operator's
// edit the colours on screen stay, but a later redraw of the whole text shows
// the text that was there before the edit without them.
//
// While the operator reads further down (the view away from the top) the box
// counts the lines that came in front since, and tells whoever watches it
// (ponerAvisoAtras) on every change: back at the top, by hand or through
// volverArriba(), the count is 0 again.
class CajaRegistroVentana : public CajaRefrescada {
public:
    explicit CajaRegistroVentana(QPlainTextEdit* editor);
    QString texto() const override { return modelo_.texto(); }
    void ponerTexto(const QString& texto) override;
    void anteponer(const QString& nuevo) override { anteponerConTonos(nuevo, {}); }
    void anteponerConTonos(const QString& nuevo, const Tonos& tonos) override;

    // Told whether the view is away from the top and how many lines came since.
    void ponerAvisoAtras(std::function<void(bool atras, int nuevas)> aviso) {
        avisoAtras_ = std::move(aviso);
    }
    bool atras() const { return atras_; }
    int nuevasAtras() const { return nuevasAtras_; }
    // Shows what is waiting and brings the view to the top, the newest line.
    void volverArriba();

protected:
    void volcar() override;

private:
    // Characters of the text in memory, from its top, that share one tone.
    struct Tramo {
        qsizetype largo;
        Tono tono;
    };

    QString nuevosJuntos() const;
    void alEditar();
    void mostrarTodo();
    void anotarTonos(const QString& nuevo, const Tonos& tonos);
    void insertar(QTextCursor& cursor, const QString& delante) const;
    void colorearTodo();
    void alDesplazar(int valor);
    void contarAtras(bool atras, int nuevas);

    QPointer<QPlainTextEdit> editor_;
    CajaMemoria modelo_;
    QStringList nuevos_; // texts not yet on screen, oldest first
    qsizetype largoNuevos_ = 0;
    bool completo_ = false; // the screen needs the whole text again
    bool volcando_ = false;
    bool conColores_ = false;   // a coloured line came once
    std::deque<Tramo> tramos_;  // the tones of the text in memory, top first
    qsizetype largoTramos_ = 0; // at least the text's length, less than one run more
    std::function<void(bool, int)> avisoAtras_;
    bool atras_ = false;
    int nuevasAtras_ = 0;
};

// A one-line box that only shows its latest text: the status line. A text given
// through comoAlerta() shows white on red until the next text.
class CajaLineaVentana : public CajaRefrescada {
public:
    explicit CajaLineaVentana(QLineEdit* editor);
    QString texto() const override { return texto_; }
    void ponerTexto(const QString& texto) override { poner(texto, false); }
    // The same line as a box whose texts are alerts.
    CajaTexto& comoAlerta() { return alerta_; }
    // True while the latest text is an alert.
    bool enAlerta() const { return enAlerta_; }

protected:
    void volcar() override;

private:
    class Alerta : public CajaTexto {
    public:
        explicit Alerta(CajaLineaVentana& linea) : linea_(linea) {}
        QString texto() const override { return linea_.texto(); }
        void ponerTexto(const QString& texto) override { linea_.poner(texto, true); }

    private:
        CajaLineaVentana& linea_;
    };
    void poner(const QString& texto, bool alerta);

    QPointer<QLineEdit> editor_;
    QString texto_;
    bool enAlerta_ = false;
    bool alertaEnPantalla_ = false;
    Alerta alerta_{*this};
};

} // namespace corvane
