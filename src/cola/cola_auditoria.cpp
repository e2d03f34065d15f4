// The queue's table of audit entries waiting for the database.

#include <sqlite3.h>

#include "cola/cola_pendientes.h"
#include "common/registro_errores.h"

namespace corvane {
namespace {

// The fields of an entry, in the order of the table's columns after
// `secuencia`; the action as its stored code.
constexpr const char* kCrearTabla =
    "CREATE TABLE IF NOT EXISTS auditoria (secuencia INTEGER PRIMARY KEY AUTOINCREMENT,"
    "origen TEXT NOT NULL,momento TEXT NOT NULL,puesto TEXT NOT NULL,operador TEXT NOT NULL,"
    "accion TEXT NOT NULL,objeto TEXT NOT NULL,detalle TEXT NOT NULL)";
constexpr const char* kInsertar =
    "INSERT INTO auditoria (origen,momento,puesto,operador,accion,objeto,detalle) "
    "VALUES (?,?,?,?,?,?,?)";
constexpr const char* kLeer = "SELECT secuencia,origen,momento,puesto,operador,accion,objeto,"
                              "detalle FROM auditoria ORDER BY secuencia LIMIT ?";

QString texto(sqlite3_stmt* st, int i) {
    const auto* datos = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
    return datos == nullptr ? QStringLiteral("")
                            : QString::fromUtf8(datos, sqlite3_column_bytes(st, i));
}

void vincular(sqlite3_stmt* st, int i, const QString& v) {
    const QByteArray b = v.toUtf8();
    sqlite3_bind_text(st, i, b.constData(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
}

} // namespace

Fallo ColaPendientes::crearAuditoria() {
    return ejecutar(kCrearTabla);
}

Fallo ColaPendientes::encolar_auditoria(const std::vector<AuditoriaPendiente>& entradas) {
    if (db_ == nullptr) return {fallos::kSinObjeto, QStringLiteral("cola cerrada")};
    if (entradas.empty()) return {};
    sqlite3_stmt* st = nullptr;
    int r = sqlite3_prepare_v2(db_, kInsertar, -1, &st, nullptr);
    if (r != SQLITE_OK) return fallo(r);
    if (Fallo f = ejecutar("BEGIN IMMEDIATE")) {
        sqlite3_finalize(st);
        return f;
    }
    for (const AuditoriaPendiente& a : entradas) {
        const EntradaAuditoria& e = a.entrada;
        int i = 1;
        for (const QString& v : {a.origen, e.momento, e.puesto, e.operador, codigo_accion(e.accion),
                                 e.objeto, e.detalle})
            vincular(st, i++, v);
        r = sqlite3_step(st);
        sqlite3_reset(st);
        if (r != SQLITE_DONE) break;
    }
    sqlite3_finalize(st);
    if (r != SQLITE_DONE) {
        const Fallo f = fallo(r);
        deshacer();
        return f;
    }
    return confirmar();
}

Fallo ColaPendientes::leer_auditoria(int maximo, std::vector<AuditoriaPendiente>& entradas) {
    entradas.clear();
    if (db_ == nullptr) return {fallos::kSinObjeto, QStringLiteral("cola cerrada")};
    sqlite3_stmt* st = nullptr;
    int r = sqlite3_prepare_v2(db_, kLeer, -1, &st, nullptr);
    if (r != SQLITE_OK) return fallo(r);
    sqlite3_bind_int(st, 1, maximo);
    while ((r = sqlite3_step(st)) == SQLITE_ROW) {
        AuditoriaPendiente a;
        a.secuencia = sqlite3_column_int64(st, 0);
        EntradaAuditoria& e = a.entrada;
        a.origen = texto(st, 1);
        e.momento = texto(st, 2);
        e.puesto = texto(st, 3);
        e.operador = texto(st, 4);
        const QString codigo = texto(st, 5);
        e.objeto = texto(st, 6);
        e.detalle = texto(st, 7);
        // An action this version does not know (written by a newer one) waits
        // for that version: the entries after it keep their order.
        if (!accion_de_codigo(codigo, e.accion)) {
            sqlite3_finalize(st);
            return {fallos::kNoEsBaseDeDatos,
                    QStringLiteral("acción de auditoría desconocida en la cola: %1").arg(codigo)};
        }
        entradas.push_back(std::move(a));
    }
    sqlite3_finalize(st);
    return r == SQLITE_DONE ? Fallo{} : fallo(r);
}

Fallo ColaPendientes::borrar_auditoria_hasta(qint64 secuencia) {
    if (db_ == nullptr) return {fallos::kSinObjeto, QStringLiteral("cola cerrada")};
    return ejecutar("DELETE FROM auditoria WHERE secuencia <= ?", secuencia);
}

Fallo ColaPendientes::contar_auditoria(qint64& cantidad) {
    cantidad = 0;
    if (db_ != nullptr && !hayTabla("auditoria")) return {};
    return contar_en("auditoria", cantidad);
}

} // namespace corvane
