// Storage faults survived by the headless service: the data folder turned
// read-only, the disk full, the PostgreSQL server stopped. In each, every row
// that fails leaves one "NuevoDato" record, reception and display go on, and rows
// are stored again as soon as the fault ends.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <set>

#include <sys/mount.h>
#include <unistd.h>

#include <functional>

#include "apoyo/apoyo.h"
#include "common/registro_errores.h"

using namespace corvane::pruebas;

namespace {

// QProcess and the waits below need an application object and its event loop.
void asegurar_aplicacion() {
    static int argc = 1;
    static char nombre[] = "pruebas";
    static char* argv[] = {nombre, nullptr};
    if (QCoreApplication::instance() == nullptr) new QCoreApplication(argc, argv);
}

// The service's rows reach the database in batches: waits on them allow 20 s.
constexpr int kEspera = 20000;

int filas(const QString& base) { return static_cast<int>(leer_filas(base).size()); }

// `corvane --sin-ventana` on the slave side of a pseudo-terminal that the test writes to.
class Servicio {
public:
    Servicio(const QString& carpeta, const QStringList& extra = {}) {
        asegurar_aplicacion();
        if (pty_.ruta().isEmpty()) return;
        QStringList args{"--sin-ventana", "--puerto", pty_.ruta(), "--velocidad", "19200",
                         "--carpeta", carpeta};
        args << extra;
        QObject::connect(&p_, &QProcess::readyReadStandardOutput, [this] { salida_ += QString::fromUtf8(p_.readAllStandardOutput()); });
        QObject::connect(&p_, &QProcess::readyReadStandardError, [this] { errores_ += QString::fromUtf8(p_.readAllStandardError()); });
        p_.start(QStringLiteral(CORVANE_BINARIO), args);
        p_.waitForStarted();
    }
    ~Servicio() {
        if (p_.state() != QProcess::NotRunning) {
            p_.terminate();
            p_.waitForFinished(10000);
        }
    }
    // `n` ten-character packets, accounts from `desde` on: one report and one row each.
    void enviar(int desde, int n) {
        QByteArray datos;
        for (int i = desde; i < desde + n; ++i)
            datos += "E12" + QByteArray::number(i % 4096, 16).rightJustified(3, '0') + "9001";
        pty_.escribir(datos);
    }
    // The 20 reports before a fault: shown, and their rows stored in `base`.
    bool antesDelFallo(const QString& base) {
        enviar(0, 20);
        return esperarInformes(20) && esperar_que([&] { return filas(base) == 20; }, kEspera);
    }
    int informes() const { return static_cast<int>(salida_.count(QStringLiteral("\r\n"))); }
    bool esperarInformes(int n) { return esperar_que([&] { return informes() >= n; }, kEspera); }
    int detener() {
        p_.terminate();
        p_.waitForFinished(10000);
        return p_.exitStatus() == QProcess::NormalExit ? p_.exitCode() : -1;
    }
    const QString& errores() const { return errores_; }

private:
    Pty pty_;
    QProcess p_;
    QString salida_;
    QString errores_;
};


// Records labelled NuevoDato, in error.log or, when the log itself cannot be
// written, on standard error.
int registros_nuevo_dato(const QString& carpeta, const QString& errores) {
    const QString log = leer_texto(QDir(carpeta).filePath(QStringLiteral("error.log")));
    return static_cast<int>(log.count(QStringLiteral("\r\nNuevoDato\r\n")) +
                            errores.count(QStringLiteral("\r\nNuevoDato\r\n")));
}

// A small tmpfs of the test's own, for faults of the filesystem itself.
class Montaje {
public:
    explicit Montaje(const QString& dir) : dir_(dir) {
        montado_ = ::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0, "size=4m") == 0;
    }
    ~Montaje() {
        if (montado_) ::umount2(QFile::encodeName(dir_).constData(), MNT_DETACH);
    }
    bool montado() const { return montado_; }

private:
    QString dir_;
    bool montado_ = false;
};

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

    // Fill the filesystem to the last byte.
    const QString relleno = QDir(datos).filePath(QStringLiteral("relleno"));
    {
        QFile f(relleno);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const QByteArray bloque(4096, 'x');
        while (f.write(bloque) == bloque.size() && f.flush()) {
        }
        const QByteArray byte(1, 'x');
        while (f.write(byte) == 1 && f.flush()) {
        }
    }
    // Enough rows to need new pages of the write-ahead log. Neither the file nor
    // the queue beside it can grow: the rows wait in memory, the failure is
    // logged once, and the operator is told.
    s.enviar(1000, 400);
    ASSERT_TRUE(s.esperarInformes(420)) << s.errores().toStdString();
    EXPECT_TRUE(esperar_que([&] { return s.errores().contains(QStringLiteral("Base de datos no disponible: ")); },
                            kEspera))
        << s.errores().toStdString();
    EXPECT_EQ(registros_nuevo_dato(datos, s.errores()), 1);

    // Space comes back: every row is stored, once, and nothing more is logged.
    QFile::remove(relleno);
    s.enviar(2000, 10);
    ASSERT_TRUE(s.esperarInformes(430));
    EXPECT_TRUE(esperar_que([&] { return filas(base) == 430; }, kEspera)) << filas(base);
    EXPECT_TRUE(esperar_que([&] { return s.errores().contains(QStringLiteral("Base de datos disponible: ")); },
                            kEspera));
    EXPECT_EQ(registros_nuevo_dato(datos, s.errores()), 1);
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
    // Stopped in the middle of the fault: quickly, and nothing is lost.
    QElapsedTimer reloj;
    reloj.start();
    EXPECT_EQ(s->detener(), 0);
    EXPECT_LT(reloj.elapsed(), 2000);
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
                        auto otro = std::make_shared<QProcess>();
                        otro->start(QStringLiteral("sqlite3"), {base});
                        otro->waitForStarted();
                        otro->write("BEGIN IMMEDIATE;\nINSERT INTO TABLA_GENERAL (gral_numero_abonado) VALUES ('x');\n");
                        otro->waitForBytesWritten();
                        esperar_que([] { return false; }, 300);
                        return [otro, base] {
                            otro->write("ROLLBACK;\n.quit\n");
                            otro->waitForFinished(5000);
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
                    true, corvane::fallos::kNoEsBaseDeDatos}),
    [](const auto& caso) { return std::string(caso.param.nombre); });

TEST(FallosAlmacen, ServidorPostgreSQLDetenidoYVueltoAArrancar) {
    if (::geteuid() != 0 && qEnvironmentVariableIsEmpty("CORVANE_PG_PROPIO"))
        GTEST_SKIP() << "arrancar y detener un servidor propio requiere ser root o CORVANE_PG_PROPIO";
    QTemporaryDir dir;
    const QString script = QStringLiteral(CORVANE_RAIZ "/scripts/postgres-prueba.sh");
    const QString servidor = QStringLiteral("/tmp/corvane-pg-fallo-%1").arg(::getpid());
    const int puerto = 30000 + (::getpid() % 20000);
    QProcess inicio;
    inicio.start(script, {"iniciar", servidor, QString::number(puerto)});
    ASSERT_TRUE(inicio.waitForFinished(120000));
    ASSERT_EQ(inicio.exitCode(), 0) << inicio.readAllStandardError().toStdString();
    const QString url = QString::fromUtf8(inicio.readAllStandardOutput()).trimmed();
    // The password must never reach the error log (the server trusts loopback).
    QString conClave = url;
    conClave.replace(QStringLiteral("postgres@"), QStringLiteral("postgres:ClaveSecreta99@"));
    const auto pg_ctl = [&](const char* accion) {
        QProcess p;
        const QString bin = QStringLiteral("ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1");
        const QString orden = QStringLiteral("b=$(%1); %2 \"$b/pg_ctl\" -D %3/datos -w -t 60 %4 -o \"-p %5 -k %3 -c listen_addresses=127.0.0.1\" -l %3/servidor.log")
                                  .arg(bin, ::geteuid() == 0 ? QStringLiteral("runuser -u postgres --") : QString(), servidor,
                                       QString::fromLatin1(accion))
                                  .arg(puerto);
        p.start(QStringLiteral("sh"), {"-c", orden});
        p.waitForFinished(120000);
        return p.exitCode();
    };

    {
        Servicio s(dir.path(), {"--base", conClave});
        s.enviar(0, 20);
        ASSERT_TRUE(s.esperarInformes(20)) << s.errores().toStdString();
        ASSERT_TRUE(esperar_que([&] { return filas(url) == 20; }, kEspera));

        ASSERT_EQ(pg_ctl("stop -m fast"), 0);
        s.enviar(100, 15);
        ASSERT_TRUE(s.esperarInformes(35)) << s.errores().toStdString();
        // The rows wait in the local queue; the failure is logged once, however
        // many rows and attempts the outage lasts, and the operator is told.
        ASSERT_TRUE(esperar_que([&] { return s.errores().contains(QStringLiteral("Base de datos no disponible: ")); }, kEspera))
            << s.errores().toStdString();
        EXPECT_EQ(registros_nuevo_dato(dir.path(), s.errores()), 1);

        ASSERT_EQ(pg_ctl("start"), 0);
        // The connection comes back by itself: every queued row is stored, once,
        // in arrival order, and so are the rows sent after.
        EXPECT_TRUE(esperar_que([&] { return filas(url) == 35; }, 60000)) << filas(url);
        s.enviar(200, 1);
        ASSERT_TRUE(s.esperarInformes(36));
        EXPECT_TRUE(esperar_que([&] { return filas(url) == 36; }, kEspera)) << filas(url);
        EXPECT_TRUE(esperar_que([&] {
            return s.errores().contains(QStringLiteral("Base de datos disponible: 15 eventos pendientes guardados"));
        })) << s.errores().toStdString();
        EXPECT_EQ(registros_nuevo_dato(dir.path(), s.errores()), 1);
        const QString log = leer_texto(QDir(dir.path()).filePath(QStringLiteral("error.log")));
        EXPECT_TRUE(log.contains(QStringLiteral("Error: 3151 "))) << log.toStdString();
        EXPECT_FALSE(log.contains(QStringLiteral("ClaveSecreta99")));
        EXPECT_FALSE(s.errores().contains(QStringLiteral("ClaveSecreta99")));
        EXPECT_EQ(s.detener(), 0);
    }
    QProcess parar;
    parar.start(script, {"parar", servidor});
    parar.waitForFinished(60000);
}

} // namespace
