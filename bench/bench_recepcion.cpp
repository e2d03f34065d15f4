// The hot steps of the receive road, one at a time: framing per character,
// decoding and line building per packet, the log's prepend-and-cut, one stored row.

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <string>

#include "common/caja_texto.h"
#include "decoding/moduloCid.h"
#include "evento/informe.h"
#include "reception/tramas.h"
#include "store/funcionesBaseDatos.h"
#include "tools/generador.h"

using namespace corvane;

namespace {

QByteArray flujo(int paquetes) {
    simulador::Generador g(7);
    std::string todo;
    for (int i = 0; i < paquetes; ++i) todo += g.siguiente().bytes;
    return QByteArray::fromStdString(todo);
}

// Long packets of the generated stream, as the framer hands them over.
std::vector<QString> paquetes_largos(int cuantos) {
    std::vector<QString> r;
    QString buffer, estado = kEstadoN;
    for (const char c : flujo(cuantos * 3)) {
        const ItemRx item = recibir_caracter(c, buffer, estado);
        if (item.tipo == TipoItem::PaqueteLargo) r.push_back(item.texto);
        if (static_cast<int>(r.size()) == cuantos) break;
    }
    return r;
}

void BM_EnmarcarPorCaracter(benchmark::State& state) {
    const QByteArray datos = flujo(20000);
    QString buffer, estado = kEstadoN;
    for (auto _ : state) {
        for (const char c : datos) benchmark::DoNotOptimize(recibir_caracter(c, buffer, estado));
    }
    state.SetItemsProcessed(state.iterations() * datos.size());
}
BENCHMARK(BM_EnmarcarPorCaracter);

// Fields, sub-blocks, the row and both lines of each record; nothing is stored.
void BM_DecodificarPaqueteLargo(benchmark::State& state) {
    const std::vector<QString> paquetes = paquetes_largos(2000);
    RelojFijo reloj(QDateTime(QDate(2026, 12, 6), QTime(14, 27, 13)));
    std::vector<EventoCid> eventos;
    size_t i = 0;
    for (auto _ : state) {
        const QString& p = paquetes[i++ % paquetes.size()];
        decodificar_largo(p, eventos);
        for (const FilaEvento& f : procesar_eventos_cid(p, eventos, reloj))
            benchmark::DoNotOptimize(lineas_informe(f));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DecodificarPaqueteLargo);

void BM_AnteponerYCortarRegistro(benchmark::State& state) {
    CajaMemoria registro;
    registro.ponerTexto(QString(60000, QLatin1Char('x')));
    const QString linea = QStringLiteral("Cuenta=02bf  Señal=16/16  Origen=a  14:27:13\r\n");
    for (auto _ : state) registro.anteponer(linea);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AnteponerYCortarRegistro);

// One row through NuevoDato into an SQLite file, committed in batches of
// state.range(0) rows with synchronous=FULL as the console runs.
void BM_FilaGuardada(benchmark::State& state) {
    QTemporaryDir dir;
    ConjuntoBases bases;
    abrir_base_de_datos(QDir(dir.path()).filePath(QStringLiteral("baseTolm.mdb")), 0, bases);
    const FilaEvento fila{"02bf", 16, "00", "2026-12-06 14:27:13", "10", "7b", "E130", "01", "012"};
    const int lote = static_cast<int>(state.range(0));
    int enLote = 0;
    comenzar_lote(bases, 0);
    for (auto _ : state) {
        NuevoDato(fila, 0, bases);
        if (++enLote == lote) {
            terminar_lote(bases);
            comenzar_lote(bases, 0);
            enLote = 0;
        }
    }
    terminar_lote(bases);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FilaGuardada)->Arg(1)->Arg(1000)->Arg(30000);

} // namespace

BENCHMARK_MAIN();
