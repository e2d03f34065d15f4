#pragma once
// PostgreSQL's COPY text form: one row a line, values separated by tabs, a
// backslash, tab or line break inside a value escaped with a backslash, NULL as
// \N.

#include <QByteArray>

#include <string>
#include <vector>

#include "store/motor.h"

namespace corvane {

// Appends one value of a row to `datos`: after a tab unless it is the row's
// first, its backslashes, tabs and line breaks escaped.
void agregar_copia(QByteArray& datos, const char* valor, size_t largo, bool primera);

// Splits the lines of COPY TO STDOUT into values, reusing its memory from line
// to line.
class LectorCopia {
public:
    // One line of `largo` bytes, its final line feed included or not. A NULL is
    // an empty value. The values point into the reader until the next line.
    const ValoresFila& leer(const char* linea, size_t largo);

private:
    std::string buffer_;          // the unescaped values, one after the other
    std::vector<size_t> limites_; // where each value starts; then the end
    ValoresFila valores_;
};

} // namespace corvane
