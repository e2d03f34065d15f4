#include <gtest/gtest.h>

#include "apoyo/apoyo.h"
#include "decoding/codigos_evento.h"
#include "decoding/moduloCid.h"
#include "evento/informe.h"

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

// A row as the store reads it back, every column as text.
Fila como_fila(const FilaEvento& f) {
    return {f.abonado,   QString::number(f.nivel),
            f.indicador, f.momento,
            f.origen,    f.origenTodos,
            f.evento,    f.particion,
            f.zona};
}

// The short lines of a packet's rows as the online log takes them: the row of
// the highest index first.
QString cortas(const std::vector<FilaEvento>& filas) {
    QString r;
    for (const FilaEvento& f : filas) r.prepend(lineas_informe(f).corta);
    return r;
}

class Informes : public testing::Test {
protected:
    std::vector<EventoCid> eventos(const QString& p) {
        std::vector<EventoCid> e;
        decodificar_largo(p, e);
        return e;
    }
    std::vector<FilaEvento> filas(const QString& p) {
        return procesar_eventos_cid(p, eventos(p), reloj);
    }

    RelojFijo reloj{momento(2026, 12, 6, 14, 27, 13)};
};

TEST_F(Informes, TresRegistrosTresFilasEnOrdenYLaPrimeraLineaEsLaDelIndice2) {
    // Main event of account 1234, then two sub-blocks carrying accounts 5566 and 7788.
    const std::vector<FilaEvento> f = filas(largo('a', "7b", 'f', "113aa1a121234", "035566037788"));
    EXPECT_EQ(cortas(f), QStringLiteral("Cuenta=7788  Señal=16/16  Origen=a  14:27:13\r\n"
                                        "Cuenta=5566  Señal=16/16  Origen=a  14:27:13\r\n"
                                        "Cuenta=1234  Señal=16/16  Origen=a  14:27:13\r\n"));
    const std::vector<Fila> esperadas = {
        {"1234", "16", "00", "2026-12-06 14:27:13", "10", "7b", "E130", "01", "012"},
        {"5566", "16", "00", "2026-12-06 14:27:13", "10", "7b", "G130", "01", "012"},
        {"7788", "16", "00", "2026-12-06 14:27:13", "10", "7b", "G130", "01", "012"},
    };
    std::vector<Fila> dadas;
    for (const FilaEvento& x : f) dadas.push_back(como_fila(x));
    EXPECT_EQ(dadas, esperadas);
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
        const std::vector<FilaEvento> f = filas(largo(c.origen, "00", c.senal, "113a01005aa05"));
        ASSERT_EQ(f.size(), 1U);
        const LineasInforme l = lineas_informe(f[0]);
        const QString nivel = QString::fromLatin1(c.nivel);
        const QString origen(QLatin1Char(c.origen));
        EXPECT_EQ(l.corta, QStringLiteral("Cuenta=0005  Señal=") + nivel +
                               QStringLiteral("/16  Origen=") + origen +
                               QStringLiteral("  14:27:13\r\n"));
        EXPECT_EQ(l.detallada, QStringLiteral("Cuenta=0005  Señal=") + nivel +
                                   QStringLiteral("/16  Or=") + origen +
                                   QStringLiteral("  Ev=E130  Part=01  Zona=005  14:27:13\r\n"));
        EXPECT_EQ(como_fila(f[0]).nivel, nivel);
        EXPECT_EQ(f[0].origen, QString::fromLatin1(c.origenGuardado));
        EXPECT_EQ(f[0].particion, "01");
        EXPECT_EQ(f[0].zona, "005");
    }
}

TEST_F(Informes, PaqueteDeDiezDelEjemplo) {
    struct {
        const char* paquete;
        const char* linea;
        const char* detallada;
        Fila fila;
    } casos[] = {
        {"E121f49001",
         "Cuenta=0500  Señal=10/16  Origen=0  14:27:13\r\n",
         "Cuenta=0500  Señal=10/16  Or=0  Ev=12  14:27:13\r\n",
         {"0500", "10", "01", "2026-12-06 14:27:13", "0", "----", "12", "----", "----"}},
        {"mabfffa0b3",
         "Cuenta=4095  Señal=11/16  Origen=11  14:27:13\r\n",
         "Cuenta=4095  Señal=11/16  Or=11  Ev=ab  14:27:13\r\n",
         {"4095", "11", "b3", "2026-12-06 14:27:13", "11", "----", "ab", "----", "----"}},
        {"t0000000a0",
         "Cuenta=0000  Señal=1/16  Origen=10  14:27:13\r\n",
         "Cuenta=0000  Señal=1/16  Or=10  Ev=00  14:27:13\r\n",
         {"0000", "1", "a0", "2026-12-06 14:27:13", "10", "----", "00", "----", "----"}},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.paquete);
        const FilaEvento f = procesar_paquete_corto(QString::fromLatin1(c.paquete), reloj);
        EXPECT_EQ(lineas_informe(f).corta, QString::fromUtf8(c.linea));
        EXPECT_EQ(lineas_informe(f).detallada, QString::fromUtf8(c.detallada));
        EXPECT_EQ(como_fila(f), c.fila);
    }
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

// A report read as the day changes: its row's moment comes from one reading of
// the clock, and so do its lines, built from the row, for both packet kinds.
TEST_F(Informes, LineaYMomentoGuardadoDeUnaLecturaDelReloj) {
    struct {
        const char* paquete;
        const char* linea;
    } casos[] = {{"E121f49001", "Cuenta=0500  Señal=10/16  Origen=0  23:59:59\r\n"},
                 {"largo", "Cuenta=1234  Señal=16/16  Origen=a  23:59:59\r\n"}};
    for (const auto& c : casos) {
        SCOPED_TRACE(c.paquete);
        const RelojQueCorre corre(momento(2026, 12, 6, 23, 59, 59));
        const QString p = QString::fromLatin1(c.paquete);
        const QString paqueteLargo = largo('a', "7b", 'f', "113aa1a121234", "");
        const std::vector<FilaEvento> f =
            p == QLatin1String("largo")
                ? procesar_eventos_cid(paqueteLargo, eventos(paqueteLargo), corre)
                : std::vector<FilaEvento>{procesar_paquete_corto(p, corre)};
        ASSERT_EQ(f.size(), 1U);
        EXPECT_EQ(f[0].momento, QStringLiteral("2026-12-06 23:59:59"));
        EXPECT_EQ(lineas_informe(f[0]).corta, QString::fromUtf8(c.linea));
        EXPECT_TRUE(lineas_informe(f[0]).detallada.endsWith(QStringLiteral("  23:59:59\r\n")));
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
