// The account-day query behind "Realizar Busqueda" (sentencia_historial, then
// consultar_historial on database slot 0, SQLite) on a year of traffic: 10 million
// rows from 2,000 accounts. Each iteration is one query for a random account and
// day; the reported median is per query. The same queries run on the file with its
// index and on a copy of it without the index.
//
// The database is built once into datos/ of the build folder and reused by later
// runs (and by bench/historia); a missing or unfinished file is built again
// (about a minute). The copy
// without the index is made at every run and removed at the end.

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

#include "consola/exportacion.h"
#include "consola/listado.h"
#include "store/consulta.h"
#include "store/esquema.h"
#include "store/funcionesBaseDatos.h"

using namespace corvane;

namespace {

constexpr qint64 kFilas = 10'000'000;
constexpr int kCuentas = 2000;
constexpr int kDias = 365;
constexpr qint64 kSegundosAnio = qint64{kDias} * 86400;
// Queries measured on each database: every indexed one takes well under a
// millisecond, every one without the index reads the whole table.
constexpr int kConsultasConIndice = 2000;
constexpr int kConsultasSinIndice = 15;
// Rows of the build written between two progress lines.
constexpr qint64 kFilasPorAviso = 1'000'000;
// Page cache of the building connection, in KiB (SQLite's negative cache_size).
constexpr int kCacheConstruccionKiB = 65536;

QDate primer_dia() {
    return {2025, 1, 1};
}

QString archivo_base() {
    return QDir(QStringLiteral(CORVANE_DATOS_BENCH))
        .filePath(QStringLiteral("consulta_10M.sqlite"));
}
QString archivo_sin_indice() {
    return QDir(QStringLiteral(CORVANE_DATOS_BENCH))
        .filePath(QStringLiteral("consulta_10M_sin_indice.sqlite"));
}

// Accounts as long packets store them: four characters of 0-9 b-f.
std::vector<QString> cuentas() {
    const QString digitos = QStringLiteral("0123456789bcdef");
    std::vector<QString> r;
    r.reserve(kCuentas);
    for (int k = 0; k < kCuentas; ++k) {
        int v = k * 25 + 7; // spread over the 15^4 possible accounts
        QString c(4, QLatin1Char('0'));
        for (int i = 3; i >= 0; --i, v /= 15) c[i] = digitos.at(v % 15);
        r.push_back(c);
    }
    return r;
}

bool ejecutar(QSqlQuery& q, const QString& sentencia) {
    if (q.exec(sentencia)) return true;
    std::fprintf(stderr, "bench_consulta: %s: %s\n", qPrintable(sentencia),
                 qPrintable(q.lastError().text()));
    return false;
}

// Writes the year of rows in time order, one transaction and one prepared
// statement, durability off (a failed build is thrown away and done again), then
// builds the index in one pass. Written under a temporary name, renamed when done.
bool construir_base(const QString& ruta) {
    const QString temporal = ruta + QStringLiteral(".construyendo");
    QFile::remove(temporal);
    const QString nombreConexion = QStringLiteral("bench-construccion");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nombreConexion);
        db.setDatabaseName(temporal);
        if (!db.open()) {
            std::fprintf(stderr, "bench_consulta: %s\n", qPrintable(db.lastError().text()));
            return false;
        }
        QSqlQuery q(db);
        ok = ejecutar(q, QStringLiteral("PRAGMA journal_mode=OFF")) &&
             ejecutar(q, QStringLiteral("PRAGMA synchronous=OFF")) &&
             ejecutar(q, QStringLiteral("PRAGMA cache_size=-%1").arg(kCacheConstruccionKiB)) &&
             ejecutar(q, esquema::crear_tabla_sqlite()) && db.transaction() &&
             q.prepare(QStringLiteral(
                 "INSERT INTO TABLA_GENERAL (gral_numero_abonado,gral_nivel_señal,"
                 "gral_indicador_paquete,gral_hora_fecha,gral_origen,gral_origen_todos,"
                 "gral_evento,gral_particion,gral_zona) VALUES (?,?,?,?,?,?,?,?,?)"));
        if (ok) {
            const std::vector<QString> abonados = cuentas();
            std::vector<QString> fechas; // "yyyy-MM-dd " of every day
            for (int d = 0; d < kDias; ++d)
                fechas.push_back(primer_dia().addDays(d).toString(QStringLiteral("yyyy-MM-dd ")));
            const QString eventos[] = {QStringLiteral("E130"), QStringLiteral("R130"),
                                       QStringLiteral("E401"), QStringLiteral("R401"),
                                       QStringLiteral("E602")};
            std::mt19937 azar(20261206);
            QElapsedTimer reloj;
            reloj.start();
            for (qint64 i = 0; i < kFilas && ok; ++i) {
                const qint64 segundo = i * kSegundosAnio / kFilas;
                const auto dia = static_cast<size_t>(segundo / 86400);
                const auto s = static_cast<int>(segundo % 86400);
                char hora[9];
                std::snprintf(hora, sizeof hora, "%02d:%02d:%02d", s / 3600, s / 60 % 60, s % 60);
                const auto origen = static_cast<int>(azar() % 16);
                q.bindValue(0, abonados[azar() % kCuentas]);
                q.bindValue(1, static_cast<int>(azar() % 16) + 1);
                q.bindValue(2, QStringLiteral("00"));
                q.bindValue(3, QString(fechas[dia] + QLatin1String(hora, 8)));
                q.bindValue(4, QString::number(origen));
                q.bindValue(5, QStringLiteral("00"));
                q.bindValue(6, eventos[azar() % 5]);
                q.bindValue(7, QStringLiteral("01"));
                q.bindValue(8, QStringLiteral("012"));
                ok = q.exec();
                if (!ok)
                    std::fprintf(stderr, "bench_consulta: %s\n", qPrintable(q.lastError().text()));
                if ((i + 1) % kFilasPorAviso == 0)
                    std::fprintf(stderr, "  %lld filas, %.1f s\n", static_cast<long long>(i + 1),
                                 static_cast<double>(reloj.elapsed()) / 1000);
            }
            q.finish();
            ok = ok && db.commit();
            const qint64 filas = reloj.elapsed();
            ok = ok && ejecutar(q, esquema::kCrearIndice) && ejecutar(q, esquema::kCrearIndiceMomentoSQLite);
            std::fprintf(stderr, "  filas en %.1f s, índices en %.1f s\n",
                         static_cast<double>(filas) / 1000,
                         static_cast<double>(reloj.elapsed() - filas) / 1000);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(nombreConexion);
    if (!ok) {
        QFile::remove(temporal);
        return false;
    }
    QFile::remove(ruta);
    return QFile::rename(temporal, ruta);
}

// The copy without the index. The engine adds the index to a writable file that
// lacks it when it opens it, so the copy keeps the index until the engine has it
// open and then drops it through the same connection that the queries use.
bool abrir_sin_indice(ConjuntoBases& bases) {
    const QString copia = archivo_sin_indice();
    for (const char* sufijo : {"", "-wal", "-shm"}) {
        QFile::remove(copia + QLatin1String(sufijo));
        if (QFile::exists(archivo_base() + QLatin1String(sufijo)) &&
            !QFile::copy(archivo_base() + QLatin1String(sufijo), copia + QLatin1String(sufijo)))
            return false;
    }
    abrir_base_de_datos(copia, 0, bases);
    // The index by moment would narrow the query to its day: it goes too.
    if (!bases.base[0] || bases.base[0]->ejecutar(QStringLiteral("DROP INDEX ") + esquema::kIndice) ||
        bases.base[0]->ejecutar(QStringLiteral("DROP INDEX ") + esquema::kIndiceMomento))
        return false;
    std::unique_ptr<Registros> rs;
    const Fallo fallo = bases.base[0]->abrirRegistros(
        QStringLiteral("select count(*) as n from sqlite_master where type='index'"), rs);
    QVariant n;
    return !fallo && rs && !rs->valor(QStringLiteral("n"), n) && n.toInt() == 0;
}

void borrar_sin_indice() {
    for (const char* sufijo : {"", "-wal", "-shm"})
        QFile::remove(archivo_sin_indice() + QLatin1String(sufijo));
}

struct Consulta {
    QString cuenta;
    QDate dia;
};

std::vector<Consulta> consultas_al_azar(int cantidad) {
    const std::vector<QString> abonados = cuentas();
    std::mt19937 azar(7);
    std::vector<Consulta> r;
    for (int i = 0; i < cantidad; ++i) {
        const QString& cuenta = abonados[azar() % kCuentas];
        r.push_back({cuenta, primer_dia().addDays(static_cast<qint64>(azar() % kDias))});
    }
    return r;
}

QString consultar(ConjuntoBases& bases, const Consulta& c) {
    return consultar_historial(sentencia_historial(c.cuenta, 0, 0, c.dia), 0, 0, bases);
}

// One query per iteration; the median of their times, in microseconds, goes to
// `mediana` and to the counter mediana_us.
void medir(benchmark::State& estado, ConjuntoBases& bases, const std::vector<Consulta>& consultas,
           double& mediana) {
    std::vector<double> tiempos;
    qint64 lineas = 0;
    size_t i = 0;
    for (auto _ : estado) {
        const Consulta& c = consultas[i++ % consultas.size()];
        const auto t0 = std::chrono::steady_clock::now();
        const QString listado = consultar(bases, c);
        const auto t1 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(listado.constData());
        tiempos.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
        lineas += listado.count(QStringLiteral("\r\n"));
    }
    std::sort(tiempos.begin(), tiempos.end());
    const size_t n = tiempos.size();
    mediana = n == 0 ? 0 : (n % 2 ? tiempos[n / 2] : (tiempos[n / 2 - 1] + tiempos[n / 2]) / 2);
    estado.counters["mediana_us"] = mediana;
    estado.counters["filas_por_consulta"] =
        n == 0 ? 0 : static_cast<double>(lineas) / static_cast<double>(n);
}

// The same SELECT through the engine alone, its rows walked but not listed: how
// much of a query is the database's and how much is building the listing.
void medir_solo_motor(benchmark::State& estado, ConjuntoBases& bases,
                      const std::vector<Consulta>& consultas) {
    size_t i = 0;
    qint64 filas = 0;
    for (auto _ : estado) {
        const Consulta& c = consultas[i++ % consultas.size()];
        std::unique_ptr<Registros> rs;
        static_cast<void>(bases.base[0]->abrirRegistros(sentencia_historial(c.cuenta, 0, 0, c.dia), rs));
        for (; rs && !rs->alFinal(); static_cast<void>(rs->siguiente())) ++filas;
    }
    estado.counters["filas_por_consulta"] =
        static_cast<double>(filas) / static_cast<double>(std::max<qint64>(1, estado.iterations()));
}

} // namespace

// One account's whole year in the detailed listing (escribir_listado, the
// code behind --detalle) on the database `ruta` (the file or a server's URL),
// for `cantidad` random accounts: prints "mediana_ms filas_por_consulta".
int medir_cuenta_anio(const QString& ruta, int cantidad) {
    ConjuntoBases bases;
    inic_base_de_datos(bases);
    abrir_base_de_datos(ruta, 0, bases);
    if (!bases.base[0]) {
        std::fprintf(stderr, "bench_consulta: no se pudo abrir %s\n", qPrintable(ruta));
        return 1;
    }
    const std::vector<QString> abonados = cuentas();
    std::mt19937 azar(11);
    std::vector<QString> elegidas;
    for (int i = 0; i < cantidad; ++i) elegidas.push_back(abonados[azar() % kCuentas]);
    std::vector<double> tiempos;
    qint64 filas = 0;
    // A first pass reads the accounts' pages into the system's cache, as a
    // database in use has them; the second is measured.
    for (int i = 0; i < 2 * cantidad; ++i) {
        const ConsultaIntervalo c{elegidas[static_cast<size_t>(i % cantidad)], primer_dia(),
                                  primer_dia().addDays(kDias - 1), 0};
        qint64 bytes = 0, n = 0;
        const auto t0 = std::chrono::steady_clock::now();
        const Fallo f = escribir_listado(*bases.base[0], c, FormaListado::Detalle,
                                         [&bytes](const QByteArray& b) {
                                             bytes += b.size();
                                             return Fallo{};
                                         },
                                         n);
        const auto t1 = std::chrono::steady_clock::now();
        if (f || bytes == 0) {
            std::fprintf(stderr, "bench_consulta: %s\n", qPrintable(f.detalle));
            return 1;
        }
        if (i < cantidad) continue;
        tiempos.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        filas += n;
    }
    std::sort(tiempos.begin(), tiempos.end());
    std::printf("%.2f %lld\n", tiempos[tiempos.size() / 2], static_cast<long long>(filas / cantidad));
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 3 && qstrcmp(argv[1], "--cuenta-anio") == 0) return medir_cuenta_anio(QString::fromLocal8Bit(argv[2]), 101);
    // --solo-construir: the database is built if missing and its path printed;
    // nothing is measured (bench/historia lists it through the whole program).
    // --cuenta-anio RUTA: see medir_cuenta_anio.
    const bool soloConstruir = argc == 2 && qstrcmp(argv[1], "--solo-construir") == 0;
    if (!soloConstruir) {
        benchmark::Initialize(&argc, argv);
        if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    }

    QDir().mkpath(QStringLiteral(CORVANE_DATOS_BENCH));
    if (!QFile::exists(archivo_base())) {
        std::fprintf(stderr, "Construyendo %s (%lld filas, %d cuentas, %d días)...\n",
                     qPrintable(archivo_base()), static_cast<long long>(kFilas), kCuentas, kDias);
        if (!construir_base(archivo_base())) {
            std::fprintf(stderr, "bench_consulta: no se pudo construir la base\n");
            return 1;
        }
    }
    if (soloConstruir) {
        std::printf("%s\n", qPrintable(archivo_base()));
        return 0;
    }

    ConjuntoBases conIndice, sinIndice;
    inic_base_de_datos(conIndice);
    inic_base_de_datos(sinIndice);
    if (!abrir_sin_indice(sinIndice)) {
        std::fprintf(stderr, "bench_consulta: no se pudo preparar la copia sin índice\n");
        borrar_sin_indice();
        return 1;
    }
    abrir_base_de_datos(archivo_base(), 0, conIndice);
    if (!conIndice.base[0]) {
        std::fprintf(stderr, "bench_consulta: no se pudo abrir %s\n", qPrintable(archivo_base()));
        return 1;
    }

    const std::vector<Consulta> consultas = consultas_al_azar(kConsultasConIndice);
    // Both databases hold the same rows: the first queries must list the same lines.
    for (int i = 0; i < 3; ++i) {
        if (consultar(conIndice, consultas[static_cast<size_t>(i)]) !=
            consultar(sinIndice, consultas[static_cast<size_t>(i)])) {
            std::fprintf(stderr, "bench_consulta: las dos bases no dan el mismo listado\n");
            return 1;
        }
    }

    double medianaCon = 0;
    double medianaSin = 0;
    benchmark::RegisterBenchmark(
        "ConsultaCuentaDia/con_indice",
        [&](benchmark::State& e) { medir(e, conIndice, consultas, medianaCon); })
        ->Iterations(kConsultasConIndice)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(
        "ConsultaCuentaDia/con_indice_solo_motor",
        [&](benchmark::State& e) { medir_solo_motor(e, conIndice, consultas); })
        ->Iterations(kConsultasConIndice)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(
        "ConsultaCuentaDia/sin_indice",
        [&](benchmark::State& e) { medir(e, sinIndice, consultas, medianaSin); })
        ->Iterations(kConsultasSinIndice)
        ->Unit(benchmark::kMillisecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    if (medianaCon > 0 && medianaSin > 0) {
        std::printf("Mediana por consulta: con índice %.1f µs, sin índice %.1f ms; razón %.0f\n",
                    medianaCon, medianaSin / 1000, medianaSin / medianaCon);
    }
    sinIndice = ConjuntoBases{};
    borrar_sin_indice();
    return 0;
}
