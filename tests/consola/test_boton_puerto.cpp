// The port button on real pseudo-terminals: its states and the controls that
// follow them, the message of a port that does not open, and a press that stops
// the retries of a lost port.

#include <QFile>

#include "consola/boton_puerto.h"
#include "reception/puerto_prueba.h"

using namespace corvane;
using namespace corvane::pruebas;

namespace {

class Controles : public ControlesPuerto {
public:
    void habilitarVerCuenta(bool h) override { verCuenta = h; }
    void ponerTituloBoton(const QString& t) override { titulo = t; }
    void habilitarListas(bool h) override { listas = h; }
    bool verCuenta = false;
    QString titulo = kTituloInicial;
    bool listas = true;
};

class BotonPuerto : public PuertoPrueba {
protected:
    Controles controles;
    MensajesGrabados mensajes;
};

TEST_F(BotonPuerto, AbrirYCerrarCambianLosControles) {
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

TEST_F(BotonPuerto, PuertoInexistenteDaElMensajeYNoCambiaNada) {
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

TEST_F(BotonPuerto, ElBotonDetieneLosReintentos) {
    const QString enlace = QDir(dir.path()).filePath(QStringLiteral("puerto"));
    auto pty = std::make_unique<Pty>();
    ASSERT_TRUE(QFile::link(pty->ruta(), enlace));
    puerto.ponerIntervaloReintento(100);
    AbrirCom(enlace, puerto, 19200, controles, mensajes);
    QFile::remove(enlace);
    pty.reset();
    ASSERT_TRUE(esperar_que([&] { return puerto.reintentando(); }));
    AbrirCom(enlace, puerto, 19200, controles, mensajes);
    EXPECT_FALSE(puerto.reintentando());
    EXPECT_FALSE(puerto.PortOpen());
    EXPECT_EQ(controles.titulo, QStringLiteral("Abrir COM"));
    EXPECT_TRUE(mensajes.mensajes.empty());
}

} // namespace
