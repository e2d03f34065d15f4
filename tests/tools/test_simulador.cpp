// corvane-simulador as a program: its destinations, pacing, options and summary.

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>

#include <gtest/gtest.h>

#include "apoyo/apoyo.h"
#include "apoyo/procesos.h"
#include "tools/generador.h"
#include "tools/realista.h"

namespace corvane::simulador {
inline void PrintTo(const Resumen& r, std::ostream* os) {
    *os << "\n" << texto_resumen(r);
}
} // namespace corvane::simulador

using namespace corvane::simulador;
using namespace corvane::pruebas;

namespace {

Ejecucion simulador(const QStringList& argumentos) {
    return ejecutar(kSimulador, argumentos);
}

QByteArray esperado(std::uint32_t semilla, int paquetes, Resumen* resumen = nullptr) {
    Generador g(semilla);
    QByteArray s;
    for (int i = 0; i < paquetes; ++i) {
        const Paquete p = g.siguiente();
        if (resumen != nullptr) resumen->contar(p);
        s.append(p.bytes.data(), static_cast<qsizetype>(p.bytes.size()));
    }
    return s;
}

// The counts of a --resumen text; -1 for a line that is missing.
Resumen leer_resumen(const QString& texto, bool& completo) {
    const auto valor = [&](const char* nombre) -> std::uint64_t {
        const QRegularExpression re(QString::fromUtf8(nombre) + QStringLiteral(": +(\\d+)\\n"));
        const QRegularExpressionMatch m = re.match(texto);
        if (!m.hasMatch()) completo = false;
        return m.captured(1).toULongLong();
    };
    completo = true;
    Resumen r;
    r.largos = valor("paquetes largos");
    r.diez = valor("paquetes de diez caracteres");
    r.cuatro = valor("paquetes de cuatro caracteres");
    r.letras = valor("letras de estado");
    r.malformados = valor("paquetes malformados");
    r.bytes = valor("bytes");
    r.filas = valor("filas que la consola debe guardar");
    return r;
}

// Reads `fd` until the other end closes or `limiteMs` passes; the time of the
// last byte, counted from `reloj`'s start, goes to `ultimoMs`.
QByteArray leer_hasta_cierre(int fd, int limiteMs, const QElapsedTimer& reloj,
                             qint64* ultimoMs = nullptr, qsizetype hasta = -1) {
    QByteArray r;
    while (reloj.elapsed() < limiteMs && (hasta < 0 || r.size() < hasta)) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 200) <= 0) continue;
        char bloque[4096];
        const ssize_t n = read(fd, bloque, sizeof bloque);
        if (n <= 0) break; // EIO: the writer closed the pseudo-terminal
        r.append(bloque, n);
        if (ultimoMs != nullptr) *ultimoMs = reloj.elapsed();
    }
    return r;
}

TEST(Simulador, LaSalidaEstandarEsElFlujoDeLaSemillaYElResumenLoCuenta) {
    Resumen r;
    const QByteArray flujo = esperado(11, 500, &r);
    for (const QStringList& rapido : {QStringList{"--rapido"}, QStringList{"--velocidad", "0"},
                                      QStringList{"--velocidad=0"}, QStringList{"-rapido"}}) {
        SCOPED_TRACE(rapido.join(' ').toStdString());
        const Ejecucion e = simulador(
            QStringList{"--salida", "-", "--paquetes", "500", "--semilla", "11", "--resumen"} +
            rapido);
        EXPECT_EQ(e.estado, 0) << e.errores.toStdString();
        EXPECT_EQ(e.bytes, flujo);
        bool completo = false;
        EXPECT_EQ(leer_resumen(e.errores, completo), r);
        EXPECT_TRUE(completo) << e.errores.toStdString();
    }
    // Without --resumen nothing goes to standard error.
    const Ejecucion e = simulador({"--salida", "-", "--rapido", "--paquetes", "3"});
    EXPECT_EQ(e.bytes, esperado(1, 3)) << "la semilla por omisión es 1";
    EXPECT_TRUE(e.errores.isEmpty());
}

// --realista gives the realistic generator's bytes of the seed; a pause changes
// when they go out, never which.
TEST(Simulador, ElModoRealistaEsElDeLaSemilla) {
    GeneradorRealista g(12);
    QByteArray flujo;
    for (int i = 0; i < 400; ++i) {
        const Paquete p = g.siguiente();
        flujo.append(p.bytes.data(), static_cast<qsizetype>(p.bytes.size()));
    }
    const Ejecucion e = simulador({"--salida", "-", "--rapido", "--realista", "--paquetes", "400", "--semilla",
                                   "12", "--pausa", "1@100"});
    EXPECT_EQ(e.estado, 0) << e.errores.toStdString();
    EXPECT_EQ(e.bytes, flujo);
}

TEST(Simulador, EscribeEnUnArchivo) {
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("captura.flujo"));
    ASSERT_EQ(
        simulador({"--salida", ruta, "--rapido", "--paquetes", "5000", "--semilla", "3"}).estado,
        0);
    EXPECT_EQ(corvane::pruebas::leer_archivo(ruta), esperado(3, 5000));
}

struct CasoOpciones {
    const char* nombre;
    QStringList argumentos;
    const char* fragmento; // part of the Spanish message
};

class OpcionesMalas : public testing::TestWithParam<CasoOpciones> {};

TEST_P(OpcionesMalas, DanMensajeEnEspanolYEstado2) {
    const Ejecucion e = simulador(GetParam().argumentos);
    EXPECT_EQ(e.estado, 2);
    EXPECT_TRUE(e.bytes.isEmpty());
    EXPECT_TRUE(e.errores.startsWith(QStringLiteral("corvane-simulador: ")))
        << e.errores.toStdString();
    EXPECT_TRUE(e.errores.contains(QString::fromUtf8(GetParam().fragmento)))
        << e.errores.toStdString();
    EXPECT_FALSE(corvane::pruebas::tiene_texto_del_analizador(e.errores)) << e.errores.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Casos, OpcionesMalas,
    testing::Values(
        CasoOpciones{"Desconocida", {"--volar"}, "opción desconocida: --volar"},
        CasoOpciones{"ArgumentoSuelto", {"flujo"}, "argumento inesperado: flujo"},
        CasoOpciones{"SemillaSinValor", {"--semilla"}, "falta el valor de la opción --semilla"},
        CasoOpciones{"SemillaNoNumerica", {"--semilla", "uno"}, "--semilla espera"},
        CasoOpciones{"SemillaDemasiadoGrande", {"--semilla", "4294967296"}, "--semilla espera"},
        CasoOpciones{"PaquetesNegativos", {"--paquetes", "-1"}, "--paquetes espera"},
        CasoOpciones{"PaquetesConLetras", {"--paquetes", "10k"}, "--paquetes espera"},
        CasoOpciones{"VelocidadNegativa", {"--velocidad", "-5"}, "--velocidad espera"},
        CasoOpciones{"VelocidadEnorme", {"--velocidad", "99999999"}, "--velocidad espera"},
        CasoOpciones{
            "RapidoContraVelocidad", {"--rapido", "--velocidad", "9600"}, "se contradicen"},
        CasoOpciones{
            "DosDestinos", {"--salida", "-", "--dispositivo", "/dev/null"}, "no se combinan"},
        CasoOpciones{"Repetida", {"--paquetes", "1", "--paquetes", "2"}, "está repetida"},
        CasoOpciones{"RepetidaConIgual", {"--paquetes=1", "--paquetes", "2"}, "la opción --paquetes está repetida"},
        CasoOpciones{"DesconocidaDeUnGuion", {"-volar"}, "opción desconocida: -volar"},
        CasoOpciones{"InterruptorConValor", {"--rapido=1"}, "la opción --rapido no lleva valor"},
        CasoOpciones{"SemillaConIgualMala", {"--semilla=uno"}, "--semilla espera"},
        CasoOpciones{"SemillaSeguidaDeOpcion", {"--semilla", "--rapido"}, "falta el valor de la opción --semilla"},
        CasoOpciones{"SalidaVacia", {"--salida", ""}, "el valor de la opción --salida está vacío"},
        CasoOpciones{"CuentaConSaltoDeLinea", {"--cuenta-seguida", "123\n"}, "--cuenta-seguida espera"},
        CasoOpciones{"PausaSinCada", {"--pausa", "10"}, "--pausa espera SEGUNDOS@CADA"},
        CasoOpciones{"PausaNoMenorQueCada", {"--pausa", "60@60"}, "--pausa espera"},
        CasoOpciones{"PausaCero", {"--pausa=0@10"}, "--pausa espera"},
        CasoOpciones{"PausaConLetras", {"--pausa", "1m@10m"}, "--pausa espera"},
        CasoOpciones{"PausaDeMasDeUnDia", {"--pausa", "10@86401"}, "--pausa espera"},
        CasoOpciones{"RealistaConValor", {"--realista=1"}, "la opción --realista no lleva valor"},
        CasoOpciones{"DispositivoQueNoExiste",
                     {"--dispositivo", "/dev/corvane-no-existe"},
                     "no se puede abrir «/dev/corvane-no-existe»"}),
    [](const testing::TestParamInfo<CasoOpciones>& fila) {
        return std::string(fila.param.nombre);
    });

TEST(Simulador, LaAyudaExplicaLasOpciones) {
    for (const char* opcion : {"--ayuda", "--help"}) {
        const Ejecucion e = simulador({QString::fromLatin1(opcion)});
        EXPECT_EQ(e.estado, 0);
        const QString& t = e.salida;
        for (const char* o : {"--semilla", "--paquetes", "--velocidad", "--rapido", "--dispositivo",
                              "--salida", "--resumen", "--realista", "--pausa", "pseudoterminal", "19200"})
            EXPECT_TRUE(t.contains(QString::fromLatin1(o))) << o;
    }
}

// A paced run through a new pseudo-terminal: the path comes first on standard
// output, the bytes are those of the seed, and the last one cannot arrive before
// its place in the schedule (10 bits per character). Real timing is measured in
// bench/; here only that lower bound and a very loose upper one.
TEST(Simulador, PseudoterminalAlRitmoDeLaVelocidad) {
    Resumen r;
    const QByteArray flujo = esperado(4, 40, &r);
    QElapsedTimer reloj;
    reloj.start();
    Proceso p;
    ASSERT_TRUE(p.iniciar(
        kSimulador, {"--velocidad", "19200", "--paquetes", "40", "--semilla", "4", "--resumen"}));
    const QString ruta = p.primeraLinea();
    ASSERT_TRUE(ruta.startsWith(QStringLiteral("/dev/"))) << ruta.toStdString();
    const int fd = open(ruta.toLocal8Bit().constData(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    qint64 ultimoMs = 0;
    const QByteArray recibido = leer_hasta_cierre(fd, 30000, reloj, &ultimoMs);
    close(fd);
    ASSERT_TRUE(p.esperarFin(30000));
    EXPECT_EQ(p.estado(), 0);
    EXPECT_EQ(recibido, flujo);
    EXPECT_TRUE(p.salida().mid(p.salida().indexOf('\n') + 1).isEmpty())
        << "solo la ruta va a la salida estándar";
    bool completo = false;
    EXPECT_EQ(leer_resumen(p.errores(), completo), r);

    const double programadoMs = (flujo.size() - 1) * 10.0 * 1000.0 / 19200.0;
    EXPECT_GE(static_cast<double>(ultimoMs), programadoMs * 0.95);
    EXPECT_LE(static_cast<double>(ultimoMs), programadoMs * 5 + 5000);
}

// The line of an existing device is set raw: LF and CR pass untouched.
TEST(Simulador, EscribeEnUnDispositivo) {
    int maestro = -1, esclavo = -1;
    ASSERT_EQ(openpty(&maestro, &esclavo, nullptr, nullptr, nullptr), 0);
    char nombre[256] = {};
    ASSERT_EQ(ttyname_r(esclavo, nombre, sizeof nombre), 0);
    const QByteArray flujo = esperado(2, 300);
    QElapsedTimer reloj;
    reloj.start();
    Proceso p;
    ASSERT_TRUE(p.iniciar(kSimulador, {"--dispositivo", QString::fromLocal8Bit(nombre), "--rapido",
                                       "--paquetes", "300", "--semilla", "2"}));
    const QByteArray recibido = leer_hasta_cierre(maestro, 30000, reloj, nullptr, flujo.size());
    EXPECT_TRUE(p.esperarFin(30000));
    EXPECT_EQ(p.estado(), 0);
    EXPECT_EQ(recibido, flujo);
    close(maestro);
    close(esclavo);
}

// A stream without end stops on SIGINT or SIGTERM after the packet in hand, exits
// 0 and counts exactly what it wrote.
class ParadaDelSimulador : public testing::TestWithParam<int> {};

TEST_P(ParadaDelSimulador, TerminaAlFinalDeUnPaquete) {
    Proceso p;
    ASSERT_TRUE(p.iniciar(
        kSimulador, {"--salida", "-", "--velocidad", "19200", "--semilla", "8", "--resumen"}));
    ASSERT_TRUE(p.esperar([&] { return p.salida().size() >= 300; }, 10000));
    ASSERT_EQ(p.parar(GetParam(), 10000), 0);
    const QByteArray& salida = p.salida();

    Generador g(8);
    Resumen r;
    QByteArray hecho;
    while (hecho.size() < salida.size()) {
        const Paquete paquete = g.siguiente();
        r.contar(paquete);
        hecho.append(paquete.bytes.data(), static_cast<qsizetype>(paquete.bytes.size()));
    }
    EXPECT_EQ(salida, hecho);
    bool completo = false;
    EXPECT_EQ(leer_resumen(p.errores(), completo), r);
    EXPECT_TRUE(completo);
}

INSTANTIATE_TEST_SUITE_P(Senales, ParadaDelSimulador, testing::Values(SIGINT, SIGTERM),
                         [](const testing::TestParamInfo<int>& fila) {
                             return std::string(fila.param == SIGINT ? "SIGINT" : "SIGTERM");
                         });

} // namespace
