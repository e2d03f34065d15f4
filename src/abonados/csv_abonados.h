#pragma once
// The CSV of the register's files: RFC 4180 in UTF-8 (a byte-order mark at the
// start is skipped), a header row, records ended by CR LF or LF. A record's
// line is the file's physical line where it starts, the header being line 1: a
// quoted value that spans lines counts each of them.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string_view>

namespace corvane {

class LectorCsv {
public:
    // `texto`: the whole file, already decoded.
    explicit LectorCsv(QString texto) : t_(std::move(texto)) {
        if (t_.startsWith(QChar(0xFEFF))) pos_ = 1;
    }
    // The next record into `valores` and its line into `linea`; false at the end
    // of the text or on a malformed record (then `error` says why, and `linea`
    // is its line). A record with nothing on its line is skipped.
    bool siguiente(QStringList& valores, qint64& linea, QString& error);

private:
    QString t_;
    qsizetype pos_ = 0;
    qint64 linea_ = 1;
};

// Appends `valor` to a CSV row: quoted when it holds a comma, a quote or a line
// break, its quotes doubled.
void agregar_valor_csv(QByteArray& fila, const QString& valor, bool primero);
// The same for a value given as UTF-8 bytes.
void agregar_valor_csv(QByteArray& fila, std::string_view valor, bool primero);

} // namespace corvane
