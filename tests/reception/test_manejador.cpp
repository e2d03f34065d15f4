#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "apoyo/apoyo.h"
#include "reception/manejador.h"
#include "store/funcionesBaseDatos.h"

using namespace corvane;
using namespace corvane::pruebas;

namespace {

const QByteArray kLargo = "123456140000100000f113aa1a1212343413aa13";

class Manejador : public testing::Test {
protected:
    void SetUp() override {
        estado.bases.errores = &errores;
        abrir_base_de_datos(QDir(dir.path()).filePath(QStringLiteral("baseTolm.mdb")), 0, estado.bases);
    }
    void recibir(const QByteArray& flujo) {
        for (const char c : flujo) m.MSComm1_OnComm(kEventoRecepcion, QByteArray(1, c));
    }
    QTemporaryDir dir;
    RelojFijo reloj{momento(2026, 12, 6, 14, 27, 13)};
    RegistroErrores errores{dir.path(), reloj};
    EstadoProceso estado;
    CajaMemoria text1, text4;
    ManejadorRx m{estado, text1, text4, reloj};
};

TEST_F(Manejador, CadaTipoDeItemEscribeSusCajas) {
    struct {
        const char* nombre;
        QByteArray flujo;
        QString text1;
        QString text4;
    } casos[] = {
        {"PaqueteDeCuatro", "\n0a1b\r", "previo", "Rx=10   Señal=28/16   14:27:13   14:27:13"},
        {"LetraDeEstado", "K", "previo", "K   14:27:13"},
        {"PaqueteLargo", "\n" + kLargo + "\r",
         "Cuenta=1234  Señal=16/16  Origen=1  14:27:13\r\nCuenta=1234  Señal=16/16  Origen=1  14:27:13\r\nprevio",
         QString::fromLatin1(kLargo) + "   14:27:13"},
        {"PaqueteDeDiez", "E121f49001", "Cuenta=0500  Señal=10/16  Origen=0  14:27:13\r\nprevio",
         "E121f49001   14:27:13"},
        {"Basura", "zz \x01\r", "previo", "estado previo"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        text1.ponerTexto(QStringLiteral("previo"));
        text4.ponerTexto(QStringLiteral("estado previo"));
        recibir(c.flujo);
        EXPECT_EQ(text1.texto(), c.text1);
        EXPECT_EQ(text4.texto(), c.text4);
    }
    EXPECT_EQ(leer_filas(QDir(dir.path()).filePath(QStringLiteral("baseTolm.mdb"))).size(), 3u);
}

TEST_F(Manejador, NotificacionesQueNoSonDeRecepcionNoHacenNada) {
    text4.ponerTexto(QStringLiteral("x"));
    for (const int evento : {1, 3, 4, 1009}) m.MSComm1_OnComm(evento, QByteArray("K"));
    m.MSComm1_OnComm(kEventoRecepcion, QByteArray());
    EXPECT_EQ(text4.texto(), QStringLiteral("x"));
    EXPECT_EQ(estado.estadoRx, kEstadoN);
}

TEST_F(Manejador, ElRegistroEnLineaSeCortaA50000) {
    text1.ponerTexto(QString(50000, QLatin1Char('v')) + QString(7, QLatin1Char('x')));
    recibir("E121f49001");
    const QString linea = QStringLiteral("Cuenta=0500  Señal=10/16  Origen=0  14:27:13\r\n");
    EXPECT_EQ(text1.texto(), linea + QString(50000, QLatin1Char('v')));
}

TEST_F(Manejador, ElFlujoPartidoEnCualquierPuntoDaLoMismo) {
    const QByteArray flujo = leer_archivo(QStringLiteral(CORVANE_DATOS_PRUEBA "/mixto.flujo"));
    ASSERT_FALSE(flujo.isEmpty());
    m.recibir(flujo);
    const QString esperado = text1.texto();
    for (const qsizetype corte : {qsizetype{1}, qsizetype{2}, qsizetype{7}, flujo.size() - 1}) {
        SCOPED_TRACE(corte);
        text1.ponerTexto({});
        for (qsizetype i = 0; i < flujo.size(); i += corte) m.recibir(flujo.mid(i, corte));
        EXPECT_EQ(text1.texto(), esperado);
    }
    EXPECT_EQ(esperado.count(QStringLiteral("\r\n")), 6);
}

TEST_F(Manejador, SinBaseSeMuestraTodoYCadaFilaSeRegistra) {
    EstadoProceso sinBase;
    sinBase.bases.errores = &errores;
    CajaMemoria t1, t4;
    ManejadorRx otro(sinBase, t1, t4, reloj);
    otro.recibir("\n" + kLargo + "\rE121f49001");
    EXPECT_EQ(t1.texto().count(QStringLiteral("\r\n")), 3);
    EXPECT_EQ(leer_texto(errores.ruta()).count(QStringLiteral("\r\nNuevoDato\r\n")), 3);
}

// A box that, at each write, counts the rows another connection can already see.
class CajaTestigo : public CajaMemoria {
public:
    explicit CajaTestigo(QString base) : base_(std::move(base)) {}
    void anteponer(const QString& nuevo) override {
        filasVistas.push_back(leer_filas(base_).size());
        CajaMemoria::anteponer(nuevo);
    }
    std::vector<size_t> filasVistas;

private:
    QString base_;
};

TEST_F(Manejador, NingunInformeLlegaALaCajaAntesDeQueSusFilasEstenConfirmadas) {
    const QString ruta = QDir(dir.path()).filePath(QStringLiteral("baseTolm.mdb"));
    CajaTestigo testigo(ruta);
    CajaMemoria estadoLinea;
    ManejadorRx otro(estado, testigo, estadoLinea, reloj);
    otro.recibir("\n" + kLargo + "\rE121f49001\n" + kLargo + "\r");
    // Three reports of one read: five rows, all committed before the first report is shown.
    EXPECT_EQ(testigo.filasVistas, (std::vector<size_t>{5, 5, 5}));
}

// A box that keeps the tones of each text put in front of it; none for a plain one.
class CajaConTonos : public CajaMemoria {
public:
    void anteponer(const QString& nuevo) override {
        tonos.emplace_back();
        CajaMemoria::anteponer(nuevo);
    }
    void anteponerConTonos(const QString& nuevo, const Tonos& t) override {
        tonos.push_back(t);
        CajaMemoria::anteponer(nuevo);
    }
    std::vector<Tonos> tonos;
};

// Each line of the online log comes with the tone of its event, top line first;
// the new alarms of a read are told once, after its rows are committed.
TEST_F(Manejador, CadaLineaConSuTonoYLasAlarmasTrasConfirmar) {
    using T = Tono;
    struct {
        const char* nombre;
        QByteArray flujo;
        std::vector<Tonos> tonos;
        QStringList alarmas; // account and event
    } casos[] = {
        {"RoboYSuRestauracion", "\n" + kLargo + "\r", {{T::Restauracion, T::Robo}}, {"1234 E130"}},
        {"DiezSinTono", "E121f49001", {{}}, {}},
        {"IncendioYPrueba", paquete_de_evento('1', "110", "0777") + paquete_de_evento('1', "602", "0888"),
         {{T::Alarma}, {T::Rutina}}, {"0777 E110"}},
        {"MedicaYPanico", paquete_de_evento('1', "100", "0111") + paquete_de_evento('1', "120", "0222"),
         {{T::Alarma}, {T::Alarma}}, {"0111 E100", "0222 E120"}},
        {"PanicoRestauradoYCierre", paquete_de_evento('2', "120", "0555") + paquete_de_evento('2', "401", "0555"),
         {{T::Restauracion}, {T::Rutina}}, {}},
        {"IncendioSinEstado", paquete_de_evento('0', "110", "0666"), {{T::Alarma}}, {}},
    };
    const QString ruta = QDir(dir.path()).filePath(QStringLiteral("baseTolm.mdb"));
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        CajaConTonos lineas;
        CajaMemoria estadoLinea;
        ManejadorRx otro(estado, lineas, estadoLinea, reloj);
        QStringList avisadas;
        std::vector<size_t> filasAlAvisar;
        otro.ponerAvisoAlarmas([&](const std::vector<FilaEvento>& filas) {
            filasAlAvisar.push_back(leer_filas(ruta).size());
            for (const FilaEvento& f : filas) avisadas << f.abonado + QLatin1Char(' ') + f.evento;
        });
        const size_t antes = leer_filas(ruta).size();
        otro.recibir(c.flujo);
        EXPECT_EQ(lineas.tonos, c.tonos);
        EXPECT_EQ(avisadas, c.alarmas);
        const size_t despues = leer_filas(ruta).size();
        EXPECT_EQ(filasAlAvisar, c.alarmas.isEmpty() ? std::vector<size_t>{} : std::vector<size_t>{despues});
        EXPECT_GT(despues, antes);
    }
}

} // namespace
