#include "store/esquema.h"

namespace corvane::esquema {
namespace {

// `id`: the table's own key column, of type `clave`; then `columnas`, each of
// its type `tipo` for the engine.
template <class Columnas, class Tipo>
QString crear_tabla(const QString& tabla, const QString& id, const Columnas& columnas, Tipo tipo,
                    const QString& clave) {
    QString s = QStringLiteral("CREATE TABLE IF NOT EXISTS ") + tabla + QLatin1Char(' ') + QLatin1Char('(') + id +
                QLatin1Char(' ') + clave;
    for (const auto& c : columnas) s += QLatin1Char(',') + c.nombre + QLatin1Char(' ') + c.*tipo;
    return s + QLatin1Char(')');
}

template <class Columnas> QString lista(const Columnas& columnas) {
    QString s;
    for (const auto& c : columnas) s += (s.isEmpty() ? QString() : QStringLiteral(",")) + c.nombre;
    return s;
}

QString crear_tabla(QString Columna::*tipo, const QString& clave) {
    return crear_tabla(kTabla, QStringLiteral("gral_id"), kColumnas, tipo, clave);
}

const QString kClaveSQLite = QStringLiteral("INTEGER PRIMARY KEY");
const QString kClavePostgreSQL = QStringLiteral("BIGSERIAL PRIMARY KEY");

} // namespace

QString lista_columnas() { return lista(kColumnas); }
QString lista_columnas_alarma() { return lista(kColumnasAlarma); }

QString crear_tabla_alarmas_sqlite() {
    return crear_tabla(kTablaAlarmas, QStringLiteral("alar_id"), kColumnasAlarma, &ColumnaAlarma::tipoSQLite,
                       kClaveSQLite);
}
QString crear_tabla_alarmas_postgresql() {
    return crear_tabla(kTablaAlarmas, QStringLiteral("alar_id"), kColumnasAlarma, &ColumnaAlarma::tipoPostgreSQL,
                       kClavePostgreSQL);
}

QString insertar_alarmas() {
    return QStringLiteral("INSERT INTO ") + kTablaAlarmas + QStringLiteral(" (") +
           lista_columnas_alarma() + QStringLiteral(") VALUES ");
}

QString insert_preparado() {
    QString s = QStringLiteral("INSERT INTO ") + kTabla + QStringLiteral(" (") + lista_columnas() +
                QStringLiteral(") values(");
    for (size_t i = 0; i < kColumnas.size(); ++i) s += i == 0 ? QStringLiteral("?") : QStringLiteral(",?");
    return s + QLatin1Char(')');
}

namespace {

// The schema lock as a PL/pgSQL statement.
QString bloqueo_plpgsql() {
    QString bloqueo = kBloqueoEsquema;
    bloqueo.replace(QStringLiteral("SELECT "), QStringLiteral("PERFORM "));
    return bloqueo;
}

// The part of a DO block that gives the tables present their triggers; a table
// named as the alarm table but not ours (no alar_clave) gets none. Each
// function body is quoted with $f$ inside the block's $b$. The order lock is
// taken before the statement assigns any gral_id and held to its commit.
QString cuerpo_avisos() {
    return QStringLiteral(
               "IF to_regclass('%4') IS NOT NULL AND NOT EXISTS (SELECT 1 FROM pg_trigger "
               "WHERE tgname = 'corvane_aviso_eventos') THEN %1; "
               "IF NOT EXISTS (SELECT 1 FROM pg_trigger WHERE tgname = 'corvane_aviso_eventos') "
               "THEN "
               "CREATE OR REPLACE FUNCTION corvane_orden_eventos() RETURNS trigger LANGUAGE "
               "plpgsql AS "
               "$f$BEGIN PERFORM pg_advisory_xact_lock(7405112027); RETURN NULL; END$f$; "
               "CREATE OR REPLACE FUNCTION corvane_aviso_eventos() RETURNS trigger LANGUAGE "
               "plpgsql AS "
               "$f$BEGIN PERFORM pg_notify('%2', coalesce((SELECT max(gral_id) FROM nuevas)::text, "
               "'')); "
               "RETURN NULL; END$f$; "
               "CREATE TRIGGER corvane_orden_eventos BEFORE INSERT ON %4 "
               "FOR EACH STATEMENT EXECUTE FUNCTION corvane_orden_eventos(); "
               "CREATE TRIGGER corvane_aviso_eventos AFTER INSERT ON %4 "
               "REFERENCING NEW TABLE AS nuevas FOR EACH STATEMENT EXECUTE FUNCTION "
               "corvane_aviso_eventos(); "
               "END IF; END IF; "
               "IF to_regclass('%5') IS NOT NULL AND EXISTS (SELECT 1 FROM pg_attribute WHERE "
               "attrelid = to_regclass('%5') AND attname = 'alar_clave' AND NOT attisdropped) "
               "AND NOT EXISTS (SELECT 1 FROM pg_trigger WHERE tgname = 'corvane_aviso_alarmas' "
               "AND tgrelid = to_regclass('%5')) THEN %1; "
               "IF NOT EXISTS (SELECT 1 FROM pg_trigger WHERE tgname = 'corvane_aviso_alarmas' "
               "AND tgrelid = to_regclass('%5')) THEN "
               "CREATE OR REPLACE FUNCTION corvane_aviso_alarmas() RETURNS trigger LANGUAGE "
               "plpgsql AS "
               "$f$BEGIN PERFORM pg_notify('%3', ''); RETURN NULL; END$f$; "
               "CREATE TRIGGER corvane_aviso_alarmas AFTER INSERT OR UPDATE ON %5 "
               "FOR EACH STATEMENT EXECUTE FUNCTION corvane_aviso_alarmas(); "
               "END IF; END IF; ")
        .arg(bloqueo_plpgsql(), kCanalEventos, kCanalAlarmas, kTabla, kTablaAlarmas);
}

} // namespace

QString avisos_postgresql() {
    return QStringLiteral("DO $b$BEGIN ") + cuerpo_avisos() + QStringLiteral("END$b$");
}

QString asegurar_postgresql(bool conControl) {
    const QString faltan =
        QStringLiteral("to_regclass('%1') IS NULL OR to_regclass('%2') IS NULL OR "
                       "to_regclass('%3') IS NULL")
            .arg(kTabla, kIndice, kIndiceMomento) +
        (conControl ? QStringLiteral(" OR to_regclass('corvane_envios') IS NULL") : QString());
    return QStringLiteral("DO $b$BEGIN IF ") + faltan + QStringLiteral(" THEN ") + bloqueo_plpgsql() +
           QStringLiteral("; ") + crear_tabla_postgresql() + QStringLiteral("; ") + kCrearIndice +
           QStringLiteral("; ") + kCrearIndiceMomentoPostgreSQL + QStringLiteral("; ") +
           (conControl ? kCrearControl + QStringLiteral("; ") : QString()) + QStringLiteral("END IF; ") +
           cuerpo_avisos() + QStringLiteral("END$b$");
}

QString crear_tabla_sqlite() { return crear_tabla(&Columna::tipoSQLite, kClaveSQLite); }
QString crear_tabla_postgresql() { return crear_tabla(&Columna::tipoPostgreSQL, kClavePostgreSQL); }

} // namespace corvane::esquema
