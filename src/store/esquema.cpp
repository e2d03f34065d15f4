#include "store/esquema.h"

namespace corvane {

void FilasCompactas::agregar(const FilaEvento& fila) {
    if (inicios_.empty()) inicios_.push_back(0);
    for (const esquema::Columna& c : esquema::kColumnas) {
        if (c.texto == nullptr) continue;
        textos_ += fila.*c.texto;
        inicios_.push_back(static_cast<qint32>(textos_.size()));
    }
    niveles_.push_back(fila.nivel);
}

FilaEvento FilasCompactas::fila(size_t i) const {
    FilaEvento f;
    f.nivel = niveles_[i];
    size_t k = i * (esquema::kColumnas.size() - 1);
    for (const esquema::Columna& c : esquema::kColumnas) {
        if (c.texto == nullptr) continue;
        f.*c.texto = textos_.mid(inicios_[k], inicios_[k + 1] - inicios_[k]);
        if ((f.*c.texto).isNull()) f.*c.texto = QLatin1String("");
        ++k;
    }
    return f;
}

void FilasCompactas::clear() {
    textos_.clear();
    inicios_.clear();
    niveles_.clear();
}

} // namespace corvane

namespace corvane::esquema {
namespace {

QString crear_tabla(QString Columna::*tipo, const QString& clave) {
    QString s = QStringLiteral("CREATE TABLE IF NOT EXISTS TABLA_GENERAL (gral_id ") + clave;
    for (const Columna& c : kColumnas) s += QLatin1Char(',') + c.nombre + QLatin1Char(' ') + c.*tipo;
    return s + QLatin1Char(')');
}

} // namespace

QString lista_columnas() {
    QString s;
    for (const Columna& c : kColumnas) s += (s.isEmpty() ? QString() : QStringLiteral(",")) + c.nombre;
    return s;
}

QString insert_preparado() {
    QString s = QStringLiteral("INSERT INTO TABLA_GENERAL (") + lista_columnas() + QStringLiteral(") values(");
    for (size_t i = 0; i < kColumnas.size(); ++i) s += i == 0 ? QStringLiteral("?") : QStringLiteral(",?");
    return s + QLatin1Char(')');
}

QString crear_tabla_sqlite() { return crear_tabla(&Columna::tipoSQLite, QStringLiteral("INTEGER PRIMARY KEY")); }
QString crear_tabla_postgresql() {
    return crear_tabla(&Columna::tipoPostgreSQL, QStringLiteral("BIGSERIAL PRIMARY KEY"));
}

} // namespace corvane::esquema
