// The console's windows at line rate: corvane-simulador writes to a
// pseudo-terminal at 19200 bit/s, one report in ten from the followed account;
// the main window receives through its port button with the online account window
// open on that account. Prints "CPU% growthKB" on standard output: the share of
// one core used over the run, and how much resident memory grew after the first
// tenth of it. Details go to standard error.
//   ventanas_a_ritmo SIMULADOR SEGUNDOS

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

#include "app/camino.h"
#include "app/modo_ventanas.h"
#include "ui/form1.h"
#include "ui/form2.h"

using namespace corvane;

namespace {

double segundos_cpu() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

long rss_kb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& linea : f.readAll().split('\n'))
        if (linea.startsWith("VmRSS:")) return linea.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "uso: ventanas_a_ritmo SIMULADOR SEGUNDOS\n");
        return 2;
    }
    const QString simulador = QString::fromLocal8Bit(argv[1]);
    const int segundos = QString::fromLocal8Bit(argv[2]).toInt();

    QProcess sim;
    sim.start(simulador, {"--velocidad", "19200", "--semilla", "5", "--cuenta-seguida", "1234"});
    if (!sim.waitForStarted() || !sim.waitForReadyRead(10000)) return 1;
    const QString pty = QString::fromUtf8(sim.readLine()).trimmed();

    QTemporaryDir dir;
    Opciones opciones;
    opciones.carpeta = dir.path();
    Camino camino(opciones);
    const std::unique_ptr<Form1> principal = abrir_ventana(camino, pty);
    Form1& ventana = *principal;
    ventana.show();
    ventana.Command1_Click();
    ventana.Command4_Click();
    if (ventana.form2() == nullptr) return 1;
    ventana.form2()->cuenta().ponerTexto(QStringLiteral("1234"));

    // The first tenth warms up; CPU is counted over the rest.
    QElapsedTimer reloj_pared;
    reloj_pared.start();
    const int decimo = std::max(1, segundos / 10);
    double cpuInicio = 0;
    long rssDecimo = 0, rssMax = 0;
    qsizetype largoRegistro = 0, largoSeguida = 0, lineasSeguidas = 0;
    QTimer muestra;
    QObject::connect(&muestra, &QTimer::timeout, [&] {
        const qint64 s = reloj_pared.elapsed() / 1000;
        const long rss = rss_kb();
        if (s < decimo) {
            rssDecimo = std::max(rssDecimo, rss);
            cpuInicio = segundos_cpu();
        } else {
            rssMax = std::max(rssMax, rss);
        }
        if (s >= segundos) {
            // Read before quitting: quitting closes the windows.
            largoRegistro = ventana.text1().texto().size();
            if (ventana.form2() != nullptr) {
                const QString seguida = ventana.form2()->registro().texto();
                largoSeguida = seguida.size();
                lineasSeguidas = seguida.count(QStringLiteral("\r\n"));
            }
            app.quit();
        }
    });
    muestra.start(500);
    cpuInicio = segundos_cpu();
    app.exec();
    const double medidos = static_cast<double>(reloj_pared.elapsed()) / 1000.0 - decimo;
    const double cpu = 100.0 * (segundos_cpu() - cpuInicio) / medidos;
    sim.terminate();
    sim.waitForFinished(5000);
    std::fprintf(stderr,
                 "registro en línea: %lld caracteres; cuenta seguida: %lld líneas, %lld caracteres; "
                 "memoria %ld KB tras el primer décimo, %ld KB como mucho después\n",
                 static_cast<long long>(largoRegistro), static_cast<long long>(lineasSeguidas),
                 static_cast<long long>(largoSeguida), rssDecimo, rssMax);
    std::printf("%.2f %ld\n", cpu, std::max(0L, rssMax - rssDecimo));
    return 0;
}
