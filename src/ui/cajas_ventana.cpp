#include "ui/cajas_ventana.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

#include "ui/estilo.h"

namespace corvane {

namespace {

constexpr char16_t kRetroceso = 8;

// Positions that a text takes in a document: CR LF is one paragraph break.
qsizetype largo_en_documento(const QString& texto) {
    return texto.size() - texto.count(QLatin1String("\r\n"));
}

// The format of a line of `tono`: its colour, or no colour at all.
QTextCharFormat formato_de_tono(Tono tono) {
    QTextCharFormat f;
    const QColor color = color_de_tono(tono);
    if (color.isValid()) f.setForeground(color);
    return f;
}

} // namespace

bool tecla_cuenta_aceptada(char16_t codigo) {
    return es_caracter_de_cuenta(codigo) || codigo == kRetroceso;
}

QValidator::State FiltroCuenta::validate(QString& entrada, int& pos) const {
    // The box's own text already passed; whatever is refused came in with this
    // change, and the change ends at the cursor.
    QString limpio;
    limpio.reserve(entrada.size());
    int cursor = pos;
    for (qsizetype i = 0; i < entrada.size(); ++i) {
        const QChar c = entrada.at(i);
        if (es_caracter_de_cuenta(c.unicode())) {
            limpio += c;
        } else if (i < pos) {
            --cursor;
        }
    }
    const qsizetype sobra = limpio.size() - kLargoCuenta;
    if (sobra > 0) {
        // What does not fit is the end of the insertion, just before the cursor.
        if (cursor >= sobra) {
            limpio.remove(cursor - sobra, sobra);
            cursor -= static_cast<int>(sobra);
        } else {
            limpio.truncate(kLargoCuenta);
            cursor = std::min(cursor, kLargoCuenta);
        }
    }
    entrada = limpio;
    pos = cursor;
    return Acceptable;
}

CampoCuenta::CampoCuenta(QWidget* parent) : QLineEdit(parent) {
    setValidator(new FiltroCuenta(this));
}

void CampoCuenta::keyPressEvent(QKeyEvent* e) {
    // Printable characters go through the filter; editing keys and shortcuts
    // (Backspace, arrows, paste) keep their usual effect, and the validator
    // filters what they bring in. A refused key is dropped without a sound.
    const QString t = e->text();
    const bool atajo = e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (!atajo && t.size() == 1 && t.at(0).isPrint() && !tecla_cuenta_aceptada(t.at(0).unicode())) {
        e->accept();
        return;
    }
    QLineEdit::keyPressEvent(e);
}

CajaRefrescada::CajaRefrescada() {
    temporizador_.setSingleShot(true);
    temporizador_.setInterval(kRefrescoMs);
    QObject::connect(&temporizador_, &QTimer::timeout, &temporizador_, [this] { volcar(); });
}

void CajaRefrescada::programar() {
    if (!temporizador_.isActive()) temporizador_.start();
}

void CajaRefrescada::volcarAhora() {
    if (!temporizador_.isActive()) return;
    temporizador_.stop();
    volcar();
}

CajaRegistroVentana::CajaRegistroVentana(QPlainTextEdit* editor) : editor_(editor) {
    // The log grows without end; an undo history of it would too.
    editor->setUndoRedoEnabled(false);
    QObject::connect(editor, &QPlainTextEdit::textChanged, editor, [this] { alEditar(); });
    QObject::connect(editor->verticalScrollBar(), &QScrollBar::valueChanged, editor,
                     [this](int valor) { alDesplazar(valor); });
}

void CajaRegistroVentana::alDesplazar(int valor) {
    // While new text goes in the view moves on its own; volcar() counts that.
    if (volcando_) return;
    const bool atras = valor > 0;
    contarAtras(atras, atras ? nuevasAtras_ : 0);
}

void CajaRegistroVentana::contarAtras(bool atras, int nuevas) {
    if (atras == atras_ && nuevas == nuevasAtras_) return;
    atras_ = atras;
    nuevasAtras_ = nuevas;
    if (avisoAtras_) avisoAtras_(atras_, nuevasAtras_);
}

void CajaRegistroVentana::volverArriba() {
    volcarAhora();
    if (editor_) editor_->verticalScrollBar()->setValue(0);
    contarAtras(false, 0);
}

void CajaRegistroVentana::ponerTexto(const QString& texto) {
    modelo_.ponerTexto(texto);
    tramos_.clear();
    largoTramos_ = 0;
    nuevos_.clear();
    largoNuevos_ = 0;
    cancelar();
    mostrarTodo();
}

void CajaRegistroVentana::anteponerConTonos(const QString& nuevo, const Tonos& tonos) {
    modelo_.anteponer(nuevo);
    conColores_ = conColores_ ||
                  std::any_of(tonos.begin(), tonos.end(), [](Tono t) { return t != Tono::Normal; });
    if (conColores_) anotarTonos(nuevo, tonos);
    if (!completo_) {
        nuevos_.append(nuevo);
        largoNuevos_ += nuevo.size();
        // Once the waiting texts alone fill the log, nothing on screen survives.
        if (largoNuevos_ > kLimiteRegistro) {
            completo_ = true;
            nuevos_.clear();
            largoNuevos_ = 0;
        }
    }
    programar();
}

QString CajaRegistroVentana::nuevosJuntos() const {
    QString r;
    r.reserve(largoNuevos_);
    for (auto it = nuevos_.crbegin(); it != nuevos_.crend(); ++it) r += *it;
    return r;
}

void CajaRegistroVentana::volcar() {
    if (completo_) {
        mostrarTodo();
        return;
    }
    if (nuevos_.isEmpty() || !editor_) return;
    const QString delante = nuevosJuntos();
    nuevos_.clear();
    largoNuevos_ = 0;
    // A CR at the end of the new text would join the screen's first line break.
    if (delante.endsWith(QLatin1Char('\r'))) {
        mostrarTodo();
        return;
    }
    // The text in memory is always the new text followed by the start of what the
    // screen shows: insert the new text, then drop what lies past the log's end.
    volcando_ = true;
    QTextDocument* doc = editor_->document();
    // The view follows the top only while it is there. Scrolled back, the line at
    // the top of the view (the scroll bar counts lines) keeps its place: the view
    // moves down by the lines put in front of it.
    QScrollBar* barra = editor_->verticalScrollBar();
    const int visto = barra->value();
    const QTextBlock arriba = doc->findBlockByLineNumber(visto);
    const int bloqueArriba = arriba.blockNumber();
    const int lineaEnBloque = visto - arriba.firstLineNumber();
    QTextCursor c(doc);
    c.beginEditBlock();
    c.movePosition(QTextCursor::Start);
    insertar(c, delante);
    // The new text ends in the block that the old first block became.
    const int finNuevo = c.position();
    const auto largo = static_cast<int>(largo_en_documento(modelo_.texto()));
    if (doc->characterCount() - 1 > largo) {
        c.setPosition(largo);
        c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        c.removeSelectedText();
    }
    c.endEditBlock();
    if (visto > 0) {
        const QTextBlock mismo = doc->findBlockByNumber(bloqueArriba + doc->findBlock(finNuevo).blockNumber());
        if (mismo.isValid()) barra->setValue(mismo.firstLineNumber() + lineaEnBloque);
    }
    volcando_ = false;
    // Lines of the new text: its line ends, and a last line without one.
    if (visto > 0) {
        const auto lineas = static_cast<int>(delante.count(QLatin1String("\r\n")) +
                                             (delante.endsWith(QLatin1String("\r\n")) ? 0 : 1));
        const bool sigueAtras = barra->value() > 0;
        contarAtras(sigueAtras, sigueAtras ? nuevasAtras_ + lineas : 0);
    }
}

void CajaRegistroVentana::mostrarTodo() {
    completo_ = false;
    nuevos_.clear();
    largoNuevos_ = 0;
    if (!editor_) return;
    volcando_ = true;
    // The editor would give the whole new text the format at its cursor.
    if (conColores_) editor_->setCurrentCharFormat(QTextCharFormat());
    editor_->setPlainText(modelo_.texto());
    colorearTodo();
    volcando_ = false;
    // The whole text again: the view stands at its top.
    contarAtras(editor_->verticalScrollBar()->value() > 0, 0);
}

void CajaRegistroVentana::anotarTonos(const QString& nuevo, const Tonos& tonos) {
    // The new text's runs, one per line or per lines of one tone, go in front.
    std::vector<Tramo> nuevos;
    std::size_t linea = 0;
    for (qsizetype desde = 0; desde < nuevo.size(); ++linea) {
        const qsizetype fin = nuevo.indexOf(QLatin1String("\r\n"), desde);
        const qsizetype hasta = fin < 0 ? nuevo.size() : fin + 2;
        const Tono tono = linea < tonos.size() ? tonos[linea] : Tono::Normal;
        if (!nuevos.empty() && nuevos.back().tono == tono) nuevos.back().largo += hasta - desde;
        else nuevos.push_back({hasta - desde, tono});
        desde = hasta;
    }
    for (auto it = nuevos.crbegin(); it != nuevos.crend(); ++it) {
        if (!tramos_.empty() && tramos_.front().tono == it->tono) tramos_.front().largo += it->largo;
        else tramos_.push_front(*it);
    }
    largoTramos_ += nuevo.size();
    // The runs past the text's cut are gone with it.
    const qsizetype largo = modelo_.texto().size();
    while (!tramos_.empty() && largoTramos_ - tramos_.back().largo >= largo) {
        largoTramos_ -= tramos_.back().largo;
        tramos_.pop_back();
    }
}

void CajaRegistroVentana::insertar(QTextCursor& cursor, const QString& delante) const {
    if (!conColores_) {
        cursor.insertText(delante);
        return;
    }
    // The new text is the top of the text in memory: its runs are the first ones.
    // Every piece has its format, so none takes the colour of the line under it.
    qsizetype desde = 0;
    for (auto it = tramos_.cbegin(); it != tramos_.cend() && desde < delante.size(); ++it) {
        const qsizetype largo = std::min(it->largo, delante.size() - desde);
        cursor.insertText(delante.mid(desde, largo), formato_de_tono(it->tono));
        desde += largo;
    }
    if (desde < delante.size()) cursor.insertText(delante.mid(desde), QTextCharFormat());
}

void CajaRegistroVentana::colorearTodo() {
    if (!conColores_ || !editor_) return;
    QTextDocument* doc = editor_->document();
    const QString t = modelo_.texto();
    const int finDoc = doc->characterCount() - 1;
    QTextCursor c(doc);
    c.beginEditBlock();
    qsizetype desde = 0;
    int pos = 0;
    for (const Tramo& tramo : tramos_) {
        if (desde >= t.size() || pos >= finDoc) break;
        const qsizetype largo = std::min(tramo.largo, t.size() - desde);
        const auto enDoc = static_cast<int>(largo_en_documento(t.mid(desde, largo)));
        if (tramo.tono != Tono::Normal) {
            c.setPosition(pos);
            c.setPosition(std::min(pos + enDoc, finDoc), QTextCursor::KeepAnchor);
            c.setCharFormat(formato_de_tono(tramo.tono));
        }
        desde += largo;
        pos += enDoc;
    }
    c.endEditBlock();
}

void CajaRegistroVentana::alEditar() {
    if (volcando_ || completo_ || !editor_) return;
    // The operator typed into the log: the screen is the log now, with the
    // reports not yet shown in front of it.
    QString t = editor_->toPlainText();
    t.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    modelo_.ponerTexto(t);
    tramos_.clear();
    largoTramos_ = 0;
    if (!nuevos_.isEmpty()) modelo_.anteponer(nuevosJuntos());
}

CajaLineaVentana::CajaLineaVentana(QLineEdit* editor) : editor_(editor) {}

void CajaLineaVentana::poner(const QString& texto, bool alerta) {
    texto_ = texto;
    enAlerta_ = alerta;
    programar();
}

void CajaLineaVentana::volcar() {
    if (!editor_) return;
    editor_->setText(texto_);
    editor_->setCursorPosition(0);
    // The colours change only when the alert starts or ends.
    if (alertaEnPantalla_ == enAlerta_) return;
    alertaEnPantalla_ = enAlerta_;
    QPalette p = editor_->palette();
    p.setColor(QPalette::Base, enAlerta_ ? kRojoAlerta : QColor(Qt::white));
    p.setColor(QPalette::Text, enAlerta_ ? QColor(Qt::white) : QColor(Qt::black));
    editor_->setPalette(p);
}

} // namespace corvane
