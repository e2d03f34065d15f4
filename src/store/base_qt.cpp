#include "store/base_qt.h"

#include <QAtomicInteger>
#include <QSqlRecord>

#include "common/registro_errores.h"
#include "store/errores_motor.h"
#include "store/literales.h"

namespace corvane {
namespace {

class RegistrosQt : public Registros {
public:
    RegistrosQt(std::shared_ptr<Conexion> conexion, QSqlQuery consulta, Dialecto dialecto)
        : conexion_(std::move(conexion)), consulta_(std::move(consulta)), dialecto_(dialecto) {
        consulta_.next();
        hayFilas_ = consulta_.isValid();
    }
    ~RegistrosQt() override { RegistrosQt::cerrar(); }

    qint64 cantidad() const override {
        if (!hayFilas_) return 0;
        const int n = consulta_.size(); // -1 where the driver cannot tell (SQLite)
        return n > 0 ? n : 1;
    }
    bool alFinal() const override { return !abierto_ || !consulta_.isValid(); }
    Fallo valor(const QString& campo, QVariant& valor) const override {
        if (!abierto_ || !consulta_.isValid()) return {fallos::kSinObjeto, QStringLiteral("sin fila")};
        const int i = consulta_.record().indexOf(campo);
        if (i < 0) return {fallos::kSentenciaRechazada, QStringLiteral("columna inexistente: ") + campo};
        valor = consulta_.value(i);
        return {};
    }
    Fallo siguiente() override {
        if (!abierto_) return {fallos::kSinObjeto, QStringLiteral("consulta cerrada")};
        if (!consulta_.next() && consulta_.lastError().isValid())
            return fallo_de(consulta_.lastError(), dialecto_);
        return {};
    }
    void cerrar() override {
        if (abierto_) consulta_.finish();
        abierto_ = false;
    }
    bool abierto() const override { return abierto_; }

private:
    std::shared_ptr<Conexion> conexion_;
    QSqlQuery consulta_;
    Dialecto dialecto_;
    bool hayFilas_ = false;
    bool abierto_ = true;
};

} // namespace

Conexion::Conexion(const QString& driver) {
    static QAtomicInteger<quint64> contador;
    nombre_ = QStringLiteral("corvane-%1").arg(contador.fetchAndAddRelaxed(1));
    QSqlDatabase::addDatabase(driver, nombre_);
}

Conexion::~Conexion() {
    {
        QSqlDatabase db = QSqlDatabase::database(nombre_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(nombre_);
}

Fallo ejecutar_en(QSqlDatabase& db, const QString& sentencia, Dialecto dialecto) {
    QSqlQuery q(db);
    if (q.exec(sentencia)) return {};
    return fallo_de(q.lastError(), dialecto);
}

Fallo BaseQt::fallo_de_error(const QSqlError& error) const { return fallo_de(error, dialecto_); }

Fallo BaseQt::guardar(const FilaEvento& fila) {
    if (Fallo f = alistar()) return f;
    return insertar(fila);
}

bool ejecutar_con_valores(QSqlQuery& q, const QString& sentencia, const QVariantList& valores) {
    if (valores.isEmpty()) return q.exec(sentencia);
    if (!q.prepare(sentencia)) return false;
    for (qsizetype i = 0; i < valores.size(); ++i) q.bindValue(static_cast<int>(i), valores.at(i));
    return q.exec();
}

Fallo BaseQt::ejecutar(const QString& sentencia, const QVariantList& valores) {
    return otraVezSiSePerdio([&]() -> Fallo {
        if (Fallo f = alistar()) return f;
        QSqlQuery q(conexion_->db());
        if (ejecutar_con_valores(q, traducir_sentencia(sentencia, dialecto_), valores)) return {};
        return fallo(q.lastError());
    });
}

Fallo BaseQt::abrirRegistros(const QString& sentencia, const QVariantList& valores,
                             std::unique_ptr<Registros>& registros) {
    registros.reset();
    return otraVezSiSePerdio([&]() -> Fallo {
        if (Fallo f = alistar()) return f;
        QSqlQuery q(conexion_->db());
        q.setForwardOnly(true);
        if (!ejecutar_con_valores(q, traducir_sentencia(sentencia, dialecto_), valores))
            return fallo(q.lastError());
        registros = std::make_unique<RegistrosQt>(conexion_, std::move(q), dialecto_);
        return {};
    });
}

Fallo BaseQt::otraVezSiSePerdio(const std::function<Fallo()>& sentencia) {
    Fallo f = sentencia();
    if (f.numero == fallos::kConexionPerdida && !enTransaccion_) f = sentencia();
    return f;
}

Fallo BaseQt::comenzarLote() {
    if (Fallo f = alistar()) return f;
    if (!conexion_->db().transaction()) return fallo(conexion_->db().lastError());
    enTransaccion_ = true;
    return {};
}

Fallo BaseQt::confirmarLote() {
    if (Fallo f = antesDeConfirmar()) {
        deshacerLote();
        return f;
    }
    enTransaccion_ = false;
    if (conexion_->db().commit()) return {};
    return fallo(conexion_->db().lastError());
}

void BaseQt::deshacerLote() {
    enTransaccion_ = false;
    conexion_->db().rollback();
}

} // namespace corvane
