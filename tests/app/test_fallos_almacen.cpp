// Storage faults survived by the headless service: the data folder turned
// read-only, the disk full. In each, every row that fails leaves one "NuevoDato"
// record, reception and display go on, and rows are stored again as soon as the
// fault ends. With a central PostgreSQL server (down, stopped, its connections
// cut, frozen, its database missing; the console itself killed; the primary lost
// and its standby promoted), every row shown reaches the server once, in arrival
// order, and each outage is logged once. A data folder put back from a copy,
// rolled back in place or cloned to a second workstation stores each row once.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <set>

#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <functional>
#include <iostream>
#include <iterator>
#include <numeric>

#include "apoyo/apoyo.h"
#include "apoyo/procesos.h"
#include "common/registro_errores.h"
#include "cola/cola_pendientes.h"
#include "tools/generador.h"

using namespace corvane::pruebas;

namespace {

// The service's rows reach the database in batches: waits on them allow 20 s.
constexpr int kEspera = 20000;

int filas(const QString& base) { return static_cast<int>(leer_filas(base).size()); }

void pausa(qint64 ms) {
    if (ms > 0) esperar_que([] { return false; }, static_cast<int>(ms));
}

// Ten-character packets numbered from `desde`: the event (characters 2-3) and the
// account (4-6) of packet k's one row spell k, so stored rows tell their order.
QByteArray numerados(int desde, int n) {
    QByteArray d;
    for (int k = desde; k < desde + n; ++k)
        d += "E" + QByteArray::number(k >> 12, 16).rightJustified(2, '0') +
             QByteArray::number(k & 0xfff, 16).rightJustified(3, '0') + "9001";
    return d;
}

// The event lines ("Cuenta=...") of a console's standard output, sorted.
QStringList lineas_de_eventos(const QString& salida) {
    QStringList r = salida.split(QStringLiteral("\r\n")).filter(QRegularExpression(QStringLiteral("^Cuenta=")));
    r.sort();
    return r;
}

// `corvane --sin-ventana` on the slave side of a pseudo-terminal that the test
// writes to; with `vista`, a workstation without a port (`--vista`).
class Servicio {
public:
    Servicio(const QString& carpeta, const QStringList& extra = {}, bool vista = false) {
        if (pty_.ruta().isEmpty()) return;
        QStringList args{"--sin-ventana", "--carpeta", carpeta};
        if (vista) args << "--vista";
        else args << "--puerto" << pty_.ruta() << "--velocidad" << "19200";
        p_.iniciar(kCorvane, args + extra);
    }
    // `n` numbered ten-character packets from `desde` on: one report and one row each.
    void enviar(int desde, int n) { pty_.escribir(numerados(desde, n)); }
    // Writes `datos` in 20 pieces spread over `ms`, as a busy line brings them.
    void escribir(const QByteArray& datos, int ms = 0) {
        const qsizetype pedazo = datos.size() / 20 + 1;
        for (qsizetype i = 0; i < datos.size(); i += pedazo, pausa(ms / 20))
            pty_.escribir(datos.mid(i, pedazo));
    }
    // The 20 reports before a fault: shown, and their rows stored in `base`.
    bool antesDelFallo(const QString& base) {
        enviar(0, 20);
        return esperarInformes(20) && esperar_que([&] { return filas(base) == 20; }, kEspera);
    }
    int informes() const { return static_cast<int>(p_.salida().count("\r\n")); }
    bool esperarInformes(int n) { return esperar_que([&] { return informes() >= n; }, kEspera); }
    int detener() { return p_.parar(SIGTERM, 10000); }
    QString errores() const { return p_.errores(); }
    // The event lines shown so far, sorted.
    QStringList lineas() const { return lineas_de_eventos(p_.texto()); }

private:
    Pty pty_;
    Proceso p_; // stopped before the pseudo-terminal closes
};


// Records labelled NuevoDato, in error.log or, when the log itself cannot be
// written, on standard error.
int registros_nuevo_dato(const QString& carpeta, const QString& errores) {
    const QString log = leer_texto(QDir(carpeta).filePath(QStringLiteral("error.log")));
    return static_cast<int>(log.count(QStringLiteral("\r\nNuevoDato\r\n")) +
                            errores.count(QStringLiteral("\r\nNuevoDato\r\n")));
}

// A small tmpfs of the test's own (`megas` MiB), for faults of the filesystem itself.
class Montaje {
public:
    explicit Montaje(const QString& dir, int megas = 4) : dir_(dir) {
        const QByteArray tamano = "size=" + QByteArray::number(megas) + "m";
        montado_ = ::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0,
                           tamano.constData()) == 0;
    }
    ~Montaje() {
        if (montado_) ::umount2(QFile::encodeName(dir_).constData(), MNT_DETACH);
    }
    bool montado() const { return montado_; }

private:
    QString dir_;
    bool montado_ = false;
};

// Fills the filesystem of `relleno` to the last byte with that file.
bool llenar(const QString& relleno) {
    QFile f(relleno);
    if (!f.open(QIODevice::WriteOnly)) return false;
    const QByteArray bloque(4096, 'x');
    while (f.write(bloque) == bloque.size() && f.flush()) {
    }
    const QByteArray byte(1, 'x');
    while (f.write(byte) == 1 && f.flush()) {
    }
    return true;
}

#define REQUIERE_ROOT()                                                                            \
    do {                                                                                           \
        if (::geteuid() != 0) GTEST_SKIP() << "montar un tmpfs propio requiere ser root";           \
    } while (0)

// On this platform a file made read-only keeps the write access of the
// descriptors already open on it: the console goes on storing every row, and
// nothing is lost or logged.
TEST(FallosAlmacen, ArchivoHechoDeSoloLecturaEnMarcha) {
    QTemporaryDir dir;
    const QString base = QDir(dir.path()).filePath(QStringLiteral("baseTolm.mdb"));
    Servicio s(dir.path());
    ASSERT_TRUE(s.antesDelFallo(base)) << s.errores().toStdString();
    for (const char* sufijo : {"", "-wal", "-shm"})
        QFile::setPermissions(base + QLatin1String(sufijo), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    s.enviar(100, 15);
    ASSERT_TRUE(s.esperarInformes(35)) << s.errores().toStdString();
    EXPECT_TRUE(esperar_que([&] { return filas(base) == 35; }, kEspera)) << filas(base);
    EXPECT_EQ(registros_nuevo_dato(dir.path(), s.errores()), 0);
    EXPECT_EQ(s.detener(), 0);
}

// The database file removed under the running service: the next rows go into a
// file created anew on the same path, with nothing logged and nothing shown lost.
TEST(FallosAlmacen, ArchivoBorradoEnMarcha) {
    QTemporaryDir dir;
    const QString base = QDir(dir.path()).filePath(QStringLiteral("baseTolm.mdb"));
    Servicio s(dir.path());
    ASSERT_TRUE(s.antesDelFallo(base)) << s.errores().toStdString();
    for (const char* sufijo : {"", "-wal", "-shm"}) QFile::remove(base + QLatin1String(sufijo));
    s.enviar(100, 10);
    ASSERT_TRUE(s.esperarInformes(30)) << s.errores().toStdString();
    EXPECT_TRUE(esperar_que([&] { return QFile::exists(base) && filas(base) == 10; }, kEspera));
    EXPECT_EQ(registros_nuevo_dato(dir.path(), s.errores()), 0);
    EXPECT_EQ(s.detener(), 0);
}

TEST(FallosAlmacen, DiscoLlenoEnMarcha) {
    REQUIERE_ROOT();
    QTemporaryDir dir;
    const QString datos = QDir(dir.path()).filePath(QStringLiteral("datos"));
    QDir().mkpath(datos);
    Montaje m(datos);
    ASSERT_TRUE(m.montado());
    const QString base = QDir(datos).filePath(QStringLiteral("baseTolm.mdb"));
    Servicio s(datos);
    ASSERT_TRUE(s.antesDelFallo(base)) << s.errores().toStdString();

    const QString relleno = QDir(datos).filePath(QStringLiteral("relleno"));
    ASSERT_TRUE(llenar(relleno));
    // Enough rows to need new pages of the write-ahead log. Neither the file nor
    // the queue beside it can grow: the rows wait in memory, the file's failure
    // and the queue's are logged once each, and the operator is told.
    s.enviar(1000, 400);
    ASSERT_TRUE(s.esperarInformes(420)) << s.errores().toStdString();
    EXPECT_TRUE(esperar_que([&] { return s.errores().contains(QStringLiteral("Base de datos no disponible: ")); },
                            kEspera))
        << s.errores().toStdString();
    EXPECT_EQ(registros_nuevo_dato(datos, s.errores()), 2) << s.errores().toStdString();

    // Space comes back: every row is stored, once, and nothing more is logged.
    QFile::remove(relleno);
    s.enviar(2000, 10);
    ASSERT_TRUE(s.esperarInformes(430));
    EXPECT_TRUE(esperar_que([&] { return filas(base) == 430; }, kEspera)) << filas(base);
    EXPECT_TRUE(esperar_que([&] { return s.errores().contains(QStringLiteral("Base de datos disponible: ")); },
                            kEspera));
    EXPECT_EQ(registros_nuevo_dato(datos, s.errores()), 2);
    EXPECT_EQ(s.detener(), 0);
    const auto guardadas = leer_filas(base);
    std::set<QString> distintas;
    for (const Fila& f : guardadas) distintas.insert(f.abonado + f.evento + f.momento);
    EXPECT_EQ(distintas.size(), guardadas.size());
}

// The embedded file unavailable for a while, then usable again: the reports are
// shown at once all along, every row ends up stored once, the failure is logged
// once, the operator is told, and SIGTERM during the fault ends the service
// within 2 s, the rows not yet stored kept for the next start.
struct CasoArchivo {
    const char* nombre;
    // Makes the file unavailable (before the start when `alArrancar`); the returned
    // function mends it.
    std::function<std::function<void()>(const QString& base)> estropear;
    bool alArrancar;
    qint32 numero; // the failure number logged
};

class ArchivoNoDisponible : public testing::TestWithParam<CasoArchivo> {};

TEST_P(ArchivoNoDisponible, NadaSePierdeYSeGuardaUnaVez) {
    const CasoArchivo& c = GetParam();
    QTemporaryDir dir;
    const QString base = QDir(dir.path()).filePath(QStringLiteral("baseTolm.mdb"));
    std::function<void()> arreglar;
    std::unique_ptr<Servicio> s;
    if (c.alArrancar) {
        arreglar = c.estropear(base);
        s = std::make_unique<Servicio>(dir.path());
        s->enviar(0, 20);
        ASSERT_TRUE(s->esperarInformes(20)) << s->errores().toStdString();
    } else {
        s = std::make_unique<Servicio>(dir.path());
        ASSERT_TRUE(s->antesDelFallo(base)) << s->errores().toStdString();
        arreglar = c.estropear(base);
    }
    s->enviar(100, 30);
    ASSERT_TRUE(s->esperarInformes(50)) << s->errores().toStdString();
    EXPECT_TRUE(esperar_que([&] { return s->errores().contains(QStringLiteral("Base de datos no disponible: ")); },
                            kEspera))
        << s->errores().toStdString();
    // Stopped in the middle of the fault: quickly, nothing is lost, and what
    // waits in the queue is said.
    QElapsedTimer reloj;
    reloj.start();
    EXPECT_EQ(s->detener(), 3);
    EXPECT_LT(reloj.elapsed(), 2000);
    EXPECT_TRUE(s->errores().contains(QStringLiteral("eventos pendientes en la cola local"))) << s->errores().toStdString();
    arreglar();
    s = std::make_unique<Servicio>(dir.path());
    s->enviar(200, 10);
    ASSERT_TRUE(s->esperarInformes(10));
    EXPECT_TRUE(esperar_que([&] { return filas(base) == 60; }, kEspera)) << filas(base);
    const QString log = leer_texto(QDir(dir.path()).filePath(QStringLiteral("error.log")));
    EXPECT_EQ(log.count(QStringLiteral("****** Error *******")), 1) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Error: %1 ").arg(c.numero))) << log.toStdString();
    EXPECT_EQ(s->detener(), 0);
    std::set<QString> cuentas;
    for (const Fila& f : leer_filas(base)) cuentas.insert(f.abonado);
    EXPECT_EQ(cuentas.size(), 60u);
}

INSTANTIATE_TEST_SUITE_P(
    Casos, ArchivoNoDisponible,
    testing::Values(
        // Another process holds the write lock of the file.
        CasoArchivo{"BloqueadaPorOtroProceso",
                    [](const QString& base) -> std::function<void()> {
                        auto otro = std::make_shared<Proceso>();
                        otro->iniciar(QStringLiteral("sqlite3"), {base});
                        otro->escribir("BEGIN IMMEDIATE;\nINSERT INTO TABLA_GENERAL "
                                       "(gral_numero_abonado) VALUES ('x');\n");
                        otro->esperarEscrito(30000);
                        pausa(300);
                        return [otro] {
                            otro->escribir("ROLLBACK;\n.quit\n");
                            otro->esperarFin(5000);
                        };
                    },
                    false, corvane::fallos::kBloqueada},
        // A folder where the file should be, at start: never written into.
        CasoArchivo{"CarpetaEnLugarDelArchivo",
                    [](const QString& base) -> std::function<void()> {
                        QDir().mkpath(base);
                        return [base] { QDir(base).removeRecursively(); };
                    },
                    true, corvane::fallos::kArchivoNoEncontrado},
        // A text file where the file should be, at start: left as it is.
        CasoArchivo{"TextoEnLugarDelArchivo",
                    [](const QString& base) -> std::function<void()> {
                        QFile f(base);
                        f.open(QIODevice::WriteOnly);
                        f.write(QByteArray("no es una base\n").repeated(100));
                        f.close();
                        return [base] {
                            EXPECT_EQ(leer_archivo(base), QByteArray("no es una base\n").repeated(100));
                            QFile::remove(base);
                        };
                    },
                    true, corvane::fallos::kNoEsBaseDeDatos},
        // A table by that name with other columns, at start: never written into;
        // dropped, the console creates its own.
        CasoArchivo{"TablaConOtrasColumnas",
                    [](const QString& base) -> std::function<void()> {
                        ejecutar_directo(base, {QStringLiteral("DROP TABLE TABLA_GENERAL"),
                                                QStringLiteral("CREATE TABLE TABLA_GENERAL (otra TEXT)")});
                        return [base] { ejecutar_directo(base, {QStringLiteral("DROP TABLE TABLA_GENERAL")}); };
                    },
                    true, corvane::fallos::kSentenciaRechazada}),
    [](const auto& caso) { return std::string(caso.param.nombre); });

// Rows waiting in the local queue of `carpeta`, read by the sqlite3 shell.
int en_cola(const QString& carpeta) {
    bool ok = false;
    const int n = ejecutar(QStringLiteral("sqlite3"),
                           {QDir(carpeta).filePath(corvane::kArchivoPendientes),
                            QStringLiteral("select count(*) from pendientes")},
                           {}, 30000)
                      .salida.trimmed()
                      .toInt(&ok);
    return ok ? n : -1;
}

std::vector<Fila> sin_momentos(std::vector<Fila> filas) {
    for (Fila& f : filas) f.momento.clear();
    return filas;
}

// The simulator's traffic in pieces (before a fault, three during it, after it),
// the rows a correct console stores for each, and those of the whole in order, as
// a replay stores them into SQLite.
struct Trafico {
    std::array<QByteArray, 5> trozos;
    std::array<int, 5> filas{};
    std::vector<Fila> referencia;
    int hasta(size_t trozo) const {
        return std::accumulate(filas.begin(), filas.begin() + trozo + 1, 0);
    }
};

Trafico trafico() {
    Trafico t;
    corvane::simulador::Generador g(23);
    const std::array<int, 5> paquetes{200, 500, 500, 500, 300};
    for (size_t i = 0; i < t.trozos.size(); ++i) {
        corvane::simulador::Resumen r;
        for (int k = 0; k < paquetes[i]; ++k) {
            const auto p = g.siguiente();
            r.contar(p);
            t.trozos[i] += QByteArray::fromStdString(p.bytes);
        }
        t.filas[i] = static_cast<int>(r.filas);
    }
    QTemporaryDir dir;
    ejecutar(kCorvane, {"--reproducir", "-", "--carpeta", dir.path()},
             std::accumulate(t.trozos.begin(), t.trozos.end(), QByteArray()));
    t.referencia =
        sin_momentos(leer_filas(QDir(dir.path()).filePath(QStringLiteral("baseTolm.mdb"))));
    return t;
}

// What the status line said of the database.
std::string avisos(const QString& errores) {
    return errores.split(QLatin1Char('\n'))
        .filter(QStringLiteral("Base de datos"))
        .join(QLatin1Char('\n'))
        .toStdString();
}
const QString kNoDisponible = QStringLiteral("Base de datos no disponible: ");
const QString kDisponible = QStringLiteral("Base de datos disponible: ");

// One step of a case: an action of postgres-prueba.sh, the case's database
// dropped or created, or the console's connections cut; true when done.
bool paso(ServidorPropio& pg, const QString& base, const char* accion) {
    const QLatin1String a(accion);
    const QString sentencia = (a == "borrar" ? "DROP DATABASE " : "CREATE DATABASE ") + base;
    if (a == "borrar" || a == "crear") return pg.psql("postgres", sentencia) != "error";
    // The console logs in as the case's role, which is missing (a refused login) until created.
    if (a == "sin_rol") return pg.psql("postgres", "DROP ROLE IF EXISTS " + base) != "error";
    if (a == "con_rol") return pg.psql("postgres", "CREATE ROLE " + base + " LOGIN SUPERUSER") != "error";
    const QString cortar = QStringLiteral("SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity "
                                          "WHERE application_name='corvane'");
    if (a == "cortar") return pg.psql(base, cortar) == "1";
    // The server closes every session of the case's database idle for a second,
    // from the console's next connection on.
    if (a == "reposo")
        return pg.psql(base, "ALTER DATABASE " + base + " SET idle_session_timeout = '1s'") != "error" &&
               pg.psql(base, cortar) == "1";
    return pg.hacer(accion) == 0;
}

struct CasoServidor {
    const char* nombre;
    bool alArrancar;     // the fault begins before the console starts
    const char* empieza; // the step that begins it (cuts: one before each piece)
    const char* termina; // the step that ends it (frozen: after SIGTERM to the console)
    int cortes;          // outages the operator is told of, each logged once
    qint32 numero;       // what error.log says of them
};

// What a failure numbered `n` makes the operator read, whatever language the
// server speaks: the status line's cause, --consultar's reason and the viewer's
// alert (`consulta` and `vista`, taken while the fault lasts).
void causas_dichas(qint32 n, const QString& errores, const QString& consulta, const QString& vista) {
    const QString texto = corvane::mensaje_de_error(n);
    EXPECT_TRUE(errores.contains(QStringLiteral("Causa: (%1)").arg(texto))) << avisos(errores);
    EXPECT_TRUE(consulta.contains(QStringLiteral("»: ") + texto[0].toLower() + texto.mid(1))) << consulta.toStdString();
    EXPECT_TRUE(vista.contains(QStringLiteral(" (%1)").arg(texto))) << vista.toStdString();
}

void probar(ServidorPropio& pg, const CasoServidor& c, const Trafico& t) {
    const QString base = QString::fromLatin1(c.nombre).toLower();
    QString url = pg.url(base);
    if (QLatin1String(c.empieza) == "sin_rol") url.replace(QStringLiteral("//postgres:"), "//" + base + ":");
    const auto hay = [&](int n) { return esperar_que([&] { return pg.filas(base) == n; }, 60000); };
    const bool cortes = QLatin1String(c.empieza) == "cortar",
               congelado = QLatin1String(c.empieza) == "congelar";
    ASSERT_TRUE(paso(pg, base, "crear"));
    ASSERT_TRUE(!c.alArrancar || paso(pg, base, c.empieza));
    QTemporaryDir dir;
    QElapsedTimer reloj;
    reloj.start();
    auto s = std::make_unique<Servicio>(dir.path(), QStringList{"--base", url});
    QTemporaryDir dirVista;
    std::unique_ptr<Servicio> vista;
    QString consulta;
    // A workstation without a port follows the server through the outage: away
    // from the start, or stopped and started again under it.
    if (c.alArrancar || QLatin1String(c.empieza) == "detener")
        vista = std::make_unique<Servicio>(dirVista.path(), QStringList{"--base", url}, true);
    if (c.alArrancar) {
        consulta = ejecutar(kCorvane,
                            {"--consultar", "1234", "--fecha", "2026-12-06", "--carpeta",
                             dirVista.path(), "--base", url},
                            {}, 30000)
                       .errores;
    }
    // With a fault from the start, the first rows come after the first status
    // checks, as on a quiet line.
    if (c.alArrancar) pausa(2500);
    // A server away from the start is told before any row arrives, in our words.
    const QString caida = QStringLiteral("Base central no disponible desde ");
    EXPECT_TRUE(!c.alArrancar || esperar_que([&] { return s->errores().contains(caida); }, 10000))
        << avisos(s->errores());
    s->escribir(t.trozos[0]);
    ASSERT_TRUE(c.alArrancar || hay(t.filas[0])) << avisos(s->errores());
    ASSERT_TRUE(c.alArrancar || paso(pg, base, c.empieza));
    // A server stopped while no row waits is told as well, before the next rows.
    const bool caido = c.alArrancar || QLatin1String(c.empieza) == "detener";
    EXPECT_TRUE(!caido || esperar_que([&] { return s->errores().contains(caida); }, 10000))
        << avisos(s->errores());
    for (size_t i = 1; i <= 3; ++i) {
        s->escribir(t.trozos[i], cortes ? 0 : 700);
        if (!cortes) continue;
        // Each cut meets the next rows: the connection the server closed is opened
        // anew and the rows go on, with no outage to tell.
        ASSERT_TRUE(hay(t.hasta(i))) << pg.filas(base);
        ASSERT_TRUE(i == 3 || paso(pg, base, c.empieza));
    }
    ASSERT_TRUE(s->esperarInformes(t.hasta(3))) << avisos(s->errores());
    pausa(1500); // a status check (one a second) sees every row of the outage waiting

    if (c.alArrancar) pausa(8000 - reloj.elapsed());
    if (congelado) {
        // A stop ends the console within 2 s; its rows wait for the next start,
        // and it says so.
        reloj.restart();
        EXPECT_EQ(s->detener(), 3);
        EXPECT_LE(reloj.elapsed(), 2000);
        EXPECT_EQ(en_cola(dir.path()), t.hasta(3) - t.filas[0]);
        EXPECT_TRUE(s->errores().contains(
            QStringLiteral("quedan %1 eventos pendientes en la cola local").arg(t.hasta(3) - t.filas[0])));
        EXPECT_EQ(avisos(s->errores()), "");
    }
    ASSERT_TRUE(!c.termina || paso(pg, base, c.termina));
    if (congelado) s = std::make_unique<Servicio>(dir.path(), QStringList{"--base", url});
    ASSERT_TRUE(hay(t.hasta(3))) << pg.filas(base) << avisos(s->errores());
    EXPECT_TRUE(!caido || esperar_que([&] {
        return s->errores().contains(QStringLiteral("Base central disponible de nuevo a las "));
    }, 30000)) << avisos(s->errores());
    s->escribir(t.trozos[4]);
    ASSERT_TRUE(hay(t.hasta(4))) << pg.filas(base);

    // Every row once, in arrival order.
    const std::vector<Fila> guardadas = sin_momentos(leer_filas(pg.url(base)));
    ASSERT_EQ(guardadas.size(), t.referencia.size());
    const auto [a, b] = std::mismatch(guardadas.begin(), guardadas.end(), t.referencia.begin());
    EXPECT_TRUE(a == guardadas.end())
        << "fila " << (a - guardadas.begin()) << ": " << *a << " y no " << *b;
    // The operator is told when rows start to wait and when they are stored, once
    // per outage; where none moved meanwhile, all of them. error.log: one record each.
    esperar_que([&] { return s->errores().count(kDisponible) >= c.cortes; });
    const QString& e = s->errores();
    EXPECT_EQ(e.count(kNoDisponible), c.cortes) << avisos(e);
    EXPECT_EQ(e.count(kDisponible), c.cortes) << avisos(e);
    const int esperaron = t.hasta(3) - (c.alArrancar ? 0 : t.filas[0]);
    const QString guardados = QStringLiteral("%1 eventos pendientes guardados").arg(esperaron);
    EXPECT_TRUE(c.cortes != 1 || e.contains(kDisponible + guardados)) << avisos(e);
    EXPECT_EQ(registros_nuevo_dato(dir.path(), e), c.cortes);
    const QString log = leer_texto(QDir(dir.path()).filePath(QStringLiteral("error.log")));
    EXPECT_TRUE(c.numero == 0 || log.contains(QStringLiteral("Error: %1 ").arg(c.numero)))
        << log.toStdString();
    EXPECT_FALSE(log.contains(ServidorPropio::kClave) || e.contains(ServidorPropio::kClave));
    // The viewer tells the outage and the server's return.
    EXPECT_TRUE(!vista || esperar_que(
                              [&] {
                                  return vista->errores().contains(
                                      QStringLiteral("Base central disponible de nuevo a las "));
                              },
                              10000))
        << (vista ? vista->errores().toStdString() : std::string());
    // Nothing of Qt's or libpq's own English reaches the operator, on either
    // console, and no cause is left empty.
    for (const QString& salida : {e, vista ? vista->errores() : QString()}) {
        for (const char* ingles : {"QSocketNotifier", "removeDatabase", "FATAL", "WARNING", "terminating"})
            EXPECT_FALSE(salida.contains(QLatin1String(ingles))) << salida.toStdString();
        EXPECT_FALSE(salida.contains(QStringLiteral("()"))) << salida.toStdString();
    }
    if (vista && c.alArrancar) causas_dichas(c.numero, e, consulta, vista->errores());
    EXPECT_FALSE(consulta.contains(ServidorPropio::kClave));
    EXPECT_EQ(s->detener(), 0);
}

// Faults from the start (alArrancar) are also the rows that a server speaking
// Spanish must give the same numbers and texts for.
const CasoServidor kCasosServidor[] = {
    {"ApagadoAlArrancar", true, "detener", "arrancar", 1, corvane::fallos::kConexionPerdida},
    {"DetenidoYVueltoAArrancar", false, "detener", "arrancar", 1, corvane::fallos::kConexionPerdida},
    {"ConexionesCortadas", false, "cortar", nullptr, 0, 0},
    {"SesionesCerradasEnReposo", false, "reposo", nullptr, 0, 0},
    {"Congelado", false, "congelar", "descongelar", 0, 0},
    {"BaseInexistente", true, "borrar", "crear", 1, corvane::fallos::kArchivoNoEncontrado},
    {"RolInexistente", true, "sin_rol", "con_rol", 1, corvane::fallos::kAccesoRechazado},
};

TEST(FallosAlmacen, ServidorPostgreSQLCaidoCortadoOCongelado) {
    CORVANE_REQUIERE_SERVIDOR_PROPIO(pg);
    const Trafico t = trafico();
    ASSERT_EQ(static_cast<int>(t.referencia.size()), t.hasta(4)); // as the simulator counts them
    for (const CasoServidor& c : kCasosServidor) {
        SCOPED_TRACE(c.nombre);
        probar(pg, c, t);
        pg.reanudar();
    }
}

// The server's messages in Spanish (lc_messages) change no number and no text.
TEST(FallosAlmacen, ServidorPostgreSQLEnCastellano) {
    qputenv("CORVANE_PG_IDIOMA", "es_ES.UTF-8");
    CORVANE_REQUIERE_SERVIDOR_PROPIO(pg);
    qunsetenv("CORVANE_PG_IDIOMA");
    ASSERT_EQ(pg.psql("postgres", "SHOW lc_messages"), "es_ES.UTF-8");
    const Trafico t = trafico();
    for (const CasoServidor& c : kCasosServidor) {
        if (!c.alArrancar) continue;
        SCOPED_TRACE(c.nombre);
        probar(pg, c, t);
        pg.reanudar();
    }
}

// The numbers of the packets (numerados) whose rows the event table holds, in
// gral_id order.
std::vector<int> numeros_guardados(ServidorPropio& pg, const QString& base) {
    std::vector<int> r;
    const QString filas = pg.psql(
        base,
        "select gral_evento || ' ' || gral_numero_abonado from tabla_general order by gral_id");
    for (const QString& f : filas.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        r.push_back(f.section(QLatin1Char(' '), 0, 0).toInt(nullptr, 16) * 4096 +
                    f.section(QLatin1Char(' '), 1, 1).toInt());
    return r;
}

struct CasoChoque {
    const char* nombre;
    bool enMarcha; // the server takes rows while the rounds are killed
    bool bloqueo;  // then a start moves a batch and waits to remove it from the queue
};

void probar(ServidorPropio& pg, const CasoChoque& c) {
    const QString base = QString::fromLatin1(c.nombre).toLower();
    ASSERT_NE(pg.psql("postgres", "CREATE DATABASE " + base), "error");
    if (!c.enMarcha) {
        ASSERT_EQ(pg.hacer("detener"), 0);
    }
    QTemporaryDir dir;
    QRandomGenerator azar(20261208);
    int lineas = 0; // the reports the last replay showed
    // A replay of `datos` (none: an empty input), SIGKILLed after `ms` unless it
    // ended: its exit status, -1 when killed. The input goes in 16 KiB at a time, as
    // a line brings it, so that the kill finds the replay storing, showing, moving.
    const auto reproducir = [&](const QByteArray& datos, int ms) {
        Proceso p;
        p.iniciar(kCorvane, {"--reproducir", "-", "--base", pg.url(base), "--carpeta", dir.path()});
        QElapsedTimer t;
        t.start();
        for (qsizetype i = 0; i < datos.size() && t.elapsed() < ms; i += 16384) {
            p.escribir(datos.mid(i, 16384));
            p.esperarFin(10);
        }
        p.cerrarEntrada();
        const bool termino = p.esperarFin(static_cast<int>(std::max<qint64>(0, ms - t.elapsed())));
        if (!termino) p.parar(SIGKILL, 10000);
        lineas = static_cast<int>(p.salida().count("\r\n"));
        return termino ? p.estado() : -1;
    };
    constexpr int kVueltas = 8, kPorVuelta = 10000;
    std::array<int, kVueltas> mostradas{};
    for (size_t v = 0; v < kVueltas; ++v) {
        reproducir(numerados(static_cast<int>(v) * kPorVuelta, kPorVuelta),
                   static_cast<int>(azar.bounded(250)));
        mostradas[v] = lineas;
    }
    if (!c.enMarcha) {
        ASSERT_EQ(pg.hacer("arrancar"), 0);
    }
    if (c.bloqueo) {
        // The queue's write lock held for 6 s, as a long batch of the receive road
        // holds it: the server commits a batch, the queue keeps it until the lock
        // goes, and the console is killed meanwhile. Waiting for the lock is no failure.
        Proceso bloqueo;
        bloqueo.iniciar(QStringLiteral("sh"),
                        {"-c", "(echo 'BEGIN EXCLUSIVE;'; sleep 6; echo 'COMMIT;') | sqlite3 " +
                                   QDir(dir.path()).filePath(corvane::kArchivoPendientes)});
        pausa(300);
        EXPECT_EQ(reproducir({}, 4000), -1);
        EXPECT_GT(pg.filas(base), 0);
        EXPECT_TRUE(bloqueo.esperarFin(10000));
    }
    // Starts with an empty input move the queue, killed while they do, until one
    // ends with it empty.
    int fin = -1;
    for (int i = 0; i < 20 && fin != 0; ++i)
        fin = reproducir({}, i < 15 ? 50 + static_cast<int>(azar.bounded(200)) : 60000);
    ASSERT_EQ(fin, 0);
    EXPECT_EQ(en_cola(dir.path()), 0);
    const QString log = leer_texto(QDir(dir.path()).filePath(QStringLiteral("error.log")));
    EXPECT_FALSE(log.contains(QStringLiteral("Error: %1 ").arg(corvane::fallos::kBloqueada)));

    // In gral_id order: the rounds in their order, each one's rows from its first
    // on, none twice, none skipped, at least all it showed.
    std::array<int, kVueltas> guardadas{};
    int anterior = 0;
    for (const int k : numeros_guardados(pg, base)) {
        const int v = std::min(k / kPorVuelta, kVueltas - 1);
        ASSERT_TRUE(v >= anterior && k == v * kPorVuelta + guardadas[static_cast<size_t>(v)]) << k;
        anterior = v;
        ++guardadas[static_cast<size_t>(v)];
    }
    for (size_t v = 0; v < kVueltas; ++v) EXPECT_GE(guardadas[v], mostradas[v]) << "vuelta " << v;
}

TEST(FallosAlmacen, ServidorPostgreSQLConLaConsolaMatada) {
    CORVANE_REQUIERE_SERVIDOR_PROPIO(pg);
    const CasoChoque casos[] = {
        {"FilasPendientes", false, false},
        {"FilasMoviendose", true, false},
        {"LoteEnElServidorYEnLaCola", false, true},
    };
    for (const CasoChoque& c : casos) {
        SCOPED_TRACE(c.nombre);
        probar(pg, c);
        pg.reanudar();
    }
}

// The central database fails over: its primary is killed (immediate shutdown)
// while rows wait for it, and its synchronous standby is promoted. The console,
// given both hosts, moves the rest to the new primary: every row once, in arrival
// order, nothing left in the queue; the outage is told and logged once. A Qt
// connection opened before, on the standby first in its URL, reconnects at its
// next statement to the new primary. A workstation without a port, given both
// hosts, follows the new primary and shows every row once.
struct CasoConmutacion {
    const char* nombre;
    int atrasadas;  // rows queued before the console starts, moving when the primary dies
    int enLaCaida;  // rows received between the kill and the promotion
};

class Conmutacion : public testing::TestWithParam<CasoConmutacion> {};

TEST_P(Conmutacion, LaReservaPromovidaGuardaCadaFilaUnaVez) {
    const CasoConmutacion& c = GetParam();
    CORVANE_REQUIERE_SERVIDOR_PROPIO(pg, true);
    const QString base = QStringLiteral("corvane_prueba");
    QTemporaryDir dir, dirVista;
    Servicio vista(dirVista.path(), {"--base", pg.url(base)}, true);
    ASSERT_TRUE(esperar_que(
        [&] {
            return pg.psql(base, "select count(*) from pg_stat_activity where application_name = "
                                 "'corvane_vista' and query like 'SELECT gral_id,%'") == "1";
        },
        kEspera));
    int enviadas = 0;
    QStringList recibidas; // the lines the receiving consoles showed
    if (c.atrasadas > 0) {
        // A replay whose server is nowhere leaves its rows in the queue (exit 3).
        const Ejecucion e = ejecutar(kCorvane,
                                     {"--reproducir", "-", "--carpeta", dir.path(), "--base",
                                      "postgresql://postgres@127.0.0.1:1/x"},
                                     numerados(0, c.atrasadas));
        ASSERT_EQ(e.estado, 3);
        recibidas = lineas_de_eventos(e.salida);
        QFile::remove(QDir(dir.path()).filePath(QStringLiteral("error.log")));
        enviadas = c.atrasadas;
    }
    Servicio s(dir.path(), {"--base", pg.url(base)});
    if (c.atrasadas > 0) {
        // The first batch is on the primary, the rest on its way.
        ASSERT_TRUE(esperar_que([&] { return pg.filas(base) > 0; }, kEspera)) << avisos(s.errores());
    } else {
        ASSERT_TRUE(s.antesDelFallo(pg.url(base))) << avisos(s.errores());
        enviadas = 20;
    }
    std::unique_ptr<corvane::BaseDatos> directa, listado;
    ASSERT_FALSE(corvane::abrir_motor(pg.url(base, true), directa));
    ASSERT_FALSE(directa->ejecutar(QStringLiteral("CREATE TABLE marcas (n INTEGER)")));
    ASSERT_FALSE(corvane::abrir_motor(pg.url(base, true), listado));

    QElapsedTimer reloj;
    reloj.start();
    ASSERT_EQ(pg.hacer("matar"), 0);
    if (c.enLaCaida > 0) {
        s.enviar(enviadas, c.enLaCaida);
        enviadas += c.enLaCaida;
        ASSERT_TRUE(s.esperarInformes(enviadas));
        ASSERT_TRUE(esperar_que([&] { return s.errores().contains(kNoDisponible); }, kEspera))
            << avisos(s.errores());
        EXPECT_EQ(en_cola(dir.path()), c.enLaCaida);
    }
    EXPECT_GT(en_cola(dir.path()), 0); // rows wait for the promotion
    ASSERT_EQ(pg.hacer("promover"), 0);
    ASSERT_TRUE(esperar_que([&] { return en_cola(dir.path()) == 0; }, 60000)) << avisos(s.errores());
    const qint64 ms = reloj.elapsed();
    RecordProperty("ms_de_la_caida_a_la_cola_vacia", static_cast<int>(ms));
    std::cout << c.nombre << ": cola vacía " << ms << " ms tras matar el primario\n";

    // The console goes on storing into the new primary.
    s.enviar(enviadas, 10);
    enviadas += 10;
    ASSERT_TRUE(esperar_que([&] { return pg.filas(base) == enviadas; }, kEspera)) << pg.filas(base);
    std::vector<int> esperados(static_cast<size_t>(enviadas));
    std::iota(esperados.begin(), esperados.end(), 0);
    EXPECT_EQ(numeros_guardados(pg, base), esperados);
    EXPECT_EQ(en_cola(dir.path()), 0);
    // Their next statements reconnect at once, to the host that takes writes: a
    // statement text, and a listing's rows.
    EXPECT_FALSE(directa->ejecutar(QStringLiteral("INSERT INTO marcas VALUES (1)")));
    EXPECT_EQ(valores_de(*directa, QStringLiteral("SELECT count(*) AS n FROM tabla_general"), "n"),
              QStringList{QString::number(enviadas)});
    int listadas = 0;
    const corvane::Fallo f = listado->recorrer(QStringLiteral("SELECT gral_id FROM tabla_general"),
                                               [&](const corvane::ValoresFila&) {
                                                   ++listadas;
                                                   return corvane::Fallo{};
                                               });
    EXPECT_FALSE(f) << f.detalle.toStdString();
    EXPECT_EQ(listadas, enviadas);

    esperar_que([&] { return s.errores().contains(kDisponible); });
    const QString& e = s.errores();
    EXPECT_EQ(e.count(kNoDisponible), 1) << avisos(e);
    EXPECT_EQ(e.count(kDisponible), 1) << avisos(e);
    EXPECT_EQ(registros_nuevo_dato(dir.path(), e), 1);
    EXPECT_FALSE(e.contains(ServidorPropio::kClave));
    // The dying server's notice is not passed on in its English.
    EXPECT_FALSE(e.contains(QStringLiteral("WARNING"))) << avisos(e);
    EXPECT_EQ(s.detener(), 0);

    // The viewer lost the primary once, found the new one, and showed each row once.
    recibidas += s.lineas();
    recibidas.sort();
    ASSERT_EQ(recibidas.size(), enviadas);
    EXPECT_TRUE(vista.esperarInformes(enviadas)) << vista.informes();
    EXPECT_EQ(vista.detener(), 0);
    const QStringList vistas = vista.lineas();
    QStringList sobran, faltan;
    std::set_difference(vistas.begin(), vistas.end(), recibidas.begin(), recibidas.end(), std::back_inserter(sobran));
    std::set_difference(recibidas.begin(), recibidas.end(), vistas.begin(), vistas.end(), std::back_inserter(faltan));
    EXPECT_TRUE(sobran.isEmpty() && faltan.isEmpty())
        << vistas.size() << " líneas; de más: " << sobran.mid(0, 5).join(" | ").toStdString()
        << "; de menos: " << faltan.mid(0, 5).join(" | ").toStdString();
    EXPECT_GE(vista.errores().count(QStringLiteral("Base central no disponible desde")), 1) << vista.errores().toStdString();
    EXPECT_EQ(vista.errores().count(QStringLiteral("Base central disponible de nuevo a las")), 1);
    EXPECT_FALSE(vista.errores().contains(QStringLiteral("WARNING"))) << vista.errores().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Casos, Conmutacion,
                         testing::Values(CasoConmutacion{"FilasEnLaCola", 0, 500},
                                         CasoConmutacion{"AtrasoMoviendose", 100000, 0}),
                         [](const auto& caso) { return std::string(caso.param.nombre); });

// The numbers of the packets (numerados) whose rows `filas` are, in their order.
std::vector<int> numeros_de(const std::vector<Fila>& filas) {
    std::vector<int> r;
    for (const Fila& f : filas) r.push_back(f.evento.toInt(nullptr, 16) * 4096 + f.abonado.toInt());
    return r;
}

// A queue left with rows pending, then damaged (its header overwritten: every
// page that holds rows is whole). The next replay sets the file aside under a
// dated name, says how many rows it recovered, logs it once, and stores the
// recovered rows and then the new ones, each once and in arrival order, on the
// central server as in the event file.
class ColaDanadaAlArrancar : public testing::TestWithParam<bool> {};

TEST_P(ColaDanadaAlArrancar, LasFilasRecuperadasVanAntesDeLasNuevasUnaVez) {
    const bool central = GetParam();
    if (central) CORVANE_REQUIERE_POSTGRESQL();
    QTemporaryDir dir;
    const QDir carpeta(dir.path());
    const QString base = central ? nueva_base_postgresql() : carpeta.filePath("baseTolm.mdb");
    constexpr int kAntes = 300, kDespues = 40;
    // The rows wait in the queue: the server is nowhere, or a folder stands where
    // the event file goes.
    const QStringList args{"--reproducir", "-", "--carpeta", dir.path()};
    if (!central) QDir().mkpath(base);
    const Ejecucion antes = ejecutar(
        kCorvane,
        central ? args + QStringList{"--base", "postgresql://postgres@127.0.0.1:1/x"} : args,
        numerados(0, kAntes));
    ASSERT_EQ(antes.estado, 3) << antes.errores.toStdString();
    ASSERT_EQ(en_cola(dir.path()), kAntes);
    if (!central) QDir(base).removeRecursively();
    QFile::remove(carpeta.filePath("error.log"));
    {
        QFile cola(carpeta.filePath(corvane::kArchivoPendientes));
        ASSERT_TRUE(cola.open(QIODevice::ReadWrite));
        cola.write(QByteArray(100, 'x'));
    }

    const Ejecucion e = ejecutar(kCorvane, central ? args + QStringList{"--base", base} : args,
                                 numerados(kAntes, kDespues));
    EXPECT_EQ(e.estado, 0) << e.errores.toStdString();
    EXPECT_EQ(
        e.errores.count(QStringLiteral("%1 eventos recuperados de la cola dañada").arg(kAntes)), 1)
        << e.errores.toStdString();
    const QString log = leer_texto(carpeta.filePath("error.log"));
    EXPECT_EQ(log.count(QStringLiteral("****** Error *******")), 1) << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("Error: %1 ").arg(corvane::fallos::kColaRecuperada)));
    const QStringList apartadas =
        carpeta.entryList({QStringLiteral("pendientes.db.*")}, QDir::Files);
    ASSERT_EQ(apartadas.size(), 1) << apartadas.join(' ').toStdString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^pendientes\\.db\\.dañada-\\d{8}-\\d{6}$"))
                    .match(apartadas[0])
                    .hasMatch())
        << apartadas[0].toStdString();
    std::vector<int> esperados(kAntes + kDespues);
    std::iota(esperados.begin(), esperados.end(), 0);
    EXPECT_EQ(numeros_de(leer_filas(base)), esperados);
    EXPECT_EQ(en_cola(dir.path()), 0);
}

INSTANTIATE_TEST_SUITE_P(Modos, ColaDanadaAlArrancar, testing::Values(false, true),
                         [](const auto& caso) {
                             return std::string(caso.param ? "Central" : "ArchivoSQLite");
                         });

// A data folder copied while rows wait in its queue for a target that is away,
// then put back over newer files, or given to a second workstation. The copy's
// queue numbers its next rows from where it stood, numbers that the target holds
// already for rows queued after the copy was taken: each run of a store queues
// under a key of its own, so that the target skips none of them, and the rows
// the copy holds pending, which the target has taken since, are stored once.
enum class Reposicion {
    Aparte,     // copied after the stop; put back as new files
    EnSuSitio,  // copied while the console runs (-wal and -shm as they are); written
                // back over the same files, as a virtual machine rolled back
    OtroPuesto, // copied after the stop into a second folder; both consoles run
};

struct CasoCopia {
    const char* nombre;
    Reposicion reposicion;
    bool central; // the target: a PostgreSQL database, or the event file
};

// The files of a data folder, the event file excepted (it is the target), by name.
using CopiaCarpeta = std::map<QString, QByteArray>;

bool es_archivo_de_eventos(const QString& nombre) {
    return nombre.startsWith(QLatin1String("baseTolm.mdb"));
}

CopiaCarpeta copiar_carpeta(const QString& carpeta) {
    CopiaCarpeta r;
    for (const QString& a : QDir(carpeta).entryList(QDir::Files))
        if (!es_archivo_de_eventos(a)) r[a] = leer_archivo(QDir(carpeta).filePath(a));
    return r;
}

// Files that the copy lacks are removed; the others are removed and written anew,
// or, `enSuSitio`, opened, truncated and written over (the same inodes).
void reponer_carpeta(const QString& carpeta, const CopiaCarpeta& copia, bool enSuSitio) {
    const QDir d(carpeta);
    for (const QString& a : d.entryList(QDir::Files))
        if (!es_archivo_de_eventos(a) && !(enSuSitio && copia.count(a)))
            QFile::remove(d.filePath(a));
    for (const auto& [a, bytes] : copia) {
        QFile f(d.filePath(a));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << a.toStdString();
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
}

// The last sequence number that the copy's queue has given, read from a scratch
// copy of it, so that the files put back are first opened by the console.
int ultima_secuencia(const CopiaCarpeta& copia) {
    QTemporaryDir aparte;
    reponer_carpeta(aparte.path(), copia, false);
    return ejecutar(QStringLiteral("sqlite3"),
                    {QDir(aparte.path()).filePath(corvane::kArchivoPendientes),
                     QStringLiteral("select seq from sqlite_sequence where name='pendientes'")})
        .salida.trimmed()
        .toInt();
}

class CopiaDeLaCarpeta : public testing::TestWithParam<CasoCopia> {};

TEST_P(CopiaDeLaCarpeta, CadaFilaUnaVez) {
    const CasoCopia& c = GetParam();
    if (c.central) CORVANE_REQUIERE_POSTGRESQL();
    QTemporaryDir dir, otro;
    const QString base = c.central ? nueva_base_postgresql()
                                   : QDir(dir.path()).filePath(QStringLiteral("baseTolm.mdb"));
    const QStringList ausente{"--base", "postgresql://postgres@127.0.0.1:1/x"};
    const QStringList destino = c.central ? QStringList{"--base", base} : QStringList{};
    // The copy's new rows (kNuevas) take numbers that the run after the copy was
    // taken gave its own rows (kDespues).
    constexpr int kPendientes = 30, kDespues = 40, kNuevas = 25;
    static_assert(kNuevas <= kDespues);

    // The target away (the server nowhere, a folder where the event file goes):
    // the rows wait in the queue, and the stop says so.
    if (!c.central) QDir().mkpath(base);
    CopiaCarpeta copia;
    {
        Servicio s(dir.path(), c.central ? ausente : QStringList{});
        s.enviar(0, kPendientes);
        ASSERT_TRUE(s.esperarInformes(kPendientes)) << s.errores().toStdString();
        ASSERT_TRUE(esperar_que([&] { return en_cola(dir.path()) == kPendientes; }, kEspera));
        if (c.reposicion == Reposicion::EnSuSitio) {
            copia = copiar_carpeta(dir.path());
            // The rows are in the write-ahead log, not in the file yet.
            ASSERT_TRUE(!copia[QStringLiteral("pendientes.db-wal")].isEmpty() &&
                        copia.count(QStringLiteral("pendientes.db-shm")));
        }
        EXPECT_EQ(s.detener(), 3);
        EXPECT_TRUE(s.errores().contains(
            QStringLiteral("quedan %1 eventos pendientes en la cola local").arg(kPendientes)))
            << s.errores().toStdString();
    }
    if (c.reposicion != Reposicion::EnSuSitio) copia = copiar_carpeta(dir.path());
    if (!c.central) QDir().rmdir(base);
    // The copy numbers its next rows from kPendientes + 1, as the run after it does.
    ASSERT_EQ(ultima_secuencia(copia), kPendientes);

    // Each console of a round, one per folder, sends new rows numbered on from
    // `enviadas`; the round ends when each has shown them and its queue is empty.
    // `puestos[i]`: the rows console i stores, in order, from the pending ones on.
    // The event file takes rows straight while it can: it is away (a folder in
    // its place) until a round's rows are shown, so that they are queued and
    // numbered as on the way to a server.
    int enviadas = kPendientes;
    std::vector<int> pendientes(kPendientes);
    std::iota(pendientes.begin(), pendientes.end(), 0);
    std::vector<std::vector<int>> puestos;
    const QString aparte = base + QStringLiteral(".aparte");
    const auto ronda = [&](const std::vector<std::pair<QString, int>>& consolas) {
        if (!c.central) {
            QFile::rename(base, aparte);
            QDir().mkpath(base);
        }
        std::vector<std::unique_ptr<Servicio>> s;
        for (size_t i = 0; i < consolas.size(); ++i) {
            s.push_back(std::make_unique<Servicio>(consolas[i].first, destino));
            s.back()->enviar(enviadas, consolas[i].second);
            if (puestos.size() <= i) puestos.push_back(pendientes);
            for (int k = 0; k < consolas[i].second; ++k) puestos[i].push_back(enviadas++);
        }
        for (size_t i = 0; i < consolas.size(); ++i)
            EXPECT_TRUE(s[i]->esperarInformes(consolas[i].second)) << s[i]->errores().toStdString();
        if (!c.central) {
            QDir(base).removeRecursively();
            QFile::rename(aparte, base);
        }
        EXPECT_TRUE(esperar_que(
            [&] {
                return std::all_of(consolas.begin(), consolas.end(),
                                   [](const auto& consola) { return en_cola(consola.first) == 0; });
            },
            kEspera));
        for (auto& consola : s)
            EXPECT_EQ(consola->detener(), 0) << consola->errores().toStdString();
    };
    if (c.reposicion == Reposicion::OtroPuesto) {
        reponer_carpeta(otro.path(), copia, false);
        ronda({{dir.path(), kDespues}, {otro.path(), kNuevas}});
    } else {
        ronda({{dir.path(), kDespues}});
        reponer_carpeta(dir.path(), copia, c.reposicion == Reposicion::EnSuSitio);
        // The target holds numbers up to kPendientes + kDespues, those that the
        // copy's new rows take, under the key of the run after the copy.
        std::unique_ptr<corvane::BaseDatos> b;
        ASSERT_FALSE(corvane::abrir_motor(base, b));
        EXPECT_EQ(
            valores_de(*b, QStringLiteral("SELECT max(ultima_secuencia) AS n FROM corvane_envios"),
                       QStringLiteral("n")),
            QStringList{QString::number(kPendientes + kDespues)});
        b.reset();
        ronda({{dir.path(), kNuevas}});
    }

    // Every row sent, once; each console's in the order it received them.
    const std::vector<int> guardados = numeros_de(leer_filas(base));
    const std::set<int> distintos(guardados.begin(), guardados.end());
    int faltan = 0;
    for (int k = 0; k < enviadas; ++k) faltan += distintos.count(k) == 0 ? 1 : 0;
    const auto duplicadas = guardados.size() - distintos.size();
    std::cout << c.nombre << ": " << enviadas << " enviadas, " << guardados.size() << " guardadas, "
              << duplicadas << " duplicadas, " << faltan << " perdidas\n";
    EXPECT_EQ(static_cast<int>(guardados.size()), enviadas);
    EXPECT_EQ(duplicadas, 0u);
    EXPECT_EQ(faltan, 0);
    for (const std::vector<int>& puesto : puestos) {
        const std::set<int> suyas(puesto.begin(), puesto.end());
        std::vector<int> enOrden;
        std::copy_if(guardados.begin(), guardados.end(), std::back_inserter(enOrden),
                     [&](int k) { return suyas.count(k) > 0; });
        EXPECT_EQ(enOrden, puesto);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Casos, CopiaDeLaCarpeta,
    testing::Values(CasoCopia{"PuestaDeVueltaCentral", Reposicion::Aparte, true},
                    CasoCopia{"MaquinaVirtualRestauradaCentral", Reposicion::EnSuSitio, true},
                    CasoCopia{"ClonadaEnOtroPuestoCentral", Reposicion::OtroPuesto, true},
                    CasoCopia{"PuestaDeVueltaArchivo", Reposicion::Aparte, false},
                    CasoCopia{"MaquinaVirtualRestauradaArchivo", Reposicion::EnSuSitio, false}),
    [](const auto& caso) { return std::string(caso.param.nombre); });
// The local queue that does not take the rows of the receive road: its disk full,
// its file or folder read-only, its write lock held by another process. Reports
// are shown at once all along; a row the queue does not take waits in memory, in
// order, and goes to the queue or straight to the target. Every row shown is
// stored once, in arrival order, or, when the console stops before, counted lost
// on standard error and in error.log (exit 3), and never said to wait in a queue
// that does not hold it. The first 20 rows (packets 0-19) are stored by a replay
// before the fault, which leaves the queue and the tables made; the rows of the
// fault are packets 100 on.
using Averia = std::function<std::function<void()>(const QString& carpeta)>;

struct CasoCola {
    const char* nombre;
    const char* servidor; // "central": the test server; "ausente": none; nullptr: the SQLite file
    int megas;            // the data folder on a tmpfs of that size; 0: a temporary folder
    bool alArrancar;      // the fault begins before the console starts
    int filas;            // packets sent while the fault lasts
    Averia estropear;     // returns the mend
    int arregloMs;        // the fault mended this long after it began; -1: never while running
    bool seGuardan;       // every row reaches the target before the console is stopped
    int perdidas;         // rows counted lost at the stop: neither stored nor queued
    int registros;        // the store's records: one per outage of each side (queue, target)
    bool aviso;           // the status line says the queue takes no rows
    bool reserva;         // the reserve exists, is released by the full disk, and made again
};

void PrintTo(const CasoCola& c, std::ostream* os) {
    *os << c.nombre;
}

// The data folder's filesystem filled to the last byte.
std::function<void()> disco_lleno(const QString& carpeta) {
    const QString relleno = QDir(carpeta).filePath(QStringLiteral("relleno"));
    EXPECT_TRUE(llenar(relleno));
    return [relleno] { QFile::remove(relleno); };
}

// The file `nombre` of the data folder read-only, or the folder itself (none),
// for root as well: CarpetaSoloLectura binds a file as it binds a folder.
Averia solo_lectura(const char* nombre = nullptr) {
    return [nombre](const QString& carpeta) -> std::function<void()> {
        auto ro = std::make_shared<CarpetaSoloLectura>(
            nombre ? QDir(carpeta).filePath(QLatin1String(nombre)) : carpeta);
        EXPECT_TRUE(ro->lista());
        return [ro]() mutable { ro.reset(); };
    };
}

// Another process holds the queue's write lock, a row of its own written.
std::function<void()> cola_bloqueada(const QString& carpeta) {
    auto otro = std::make_shared<Proceso>();
    otro->iniciar(QStringLiteral("sqlite3"), {QDir(carpeta).filePath(corvane::kArchivoPendientes)});
    otro->escribir("BEGIN IMMEDIATE;\nINSERT INTO pendientes DEFAULT VALUES;\n");
    otro->esperarEscrito(30000);
    pausa(300);
    return [otro] {
        otro->escribir("ROLLBACK;\n.quit\n");
        EXPECT_TRUE(otro->esperarFin(5000));
    };
}

class ColaNoDisponible : public testing::TestWithParam<CasoCola> {};

TEST_P(ColaNoDisponible, CadaFilaMostradaSeGuardaUnaVezOSeDicePerdida) {
    const CasoCola& c = GetParam();
    const bool central = c.servidor != nullptr;
    if (central) CORVANE_REQUIERE_POSTGRESQL();
    REQUIERE_ROOT();
    QTemporaryDir dir;
    const QString datos = QDir(dir.path()).filePath(QStringLiteral("datos"));
    QDir().mkpath(datos);
    std::unique_ptr<Montaje> montaje;
    if (c.megas > 0) {
        montaje = std::make_unique<Montaje>(datos, c.megas);
        ASSERT_TRUE(montaje->montado());
    }
    const QString base = central ? nueva_base_postgresql() : QDir(datos).filePath("baseTolm.mdb");
    const QStringList conBase = central ? QStringList{"--base", base} : QStringList{};
    const Ejecucion antes = ejecutar(
        kCorvane, QStringList{"--reproducir", "-", "--carpeta", datos} + conBase, numerados(0, 20));
    ASSERT_EQ(antes.estado, 0) << antes.errores.toStdString();
    ASSERT_EQ(filas(base), 20);
    QFile::remove(QDir(datos).filePath(QStringLiteral("error.log")));
    const QString reserva = QDir(datos).filePath(QStringLiteral("pendientes.reserva"));
    EXPECT_TRUE(c.megas == 0 || QFile::exists(reserva) == c.reserva);

    std::function<void()> arreglar;
    QElapsedTimer reloj;
    if (c.alArrancar) arreglar = c.estropear(datos);
    reloj.start();
    const bool ausente = central && QLatin1String(c.servidor) == "ausente";
    Servicio s(datos,
               !ausente ? conBase : QStringList{"--base", "postgresql://postgres@127.0.0.1:1/x"});
    if (!c.alArrancar) {
        pausa(1500); // the service has opened the queue
        arreglar = c.estropear(datos);
        reloj.restart();
    }
    s.enviar(100, c.filas);
    ASSERT_TRUE(s.esperarInformes(c.filas)) << s.errores().toStdString();
    const qint64 mostradas = reloj.elapsed();
    std::cout << c.nombre << ": " << c.filas << " informes mostrados en " << mostradas << " ms\n";
    // All of them shown while the fault still lasts.
    EXPECT_TRUE(c.arregloMs < 0 || mostradas < c.arregloMs) << mostradas;
    // The queue's trouble is told, even while the rows reach the server from
    // memory; rows that wait with no queue are told as such.
    EXPECT_TRUE(!c.aviso || esperar_que(
                                [&] { return s.errores().contains(QStringLiteral("Cola local no disponible desde ")); },
                                kEspera))
        << s.errores().toStdString();
    EXPECT_TRUE(c.perdidas == 0 || esperar_que(
                                       [&] {
                                           return s.errores().contains(kNoDisponible) &&
                                                  s.errores().contains(QStringLiteral(" solo en memoria"));
                                       },
                                       kEspera))
        << avisos(s.errores());
    if (c.reserva) {
        // The reserve gave the queue room: no row waited in memory.
        EXPECT_TRUE(esperar_que([&] { return !QFile::exists(reserva); }, kEspera));
        EXPECT_FALSE(s.errores().contains(QStringLiteral(" solo en memoria")))
            << avisos(s.errores());
    }
    if (c.arregloMs >= 0) {
        pausa(c.arregloMs - reloj.elapsed());
        std::cout << c.nombre << ": " << filas(base) - 20 << " guardadas antes del arreglo\n";
        arreglar();
        arreglar = nullptr;
    }

    std::vector<int> esperados(20);
    std::iota(esperados.begin(), esperados.end(), 0);
    for (int k = 100; k < 100 + c.filas; ++k) esperados.push_back(k);
    int estado = -1;
    if (c.seGuardan) {
        EXPECT_TRUE(esperar_que([&] { return filas(base) == 20 + c.filas; }, kEspera))
            << filas(base);
        EXPECT_TRUE(!c.reserva || esperar_que([&] { return QFile::exists(reserva); }, kEspera));
        estado = s.detener();
    } else {
        // Stopped 3 s into the fault: within 2 s, whatever holds the lock.
        pausa(3000);
        reloj.restart();
        estado = s.detener();
        EXPECT_LT(reloj.elapsed(), 2000);
        std::cout << c.nombre << ": parada en " << reloj.elapsed() << " ms\n";
    }
    if (arreglar) arreglar();
    const std::vector<int> guardados = numeros_de(leer_filas(base));
    const int enCola = std::max(0, en_cola(datos));
    const int guardadas = static_cast<int>(guardados.size()) - 20;
    const int perdidas = c.filas - guardadas - enCola;
    const QString& e = s.errores();
    std::cout << c.nombre << ": enviadas " << c.filas << ", guardadas " << guardadas
              << ", en la cola " << enCola << ", perdidas " << perdidas << ", registros "
              << registros_nuevo_dato(datos, e) << ", salida " << estado << '\n';
    // Stored once each, in arrival order: the first ones; the queue holds the next.
    ASSERT_LE(guardados.size(), esperados.size());
    EXPECT_TRUE(std::equal(guardados.begin(), guardados.end(), esperados.begin()))
        << guardados.size() << " filas guardadas";
    EXPECT_EQ(perdidas, c.perdidas);
    EXPECT_EQ(estado, perdidas > 0 || enCola > 0 ? 3 : 0) << e.toStdString();
    EXPECT_EQ(e.count(QStringLiteral("corvane: %1 eventos perdidos: la cola local no los tomó (")
                          .arg(perdidas)),
              perdidas > 0 ? 1 : 0)
        << e.toStdString();
    EXPECT_EQ(e.contains(QStringLiteral("se guardarán en la base al próximo inicio")), enCola > 0)
        << e.toStdString();
    // A queue that cannot be opened at the start is told by the open.
    const QString log = leer_texto(QDir(datos).filePath(QStringLiteral("error.log"))) + e;
    EXPECT_EQ(registros_nuevo_dato(datos, e) + log.count(QStringLiteral("\r\nabrir_base_de_datos\r\n")),
              c.registros)
        << e.toStdString();
    EXPECT_EQ(log.count(QStringLiteral("Error: %1 ").arg(corvane::fallos::kEventosPerdidos)),
              perdidas > 0 ? 1 : 0);
}

const auto kNombreCola = [](const auto& caso) { return std::string(caso.param.nombre); };

// The disk fills while the service runs: on a tmpfs too small for the reserve,
// the rows wait in memory, or go straight to the server, until space comes back;
// on one large enough, the reserve is released and the queue goes on.
INSTANTIATE_TEST_SUITE_P(DiscoLlenoEnMarcha, ColaNoDisponible,
                         testing::Values(
                             CasoCola{"SinReserva", "central", 4, false, 400, disco_lleno, 10000,
                                      true, 0, 1, true, false},
                             CasoCola{"ConReserva", "central", 48, false, 400, disco_lleno, 10000,
                                      true, 0, 0, false, true}),
                         kNombreCola);

// A queue that cannot be used from the start: the rows go from memory straight
// to the server; with the server away as well, a stop counts every one lost.
INSTANTIATE_TEST_SUITE_P(
    ColaInutilizableAlArrancar, ColaNoDisponible,
    testing::Values(CasoCola{"ColaDeSoloLectura", "central", 0, true, 30,
                             solo_lectura("pendientes.db"), -1, true, 0, 1, true, false},
                    CasoCola{"CarpetaDeSoloLectura", "central", 0, true, 30, solo_lectura(), -1,
                             true, 0, 1, true, false},
                    CasoCola{"DiscoLleno", "central", 4, true, 30, disco_lleno, -1, true, 0, 1,
                             true, false},
                    CasoCola{"ColaDeSoloLecturaServidorAusente", "ausente", 0, true, 30,
                             solo_lectura("pendientes.db"), -1, false, 30, 2, true, false},
                    CasoCola{"CarpetaDeSoloLecturaServidorAusente", "ausente", 0, true, 30,
                             solo_lectura(), -1, false, 30, 2, true, false},
                    CasoCola{"DiscoLlenoServidorAusente", "ausente", 4, true, 30, disco_lleno, -1,
                             false, 30, 2, true, false}),
    kNombreCola);

// The event file in a read-only folder: neither the file nor a queue takes the
// rows; a stop counts every row shown lost.
INSTANTIATE_TEST_SUITE_P(ArchivoEnCarpetaDeSoloLectura, ColaNoDisponible,
                         testing::Values(CasoCola{"Servicio", nullptr, 0, true, 30, solo_lectura(),
                                                  -1, false, 30, 2, true, false}),
                         kNombreCola);

// Another process holds the queue's write lock: for 6 s, or past a stop, which
// ends within 2 s. The rows are shown at once and go straight to the server;
// with the server away as well, the stop counts them lost.
INSTANTIATE_TEST_SUITE_P(ColaBloqueadaPorOtroProceso, ColaNoDisponible,
                         testing::Values(CasoCola{"SeisSegundos", "central", 0, false, 30,
                                                  cola_bloqueada, 6000, true, 0, 1, true, false},
                                         CasoCola{"ParadaDuranteElBloqueo", "central", 0, false, 30,
                                                  cola_bloqueada, -1, false, 0, 1, true, false},
                                         CasoCola{"ParadaDuranteElBloqueoServidorAusente",
                                                  "ausente", 0, false, 30, cola_bloqueada, -1,
                                                  false, 30, 2, true, false}),
                         kNombreCola);

} // namespace

// A central server that refuses rows for good, as a replay meets it: a
// constraint that one row breaks (that row alone is set apart, told once, and
// the rows around it stored in order), a statement_timeout shorter than a full
// batch (the batches shrink: every row stored once, in order), a column dropped
// (a fault of the table: every row waits, told once with the server's words).
// Then the table is mended: what waited moves, and the row set apart is sent
// again with --reenviar-rechazadas and stored once.
struct CasoRechazo {
    const char* nombre;
    int paquetes;        // numbered packets after the first, replayed while the fault lasts
    const char* averia;  // breaks the table (%1: the case's database)
    const char* arreglo; // mends it
    int rechazado;       // the packet whose row the server refuses alone; -1: none
    bool esperan;        // every row waits for the mend
    const char* estado;  // the SQLSTATE the operator is told
};

void probar(ServidorPropio& pg, const CasoRechazo& c) {
    const QString base = QString::fromLatin1(c.nombre).toLower();
    const QString url = pg.url(base);
    const auto sentencia = [&base](const char* s) {
        return QString::fromLatin1(s).replace(QStringLiteral("%1"), base);
    };
    ASSERT_NE(pg.psql("postgres", "CREATE DATABASE " + base), "error");
    QTemporaryDir dir;
    const auto corvane = [&](const QStringList& args, const QByteArray& entrada = {}) {
        const Ejecucion e =
            ejecutar(kCorvane, args + QStringList{"--carpeta", dir.path()}, entrada, 120000);
        EXPECT_FALSE(e.salida.contains(ServidorPropio::kClave) ||
                     e.errores.contains(ServidorPropio::kClave));
        return e;
    };
    const auto reproducir = [&](const QByteArray& datos) {
        return corvane({"--reproducir", "-", "--base", url}, datos);
    };
    ASSERT_EQ(reproducir(numerados(0, 1)).estado, 0); // the tables, and a first row
    ASSERT_NE(pg.psql(base, sentencia(c.averia)), "error");

    const Ejecucion r = reproducir(numerados(1, c.paquetes));
    const bool queda = c.rechazado >= 0 || c.esperan;
    EXPECT_EQ(r.estado, queda ? 3 : 0) << r.errores.right(2000).toStdString();
    const QString estado = QString::fromLatin1(c.estado ? c.estado : "");
    EXPECT_TRUE(estado.isEmpty() || r.errores.contains(estado))
        << r.errores.right(2000).toStdString();
    const QString cuenta = QStringLiteral("abonado %1,").arg(c.rechazado, 4, 10, QLatin1Char('0'));
    EXPECT_EQ(r.errores.count(QStringLiteral("fila rechazada por el servidor (") + cuenta),
              c.rechazado >= 0 ? 1 : 0);
    // error.log: one record for the row set apart, one for the table's fault.
    const QString log = leer_texto(QDir(dir.path()).filePath(QStringLiteral("error.log")));
    EXPECT_EQ(log.count(QStringLiteral("Error: %1 ").arg(corvane::fallos::kFilaRechazada)),
              c.rechazado >= 0 ? 1 : 0);
    EXPECT_EQ(registros_nuevo_dato(dir.path(), {}), queda ? 1 : 0) << log.toStdString();

    // What waits and what was refused, read without a server; nothing created.
    const QStringList antes = QDir(dir.path()).entryList(QDir::Files);
    Ejecucion p = corvane({"--pendientes"});
    EXPECT_EQ(p.estado, queda ? 3 : 0) << p.salida.toStdString();
    EXPECT_TRUE(p.salida.contains(
        QStringLiteral("pendientes.db: %1 eventos pendientes").arg(c.esperan ? c.paquetes : 0)))
        << p.salida.toStdString();
    EXPECT_EQ(p.salida.count(QStringLiteral("rechazada el ")), c.rechazado >= 0 ? 1 : 0)
        << p.salida.toStdString();
    EXPECT_TRUE(c.rechazado < 0 || (p.salida.contains(cuenta + QLatin1Char(' ')) &&
                                    p.salida.contains(estado + QLatin1Char(' '))))
        << p.salida.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), antes);
    // Sent again before the mend: refused again, kept.
    if (c.rechazado >= 0) {
        const Ejecucion e = corvane({"--reenviar-rechazadas", "--base", url});
        EXPECT_EQ(e.estado, 3);
        EXPECT_TRUE(e.salida.contains(
            QStringLiteral("0 filas rechazadas guardadas, 1 rechazadas de nuevo")))
            << e.salida.toStdString();
    }

    ASSERT_NE(pg.psql(base, sentencia(c.arreglo)), "error");
    if (c.esperan) {
        EXPECT_EQ(reproducir({}).estado, 0);
    }
    for (int vez = 0; vez < 2 && c.rechazado >= 0; ++vez) {
        // Twice: the second run finds nothing left to send.
        const Ejecucion e = corvane({"--reenviar-rechazadas", "--base", url});
        EXPECT_EQ(e.estado, 0) << e.errores.toStdString();
        EXPECT_TRUE(e.salida.contains(
            QStringLiteral("%1 filas rechazadas guardadas, 0 rechazadas de nuevo").arg(1 - vez)))
            << e.salida.toStdString();
    }
    p = corvane({"--pendientes"});
    EXPECT_EQ(p.estado, 0) << p.salida.toStdString();

    // Every row once: in arrival order, the refused one last, as it was sent again.
    std::vector<int> esperados;
    for (int k = 0; k <= c.paquetes; ++k)
        if (k != c.rechazado) esperados.push_back(k);
    if (c.rechazado >= 0) esperados.push_back(c.rechazado);
    const std::vector<int> guardados = numeros_guardados(pg, base);
    ASSERT_EQ(guardados.size(), esperados.size());
    const auto [a, b] = std::mismatch(guardados.begin(), guardados.end(), esperados.begin());
    EXPECT_TRUE(a == guardados.end())
        << "fila " << (a - guardados.begin()) << ": " << *a << " y no " << *b;
}

TEST(FallosAlmacen, FilasRechazadasPorElServidor) {
    CORVANE_REQUIERE_SERVIDOR_PROPIO(pg);
    const CasoRechazo casos[] = {
        {"RestriccionQueUnaFilaIncumple", 3000,
         "ALTER TABLE tabla_general ADD CONSTRAINT sin_0500 CHECK (gral_numero_abonado <> '0500')",
         "ALTER TABLE tabla_general DROP CONSTRAINT sin_0500", 500, false, "23514"},
        // 20 ms: a COPY of 20,000 rows takes longer.
        {"TiempoLimiteCorto", 25000, "ALTER DATABASE %1 SET statement_timeout = '20ms'",
         "ALTER DATABASE %1 RESET statement_timeout", -1, false, nullptr},
        {"ColumnaBorrada", 3000, "ALTER TABLE tabla_general DROP COLUMN gral_zona",
         "ALTER TABLE tabla_general ADD COLUMN gral_zona VARCHAR(8)", -1, true, "42703"},
    };
    for (const CasoRechazo& c : casos) {
        SCOPED_TRACE(c.nombre);
        probar(pg, c);
    }
}
