#pragma once
// The database engine: open a database, store event rows, execute a statement
// text, open and walk a recordset. Two engines stand behind it, both over Qt SQL:
// SQLite for the embedded event file (the default) and PostgreSQL for a central
// server shared by several consoles. Statement texts may carry Jet date-time
// literals #YYYY/MM/DD hh:mm:ss#, translated for each engine. Every failure is a
// Fallo whose number comes from common/registro_errores.h.

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/fallo.h"
#include "common/reglas.h" // es_url_postgresql: which engine a path or URL names
#include "store/esquema.h"

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

// Text values of many rows, one after another, for BaseDatos::cargarFilas: few
// allocations however many values.
class ValoresTexto {
public:
    void agregar(std::string_view v) {
        bytes_.append(v);
        fines_.push_back(bytes_.size());
    }
    size_t cantidad() const { return fines_.size(); }
    std::string_view valor(size_t i) const {
        const size_t inicio = i == 0 ? 0 : fines_[i - 1];
        return {bytes_.data() + inicio, fines_[i] - inicio};
    }
    void vaciar() {
        bytes_.clear();
        fines_.clear();
    }

private:
    std::string bytes_;
    std::vector<size_t> fines_;
};

// The values of one walked row (BaseDatos::recorrer).
using ValoresFila = std::vector<std::string_view>;
using FuncionFila = std::function<Fallo(const ValoresFila& valores)>;

class BaseDatos {
public:
    virtual ~BaseDatos() = default;
    virtual Dialecto dialecto() const = 0;
    // Stores one event row with the engine's prepared INSERT; inside a batch it
    // joins the batch's transaction.
    virtual Fallo guardar(const FilaEvento& fila) = 0;
    // Runs one statement text at once; inside a batch it joins the batch's transaction.
    // Every value that is not part of the system's own text (a workstation's name,
    // a key, a moment, a number) is one of `valores`, bound in order to the
    // statement's `?` marks by the engine, never written into the text: what a
    // value holds (quotes, backslashes, SQL) is stored as it is, whatever the
    // server's standard_conforming_strings says.
    virtual Fallo ejecutar(const QString& sentencia, const QVariantList& valores) = 0;
    Fallo ejecutar(const QString& sentencia) { return ejecutar(sentencia, {}); }
    // Opens the rows of the SELECT `sentencia`, its `?` marks bound to `valores`.
    virtual Fallo abrirRegistros(const QString& sentencia, const QVariantList& valores,
                                 std::unique_ptr<Registros>& registros) = 0;
    Fallo abrirRegistros(const QString& sentencia, std::unique_ptr<Registros>& registros) {
        return abrirRegistros(sentencia, {}, registros);
    }
    // Walks the rows of the SELECT `sentencia` forward, keeping none of them:
    // `fila` gets each row's values in the SELECT's column order, as UTF-8 bytes
    // (a NULL as empty), valid during the call only. A failure that `fila`
    // returns stops the walk and is returned. For listings too long to hold.
    virtual Fallo recorrer(const QString& sentencia, const FuncionFila& fila) = 0;
    // Stores many rows of `tabla` at once, `columnas` in the order of each row's
    // values in `valores` (row after row), every value a UTF-8 text the column
    // reads as its type (an integer column's "12"); inside a batch it joins the
    // batch's transaction. Engines do it their fastest way (SQLite one prepared
    // INSERT on its own handle, PostgreSQL a COPY); this form runs one INSERT
    // per row.
    virtual Fallo cargarFilas(const QString& tabla, const QStringList& columnas, const ValoresTexto& valores);

    // A batch groups the rows of one read of received bytes in one transaction.
    // Each statement inside still runs at once and fails on its own.
    virtual Fallo comenzarLote() = 0;
    virtual Fallo confirmarLote() = 0;
    virtual void deshacerLote() = 0;

    // Rows held in the local queue of pending rows, not yet in the event table.
    virtual qint64 pendientes() { return 0; }
    // Failures met off the receive road (by the drain loop) since the last call.
    virtual std::vector<Fallo> fallosDiferidos() { return {}; }
    // True when the store keeps every row it is given until the event table has
    // it (a local queue behind it): the caller need not keep a batch's rows to
    // store them again after a failure.
    virtual bool guardaSiempre() const { return false; }
    // True while rows wait because the event table does not take them.
    virtual bool fallando() { return false; }
    // The number of the last failure that made rows wait; 0 when none.
    virtual qint32 ultimoFallo() { return 0; }
    // Rows dropped because not even memory could hold them any more.
    virtual qint64 descartadas() { return 0; }
    // Rows the local queue did not take, held only in memory meanwhile.
    virtual qint64 enMemoria() { return 0; }
    // True while the local queue does not take rows (the last write to it failed,
    // or rows wait in memory), whether or not rows wait; the failure's number.
    virtual bool colaFallando() { return false; }
    virtual qint32 falloCola() { return 0; }
    // Ends what works for the store off the receive road, within about 2 s.
    virtual void cerrar() {}
    // The same, and then the rows that the store could not keep: those held only
    // in memory (the queue did not take them) and those dropped. Within about 2 s
    // whatever holds the queue's lock.
    virtual qint64 cerrarYContarPerdidas() {
        cerrar();
        return descartadas();
    }
    // For a store that reaches a server through its queue: whether the server is
    // failing, and the last failure's number, apart from the queue's own trouble.
    virtual bool servidorFallando() { return fallando(); }
    virtual qint32 ultimoFalloServidor() { return ultimoFallo(); }
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
Fallo abrir_motor(const QString& ruta, std::unique_ptr<BaseDatos>& base);

// Opens the store of `ruta` with the local queue file `cola` behind it (the
// queue's room provides it): `base` is set even when the open fails.
using AbrirConCola = Fallo (*)(const QString& ruta, const QString& cola, std::unique_ptr<BaseDatos>& base);

} // namespace corvane
