#pragma once
// The database engine: open a database, execute a statement, open and walk a
// recordset. Two engines stand behind it, both over Qt SQL: SQLite for the
// embedded event file (the default) and PostgreSQL for a central server shared by
// several consoles. Both take the statement texts that the decoders and the
// account query build, Jet date-time literals #YYYY/MM/DD hh:mm:ss# included, and
// report every failure as a number from common/registro_errores.h.

#include <QString>
#include <QVariant>

#include <memory>

#include "common/fallo.h"
#include "common/reglas.h" // es_url_postgresql: which engine a path or URL names

namespace corvane {

enum class Dialecto { SQLite, PostgreSQL };

class Registros {
public:
    virtual ~Registros() = default;
    // Not 0 when the statement selected at least one row, 0 when none.
    virtual qint64 cantidad() const = 0;
    // True once the position has moved past the last row.
    virtual bool alFinal() const = 0;
    virtual Fallo valor(const QString& campo, QVariant& valor) const = 0;
    virtual Fallo siguiente() = 0;
    virtual void cerrar() = 0;
    virtual bool abierto() const = 0;
};

class BaseDatos {
public:
    virtual ~BaseDatos() = default;
    virtual Dialecto dialecto() const = 0;
    // Runs one statement at once; inside a batch it joins the batch's transaction.
    virtual Fallo ejecutar(const QString& sentencia) = 0;
    virtual std::unique_ptr<Registros> abrirRegistros(const QString& sentencia, Fallo& fallo) = 0;

    // A batch groups the rows of one read of received bytes in one transaction.
    // Each statement inside still runs at once and fails on its own.
    virtual Fallo comenzarLote() = 0;
    virtual Fallo confirmarLote() = 0;
    virtual void deshacerLote() = 0;
};

// The name of an SQLite database held in memory: new and empty at every open, with
// the event table and its index, private to the database object that opened it and
// gone with it. No file is written.
inline const QString kBaseEnMemoria = QStringLiteral(":memory:");

// Opens the event database named by `ruta`: a "postgresql://usuario@servidor:puerto/base"
// URL (password from the URL or the usual PG* environment), kBaseEnMemoria, or the
// path of an SQLite file. A missing file is created with the event table; an existing
// file is never overwritten: one that is not a database fails with kNoEsBaseDeDatos,
// untouched.
std::unique_ptr<BaseDatos> abrir_motor(const QString& ruta, Fallo& fallo);

// Turns each Jet literal #YYYY/MM/DD hh:mm:ss# found outside quoted text into the
// engine's own literal; everything else is left as it stands.
QString traducir_sentencia(const QString& sentencia, Dialecto dialecto);

} // namespace corvane
