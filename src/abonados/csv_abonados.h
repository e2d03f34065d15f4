#pragma once
// The CSV of the register's files: RFC 4180 in UTF-8 (a byte-order mark at the
// start is skipped), a header row, records ended by CR LF or LF. A record's
// line is the file's physical line where it starts, the header being line 1: a
// quoted value that spans lines counts each of them. Values are read as bytes,
// never converted: the import checks and stores them as they are.

#include <QByteArray>
#include <QString>

#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// True when `texto` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing past U+10FFFF); else `malo` is the offset of the first bad byte.
bool utf8_valido(std::string_view texto, size_t& malo);

class LectorCsv {
public:
    // `texto`: the whole file, which must outlive the reader.
    explicit LectorCsv(std::string_view texto);
    // The next record into `valores` (valid until the next call) and its line
    // into `linea`; false at the end of the text or on a malformed record (then
    // `error` says why, and `linea` is its line). A line with nothing on it is
    // skipped.
    bool siguiente(std::vector<std::string_view>& valores, qint64& linea, QString& error);

private:
    struct Trozo {
        bool propio; // in buffer_ (a value whose doubled quotes were undone), else in the text
        size_t inicio;
        size_t largo;
    };
    std::string_view t_;
    size_t pos_ = 0;
    qint64 linea_ = 1;
    std::string buffer_;
    std::vector<Trozo> trozos_;
};

// Appends a value, given as UTF-8 bytes, to a CSV row: quoted when it holds a
// comma, a quote or a line break, its quotes doubled.
void agregar_valor_csv(QByteArray& fila, std::string_view valor, bool primero);

} // namespace corvane
