#pragma once
// What both engines share over Qt SQL: a named connection, recordsets, statement
// texts and the batch's transaction. Each engine adds its prepared INSERT of the
// event row and what keeps its connection usable (SQLite watches its file,
// PostgreSQL reconnects to a server that went away).

#include <QSqlDatabase>
#include <QSqlQuery>

#include <functional>
#include <memory>

#include "store/motor.h"

namespace corvane {

// One named Qt SQL connection; removed when the last database or recordset that
// uses it is gone.
class Conexion {
public:
    explicit Conexion(const QString& driver);
    ~Conexion();
    Conexion(const Conexion&) = delete;
    Conexion& operator=(const Conexion&) = delete;

    QSqlDatabase db() const { return QSqlDatabase::database(nombre_, false); }

private:
    QString nombre_;
};

// Runs one statement text on `db` as the engine setting it up (schema, pragmas)
// does, outside any BaseDatos.
Fallo ejecutar_en(QSqlDatabase& db, const QString& sentencia, Dialecto dialecto);

// Runs `sentencia` on `q`'s connection: as it is without `valores`, else
// prepared, `valores` bound in order to its `?` marks (a null QVariant is NULL).
bool ejecutar_con_valores(QSqlQuery& q, const QString& sentencia, const QVariantList& valores);

class BaseQt : public BaseDatos {
public:
    BaseQt(std::shared_ptr<Conexion> conexion, Dialecto dialecto)
        : conexion_(std::move(conexion)), dialecto_(dialecto) {}

    Dialecto dialecto() const override { return dialecto_; }
    Fallo guardar(const FilaEvento& fila) final;
    using BaseDatos::abrirRegistros;
    using BaseDatos::ejecutar;
    Fallo ejecutar(const QString& sentencia, const QVariantList& valores) final;
    Fallo abrirRegistros(const QString& sentencia, const QVariantList& valores,
                         std::unique_ptr<Registros>& registros) final;
    Fallo comenzarLote() final;
    Fallo confirmarLote() final;
    void deshacerLote() final;

protected:
    // Before a statement, and before a batch's transaction begins: make the
    // connection usable, or say why it is not.
    virtual Fallo alistar() = 0;
    // The engine's prepared INSERT of one row, on a connection alistar made usable.
    virtual Fallo insertar(const FilaEvento& fila) = 0;
    // Last word before a commit: a reason not to commit, or none.
    virtual Fallo antesDeConfirmar() { return {}; }
    // Told of every failure of the connection's statements, already numbered.
    virtual void alFallar(const Fallo&) {}

    Fallo fallo(const QSqlError& error) {
        Fallo f = fallo_de_error(error);
        alFallar(f);
        return f;
    }
    bool enTransaccion() const { return enTransaccion_; }

    std::shared_ptr<Conexion> conexion_;

private:
    Fallo fallo_de_error(const QSqlError& error) const;
    // Runs `sentencia`; when it finds the connection lost outside a batch, runs it
    // once more, after alistar() has opened the connection anew (to whichever
    // server takes it now: a promoted standby). A statement text sent again is
    // harmless: the history query reads, and the alarm table's writes are
    // idempotent by key.
    Fallo otraVezSiSePerdio(const std::function<Fallo()>& sentencia);

    Dialecto dialecto_;
    bool enTransaccion_ = false;
};

} // namespace corvane
