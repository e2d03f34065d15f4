// The serial adapter on real pseudo-terminals: bytes written to the master side
// arrive at the receive handler in order; a port that does not open says why; a
// port that disappears is told with its reason in Spanish, retried without
// spinning, and comes back.

#include <QElapsedTimer>
#include <QFile>

#include <sys/resource.h>

#include <cerrno>

#include "reception/puerto_prueba.h"

using namespace corvane;
using namespace corvane::pruebas;

namespace {

double segundos_cpu() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

using Puerto = PuertoPrueba;

TEST_F(Puerto, BytesDelMaestroLleganEnOrdenYSonFilas) {
    Pty pty;
    ASSERT_FALSE(pty.ruta().isEmpty());
    const Fallo f = puerto.abrir(pty.ruta(), 19200);
    ASSERT_FALSE(f) << f.detalle.toStdString();
    const QByteArray flujo = leer_archivo(QStringLiteral(CORVANE_DATOS_PRUEBA "/mixto.flujo"));
    // In small pieces, as a line delivers them.
    for (qsizetype i = 0; i < flujo.size(); i += 5) ASSERT_TRUE(pty.escribir(flujo.mid(i, 5)));
    ASSERT_TRUE(esperar_que([&] { return text4.texto().startsWith(QStringLiteral("Y   ")); }));
    EXPECT_EQ(text1.texto(), QStringLiteral("Cuenta=7788  Señal=4/16  Origen=a  14:27:13\r\n"
                                            "Cuenta=5566  Señal=4/16  Origen=a  14:27:13\r\n"
                                            "Cuenta=1234  Señal=4/16  Origen=a  14:27:13\r\n"
                                            "Cuenta=0500  Señal=10/16  Origen=0  14:27:13\r\n"
                                            "Cuenta=1234  Señal=16/16  Origen=1  14:27:13\r\n"
                                            "Cuenta=1234  Señal=16/16  Origen=1  14:27:13\r\n"));
    EXPECT_EQ(leer_filas(base()).size(), 6u);
    EXPECT_TRUE(cambios.empty());
}

TEST_F(Puerto, UnPuertoQueNoAbreDiceElMotivoYQuedaCerrado) {
    struct {
        const char* nombre;
        QString puerto;
        qint32 numero;
        QString causa; // the system's reason, in Spanish or as its number (ENOTTY)
    } casos[] = {{"RutaInexistente", QStringLiteral("/dev/no-existe-corvane"), fallos::kPuertoInexistente,
                  QStringLiteral("no existe el dispositivo")},
                 {"NumeroSinPuerto", QStringLiteral("20"), fallos::kPuertoInexistente,
                  QStringLiteral("no existe el dispositivo")},
                 {"NoEsUnPuerto", QStringLiteral("/dev/null"), fallos::kPuertoRechazado,
                  QStringLiteral("error %1").arg(ENOTTY)}};
    for (const auto& c : casos) {
        if (c.puerto == QLatin1String("20") && QFile::exists(QStringLiteral("/dev/ttyS19"))) continue;
        SCOPED_TRACE(c.nombre);
        const Fallo f = puerto.abrir(c.puerto, 9600);
        EXPECT_EQ(f.numero, c.numero);
        EXPECT_EQ(f.detalle, c.causa);
        EXPECT_FALSE(puerto.PortOpen());
        EXPECT_FALSE(puerto.reintentando());
    }
    EXPECT_TRUE(cambios.empty());
    EXPECT_TRUE(text4.texto().isEmpty());
}

TEST(NombreDispositivo, NumerosYRutas) {
    EXPECT_EQ(nombre_dispositivo(QStringLiteral("1")), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(nombre_dispositivo(QStringLiteral("20")), QStringLiteral("/dev/ttyS19"));
    EXPECT_EQ(nombre_dispositivo(QStringLiteral("/dev/ttyUSB0")), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(nombre_dispositivo(QStringLiteral("21")), QStringLiteral("21"));
}

TEST_F(Puerto, PuertoPerdidoSeMuestraSeReintentaSinGirarYVuelve) {
    // The console opens a fixed name; behind it the device goes away and comes back.
    const QString enlace = QDir(dir.path()).filePath(QStringLiteral("puerto"));
    auto primero = std::make_unique<Pty>();
    ASSERT_TRUE(QFile::link(primero->ruta(), enlace));
    puerto.ponerIntervaloReintento(200);
    ASSERT_FALSE(puerto.abrir(enlace, 19200));
    ASSERT_TRUE(puerto.PortOpen());
    ASSERT_TRUE(primero->escribir("K"));
    ASSERT_TRUE(esperar_que([&] { return text4.texto().startsWith(QStringLiteral("K   ")); }));

    // The adapter is pulled out. The name goes first: pseudo-terminal numbers are
    // reused at once by other processes, and a retry must not open someone else's.
    QFile::remove(enlace);
    primero.reset();
    ASSERT_TRUE(esperar_que([&] { return puerto.reintentando(); }));
    ASSERT_FALSE(cambios.empty());
    EXPECT_EQ(cambios.front(), CambioPuerto::Perdido);
    // The master side closed: the line hangs up, which tells no reason of its own.
    EXPECT_EQ(causas.front(), QString());
    EXPECT_TRUE(puerto.PortOpen()); // the button still reads "Cerrar COM": retries are on

    // While the device is missing the console waits, it does not spin.
    const double antes = segundos_cpu();
    QElapsedTimer t;
    t.start();
    esperar_que([&] { return t.elapsed() > 1000; }, 2000);
    EXPECT_LT(segundos_cpu() - antes, 0.5);
    EXPECT_TRUE(puerto.reintentando());
    ASSERT_GE(cambios.size(), 2u);
    EXPECT_EQ(cambios.back(), CambioPuerto::Reintento);
    EXPECT_EQ(causas.back(), QStringLiteral("no existe el dispositivo"));

    Pty segundo;
    ASSERT_TRUE(QFile::link(segundo.ruta(), enlace));
    ASSERT_TRUE(esperar_que([&] { return !puerto.reintentando(); }));
    EXPECT_EQ(cambios.back(), CambioPuerto::Recuperado);
    EXPECT_EQ(causas.back(), QString());
    ASSERT_TRUE(segundo.escribir("E121f49001"));
    ASSERT_TRUE(esperar_que([&] { return text1.texto().contains(QStringLiteral("Cuenta=0500")); }));

    // Closing stops everything and leaves the port closed.
    puerto.cerrar();
    EXPECT_FALSE(puerto.PortOpen());
    EXPECT_FALSE(puerto.reintentando());
}

// A port that is not there yet when it is opened to be waited for (an adapter
// plugged in later, a name that still points elsewhere): open for the operator,
// told lost at once with the reason, retried, and received from once it appears.
TEST_F(Puerto, UnPuertoQueAunNoEstaSeEsperaComoUnoPerdido) {
    struct {
        const char* nombre;
        const char* antes; // what the port's name points to at first: nothing, or a file
        QString causa;
    } casos[] = {{"SinNombre", nullptr, QStringLiteral("no existe el dispositivo")},
                 {"NoEsUnPuerto", "archivo", QStringLiteral("error %1").arg(ENOTTY)}};
    puerto.ponerIntervaloReintento(200);
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        cambios.clear();
        causas.clear();
        text1.ponerTexto({});
        const QString enlace = QDir(dir.path()).filePath(QStringLiteral("puerto-") + QLatin1String(c.nombre));
        if (c.antes != nullptr) {
            const QString archivo = QDir(dir.path()).filePath(QLatin1String(c.antes));
            QFile f(archivo);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            ASSERT_TRUE(QFile::link(archivo, enlace));
        }
        puerto.abrirOEsperar(enlace, 19200);
        EXPECT_TRUE(puerto.PortOpen());
        EXPECT_TRUE(puerto.reintentando());
        ASSERT_EQ(cambios.size(), 1u);
        EXPECT_EQ(cambios.front(), CambioPuerto::Perdido);
        EXPECT_EQ(causas.front(), c.causa);
        ASSERT_TRUE(esperar_que([&] { return cambios.size() >= 2; }));
        EXPECT_EQ(cambios.back(), CambioPuerto::Reintento);
        EXPECT_EQ(causas.back(), c.causa);

        Pty pty;
        QFile::remove(enlace);
        ASSERT_TRUE(QFile::link(pty.ruta(), enlace));
        ASSERT_TRUE(esperar_que([&] { return !puerto.reintentando(); }));
        EXPECT_EQ(cambios.back(), CambioPuerto::Recuperado);
        ASSERT_TRUE(pty.escribir("E121f49001"));
        ASSERT_TRUE(esperar_que([&] { return text1.texto().contains(QStringLiteral("Cuenta=0500")); }));
        puerto.cerrar();
        EXPECT_FALSE(puerto.PortOpen());
    }
    // A port that opens at once is just open: nothing is told.
    Pty pty;
    cambios.clear();
    puerto.abrirOEsperar(pty.ruta(), 9600);
    EXPECT_TRUE(puerto.PortOpen());
    EXPECT_FALSE(puerto.reintentando());
    EXPECT_TRUE(cambios.empty());
    puerto.cerrar();
}

} // namespace
