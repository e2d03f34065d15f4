// Cost of the online log: putting one report line in front of a full log (cut to
// 50000 characters) in memory, and bringing the widget up to date, drawing
// included, either after every report or once per batch of reports as the window
// does (at most about 30 times a second), with plain or coloured lines.
//
//   bench_cajas [--benchmark_filter=...]   (draws offscreen when there is no display)

#include <QApplication>
#include <QPlainTextEdit>

#include <benchmark/benchmark.h>

#include <iterator>

#include "common/caja_texto.h"
#include "ui/cajas_ventana.h"

using namespace corvane;

namespace {

QString linea(int i) {
    return QStringLiteral("Cuenta=%1  Señal=16/16  Origen=1  14:27:13\r\n")
        .arg(i % 10000, 4, 10, QLatin1Char('0'));
}

// Reads and replaces the whole text, as a box without its own prepend does.
class CajaLeerYReemplazar : public CajaTexto {
public:
    QString texto() const override { return texto_; }
    void ponerTexto(const QString& t) override { texto_ = t; }

private:
    QString texto_;
};

void llenar(CajaTexto& caja) {
    for (int i = 0; caja.texto().size() < kLimiteRegistro; ++i) caja.anteponer(linea(i));
}

void BM_AnteponerEnMemoria(benchmark::State& state) {
    CajaMemoria caja;
    llenar(caja);
    int i = 0;
    for (auto _ : state) {
        caja.anteponer(linea(++i));
        benchmark::DoNotOptimize(caja.texto().size());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AnteponerEnMemoria);

void BM_AnteponerLeyendoYReemplazando(benchmark::State& state) {
    CajaLeerYReemplazar caja;
    llenar(caja);
    int i = 0;
    for (auto _ : state) {
        caja.anteponer(linea(++i));
        benchmark::DoNotOptimize(caja.texto().size());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AnteponerLeyendoYReemplazando);

// A log box of the window, visible, its size that of a log on a 1080-line screen.
struct Ventana {
    Ventana() {
        editor.resize(900, 900);
        editor.show();
        llenar(caja);
        caja.volcarAhora();
        QCoreApplication::processEvents();
    }
    void dibujar() { editor.viewport()->repaint(); }
    QPlainTextEdit editor;
    CajaRegistroVentana caja{&editor};
};

// The tones of the coloured lines, in a mix like the realistic stream's: mostly
// tests and openings or closings, some restores, now and then a trouble or an
// alarm. Plain lines have none.
constexpr Tono kMezcla[] = {Tono::Rutina, Tono::Rutina,       Tono::Normal, Tono::Rutina,
                            Tono::Averia, Tono::Restauracion, Tono::Rutina, Tono::Robo,
                            Tono::Rutina, Tono::Alarma};

// `state.range(0)` reports arrive, then the widget is updated and drawn once.
template <bool conColores> void BM_ReportesYUnRefresco(benchmark::State& state) {
    Ventana v;
    const auto porRefresco = static_cast<int>(state.range(0));
    int i = 0;
    for (auto _ : state) {
        for (int k = 0; k < porRefresco; ++k, ++i) {
            if (conColores) v.caja.anteponerConTonos(linea(i), {kMezcla[i % std::size(kMezcla)]});
            else v.caja.anteponer(linea(i));
        }
        v.caja.volcarAhora();
        v.dibujar();
    }
    state.SetItemsProcessed(state.iterations() * porRefresco);
}
BENCHMARK(BM_ReportesYUnRefresco<false>)
    ->Name("BM_ReportesYUnRefresco")
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReportesYUnRefresco<true>)
    ->Name("BM_ReportesColoreadosYUnRefresco")
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kMicrosecond);

// What the widget costs when the whole text is set and drawn after every report.
void BM_TextoCompletoEnCadaReporte(benchmark::State& state) {
    Ventana v;
    CajaMemoria modelo;
    llenar(modelo);
    int i = 0;
    for (auto _ : state) {
        modelo.anteponer(linea(++i));
        v.editor.setPlainText(modelo.texto());
        v.dibujar();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TextoCompletoEnCadaReporte)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
