// The alarm window under load, as the operator uses it:
//  - BM_PasoDelOperador/N: a note added from the detail pane of a chosen alarm
//    and the closing of another (resolution "otra"), with N alarms open. Each
//    step is the whole path: the click, the step written through the local
//    queue, the list and the pane shown again. Measured with the SQLite file
//    (the floor) and with a central server that is down (a port nobody
//    listens on): the step must not wait for the server.
//  - BM_AlarmaNueva/N: one new alarm received and shown, with N open.
// The data folders live in datos/alarmas-* of the build folder and are made
// afresh for each run.
//
//   bench_alarmas [--benchmark_filter=...]   (draws offscreen when there is no display)

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

#include "app/camino.h"
#include "app/modo_ventanas.h"
#include "ui/form1.h"
#include "ui/ventana_alarmas.h"

using namespace corvane;

namespace {

class SinMensajes : public CajaMensajes {
public:
    void mostrar(const QString& texto, const QString&, IconoMensaje) override {
        std::fprintf(stderr, "mensaje: %s\n", qPrintable(texto));
    }
    bool preguntar(const QString&, const QString&) override { return true; }
};

// A console over a fresh data folder; `caida`: its database is a central server
// that does not answer.
struct Consola {
    explicit Consola(bool caida) {
        const QString carpeta = QDir(QStringLiteral(CORVANE_DATOS_BENCH))
                                    .filePath(caida ? QStringLiteral("alarmas-servidor")
                                                    : QStringLiteral("alarmas-archivo"));
        QDir(carpeta).removeRecursively();
        QDir().mkpath(carpeta);
        Opciones o;
        o.carpeta = carpeta;
        if (caida) o.base = QStringLiteral("postgresql://postgres@127.0.0.1:9/corvane?connect_timeout=1");
        camino = std::make_unique<Camino>(o, &reloj);
        static_cast<void>(camino->tomarCola());
        ventana = abrir_ventana(*camino, {}, &mensajes);
    }
    ~Consola() {
        ventana.reset();
        static_cast<void>(camino->terminar());
    }
    VentanaAlarmas& alarmas() { return ventana->ventanaAlarmas(); }
    // Alarms received until `n` are open.
    void abiertas(int n) {
        const int faltan = n - static_cast<int>(alarmas().registro().pendientes().size());
        std::vector<FilaEvento> filas;
        for (int i = 0; i < faltan; ++i) filas.push_back(fila(i));
        if (!filas.empty()) alarmas().recibir(filas);
    }
    FilaEvento fila(int i) {
        return {QStringLiteral("%1").arg(i % 9000 + 1000), 16, QStringLiteral("00"),
                reloj.ahora().toString(kFormatoMomento), QStringLiteral("1"), QStringLiteral("01"),
                QStringLiteral("E130"), QStringLiteral("01"), QStringLiteral("005")};
    }
    RelojSistema reloj;
    SinMensajes mensajes;
    std::unique_ptr<Camino> camino;
    std::unique_ptr<Form1> ventana;
};

void BM_PasoDelOperador(benchmark::State& estado, Consola& c) {
    c.abiertas(static_cast<int>(estado.range(0)));
    VentanaAlarmas& v = c.alarmas();
    auto* lista = v.findChild<QTreeWidget*>(QStringLiteral("Lista"));
    auto* nota = v.findChild<QLineEdit*>(QStringLiteral("TextoNota"));
    auto* resolucion = v.findChild<QComboBox*>(QStringLiteral("Resolucion"));
    auto* anotar = v.findChild<QPushButton*>(QStringLiteral("DetalleNota"));
    auto* cerrar = v.findChild<QPushButton*>(QStringLiteral("DetalleCerrar"));
    int n = 0;
    for (auto _ : estado) {
        estado.PauseTiming();
        // Burglary alarms, the newest on top: a note on it, then it is closed.
        lista->setCurrentItem(lista->topLevelItem(0));
        nota->setText(QStringLiteral("Llamado el cliente %1").arg(++n));
        estado.ResumeTiming();
        anotar->click();
        estado.PauseTiming();
        resolucion->setCurrentIndex(resolucion->findData(QStringLiteral("otra")));
        estado.ResumeTiming();
        cerrar->click();
        estado.PauseTiming();
        c.abiertas(static_cast<int>(estado.range(0))); // as many open as before
        estado.ResumeTiming();
    }
}

void BM_AlarmaNueva(benchmark::State& estado, Consola& c) {
    c.abiertas(static_cast<int>(estado.range(0)));
    int i = 0;
    for (auto _ : estado) c.alarmas().recibir({c.fila(++i)});
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    Consola archivo(false), servidor(true);
    for (auto [nombre, consola] : {std::pair{"archivo", &archivo}, std::pair{"servidor_caido", &servidor}}) {
        benchmark::RegisterBenchmark((std::string("BM_PasoDelOperador/") + nombre).c_str(),
                                     BM_PasoDelOperador, std::ref(*consola))
            ->Arg(10)
            ->Arg(1000)
            ->Unit(benchmark::kMillisecond)
            ->Iterations(20)
            ->Repetitions(3)
            ->ReportAggregatesOnly(true);
    }
    benchmark::RegisterBenchmark("BM_AlarmaNueva/archivo", BM_AlarmaNueva, std::ref(archivo))
        ->Arg(10)
        ->Arg(1000)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(20)
        ->Repetitions(3)
        ->ReportAggregatesOnly(true);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
