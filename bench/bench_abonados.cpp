// The account register on screen, with a register of 100,000 accounts, 1,000,000
// zones and 300,000 contacts (SQLite, the event database baseTolm.mdb of a data
// folder): an alarm's detail pane shown from the alarm's arrival (stored,
// listed, chosen, the account and its class's instruction read), one keystroke
// of the account window's search field, and the account window opened.
//
// The register's keys are six digits: 100,000 accounts are more than the
// four-character keys of the event table can name; the lookups are the same.
// The data folder is built once into datos/ of the build folder and reused.
//
//   bench_abonados [--benchmark_filter=...]   (draws offscreen when there is no display)

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <iterator>
#include <memory>
#include <random>

#include "abonados/registro_abonados.h"
#include "app/camino.h"
#include "app/modo_ventanas.h"
#include "store/motor.h"
#include "ui/form1.h"
#include "ui/ventana_abonados.h"
#include "ui/ventana_alarmas.h"

using namespace corvane;

namespace {

constexpr int kCuentas = 100'000;
constexpr int kZonasPorCuenta = 10;
constexpr int kContactosPorCuenta = 3;

class SinMensajes : public CajaMensajes {
public:
    void mostrar(const QString& texto, const QString&, IconoMensaje) override {
        std::fprintf(stderr, "mensaje: %s\n", qPrintable(texto));
    }
    bool preguntar(const QString&, const QString&) override { return true; }
};

QString cuenta(int i) {
    return QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0'));
}

// The register filled by SQL, once: a hash of one real password for every contact.
bool llenar(BaseDatos& base) {
    std::unique_ptr<Registros> r;
    QVariant n;
    if (base.abrirRegistros(QStringLiteral("SELECT count(*) AS n FROM corvane_abonados"), r) ||
        r->alFinal() || r->valor(QStringLiteral("n"), n))
        return false;
    if (n.toInt() == kCuentas) return true;
    std::fprintf(stderr, "llenando el registro (una vez)...\n");
    const QString numeros = QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < %1) ");
    const QStringList sentencias = {
        QStringLiteral("BEGIN"),
        numeros.arg(kCuentas - 1) +
            QStringLiteral(
                "INSERT INTO corvane_abonados SELECT printf('%06d', i), "
                "(CASE i % 4 WHEN 0 THEN 'Farmacia ' WHEN 1 THEN 'Taller ' WHEN 2 THEN 'Kiosco ' "
                "ELSE 'Casa ' END) || i, 'Calle ' || i, 'Rosario', '341 555 ' || i, 'activo', '', "
                "0, '', '2026-12-01 09:00:00', 'ALTA' FROM n"),
        numeros.arg(kZonasPorCuenta - 1) +
            QStringLiteral(
                "INSERT INTO corvane_zonas SELECT abon_cuenta, '', printf('%03d', i + 1), "
                "'Zona ' || (i + 1) || ' de ' || abon_cuenta FROM corvane_abonados, n"),
        numeros.arg(kContactosPorCuenta - 1) +
            QStringLiteral(
                "INSERT INTO corvane_contactos SELECT abon_cuenta, i + 1, 'Contacto ' || "
                "(i + 1), '341 600 ' || (i + 1), 'Familiar', ? FROM corvane_abonados, n"),
        QStringLiteral("INSERT OR REPLACE INTO corvane_instrucciones VALUES ('*', 'Robo', "
                       "'Llamar a la policía, luego a los contactos')"),
        QStringLiteral("COMMIT"),
    };
    const QString hash = hash_palabra_clave(QStringLiteral("girasol"));
    for (const QString& s : sentencias) {
        const Fallo f = s.contains(QLatin1Char('?')) ? base.ejecutar(s, {hash}) : base.ejecutar(s);
        if (f) {
            std::fprintf(stderr, "no se pudo llenar: %s\n", qPrintable(f.detalle));
            return false;
        }
    }
    return true;
}

// One console over the bench's data folder, the main window built as the
// program builds it.
struct Consola {
    Consola() {
        QDir().mkpath(carpeta());
        Opciones o;
        o.carpeta = carpeta();
        camino = std::make_unique<Camino>(o, &reloj);
        ventana = abrir_ventana(*camino, {}, &mensajes);
        listo = llenar(*camino->estado().bases.base[0]);
    }
    ~Consola() {
        ventana.reset();
        static_cast<void>(camino->terminar());
    }
    static QString carpeta() {
        return QDir(QStringLiteral(CORVANE_DATOS_BENCH)).filePath(QStringLiteral("abonados"));
    }
    RelojSistema reloj;
    SinMensajes mensajes;
    std::unique_ptr<Camino> camino;
    std::unique_ptr<Form1> ventana;
    bool listo = false;
};

// From the rows the receive handler stored to the detail of the new alarm on
// screen; a random account each time, never asked before.
void BM_DetalleDeAlarma(benchmark::State& estado, Consola& c) {
    if (!c.listo) return estado.SkipWithError("registro sin llenar");
    VentanaAlarmas& v = c.ventana->ventanaAlarmas();
    auto* lista = v.findChild<QTreeWidget*>(QStringLiteral("Lista"));
    auto* nombre = v.findChild<QLabel*>(QStringLiteral("DetalleNombre"));
    std::mt19937 azar(7);
    // A few alarms waiting, as on a usual day: those of earlier runs acknowledged.
    v.Command1_Click(1);
    for (auto _ : estado) {
        estado.PauseTiming();
        lista->setCurrentItem(nullptr);
        const QString n = cuenta(static_cast<int>(azar() % kCuentas));
        FilaEvento f{n,
                     16,
                     QStringLiteral("00"),
                     c.reloj.ahora().toString(kFormatoMomento),
                     QStringLiteral("1"),
                     QStringLiteral("01"),
                     QStringLiteral("E130"),
                     QStringLiteral("01"),
                     QStringLiteral("005")};
        estado.ResumeTiming();
        v.recibir({f});
        if (!nombre->text().startsWith(n)) return estado.SkipWithError("sin detalle");
    }
}

// The search field's text after each keystroke, by what it costs: a key's start
// (read by the key's index), part of a name common in the register, and texts
// that match few accounts or none (every name is read).
const char* const kTecleos[] = {"0", "04", "047", "Farm", "Kiosco 9", "Kiosco 99998", "Nadie"};

// One keystroke in the search field: the list of what matches (at most 200).
void BM_BuscarAlTeclear(benchmark::State& estado, Consola& c) {
    if (!c.listo) return estado.SkipWithError("registro sin llenar");
    c.ventana->Abonados_Click();
    auto* buscar = c.ventana->ventanaAbonados()->findChild<QLineEdit*>(QStringLiteral("Buscar"));
    const QString texto = QLatin1String(kTecleos[estado.range(0)]);
    estado.SetLabel(kTecleos[estado.range(0)]);
    for (auto _ : estado) {
        estado.PauseTiming();
        buscar->clear();
        estado.ResumeTiming();
        buscar->setText(texto);
    }
}

// The account window built and shown, with its first list.
void BM_AbrirVentanaAbonados(benchmark::State& estado, Consola& c) {
    if (!c.listo) return estado.SkipWithError("registro sin llenar");
    for (auto _ : estado) {
        VentanaAbonados w(c.camino->estado().bases, c.ventana->catalogo(), c.reloj,
                          QStringLiteral("BENCH"), &c.mensajes);
        w.traerAlFrente();
        QCoreApplication::processEvents();
    }
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    // One console for every benchmark, gone before the application.
    Consola c;
    benchmark::RegisterBenchmark("BM_DetalleDeAlarma", BM_DetalleDeAlarma, std::ref(c))
        ->Unit(benchmark::kMillisecond)
        ->Iterations(100)
        ->Repetitions(3)
        ->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark("BM_BuscarAlTeclear", BM_BuscarAlTeclear, std::ref(c))
        ->DenseRange(0, static_cast<int>(std::size(kTecleos)) - 1)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(20)
        ->Repetitions(3)
        ->ReportAggregatesOnly(true);
    benchmark::RegisterBenchmark("BM_AbrirVentanaAbonados", BM_AbrirVentanaAbonados, std::ref(c))
        ->Unit(benchmark::kMillisecond)
        ->Iterations(10)
        ->Repetitions(3)
        ->ReportAggregatesOnly(true);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
