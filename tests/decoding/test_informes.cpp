#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "apoyo/apoyo.h"
#include "decoding/codigos_evento.h"
#include "decoding/moduloCid.h"
#include "store/funcionesBaseDatos.h"

using namespace corvane;
using namespace corvane::pruebas;

namespace {

// A long packet built by position: origin at 13, all-origins field at 15-16,
// signal at 19, the main event at 20-32 and the sub-blocks from 33.
QString largo(char origen, const char* todos, char senal, const char* principal,
              const char* bloques = "") {
    return QStringLiteral("123456ff0000") + QLatin1Char(origen) + QLatin1Char('0') +
           QString::fromLatin1(todos) + QStringLiteral("00") + QLatin1Char(senal) +
           QString::fromLatin1(principal) + QString::fromLatin1(bloques);
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

class Informes : public testing::Test {
protected:
    void SetUp() override {
        bases.errores = &errores;
        inic_base_de_datos(bases);
        abrir_base_de_datos(rutaBase(), 0, bases);
        ASSERT_EQ(bases.abierta[0], 1);
    }
    QString rutaBase() const { return QDir(dir.path()).filePath(QStringLiteral("baseTolm.mdb")); }
    QString log() const { return leer_texto(errores.ruta()); }

    std::vector<EventoCid> eventos(const QString& p) {
        std::vector<EventoCid> e;
        decodificar_largo(p, e);
        return e;
    }
    QString procesar(const QString& p, const CuentaOnline& online = {}) {
        return procesar_eventos_cid(p, eventos(p), online, bases, reloj);
    }

    QTemporaryDir dir;
    RelojFijo reloj{momento(2026, 12, 6, 14, 27, 13)};
    RegistroErrores errores{dir.path(), reloj};
    ConjuntoBases bases;
};

TEST_F(Informes, TresRegistrosTresFilasEnOrdenYLaPrimeraLineaEsLaDelIndice2) {
    // Main event of account 1234, then two sub-blocks carrying accounts 5566 and 7788.
    const QString p = largo('a', "7b", 'f', "113aa1a121234", "035566037788");
    const QString r = procesar(p);
    EXPECT_EQ(r, QStringLiteral("Cuenta=7788  Señal=16/16  Origen=a  14:27:13\r\n"
                                "Cuenta=5566  Señal=16/16  Origen=a  14:27:13\r\n"
                                "Cuenta=1234  Señal=16/16  Origen=a  14:27:13\r\n"));
    const std::vector<Fila> esperadas = {
        {"1234", "16", "00", "2026-12-06 14:27:13", "10", "7b", "E130", "01", "012"},
        {"5566", "16", "00", "2026-12-06 14:27:13", "10", "7b", "G130", "01", "012"},
        {"7788", "16", "00", "2026-12-06 14:27:13", "10", "7b", "G130", "01", "012"},
    };
    EXPECT_EQ(leer_filas(rutaBase()), esperadas);
    EXPECT_TRUE(log().isEmpty());
}

TEST_F(Informes, SenalYOrigenSeMuestranYSeGuardan) {
    struct {
        char origen;
        char senal;
        const char* nivel;
        const char* origenGuardado;
    } casos[] = {{'0', '0', "1", "0"}, {'a', 'f', "16", "10"}, {'f', '9', "10", "15"}};
    for (const auto& c : casos) {
        SCOPED_TRACE(c.origen);
        CajaMemoria cuenta, registro;
        const CuentaOnline online{true, &cuenta, &registro};
        cuenta.ponerTexto(QStringLiteral("5"));
        const QString r = procesar(largo(c.origen, "00", c.senal, "113a01005aa05"), online);
        const QString nivel = QString::fromLatin1(c.nivel);
        const QString origen(QLatin1Char(c.origen));
        EXPECT_EQ(r, QStringLiteral("Cuenta=0005  Señal=") + nivel + QStringLiteral("/16  Origen=") +
                         origen + QStringLiteral("  14:27:13\r\n"));
        EXPECT_EQ(registro.texto(), QStringLiteral("Cuenta=0005  Señal=") + nivel +
                                        QStringLiteral("/16  Or=") + origen +
                                        QStringLiteral("  Ev=E130  Part=01  Zona=005  14:27:13\r\n"));
        const auto filas = leer_filas(rutaBase());
        ASSERT_FALSE(filas.empty());
        EXPECT_EQ(filas.back().nivel, nivel);
        EXPECT_EQ(filas.back().origen, QString::fromLatin1(c.origenGuardado));
        EXPECT_EQ(filas.back().particion, "01");
        EXPECT_EQ(filas.back().zona, "005");
    }
}

struct CasoSeguimiento {
    const char* nombre;
    bool ver;
    QString tecleado;
    QString paquete; // a long packet, or a ten-character one
    bool copiado;
};

class Seguimiento : public Informes, public testing::WithParamInterface<CasoSeguimiento> {};

TEST_P(Seguimiento, CopiaSoloLaCuentaSeguida) {
    const CasoSeguimiento& c = GetParam();
    CajaEspia cuenta, registro;
    cuenta.ponerTexto(c.tecleado);
    cuenta.lecturas = 0;
    registro.escrituras = 0;
    const CuentaOnline online{c.ver, &cuenta, &registro};
    if (c.paquete.size() == 10) {
        procesar_paquete_corto(c.paquete, online, bases, reloj);
    } else {
        procesar(c.paquete, online);
    }
    EXPECT_EQ(registro.escrituras, c.copiado ? 1 : 0);
    EXPECT_EQ(registro.texto().isEmpty(), !c.copiado);
    if (!c.ver) {
        EXPECT_EQ(cuenta.lecturas, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Casos, Seguimiento,
    testing::Values(
        CasoSeguimiento{"VacioSigueA0000", true, "", largo('0', "00", '0', "113a01005aaaa"), true},
        CasoSeguimiento{"VacioNoSigueOtra", true, "", largo('0', "00", '0', "113a01005a2bf"), false},
        CasoSeguimiento{"TresDigitosSigue02bf", true, "2bf", largo('0', "00", '0', "113a01005a2bf"), true},
        CasoSeguimiento{"DiezCaracteres500Sigue0500", true, "500", "E121f49001", true},
        CasoSeguimiento{"DiezCaracteres1f4NoSigue", true, "1f4", "E121f49001", false},
        CasoSeguimiento{"BanderaApagadaLargo", false, "2bf", largo('0', "00", '0', "113a01005a2bf"), false},
        CasoSeguimiento{"BanderaApagadaDiez", false, "500", "E121f49001", false}),
    [](const auto& caso) { return std::string(caso.param.nombre); });

TEST_F(Informes, ElRegistroSeguidoSeCortaA50000) {
    CajaMemoria cuenta, registro;
    registro.ponerTexto(QString(60000, QLatin1Char('x')));
    procesar(largo('0', "00", '0', "113a01005aaaa"), {true, &cuenta, &registro});
    const QString t = registro.texto();
    EXPECT_TRUE(t.startsWith(QStringLiteral("Cuenta=0000  Señal=1/16  Or=0  Ev=E130")));
    EXPECT_EQ(t.size(), QStringLiteral("Cuenta=0000  Señal=1/16  Or=0  Ev=E130  Part=01  Zona=005  14:27:13\r\n").size() + 50000);
}

TEST_F(Informes, InsertQueFallaDejaLasLineasYUnRegistroNuevoDato) {
    const QString p = largo('3', "00", '4', "113aa1a121234");
    const QString esperado = procesar(p);
    ejecutar_directo(rutaBase(), {QStringLiteral("DROP TABLE TABLA_GENERAL")});
    EXPECT_EQ(procesar(p), esperado);
    const QString l = log();
    EXPECT_EQ(l.count(QStringLiteral("****** Error *******")), 1);
    EXPECT_TRUE(l.endsWith(QStringLiteral("\r\nNuevoDato\r\n")));
}

TEST_F(Informes, PaqueteDeDiezDelEjemplo) {
    struct {
        const char* paquete;
        const char* linea;
        Fila fila;
    } casos[] = {
        {"E121f49001", "Cuenta=0500  Señal=10/16  Origen=0  14:27:13\r\n",
         {"0500", "10", "01", "2026-12-06 14:27:13", "0", "----", "12", "----", "----"}},
        {"mabfffa0b3", "Cuenta=4095  Señal=11/16  Origen=11  14:27:13\r\n",
         {"4095", "11", "b3", "2026-12-06 14:27:13", "11", "----", "ab", "----", "----"}},
        {"t0000000a0", "Cuenta=0000  Señal=1/16  Origen=10  14:27:13\r\n",
         {"0000", "1", "a0", "2026-12-06 14:27:13", "10", "----", "00", "----", "----"}},
    };
    std::vector<Fila> esperadas;
    for (const auto& c : casos) {
        SCOPED_TRACE(c.paquete);
        EXPECT_EQ(procesar_paquete_corto(QString::fromLatin1(c.paquete), {}, bases, reloj),
                  QString::fromUtf8(c.linea));
        esperadas.push_back(c.fila);
    }
    EXPECT_EQ(leer_filas(rutaBase()), esperadas);
}

// A clock that moves on one second at every reading.
class RelojQueCorre : public Reloj {
public:
    explicit RelojQueCorre(QDateTime m) : m_(std::move(m)) {}
    QDateTime ahora() const override {
        const QDateTime r = m_;
        m_ = m_.addSecs(1);
        return r;
    }

private:
    mutable QDateTime m_;
};

// A report read as the day changes: its line and its stored moment come from one
// reading of the clock, and the stored row gives the same line again (as a
// workstation that follows the server shows it), for both packet kinds.
TEST_F(Informes, LineaYMomentoGuardadoDeUnaLecturaDelReloj) {
    struct {
        const char* paquete;
        const char* linea;
    } casos[] = {{"E121f49001", "Cuenta=0500  Señal=10/16  Origen=0  23:59:59\r\n"},
                 {"largo", "Cuenta=1234  Señal=16/16  Origen=a  23:59:59\r\n"}};
    for (const auto& c : casos) {
        SCOPED_TRACE(c.paquete);
        const RelojQueCorre corre(momento(2026, 12, 6, 23, 59, 59));
        std::vector<FilaEvento> filas;
        const QString p = QString::fromLatin1(c.paquete);
        const QString linea = p == QLatin1String("largo")
                                  ? procesar_eventos_cid(largo('a', "7b", 'f', "113aa1a121234", ""),
                                                         eventos(largo('a', "7b", 'f', "113aa1a121234", "")), {},
                                                         bases, corre, &filas)
                                  : procesar_paquete_corto(p, {}, bases, corre, &filas);
        EXPECT_EQ(linea, QString::fromUtf8(c.linea));
        ASSERT_EQ(filas.size(), 1U);
        EXPECT_EQ(filas[0].momento, QStringLiteral("2026-12-06 23:59:59"));
        EXPECT_EQ(informar_fila(filas[0], {}), linea);
    }
}

// A handful of well-known codes: their description, class, state, whether they
// are an alarm to acknowledge and the tone of their line.
TEST(CodigosDeEvento, DescripcionClaseEstadoYTono) {
    using C = ClaseEvento;
    using S = EstadoEvento;
    struct {
        const char* evento;
        const char* descripcion;
        ClaseEvento clase;
        EstadoEvento estado;
        bool alarma;
        Tono tono;
    } casos[] = {
        {"E110", "Incendio", C::Fuego, S::Nuevo, true, Tono::Alarma},
        {"E120", "Pánico", C::Panico, S::Nuevo, true, Tono::Alarma},
        {"E100", "Emergencia médica", C::Medica, S::Nuevo, true, Tono::Alarma},
        {"E130", "Robo", C::Robo, S::Nuevo, true, Tono::Robo},
        {"R130", "Robo", C::Robo, S::Restauracion, false, Tono::Restauracion},
        {"G110", "Incendio", C::Fuego, S::SinEstado, false, Tono::Alarma},
        {"O130", "Robo", C::Robo, S::SinEstado, false, Tono::Robo},
        {"E301", "Corte de energía eléctrica", C::Averia, S::Nuevo, false, Tono::Averia},
        {"R301", "Corte de energía eléctrica", C::Averia, S::Restauracion, false, Tono::Restauracion},
        {"E401", "Apertura/cierre por usuario", C::AperturaCierre, S::Nuevo, false, Tono::Rutina},
        {"R401", "Apertura/cierre por usuario", C::AperturaCierre, S::Restauracion, false, Tono::Rutina},
        {"E602", "Prueba periódica", C::Prueba, S::Nuevo, false, Tono::Rutina},
        {"E570", "Zona anulada", C::Anulacion, S::Nuevo, false, Tono::Normal},
        {"E999", "Código 999", C::Otro, S::Nuevo, false, Tono::Normal},
        {"R999", "Código 999", C::Otro, S::Restauracion, false, Tono::Restauracion},
        {"E1b0", "Código 1b0", C::Otro, S::Nuevo, false, Tono::Normal},
        // A ten-character packet's event; a type digit past 3 leaves no letter.
        {"12", "Código 12", C::Otro, S::SinEstado, false, Tono::Normal},
        {"110", "Incendio", C::Fuego, S::SinEstado, false, Tono::Alarma},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.evento);
        const QString evento = QString::fromLatin1(c.evento);
        const ClasificacionEvento k = clasificar_evento(evento);
        EXPECT_EQ(describir_evento(evento), QString::fromUtf8(c.descripcion));
        EXPECT_EQ(k.clase, c.clase);
        EXPECT_EQ(k.estado, c.estado);
        EXPECT_EQ(k.alarma(), c.alarma);
        EXPECT_EQ(k.tono(), c.tono);
    }
}

// The followed account's detailed line comes with the tone of its event.
TEST_F(Informes, LaLineaSeguidaLlevaElTonoDeSuEvento) {
    class CajaConTonos : public CajaMemoria {
    public:
        void anteponerConTonos(const QString& n, const Tonos& t) override {
            tonos = t;
            anteponer(n);
        }
        Tonos tonos;
    } cuenta, registro;
    procesar(largo('0', "00", '0', "211aa1a120000"), {true, &cuenta, &registro});
    EXPECT_TRUE(registro.texto().contains(QStringLiteral("Ev=R110")));
    EXPECT_EQ(registro.tonos, Tonos{Tono::Restauracion});
}

TEST(PaqueteRx, LineaDeEstado) {
    RelojFijo reloj(momento(2026, 12, 6, 8, 0, 1));
    EXPECT_EQ(procesar_paquete_rx(QStringLiteral("0a0f"), reloj), QStringLiteral("Rx=10   Señal=16/16   08:00:01"));
    EXPECT_EQ(procesar_paquete_rx(QStringLiteral("0000"), reloj), QStringLiteral("Rx=0   Señal=1/16   08:00:01"));
    // Values of 100 or more are shown whole; the level is not bounded by 16.
    EXPECT_EQ(procesar_paquete_rx(QStringLiteral("ff63"), reloj), QStringLiteral("Rx=255   Señal=100/16   08:00:01"));
    // A ten-character packet cut to four: its letter is a bad digit unless A..F.
    EXPECT_EQ(procesar_paquete_rx(QStringLiteral("m12a"), reloj), QStringLiteral("Rx=0   Señal=43/16   08:00:01"));
    EXPECT_EQ(procesar_paquete_rx(QStringLiteral("B12a"), reloj), QStringLiteral("Rx=177   Señal=43/16   08:00:01"));
}

} // namespace
