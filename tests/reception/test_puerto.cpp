// The serial adapter on real pseudo-terminals: bytes written to the master side
// arrive at the receive handler in order; the port button's states; a port that
// disappears and comes back.

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <functional>

#include "apoyo/apoyo.h"
#include "reception/puerto_serie.h"
#include "store/funcionesBaseDatos.h"

using namespace corvane;
using namespace corvane::pruebas;

namespace {

bool esperar(const std::function<bool()>& condicion, int ms = 5000) { return esperar_que(condicion, ms); }

double segundos_cpu() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

class Controles : public ControlesPuerto {
public:
    void habilitarVerCuenta(bool h) override { verCuenta = h; }
    void ponerTituloBoton(const QString& t) override { titulo = t; }
    void habilitarListas(bool h) override { listas = h; }
    bool verCuenta = false;
    QString titulo = kTituloInicial;
    bool listas = true;
};

class Puerto : public testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char nombre[] = "pruebas";
        static char* argv[] = {nombre, nullptr};
        if (QCoreApplication::instance() == nullptr) new QCoreApplication(argc, argv);
    }
    void SetUp() override {
        estado.bases.errores = &errores;
        abrir_base_de_datos(base(), 0, estado.bases);
    }
    QString base() const { return QDir(dir.path()).filePath(QStringLiteral("baseTolm.mdb")); }

    QTemporaryDir dir;
    RelojFijo reloj{momento(2026, 12, 6, 14, 27, 13)};
    RegistroErrores errores{dir.path(), reloj};
    EstadoProceso estado;
    CajaMemoria text1, text4;
    ManejadorRx manejador{estado, text1, text4, reloj};
    PuertoSerie puerto{manejador, text4, reloj};
    Controles controles;
    MensajesGrabados mensajes;
};

TEST_F(Puerto, BytesDelMaestroLleganEnOrdenYSonFilas) {
    Pty pty;
    ASSERT_FALSE(pty.ruta().isEmpty());
    AbrirCom(pty.ruta(), puerto, 19200, controles, mensajes);
    ASSERT_TRUE(mensajes.mensajes.empty());
    const QByteArray flujo = leer_archivo(QStringLiteral(CORVANE_DATOS_PRUEBA "/mixto.flujo"));
    // In small pieces, as a line delivers them.
    for (qsizetype i = 0; i < flujo.size(); i += 5) ASSERT_TRUE(pty.escribir(flujo.mid(i, 5)));
    ASSERT_TRUE(esperar([&] { return text4.texto().startsWith(QStringLiteral("Y   ")); }));
    EXPECT_EQ(text1.texto(), QStringLiteral("Cuenta=7788  Señal=4/16  Origen=a  14:27:13\r\n"
                                            "Cuenta=5566  Señal=4/16  Origen=a  14:27:13\r\n"
                                            "Cuenta=1234  Señal=4/16  Origen=a  14:27:13\r\n"
                                            "Cuenta=0500  Señal=10/16  Origen=0  14:27:13\r\n"
                                            "Cuenta=1234  Señal=16/16  Origen=1  14:27:13\r\n"
                                            "Cuenta=1234  Señal=16/16  Origen=1  14:27:13\r\n"));
    EXPECT_EQ(leer_filas(base()).size(), 6u);
}

TEST_F(Puerto, AbrirYCerrarCambianLosControles) {
    Pty pty;
    AbrirCom(pty.ruta(), puerto, 9600, controles, mensajes);
    EXPECT_TRUE(puerto.PortOpen());
    EXPECT_EQ(controles.titulo, QStringLiteral("Cerrar COM"));
    EXPECT_FALSE(controles.listas);
    EXPECT_TRUE(controles.verCuenta);
    AbrirCom(pty.ruta(), puerto, 9600, controles, mensajes);
    EXPECT_FALSE(puerto.PortOpen());
    EXPECT_EQ(controles.titulo, QStringLiteral("Abrir COM"));
    EXPECT_TRUE(controles.listas);
    EXPECT_FALSE(controles.verCuenta);
    EXPECT_TRUE(mensajes.mensajes.empty());
}

TEST_F(Puerto, PuertoInexistenteDaElMensajeYNoCambiaNada) {
    for (const QString& p : {QStringLiteral("/dev/no-existe-corvane"), QStringLiteral("20")}) {
        if (p == QLatin1String("20") && QFile::exists(QStringLiteral("/dev/ttyS19"))) continue;
        SCOPED_TRACE(p.toStdString());
        mensajes.mensajes.clear();
        AbrirCom(p, puerto, 9600, controles, mensajes);
        ASSERT_EQ(mensajes.mensajes.size(), 1u);
        EXPECT_EQ(mensajes.mensajes[0].texto, QStringLiteral("Error al abrir puerto serie,verifique el numero de com"));
        EXPECT_EQ(mensajes.mensajes[0].titulo, QStringLiteral("Brisca"));
        EXPECT_FALSE(puerto.PortOpen());
        EXPECT_EQ(controles.titulo, QStringLiteral("Abrir Com"));
        EXPECT_TRUE(controles.listas);
        EXPECT_FALSE(controles.verCuenta);
    }
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
    AbrirCom(enlace, puerto, 19200, controles, mensajes);
    ASSERT_TRUE(puerto.PortOpen());
    ASSERT_TRUE(primero->escribir("K"));
    ASSERT_TRUE(esperar([&] { return text4.texto().startsWith(QStringLiteral("K   ")); }));

    // The adapter is pulled out. The name goes first: pseudo-terminal numbers are
    // reused at once by other processes, and a retry must not open someone else's.
    QFile::remove(enlace);
    primero.reset();
    ASSERT_TRUE(esperar([&] { return puerto.reintentando(); }));
    EXPECT_TRUE(text4.texto().startsWith(QStringLiteral("Se perdió el puerto"))) << text4.texto().toStdString();
    EXPECT_TRUE(text4.texto().endsWith(QStringLiteral("14:27:13")));
    EXPECT_TRUE(puerto.PortOpen()); // the button still reads "Cerrar COM": retries are on

    // While the device is missing the console waits, it does not spin.
    const double antes = segundos_cpu();
    QElapsedTimer t;
    t.start();
    esperar([&] { return t.elapsed() > 1000; }, 2000);
    EXPECT_LT(segundos_cpu() - antes, 0.5);
    EXPECT_TRUE(puerto.reintentando());

    Pty segundo;
    ASSERT_TRUE(QFile::link(segundo.ruta(), enlace));
    ASSERT_TRUE(esperar([&] { return !puerto.reintentando(); }));
    EXPECT_TRUE(text4.texto().startsWith(QStringLiteral("Puerto"))) << text4.texto().toStdString();
    EXPECT_TRUE(text4.texto().contains(QStringLiteral("recuperado")));
    ASSERT_TRUE(segundo.escribir("E121f49001"));
    ASSERT_TRUE(esperar([&] { return text1.texto().contains(QStringLiteral("Cuenta=0500")); }));

    // The operator's press stops everything and leaves the port closed.
    AbrirCom(enlace, puerto, 19200, controles, mensajes);
    EXPECT_FALSE(puerto.PortOpen());
    EXPECT_FALSE(puerto.reintentando());
}

TEST_F(Puerto, ElBotonDetieneLosReintentos) {
    const QString enlace = QDir(dir.path()).filePath(QStringLiteral("puerto"));
    auto pty = std::make_unique<Pty>();
    ASSERT_TRUE(QFile::link(pty->ruta(), enlace));
    puerto.ponerIntervaloReintento(100);
    AbrirCom(enlace, puerto, 19200, controles, mensajes);
    QFile::remove(enlace);
    pty.reset();
    ASSERT_TRUE(esperar([&] { return puerto.reintentando(); }));
    AbrirCom(enlace, puerto, 19200, controles, mensajes);
    EXPECT_FALSE(puerto.reintentando());
    EXPECT_FALSE(puerto.PortOpen());
    EXPECT_EQ(controles.titulo, QStringLiteral("Abrir COM"));
    EXPECT_TRUE(mensajes.mensajes.empty());
}

} // namespace
