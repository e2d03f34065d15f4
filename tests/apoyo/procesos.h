#pragma once
// Programs that the tests run: the console, the simulator, the shells and
// scripts around them.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>

namespace corvane::pruebas {

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
        QObject::connect(&p_, &QProcess::readyReadStandardOutput,
                         [this] { salida_ += p_.readAllStandardOutput(); });
        QObject::connect(&p_, &QProcess::readyReadStandardError,
                         [this] { errores_ += p_.readAllStandardError(); });
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

    // Runs the event loop until `condicion` holds, `ms` pass, or the program has
    // ended (`condicion` then looked at once more, on all it printed). Output and
    // the end wake it at once.
    bool esperar(const std::function<bool()>& condicion, int ms) {
        QElapsedTimer t;
        t.start();
        while (!condicion()) {
            if (!enMarcha()) return condicion();
            const qint64 resta = ms - t.elapsed();
            if (resta <= 0) return false;
            QEventLoop bucle;
            for (const auto senal :
                 {&QProcess::readyReadStandardOutput, &QProcess::readyReadStandardError})
                QObject::connect(&p_, senal, &bucle, &QEventLoop::quit);
            QObject::connect(&p_, &QProcess::finished, &bucle, &QEventLoop::quit);
            QTimer::singleShot(std::min<qint64>(resta, 10), &bucle, &QEventLoop::quit);
            bucle.exec();
        }
        return true;
    }
    bool esperarFin(int ms) {
        return esperar([this] { return !enMarcha(); }, ms);
    }
    bool enMarcha() const { return p_.state() != QProcess::NotRunning; }
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
                          const QByteArray& entrada = {}, int ms = 60000) {
    Proceso p;
    EXPECT_TRUE(p.iniciar(programa, argumentos)) << programa.toStdString();
    p.escribir(entrada);
    p.cerrarEntrada();
    EXPECT_TRUE(p.esperarFin(ms)) << programa.toStdString() << " no terminó";
    return {p.estado(), p.salida(), p.texto(), p.errores()};
}

} // namespace corvane::pruebas
