#include "cola/cola_pendientes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>
#include <QUuid>

#include <sqlite3.h>

#include <algorithm>

#include "common/registro_errores.h"
#include "store/errores_motor.h"
#include "store/fila_sqlite.h"

namespace corvane {
namespace {

// Milliseconds a statement waits for the other connection's lock: short, so that
// neither the receive road nor the drain loop ever waits long on the other.
constexpr int kEsperaBloqueoMs = 300;

QString crear_tabla() {
    QString s = QStringLiteral(
        "CREATE TABLE IF NOT EXISTS pendientes (secuencia INTEGER PRIMARY KEY AUTOINCREMENT");
    for (const esquema::Columna& c : esquema::kColumnas)
        s += QLatin1Char(',') + c.nombre + QLatin1Char(' ') + c.tipoSQLite;
    return s + QLatin1Char(')');
}

QString crear_tabla_alarmas() {
    QString s = QStringLiteral(
        "CREATE TABLE IF NOT EXISTS alarmas (secuencia INTEGER PRIMARY KEY AUTOINCREMENT,"
        "reconocimiento INTEGER NOT NULL");
    for (const esquema::ColumnaAlarma& c : esquema::kColumnasAlarma)
        s += QLatin1Char(',') + c.nombre + QStringLiteral(" TEXT");
    // Last, where a queue of an older version gains it: one layout of the
    // records for the recovery's scan of pages.
    return s + QStringLiteral(",ciclo TEXT)");
}

// The key each row was queued under; NULL for rows of a version that had none,
// which belong to the queue's identity.
constexpr const char* kColumnaIdentidad = "ALTER TABLE pendientes ADD COLUMN identidad TEXT";
// The rows set apart: the same columns as `pendientes`, the sequence number they
// had there, and the refusal.
QString crear_tabla_rechazadas() {
    QString s =
        QStringLiteral("CREATE TABLE IF NOT EXISTS rechazadas (secuencia INTEGER PRIMARY KEY,"
                       "identidad TEXT");
    for (const esquema::Columna& c : esquema::kColumnas)
        s += QLatin1Char(',') + c.nombre + QLatin1Char(' ') + c.tipoSQLite;
    return s +
           QStringLiteral(",sqlstate TEXT NOT NULL,mensaje TEXT NOT NULL,rechazada TEXT NOT NULL)");
}

QString insercion() {
    QString s = QStringLiteral("INSERT INTO pendientes (") + esquema::lista_columnas() +
                QStringLiteral(",identidad) values(");
    for (size_t i = 0; i < esquema::kColumnas.size(); ++i)
        s += i == 0 ? QStringLiteral("?") : QStringLiteral(",?");
    return s + QStringLiteral(",?)");
}

QString lectura() {
    return QStringLiteral("SELECT secuencia,") + esquema::lista_columnas() +
           QStringLiteral(
               ",identidad FROM pendientes WHERE secuencia > ? ORDER BY secuencia LIMIT ?");
}

QString texto_columna(sqlite3_stmt* st, int i) {
    const auto* datos = static_cast<const char16_t*>(sqlite3_column_text16(st, i));
    const int bytes = sqlite3_column_bytes16(st, i);
    return datos == nullptr ? QString(QLatin1String("")) : QString::fromUtf16(datos, bytes / 2);
}

} // namespace

std::vector<FilaEvento> FilasPendientes::filas() const {
    std::vector<FilaEvento> r;
    r.reserve(secuencias.size());
    qsizetype desde = 0;
    for (size_t i = 0; i < secuencias.size(); ++i) {
        FilaEvento f;
        for (const esquema::Columna& c : esquema::kColumnas) {
            const qsizetype fin = valores.indexOf('\0', desde);
            const QString texto = QString::fromUtf8(valores.constData() + desde, fin - desde);
            if (c.texto == nullptr)
                f.nivel = texto.toInt();
            else
                f.*c.texto = texto.isNull() ? QString(QLatin1String("")) : texto;
            desde = fin + 1;
        }
        r.push_back(std::move(f));
    }
    return r;
}

FilasPendientes FilasPendientes::de(const std::vector<FilaEvento>& filas) {
    FilasPendientes r;
    qint64 secuencia = 0;
    for (const FilaEvento& f : filas) {
        r.secuencias.push_back(++secuencia);
        for (const esquema::Columna& c : esquema::kColumnas) {
            r.valores += c.texto == nullptr ? QByteArray::number(f.nivel) : (f.*c.texto).toUtf8();
            r.valores += '\0';
        }
    }
    return r;
}

FilasPendientes FilasPendientes::tramo(size_t desde, size_t hasta) const {
    FilasPendientes r;
    hasta = std::min(hasta, secuencias.size());
    if (desde >= hasta) return r;
    // Each row is kColumnas.size() values, each ended by a NUL byte.
    const auto saltar = [this](qsizetype desdeByte, size_t filasASaltar) {
        for (size_t i = 0; i < filasASaltar * esquema::kColumnas.size(); ++i)
            desdeByte = valores.indexOf('\0', desdeByte) + 1;
        return desdeByte;
    };
    const qsizetype inicio = saltar(0, desde);
    const qsizetype fin = saltar(inicio, hasta - desde);
    r.secuencias.assign(secuencias.begin() + static_cast<std::ptrdiff_t>(desde),
                        secuencias.begin() + static_cast<std::ptrdiff_t>(hasta));
    r.valores = valores.mid(inicio, fin - inicio);
    r.identidad = identidad;
    return r;
}

ColaPendientes::~ColaPendientes() {
    cerrar();
}

void ColaPendientes::cerrar() {
    sqlite3_finalize(insercion_);
    sqlite3_finalize(lectura_);
    insercion_ = lectura_ = nullptr;
    sqlite3_close_v2(db_);
    db_ = nullptr;
}

Fallo ColaPendientes::fallo(int codigo) const {
    return {numero_sqlite(codigo),
            db_ != nullptr ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString()};
}

Fallo ColaPendientes::ejecutar(const char* sentencia) {
    const int r = sqlite3_exec(db_, sentencia, nullptr, nullptr, nullptr);
    return r == SQLITE_OK ? Fallo{} : fallo(r);
}

Fallo ColaPendientes::ejecutar(const char* sentencia, const QVariant& valor) {
    sqlite3_stmt* st = nullptr;
    int r = sqlite3_prepare_v2(db_, sentencia, -1, &st, nullptr);
    if (r == SQLITE_OK) {
        if (valor.typeId() == QMetaType::QString) {
            const QByteArray texto = valor.toString().toUtf8();
            sqlite3_bind_text(st, 1, texto.constData(), static_cast<int>(texto.size()),
                              SQLITE_TRANSIENT);
        } else {
            sqlite3_bind_int64(st, 1, valor.toLongLong());
        }
        r = sqlite3_step(st);
    }
    sqlite3_finalize(st);
    return r == SQLITE_DONE ? Fallo{} : fallo(r);
}

Fallo ColaPendientes::abrir(const QString& ruta) {
    cerrar();
    const QByteArray nombre = QFile::encodeName(ruta);
    int r =
        sqlite3_open_v2(nombre.constData(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    Fallo f;
    const auto fallar = [&](Fallo error) {
        cerrar();
        return error;
    };
    if (r != SQLITE_OK) return fallar(fallo(r));
    sqlite3_busy_timeout(db_, kEsperaBloqueoMs);
    // The first read of the schema fails on a file that is not a database, before
    // anything is written to it.
    if ((f = ejecutar("SELECT count(*) FROM sqlite_master"))) return fallar(f);
    if ((f = ejecutar("PRAGMA journal_mode=WAL")) || (f = ejecutar("PRAGMA synchronous=FULL")))
        return fallar(f);
    const QByteArray tabla = crear_tabla().toUtf8();
    const QByteArray alarmas = crear_tabla_alarmas().toUtf8();
    const QByteArray rechazadas = crear_tabla_rechazadas().toUtf8();
    if ((f = ejecutar(tabla.constData())) || (f = ejecutar(alarmas.constData())) ||
        (f = ejecutar(rechazadas.constData())) || (f = crearAuditoria()) ||
        (f = ejecutar("CREATE TABLE IF NOT EXISTS identidad (nombre TEXT NOT NULL)")))
        return fallar(f);
    // A queue of an older version gains the column of the row's key.
    sqlite3_stmt* columnas = nullptr;
    bool conIdentidad = false;
    r = sqlite3_prepare_v2(db_, "SELECT identidad FROM pendientes LIMIT 0", -1, &columnas, nullptr);
    conIdentidad = r == SQLITE_OK;
    sqlite3_finalize(columnas);
    if (!conIdentidad && (f = ejecutar(kColumnaIdentidad))) return fallar(f);
    // ... and the alarm writes, the column of a handling step.
    r = sqlite3_prepare_v2(db_, "SELECT ciclo FROM alarmas LIMIT 0", -1, &columnas, nullptr);
    const bool conCiclo = r == SQLITE_OK;
    sqlite3_finalize(columnas);
    if (!conCiclo && (f = ejecutar("ALTER TABLE alarmas ADD COLUMN ciclo TEXT"))) return fallar(f);
    sqlite3_stmt* st = nullptr;
    r = sqlite3_prepare_v2(db_, "SELECT nombre FROM identidad", -1, &st, nullptr);
    if (r == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW) identidad_ = texto_columna(st, 0);
    sqlite3_finalize(st);
    if (r != SQLITE_OK) return fallar(fallo(r));
    if (identidad_.isEmpty()) {
        identidad_ = QUuid::createUuid().toString(QUuid::WithoutBraces);
        if ((f = ejecutar("INSERT INTO identidad (nombre) VALUES (?)", identidad_)))
            return fallar(f);
    }
    const QString i = insercion(), l = lectura();
    if ((r = sqlite3_prepare16_v3(db_, i.utf16(), static_cast<int>(i.size() * 2),
                                  SQLITE_PREPARE_PERSISTENT, &insercion_, nullptr)) != SQLITE_OK ||
        (r = sqlite3_prepare16_v3(db_, l.utf16(), static_cast<int>(l.size() * 2),
                                  SQLITE_PREPARE_PERSISTENT, &lectura_, nullptr)) != SQLITE_OK)
        return fallar(fallo(r));
    return {};
}

void ColaPendientes::ponerEsperaBloqueo(int ms) {
    if (db_ != nullptr) sqlite3_busy_timeout(db_, ms);
}

Fallo ColaPendientes::abrir_lectura(const QString& ruta) {
    cerrar();
    if (!QFileInfo(ruta).isFile())
        return {fallos::kArchivoNoEncontrado, QStringLiteral("el archivo no existe")};
    // Read-only by URI. Without a "-wal" file no console has the queue open (a
    // connection in WAL mode keeps one while it is open) and every committed row
    // is in the file itself: it is read as it stands (SQLite's immutable open),
    // which leaves no "-wal" or "-shm" file behind. With one, the queue is read
    // beside the console that writes it.
    QUrl url = QUrl::fromLocalFile(QFileInfo(ruta).absoluteFilePath());
    const bool enUso = QFileInfo::exists(ruta + QStringLiteral("-wal")) ||
                       QFileInfo::exists(ruta + QStringLiteral("-journal"));
    url.setQuery(enUso ? QStringLiteral("mode=ro") : QStringLiteral("mode=ro&immutable=1"));
    int r = sqlite3_open_v2(url.toString(QUrl::FullyEncoded).toUtf8().constData(), &db_,
                            SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
    if (r == SQLITE_OK) {
        sqlite3_busy_timeout(db_, kEsperaBloqueoMs);
        r = sqlite3_exec(db_, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
    if (r != SQLITE_OK) {
        const Fallo f = fallo(r);
        cerrar();
        return f;
    }
    if (!hayTabla("pendientes")) {
        cerrar();
        return {fallos::kNoEsBaseDeDatos, QStringLiteral("no es una cola de pendientes")};
    }
    return {};
}

bool ColaPendientes::hayTabla(const char* tabla) {
    sqlite3_stmt* st = nullptr;
    bool hay = false;
    if (sqlite3_prepare_v2(db_, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?", -1,
                           &st, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, tabla, -1, SQLITE_STATIC);
        hay = sqlite3_step(st) == SQLITE_ROW;
    }
    sqlite3_finalize(st);
    return hay;
}

Fallo ColaPendientes::preparar(const QString& sentencia, sqlite3_stmt*& st) {
    st = nullptr;
    if (db_ == nullptr) return {fallos::kSinObjeto, QStringLiteral("cola cerrada")};
    const int r = sqlite3_prepare16_v2(db_, sentencia.utf16(),
                                       static_cast<int>(sentencia.size() * 2), &st, nullptr);
    return r == SQLITE_OK ? Fallo{} : fallo(r);
}

namespace {

void vincular_texto(sqlite3_stmt* st, int i, const QString& v) {
    sqlite3_bind_text16(st, i, v.isNull() ? reinterpret_cast<const ushort*>(u"") : v.utf16(),
                        static_cast<int>(v.size() * 2), SQLITE_TRANSIENT);
}

} // namespace

Fallo ColaPendientes::rechazar(qint64 secuencia, const QString& estado, const QString& mensaje,
                               const QString& momento) {
    const QString columnas = esquema::lista_columnas();
    sqlite3_stmt* st = nullptr;
    if (Fallo f = preparar(
            QStringLiteral(
                "INSERT INTO rechazadas (secuencia,identidad,%1,sqlstate,mensaje,rechazada) "
                "SELECT secuencia,coalesce(identidad,?5),%1,?1,?2,?3 FROM pendientes "
                "WHERE secuencia=?4")
                .arg(columnas),
            st))
        return f;
    vincular_texto(st, 1, estado);
    vincular_texto(st, 2, mensaje);
    vincular_texto(st, 3, momento);
    sqlite3_bind_int64(st, 4, secuencia);
    vincular_texto(st, 5, identidad_);
    Fallo f = comenzar();
    if (!f) {
        const int r = sqlite3_step(st);
        if (r != SQLITE_DONE) f = fallo(r);
    }
    sqlite3_finalize(st);
    const QByteArray borrado =
        QStringLiteral("DELETE FROM pendientes WHERE secuencia=%1").arg(secuencia).toUtf8();
    if (!f) f = ejecutar(borrado.constData());
    if (f) {
        deshacer();
        return f;
    }
    return confirmar();
}

Fallo ColaPendientes::leer_rechazadas(std::vector<FilaRechazada>& filas) {
    filas.clear();
    if (db_ == nullptr) return {fallos::kSinObjeto, QStringLiteral("cola cerrada")};
    if (!hayTabla("rechazadas")) return {};
    sqlite3_stmt* st = nullptr;
    if (Fallo f =
            preparar(QStringLiteral(
                         "SELECT secuencia,%1,sqlstate,mensaje,rechazada,identidad FROM rechazadas "
                         "ORDER BY secuencia")
                         .arg(esquema::lista_columnas()),
                     st))
        return f;
    int r;
    while ((r = sqlite3_step(st)) == SQLITE_ROW) {
        FilaRechazada x;
        x.secuencia = sqlite3_column_int64(st, 0);
        int i = 1;
        for (const esquema::Columna& c : esquema::kColumnas) {
            if (c.texto == nullptr)
                x.fila.nivel = sqlite3_column_int(st, i);
            else
                x.fila.*c.texto = texto_columna(st, i);
            ++i;
        }
        x.estado = texto_columna(st, i);
        x.mensaje = texto_columna(st, i + 1);
        x.momento = texto_columna(st, i + 2);
        x.identidad =
            sqlite3_column_type(st, i + 3) == SQLITE_NULL ? identidad_ : texto_columna(st, i + 3);
        filas.push_back(std::move(x));
    }
    sqlite3_finalize(st);
    return r == SQLITE_DONE ? Fallo{} : fallo(r);
}

Fallo ColaPendientes::resolver_rechazada(qint64 secuencia, const QString& estado,
                                         const QString& mensaje, const QString& momento) {
    sqlite3_stmt* st = nullptr;
    if (Fallo f = preparar(
            estado.isEmpty()
                ? QStringLiteral("DELETE FROM rechazadas WHERE secuencia=?4")
                : QStringLiteral("UPDATE rechazadas SET sqlstate=?1,mensaje=?2,rechazada=?3 "
                                 "WHERE secuencia=?4"),
            st))
        return f;
    if (!estado.isEmpty()) {
        vincular_texto(st, 1, estado);
        vincular_texto(st, 2, mensaje);
        vincular_texto(st, 3, momento);
    }
    sqlite3_bind_int64(st, 4, secuencia);
    const int r = sqlite3_step(st);
    sqlite3_finalize(st);
    return r == SQLITE_DONE ? Fallo{} : fallo(r);
}

QStringList archivos_de_cola(const QString& carpeta) {
    // pendientes.db first, then pendientes-2.db, pendientes-3.db... by number.
    std::vector<std::pair<int, QString>> numerados;
    const QRegularExpression nombre(QStringLiteral("^pendientes(?:-([0-9]{1,9}))?\\.db$"));
    for (const QString& a :
         QDir(carpeta).entryList({QStringLiteral("pendientes*.db")}, QDir::Files)) {
        const QRegularExpressionMatch m = nombre.match(a);
        if (m.hasMatch()) numerados.emplace_back(m.captured(1).toInt(), a);
    }
    std::sort(numerados.begin(), numerados.end());
    QStringList r;
    for (const auto& [numero, a] : numerados) r << QDir(carpeta).filePath(a);
    return r;
}

Fallo ColaPendientes::comenzar() {
    if (db_ == nullptr) return {fallos::kSinObjeto, QStringLiteral("cola cerrada")};
    return ejecutar("BEGIN IMMEDIATE");
}

Fallo ColaPendientes::confirmar() {
    if (db_ == nullptr) return {fallos::kSinObjeto, QStringLiteral("cola cerrada")};
    const Fallo f = ejecutar("COMMIT");
    if (f) deshacer();
    return f;
}

void ColaPendientes::deshacer() {
    if (db_ != nullptr && !sqlite3_get_autocommit(db_)) static_cast<void>(ejecutar("ROLLBACK"));
}

Fallo ColaPendientes::encolar(const FilaEvento& fila) {
    if (db_ == nullptr) return {fallos::kSinObjeto, QStringLiteral("cola cerrada")};
    vincular_fila(insercion_, fila);
    const int columna = static_cast<int>(esquema::kColumnas.size()) + 1;
    if (identidadEnvio_.isEmpty())
        sqlite3_bind_null(insercion_, columna);
    else
        sqlite3_bind_text(insercion_, columna, identidadEnvio_.constData(),
                          static_cast<int>(identidadEnvio_.size()), SQLITE_STATIC);
    const int r = sqlite3_step(insercion_);
    sqlite3_reset(insercion_);
    sqlite3_clear_bindings(insercion_);
    return r == SQLITE_DONE ? Fallo{} : fallo(r);
}

Fallo ColaPendientes::leer(qint64 despues, int maximo, FilasPendientes& filas) {
    filas.secuencias.clear();
    filas.valores.clear();
    filas.identidad.clear();
    if (db_ == nullptr) return {fallos::kSinObjeto, QStringLiteral("cola cerrada")};
    sqlite3_bind_int64(lectura_, 1, despues);
    sqlite3_bind_int(lectura_, 2, maximo);
    int r;
    const int columnaIdentidad = static_cast<int>(esquema::kColumnas.size()) + 1;
    QByteArray primera;
    // The values go out as the file holds them, UTF-8, with no conversion.
    while ((r = sqlite3_step(lectura_)) == SQLITE_ROW) {
        const auto* clave =
            reinterpret_cast<const char*>(sqlite3_column_text(lectura_, columnaIdentidad));
        const QByteArray identidad = clave != nullptr ? QByteArray(clave) : identidad_.toUtf8();
        if (filas.secuencias.empty()) {
            primera = identidad;
        } else if (identidad != primera) {
            // The batch ends where the key changes.
            r = SQLITE_DONE;
            break;
        }
        filas.secuencias.push_back(sqlite3_column_int64(lectura_, 0));
        for (int i = 1; i <= static_cast<int>(esquema::kColumnas.size()); ++i) {
            const auto* texto = reinterpret_cast<const char*>(sqlite3_column_text(lectura_, i));
            filas.valores.append(texto != nullptr ? texto : "", sqlite3_column_bytes(lectura_, i));
            filas.valores.append('\0');
        }
    }
    sqlite3_reset(lectura_);
    filas.identidad = QString::fromUtf8(primera);
    return r == SQLITE_DONE ? Fallo{} : fallo(r);
}

Fallo ColaPendientes::borrar_hasta(qint64 secuencia) {
    if (db_ == nullptr) return {fallos::kSinObjeto, QStringLiteral("cola cerrada")};
    return ejecutar("DELETE FROM pendientes WHERE secuencia <= ?", secuencia);
}

Fallo ColaPendientes::contar(qint64& cantidad) {
    return contar_en("pendientes", cantidad);
}

Fallo ColaPendientes::contar_alarmas(qint64& cantidad) {
    return contar_en("alarmas", cantidad);
}

Fallo ColaPendientes::contar_en(const char* tabla, qint64& cantidad) {
    cantidad = 0;
    if (db_ == nullptr) return {fallos::kSinObjeto, QStringLiteral("cola cerrada")};
    sqlite3_stmt* st = nullptr;
    const QByteArray s = QByteArrayLiteral("SELECT count(*) FROM ") + tabla;
    int r = sqlite3_prepare_v2(db_, s.constData(), -1, &st, nullptr);
    if (r == SQLITE_OK && (r = sqlite3_step(st)) == SQLITE_ROW)
        cantidad = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return r == SQLITE_ROW ? Fallo{} : fallo(r);
}

Fallo ColaPendientes::encolar_alarmas(const std::vector<AlarmaPendiente>& alarmas) {
    if (db_ == nullptr) return {fallos::kSinObjeto, QStringLiteral("cola cerrada")};
    if (alarmas.empty()) return {};
    QString s = QStringLiteral("INSERT INTO alarmas (reconocimiento,ciclo,") +
                esquema::lista_columnas_alarma() + QStringLiteral(") VALUES (?,?");
    for (size_t i = 0; i < esquema::kColumnasAlarma.size(); ++i) s += QStringLiteral(",?");
    s += QLatin1Char(')');
    sqlite3_stmt* st = nullptr;
    int r = sqlite3_prepare16_v2(db_, s.utf16(), static_cast<int>(s.size() * 2), &st, nullptr);
    if (r != SQLITE_OK) return fallo(r);
    if (Fallo f = ejecutar("BEGIN IMMEDIATE")) {
        sqlite3_finalize(st);
        return f;
    }
    for (const AlarmaPendiente& a : alarmas) {
        sqlite3_bind_int(st, 1, a.reconocimiento ? 1 : 0);
        if (a.ciclo.isEmpty())
            sqlite3_bind_null(st, 2);
        else
            sqlite3_bind_text16(st, 2, a.ciclo.utf16(), static_cast<int>(a.ciclo.size() * 2),
                                SQLITE_STATIC);
        int i = 3;
        for (const esquema::ColumnaAlarma& c : esquema::kColumnasAlarma) {
            const QString& v = a.fila.*c.texto;
            sqlite3_bind_text16(st, i++,
                                v.isNull() ? reinterpret_cast<const ushort*>(u"") : v.utf16(),
                                static_cast<int>(v.size() * 2), SQLITE_STATIC);
        }
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

Fallo ColaPendientes::leer_alarmas(int maximo, std::vector<AlarmaPendiente>& alarmas) {
    alarmas.clear();
    if (db_ == nullptr) return {fallos::kSinObjeto, QStringLiteral("cola cerrada")};
    const QString s = QStringLiteral("SELECT secuencia,reconocimiento,ciclo,") +
                      esquema::lista_columnas_alarma() +
                      QStringLiteral(" FROM alarmas ORDER BY secuencia LIMIT ?");
    sqlite3_stmt* st = nullptr;
    int r = sqlite3_prepare16_v2(db_, s.utf16(), static_cast<int>(s.size() * 2), &st, nullptr);
    if (r != SQLITE_OK) return fallo(r);
    sqlite3_bind_int(st, 1, maximo);
    while ((r = sqlite3_step(st)) == SQLITE_ROW) {
        AlarmaPendiente a;
        a.secuencia = sqlite3_column_int64(st, 0);
        a.reconocimiento = sqlite3_column_int(st, 1) != 0;
        a.ciclo = texto_columna(st, 2);
        int i = 3;
        for (const esquema::ColumnaAlarma& c : esquema::kColumnasAlarma)
            a.fila.*c.texto = texto_columna(st, i++);
        alarmas.push_back(std::move(a));
    }
    sqlite3_finalize(st);
    return r == SQLITE_DONE ? Fallo{} : fallo(r);
}

Fallo ColaPendientes::borrar_alarmas_hasta(qint64 secuencia) {
    if (db_ == nullptr) return {fallos::kSinObjeto, QStringLiteral("cola cerrada")};
    return ejecutar("DELETE FROM alarmas WHERE secuencia <= ?", secuencia);
}

} // namespace corvane
