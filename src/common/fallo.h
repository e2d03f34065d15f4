#pragma once
// The one error convention of the core: a routine that can fail returns a Fallo
// (number 0: it did not fail); what it produces, if anything, goes out through a
// reference parameter. The number is one of common/registro_errores.h, the one
// that error.log records; the detail is a Spanish text for the operator or a
// diagnostic, never written to error.log.

#include <QString>

namespace corvane {

struct [[nodiscard]] Fallo {
    Fallo() = default;
    Fallo(qint32 n, QString d = {}, QString e = {}) // NOLINT: {numero, detalle} reads as a Fallo
        : numero(n), detalle(std::move(d)), estado(std::move(e)) {}

    qint32 numero = 0;
    QString detalle;
    // A PostgreSQL server's SQLSTATE when the server refused a statement; empty
    // otherwise (no server, or the connection lost before an answer).
    QString estado;

    explicit operator bool() const { return numero != 0; }
};

} // namespace corvane
