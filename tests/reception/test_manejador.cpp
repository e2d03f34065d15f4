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

// A framed long packet built by position: origin at 13, all-origins field at
// 15-16, signal at 19, the main event at 20-32 and the sub-blocks from 33.
QByteArray largo(char origen, const char* todos, char senal, const char* principal,
                 const char* bloques = "") {
    return QByteArray("\n123456ff0000") + origen + '0' + todos + "00" + senal + principal +
           bloques + "\r";
}

// A box that remembers whether anyone touched it.
class CajaEspia : public CajaMemoria {
public:
    QString texto() const override {
        ++lecturas;
        return CajaMemoria::texto();
    }
    void ponerTexto(const QString& t) override {
        ++escrituras;
        CajaMemoria::ponerTexto(t);
    }
    void anteponer(const QString& n) override {
        ++escrituras;
        CajaMemoria::anteponer(n);
    }
    mutable int lecturas = 0;
    int escrituras = 0;
};

class Manejador : public testing::Test {
protected:
    void SetUp() override {
        estado.bases.errores = &errores;
        abrir_base_de_datos(QDir(dir.path()).filePath(QStringLiteral("baseTolm.mdb")), 0, estado.bases);
    }
    void recibir(const QByteArray& flujo) {
        for (const char c : flujo) m.MSComm1_OnComm(kEventoRecepcion, QByteArray(1, c));
    }
    QString rutaBase() const { return QDir(dir.path()).filePath(QStringLiteral("baseTolm.mdb")); }
    QString log() const { return leer_texto(errores.ruta()); }
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

struct CasoSeguimiento {
    const char* nombre;
    bool ver;
    QString tecleado;
    QByteArray flujo; // a long packet, or a ten-character one
    bool copiado;
};

class SeguimientoDeCuenta : public Manejador,
                            public testing::WithParamInterface<CasoSeguimiento> {};

TEST_P(SeguimientoDeCuenta, CopiaSoloLaCuentaSeguida) {
    const CasoSeguimiento& c = GetParam();
    CajaEspia cuenta, registro;
    cuenta.ponerTexto(c.tecleado);
    cuenta.lecturas = 0;
    registro.escrituras = 0;
    estado.verCuentaOnline = c.ver;
    m.ponerVentanaOnline(&cuenta, &registro);
    m.recibir(c.flujo);
    EXPECT_EQ(registro.escrituras, c.copiado ? 1 : 0);
    EXPECT_EQ(registro.texto().isEmpty(), !c.copiado);
    if (!c.ver) {
        EXPECT_EQ(cuenta.lecturas, 0);
    }
    // Followed or not, the report is in the online log and its row is stored.
    EXPECT_EQ(text1.texto().count(QStringLiteral("\r\n")), 1);
    EXPECT_EQ(leer_filas(rutaBase()).size(), 1U);
}

INSTANTIATE_TEST_SUITE_P(
    Casos, SeguimientoDeCuenta,
    testing::Values(CasoSeguimiento{"VacioSigueA0000", true, "",
                                    largo('0', "00", '0', "113a01005aaaa"), true},
                    CasoSeguimiento{"VacioNoSigueOtra", true, "",
                                    largo('0', "00", '0', "113a01005a2bf"), false},
                    CasoSeguimiento{"TresDigitosSigue02bf", true, "2bf",
                                    largo('0', "00", '0', "113a01005a2bf"), true},
                    CasoSeguimiento{"DiezCaracteres500Sigue0500", true, "500", "E121f49001", true},
                    CasoSeguimiento{"DiezCaracteres1f4NoSigue", true, "1f4", "E121f49001", false},
                    CasoSeguimiento{"BanderaApagadaLargo", false, "2bf",
                                    largo('0', "00", '0', "113a01005a2bf"), false},
                    CasoSeguimiento{"BanderaApagadaDiez", false, "500", "E121f49001", false}),
    [](const auto& caso) { return std::string(caso.param.nombre); });

TEST_F(Manejador, ElRegistroSeguidoSeCortaA50000) {
    CajaMemoria cuenta, registro;
    registro.ponerTexto(QString(60000, QLatin1Char('x')));
    estado.verCuentaOnline = true;
    m.ponerVentanaOnline(&cuenta, &registro);
    m.recibir(largo('0', "00", '0', "113a01005aaaa"));
    const QString t = registro.texto();
    EXPECT_TRUE(t.startsWith(QStringLiteral("Cuenta=0000  Señal=1/16  Or=0  Ev=E130")));
    EXPECT_EQ(
        t.size(),
        QStringLiteral("Cuenta=0000  Señal=1/16  Or=0  Ev=E130  Part=01  Zona=005  14:27:13\r\n")
                .size() +
            50000);
}

TEST_F(Manejador, InsertQueFallaDejaLasLineasYUnRegistroNuevoDato) {
    const QByteArray p = largo('3', "00", '4', "113aa1a121234");
    m.recibir(p);
    const QString esperado = text1.texto();
    ASSERT_EQ(esperado.count(QStringLiteral("\r\n")), 1);
    EXPECT_TRUE(log().isEmpty());
    text1.ponerTexto({});
    ejecutar_directo(rutaBase(), {QStringLiteral("DROP TABLE TABLA_GENERAL")});
    m.recibir(p);
    EXPECT_EQ(text1.texto(), esperado);
    const QString l = log();
    EXPECT_EQ(l.count(QStringLiteral("****** Error *******")), 1);
    EXPECT_TRUE(l.endsWith(QStringLiteral("\r\nNuevoDato\r\n")));
}

// The followed account's detailed line comes with the tone of its event.
TEST_F(Manejador, LaLineaSeguidaLlevaElTonoDeSuEvento) {
    class CajaConTonosSeguida : public CajaMemoria {
    public:
        void anteponerConTonos(const QString& n, const Tonos& t) override {
            tonos = t;
            anteponer(n);
        }
        Tonos tonos;
    } cuenta, registro;
    estado.verCuentaOnline = true;
    m.ponerVentanaOnline(&cuenta, &registro);
    m.recibir(largo('0', "00", '0', "211aa1a120000"));
    EXPECT_TRUE(registro.texto().contains(QStringLiteral("Ev=R110")));
    EXPECT_EQ(registro.tonos, Tonos{Tono::Restauracion});
}

// A workstation that follows a central server shows the rows it reads back
// exactly as the console that received them showed their packets: the online
// log and the followed account's log, byte for byte, direct reports and every
// repeater alike. Here the rows are read back from the receiving console's
// database file; the viewer stores nothing.
TEST_F(Manejador, LaVistaMuestraLoMismoQueLaConsolaQueLoRecibio) {
    struct {
        const char* nombre;
        QByteArray flujo;
        const char* seguida; // the account typed in both followed-account windows
        const char* corta;   // the receiving console's first short line
    } casos[] = {
        {"Directo", largo('0', "00", '4', "113a01005a2bf"), "2bf",
         "Cuenta=02bf  Señal=5/16  Origen=0  14:27:13\r\n"},
        {"Repetidor1", largo('1', "01", 'f', "113a01005a2bf"), "2bf",
         "Cuenta=02bf  Señal=16/16  Origen=1  14:27:13\r\n"},
        {"Repetidor9", largo('9', "09", '7', "113a01005a2bf"), "2bf",
         "Cuenta=02bf  Señal=8/16  Origen=9  14:27:13\r\n"},
        {"Repetidor10", largo('a', "0a", 'f', "113a01005a2bf"), "2bf",
         "Cuenta=02bf  Señal=16/16  Origen=a  14:27:13\r\n"},
        {"Repetidor15ConSubbloques", largo('f', "7b", 'f', "113aa1a121234", "035566037788"), "5566",
         "Cuenta=7788  Señal=16/16  Origen=f  14:27:13\r\n"},
        {"DiezCaracteresDirecto", "E121f49001", "500",
         "Cuenta=0500  Señal=10/16  Origen=0  14:27:13\r\n"},
        {"DiezCaracteresRepetidor10", "t0000000a0", "0",
         "Cuenta=0000  Señal=1/16  Origen=10  14:27:13\r\n"},
        {"DiezCaracteresRepetidor15", "E121f490f1", "500",
         "Cuenta=0500  Señal=10/16  Origen=15  14:27:13\r\n"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        QTemporaryDir carpeta;
        const QString ruta = QDir(carpeta.path()).filePath(QStringLiteral("baseTolm.mdb"));
        EstadoProceso recibe, ve;
        recibe.bases.errores = ve.bases.errores = &errores;
        abrir_base_de_datos(ruta, 0, recibe.bases);
        CajaMemoria t1, t4, cuenta, registro, vistaT1, vistaT4, vistaCuenta, vistaRegistro;
        cuenta.ponerTexto(QString::fromLatin1(c.seguida));
        vistaCuenta.ponerTexto(QString::fromLatin1(c.seguida));
        recibe.verCuentaOnline = ve.verCuentaOnline = true;
        ManejadorRx consola(recibe, t1, t4, reloj);
        consola.ponerVentanaOnline(&cuenta, &registro);
        consola.recibir(c.flujo);
        EXPECT_TRUE(t1.texto().startsWith(QString::fromUtf8(c.corta)));
        ASSERT_FALSE(registro.texto().isEmpty());

        // The rows as the store gives them back, every column as text.
        std::vector<FilaEvento> leidas;
        for (const Fila& f : leer_filas(ruta))
            leidas.push_back({f.abonado, f.nivel.toInt(), f.indicador, f.momento, f.origen,
                              f.origenTodos, f.evento, f.particion, f.zona});
        ASSERT_EQ(leidas.size(), static_cast<size_t>(t1.texto().count(QStringLiteral("\r\n"))));
        ManejadorRx vista(ve, vistaT1, vistaT4, reloj);
        vista.ponerVentanaOnline(&vistaCuenta, &vistaRegistro);
        vista.mostrar_filas(leidas);
        EXPECT_EQ(vistaT1.texto(), t1.texto());
        EXPECT_EQ(vistaRegistro.texto(), registro.texto());
        EXPECT_EQ(leer_filas(ruta).size(), leidas.size());
        EXPECT_TRUE(log().isEmpty());
    }
}

} // namespace
