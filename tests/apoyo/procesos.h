#pragma once
// Programs that the tests run: the console, the simulator, the shells and
// scripts around them; PostgreSQL servers of a test's own, run by those scripts.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTimer>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <memory>

namespace corvane::pruebas {

// The console and the simulator of this build.
inline const QString kCorvane = QStringLiteral(CORVANE_BINARIO);
inline const QString kSimulador = QStringLiteral(CORVANE_SIMULADOR);

// QProcess and the waits need an application object and its event loop: made once,
// unless the test program made its own.
inline void asegurar_aplicacion() {
    static int argc = 1;
    static char nombre[] = "pruebas";
    static char* argv[] = {nombre, nullptr};
    if (QCoreApplication::instance() == nullptr) new QCoreApplication(argc, argv);
}

// A program run by a test. Standard output and standard error are kept as bytes
// (a read may end inside a character), read as they come while a wait runs the
// event loop, so a program that prints much never blocks on a full pipe.
class Proceso {
public:
    Proceso() {
        asegurar_aplicacion();
        const auto leer = [this] {
            salida_ += p_.readAllStandardOutput();
            errores_ += p_.readAllStandardError();
        };
        QObject::connect(&p_, &QProcess::readyReadStandardOutput, leer);
        QObject::connect(&p_, &QProcess::readyReadStandardError, leer);
    }
    // Still running: SIGTERM, 10 s to end, then SIGKILL.
    ~Proceso() {
        if (enMarcha() && parar(SIGTERM, 10000) < 0) parar(SIGKILL, 10000);
    }

    // `entorno`: "NAME=value" entries added to the program's environment.
    bool iniciar(const QString& programa, const QStringList& argumentos,
                 const QStringList& entorno = {}) {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        for (const QString& v : entorno)
            e.insert(v.section(QLatin1Char('='), 0, 0), v.section(QLatin1Char('='), 1));
        p_.setProcessEnvironment(e);
        p_.start(programa, argumentos);
        return iniciado_ = p_.waitForStarted();
    }
    // Before iniciar: standard output (and, when `modo` merges them, standard
    // error) goes to `lector`'s standard input, as in a shell pipeline.
    void canalizarA(Proceso& lector, QProcess::ProcessChannelMode modo) {
        p_.setProcessChannelMode(modo);
        p_.setStandardOutputProcess(&lector.p_);
    }

    // Before iniciar: standard input read from the file `ruta` (a pseudo-terminal's
    // slave side: a program that asks at a terminal).
    void entradaDesde(const QString& ruta) { p_.setStandardInputFile(ruta); }

    // Queued for standard input; a wait hands it over.
    void escribir(const QByteArray& datos) { p_.write(datos); }
    bool esperarEscrito(int ms) {
        return esperar([this] { return p_.bytesToWrite() == 0; }, ms);
    }
    void cerrarEntrada() { p_.closeWriteChannel(); }

    const QByteArray& salida() const { return salida_; }
    QString texto() const { return QString::fromUtf8(salida_); }
    QString errores() const { return QString::fromUtf8(errores_); }
    // The first line of standard output, trimmed; empty when none came in `ms`.
    QString primeraLinea(int ms = 10000) {
        if (!esperar([this] { return salida_.contains('\n'); }, ms)) return {};
        return QString::fromUtf8(salida_.left(salida_.indexOf('\n'))).trimmed();
    }

    // Runs the event loop, looking every 10 ms, until `condicion` holds, `ms` pass,
    // or the program has ended (`condicion` then looked at on all it printed).
    bool esperar(const std::function<bool()>& condicion, int ms) {
        QElapsedTimer t;
        t.start();
        while (!condicion() && enMarcha() && t.elapsed() < ms) {
            QEventLoop bucle;
            QTimer::singleShot(std::min<qint64>(ms - t.elapsed(), 10), &bucle, &QEventLoop::quit);
            bucle.exec();
        }
        return condicion();
    }
    bool esperarFin(int ms) {
        return esperar([this] { return !enMarcha(); }, ms);
    }
    bool enMarcha() const { return p_.state() != QProcess::NotRunning; }
    // What QProcess says of the last failure (a program not found, say).
    QString fallo() const { return p_.errorString(); }
    qint64 pid() const { return p_.processId(); }
    // The exit status as a shell tells it: the exit code, or 128 + the number of
    // the signal that ended it; -1 while it runs or when it never started.
    int estado() const {
        if (!iniciado_ || enMarcha()) return -1;
        return p_.exitCode() + (p_.exitStatus() == QProcess::NormalExit ? 0 : 128);
    }
    // Sends `senal` and waits `ms` for the end: the exit status, -1 when it did not end.
    int parar(int senal = SIGTERM, int ms = 30000) {
        if (!enMarcha() || ::kill(static_cast<pid_t>(p_.processId()), senal) != 0) return -1;
        esperarFin(ms);
        return estado();
    }

private:
    QProcess p_;
    QByteArray salida_, errores_;
    bool iniciado_ = false;
};

// A run of a program to its end: standard input `entrada` (then closed), at most
// `ms`; failing to start or to end in time fails the test.
struct Ejecucion {
    int estado = -1; // as Proceso::estado
    QByteArray bytes;
    QString salida; // the same bytes as text
    QString errores;
};
inline Ejecucion ejecutar(const QString& programa, const QStringList& argumentos,
                          const QByteArray& entrada = {}, int ms = 60000,
                          const QStringList& entorno = {}) {
    Proceso p;
    EXPECT_TRUE(p.iniciar(programa, argumentos, entorno)) << programa.toStdString();
    p.escribir(entrada);
    p.cerrarEntrada();
    EXPECT_TRUE(p.esperarFin(ms)) << programa.toStdString() << " no terminó";
    return {p.estado(), p.salida(), p.texto(), p.errores()};
}

// An X server of the test's own (Xvfb, its display number chosen by itself) with
// a real window manager (openbox) on it, for what only a window manager does:
// frames, moves, resizes, closes. `entorno()` gives the variables a program needs
// to open its windows there.
class PantallaConGestor {
public:
    // Three tries: a display another program took between the server's choice and
    // the manager's start, or a manager that ended at once, is tried again.
    PantallaConGestor(int ancho, int alto) {
        for (int intento = 0; intento < 3 && !listo; ++intento) {
            if (intento > 0) parar();
            x_ = std::make_unique<Proceso>();
            gestor_ = std::make_unique<Proceso>();
            listo = arrancar(ancho, alto);
        }
    }
    ~PantallaConGestor() { parar(); }
    QStringList entorno() const {
        return {QStringLiteral("DISPLAY=") + pantalla_, QStringLiteral("QT_QPA_PLATFORM=xcb")};
    }
    // A command of the X tools on this display: its standard output, trimmed.
    QString x(const QString& programa, const QStringList& argumentos) const {
        return ejecutar(programa, argumentos, {}, 10000, entorno()).salida.trimmed();
    }
    // Why it is not ready: what each program of the last try said and how it ended.
    std::string motivo() const {
        const auto de = [](const char* nombre, const Proceso& p) {
            return QStringLiteral("%1 (estado %2, %3): %4 %5\n")
                .arg(QLatin1String(nombre))
                .arg(p.estado())
                .arg(p.fallo(), p.texto().right(500), p.errores().right(2000));
        };
        return QString(QStringLiteral("pantalla '%1'\n").arg(pantalla_) + de("Xvfb", *x_) +
                       de("openbox", *gestor_))
            .toStdString();
    }
    bool listo = false;

private:
    bool arrancar(int ancho, int alto) {
        // -displayfd: the server picks a free display and writes its number, alone on
        // a line, once it takes connections; anything else it prints is passed over.
        x_->iniciar(QStringLiteral("Xvfb"), {"-displayfd", "1", "-screen", "0",
                                             QStringLiteral("%1x%2x24").arg(ancho).arg(alto),
                                             "-nolisten", "tcp"});
        static const QRegularExpression numero(QStringLiteral("^(\\d+)$"),
                                               QRegularExpression::MultilineOption);
        if (!x_->esperar([this] { return numero.match(x_->texto()).hasMatch(); }, 10000))
            return false;
        pantalla_ = QLatin1Char(':') + numero.match(x_->texto()).captured(1);
        gestor_->iniciar(QStringLiteral("openbox"), {"--sm-disable"}, entorno());
        // The manager is there once it names itself to wmctrl.
        return gestor_->esperar(
            [this] {
                return x_->enMarcha() &&
                       ejecutar(QStringLiteral("wmctrl"), {"-m"}, {}, 5000, entorno()).estado == 0;
            },
            10000);
    }
    void parar() {
        if (gestor_) gestor_->parar(SIGTERM, 5000);
        if (x_) x_->parar(SIGTERM, 5000);
    }
    std::unique_ptr<Proceso> x_, gestor_;
    QString pantalla_;
};

// A PostgreSQL server of the test's own (scripts/postgres-prueba.sh), which the test
// stops, starts, freezes and cuts; or a primary with a synchronous standby
// (scripts/replica-prueba.sh), whose primary the test kills and whose standby it
// promotes. It trusts loopback: the password in its URLs is one that must never
// be shown or logged.
class ServidorPropio {
public:
    // Ports below the system's range for outgoing connections (from 32768), which
    // a client socket of another test may hold at any moment; another port is
    // tried when one is taken. CORVANE_PUERTO_PROPIO names the first of 18 ports to
    // take them from instead. CORVANE_PG_IDIOMA, set while it is made, is the
    // language of the server's messages (scripts/postgres-prueba.sh).
    explicit ServidorPropio(bool conReserva = false) : reserva_(conReserva) {
        const int desde = qEnvironmentVariableIntValue("CORVANE_PUERTO_PROPIO");
        for (int intento = 0; intento < 4 && !listo; ++intento) {
            const int vuelta = ::getpid() + intento * 2749;
            // An even port for each process, and its standby's the odd one after it:
            // tests started one after the other have neighbouring process ids, and
            // one's standby must not take the port of another's server while that
            // server is stopped.
            puerto_ = desde > 0 ? desde + vuelta % 9 * 2 : 21000 + vuelta % 5500 * 2;
            QStringList args{"iniciar", dir_, QString::number(puerto_)};
            if (reserva_) args << QString::number(puerto_ + 1);
            listo = script(reserva_ ? kReplica : kServidor, args) == 0;
        }
    }
    ~ServidorPropio() { script(reserva_ ? kReplica : kServidor, {"parar", dir_}); }

    // With a standby: both hosts, the standby first when `reservaPrimero`; libpq
    // picks the one that takes writes.
    QString url(const QString& base, bool reservaPrimero = false) const {
        const QString u = QStringLiteral("postgresql://postgres:%1@127.0.0.1:%2/%3");
        if (!reserva_) return u.arg(kClave, QString::number(puerto_), base);
        QStringList puertos{QString::number(puerto_), QString::number(puerto_ + 1)};
        if (reservaPrimero) std::reverse(puertos.begin(), puertos.end());
        return u.arg(kClave, puertos.join(QStringLiteral(",127.0.0.1:")), base) +
               QStringLiteral("?target_session_attrs=read-write");
    }
    // detener, arrancar, congelar, descongelar; with a standby, matar (the primary)
    // and promover (the standby): 0 when done.
    int hacer(const char* accion) {
        const QLatin1String a(accion);
        if (a != "matar" && a != "promover") return script(kServidor, {a, primario()});
        const int r = script(kReplica, {a, dir_});
        promovida_ = promovida_ || (r == 0 && a == "promover");
        return r;
    }
    // One statement through psql on the primary: its output, or "error".
    QString psql(const QString& base, const QString& sentencia) const {
        const Ejecucion e =
            ejecutar(kServidor, {"psql", primario(), base, "-c", sentencia}, {}, 120000);
        return e.estado == 0 ? e.salida.trimmed() : QStringLiteral("error");
    }
    // Rows of the event table, -1 while there is none.
    int filas(const QString& base) const {
        bool ok = false;
        const int n = psql(base, QStringLiteral("select count(*) from tabla_general")).toInt(&ok);
        return ok ? n : -1;
    }
    // Running again, whatever a case left.
    void reanudar() {
        hacer("descongelar");
        hacer("arrancar");
    }

    static inline const QString kClave = QStringLiteral("ClaveSecreta99");
    bool listo = false;

private:
    static inline const QString kServidor =
        QStringLiteral(CORVANE_RAIZ "/scripts/postgres-prueba.sh");
    static inline const QString kReplica =
        QStringLiteral(CORVANE_RAIZ "/scripts/replica-prueba.sh");

    static int script(const QString& programa, const QStringList& args) {
        return ejecutar(programa, args, {}, 120000).estado;
    }
    // The server that takes writes: with a standby, the standby once promoted.
    QString primario() const {
        if (!reserva_) return dir_;
        return dir_ + (promovida_ ? QStringLiteral("/reserva") : QStringLiteral("/primario"));
    }

    QString dir_ = QStringLiteral("/tmp/corvane-pg-fallo-%1").arg(::getpid());
    int puerto_ = 0;
    bool reserva_ = false;
    bool promovida_ = false;
};

} // namespace corvane::pruebas

// Skips the test, with the reason, unless it may run a server of its own; then
// starts it as `pg`, given ServidorPropio's arguments (with a standby: `pg`, true).
#define CORVANE_REQUIERE_SERVIDOR_PROPIO(pg, ...)                                                  \
    if (::geteuid() != 0 && qEnvironmentVariableIsEmpty("CORVANE_PG_PROPIO"))                      \
        GTEST_SKIP()                                                                               \
            << "arrancar y detener un servidor propio requiere ser root o CORVANE_PG_PROPIO";      \
    ::corvane::pruebas::ServidorPropio pg{__VA_ARGS__};                                            \
    ASSERT_TRUE(pg.listo)
