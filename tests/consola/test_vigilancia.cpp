// The supervised states of the receive line, fed a fixed clock: what a silent
// receiver and a lost port show at each change, once, and what stays in sight.

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "apoyo/apoyo.h"
#include "consola/vigilancia.h"

using namespace corvane;
using namespace corvane::pruebas;

namespace {

enum class Paso { Abre, Llega, Revisa, Pierde, Reintenta, Recupera, Cierra };

struct Hecho {
    Paso paso;
    int segundo;         // after 14:27:13
    const char* causa;   // Pierde, Reintenta
    const char* linea;   // expected line, "" none
    const char* estado;  // expected status text; null: the status line is left as it is
    bool alerta;
    int pared = 0; // seconds the wall clock stands off the steady count (a step)
};

struct Caso {
    const char* nombre;
    int segundos; // --vigilancia
    std::vector<Hecho> hechos;
    QStringList alertas; // what stays in sight at the end
    int registros;       // error.log records asked for
};

class Estados : public testing::TestWithParam<Caso> {};

TEST_P(Estados, CadaCambioSeDiceUnaVez) {
    const Caso& c = GetParam();
    Vigilancia v(c.segundos);
    const QDateTime inicio = momento(2026, 12, 6, 14, 27, 13);
    int registros = 0;
    for (std::size_t i = 0; i < c.hechos.size(); ++i) {
        const Hecho& h = c.hechos[i];
        SCOPED_TRACE(testing::Message() << "hecho " << i << " a los " << h.segundo << " s");
        const Instante t(inicio.addSecs(h.segundo + h.pared), inicio.toMSecsSinceEpoch() + h.segundo * 1000LL);
        const QString causa = QString::fromUtf8(h.causa);
        CambioVigilado r;
        switch (h.paso) {
        case Paso::Abre:
            v.abierto(t);
            break;
        case Paso::Llega:
            r = v.llegada(t);
            break;
        case Paso::Revisa:
            r = v.revisar(t);
            break;
        case Paso::Pierde:
            r = v.perdido(QStringLiteral("/dev/ttyUSB0"), t, causa);
            break;
        case Paso::Reintenta:
            r = v.reintento(t, causa);
            break;
        case Paso::Recupera:
            r = v.recuperado(t);
            break;
        case Paso::Cierra:
            r = v.cerrado();
            break;
        }
        EXPECT_EQ(r.linea, QString::fromUtf8(h.linea));
        EXPECT_EQ(r.estado, h.estado ? std::optional<QString>(QString::fromUtf8(h.estado)) : std::nullopt);
        EXPECT_EQ(r.alerta, h.alerta);
        if (r.registrar) ++registros;
    }
    EXPECT_EQ(v.alertas(), c.alertas);
    EXPECT_EQ(registros, c.registros);
}

INSTANTIATE_TEST_SUITE_P(
    Casos, Estados,
    testing::Values(
        Caso{"SilencioEmpiezaUnaVezYTerminaAlLlegar",
             10,
             {{Paso::Abre, 0, "", "", nullptr, false},
              {Paso::Llega, 5, "", "", nullptr, false},
              {Paso::Revisa, 14, "", "", nullptr, false},
              {Paso::Revisa, 15, "", "*** Receptor sin actividad desde 14:27:18 ***",
               "Receptor sin actividad desde 14:27:18", true},
              {Paso::Revisa, 40, "", "", nullptr, false},
              {Paso::Llega, 47, "", "*** Receptor activo de nuevo a las 14:28:00 (sin actividad 42 s) ***",
               "Receptor activo de nuevo a las 14:28:00 (sin actividad 42 s)", false},
              {Paso::Revisa, 56, "", "", nullptr, false}},
             {},
             1},
        Caso{"NadaDesdeQueSeAbreYLuegoSePierde",
             3600,
             {{Paso::Abre, 0, "", "", nullptr, false},
              {Paso::Revisa, 3599, "", "", nullptr, false},
              {Paso::Revisa, 3600, "", "*** Receptor sin actividad desde 14:27:13 ***",
               "Receptor sin actividad desde 14:27:13", true},
              {Paso::Pierde, 3601, "sin permiso", "*** Puerto /dev/ttyUSB0 perdido a las 15:27:14 ***",
               "Puerto /dev/ttyUSB0 perdido a las 15:27:14; reintentando (sin permiso)   15:27:14", true}},
             {"Puerto /dev/ttyUSB0 perdido a las 15:27:14; reintentando (sin permiso)",
              "Receptor sin actividad desde 14:27:13"},
             1},
        // The wall clock steps back an hour (NTP, an operator): the silence is
        // still told after the set seconds of the steady count, at the wall
        // clock's time of the last character; a step forward starts none.
        Caso{"RelojAtrasadoUnaHora",
             90,
             {{Paso::Abre, 0, "", "", nullptr, false},
              {Paso::Llega, 10, "", "", nullptr, false},
              {Paso::Revisa, 99, "", "", nullptr, false, -3600},
              {Paso::Revisa, 100, "", "*** Receptor sin actividad desde 14:27:23 ***",
               "Receptor sin actividad desde 14:27:23", true, -3600},
              {Paso::Llega, 110, "", "*** Receptor activo de nuevo a las 13:29:03 (sin actividad 100 s) ***",
               "Receptor activo de nuevo a las 13:29:03 (sin actividad 100 s)", false, -3600}},
             {},
             1},
        Caso{"RelojAdelantadoUnaHora",
             90,
             {{Paso::Abre, 0, "", "", nullptr, false},
              {Paso::Llega, 10, "", "", nullptr, false},
              {Paso::Revisa, 15, "", "", nullptr, false, 3600},
              {Paso::Revisa, 99, "", "", nullptr, false, 3600}},
             {},
             0},
        Caso{"CeroNoVigila",
             0,
             {{Paso::Abre, 0, "", "", nullptr, false}, {Paso::Revisa, 86400, "", "", nullptr, false}},
             {},
             0},
        Caso{"PuertoPerdidoReintentaYVuelveSinSilencioMientras",
             10,
             {{Paso::Abre, 0, "", "", nullptr, false},
              {Paso::Pierde, 3, "error de entrada/salida", "*** Puerto /dev/ttyUSB0 perdido a las 14:27:16 ***",
               "Puerto /dev/ttyUSB0 perdido a las 14:27:16; reintentando (error de entrada/salida)   14:27:16", true},
              {Paso::Revisa, 30, "", "", nullptr, false},
              {Paso::Reintenta, 33, "no existe el dispositivo", "",
               "Puerto /dev/ttyUSB0 perdido a las 14:27:16; reintentando (no existe el dispositivo)   14:27:46", true},
              {Paso::Recupera, 36, "", "*** Puerto /dev/ttyUSB0 recuperado a las 14:27:49 ***",
               "Puerto /dev/ttyUSB0 recuperado a las 14:27:49", false},
              {Paso::Revisa, 45, "", "", nullptr, false},
              {Paso::Revisa, 46, "", "*** Receptor sin actividad desde 14:27:49 ***",
               "Receptor sin actividad desde 14:27:49", true}},
             {"Receptor sin actividad desde 14:27:49"},
             1},
        Caso{"CerrarMientrasSePierdeBorraElTexto",
             10,
             {{Paso::Abre, 0, "", "", nullptr, false},
              {Paso::Pierde, 3, "", "*** Puerto /dev/ttyUSB0 perdido a las 14:27:16 ***",
               "Puerto /dev/ttyUSB0 perdido a las 14:27:16; reintentando   14:27:16", true},
              {Paso::Cierra, 5, "", "", "", false},
              {Paso::Reintenta, 6, "x", "", nullptr, false},
              {Paso::Revisa, 100, "", "", nullptr, false}},
             {},
             0},
        Caso{"CerrarSinNadaQueDecirNoTocaLaLinea",
             10,
             {{Paso::Abre, 0, "", "", nullptr, false}, {Paso::Cierra, 5, "", "", nullptr, false}},
             {},
             0},
        Caso{"ElSilencioSigueTrasUnaPerdidaHastaQueLlega",
             10,
             {{Paso::Abre, 0, "", "", nullptr, false},
              {Paso::Revisa, 10, "", "*** Receptor sin actividad desde 14:27:13 ***",
               "Receptor sin actividad desde 14:27:13", true},
              {Paso::Pierde, 12, "", "*** Puerto /dev/ttyUSB0 perdido a las 14:27:25 ***",
               "Puerto /dev/ttyUSB0 perdido a las 14:27:25; reintentando   14:27:25", true},
              {Paso::Reintenta, 20, "sin permiso", "",
               "Puerto /dev/ttyUSB0 perdido a las 14:27:25; reintentando (sin permiso)   14:27:33", true},
              {Paso::Recupera, 22, "", "*** Puerto /dev/ttyUSB0 recuperado a las 14:27:35 ***",
               "Puerto /dev/ttyUSB0 recuperado a las 14:27:35", false},
              {Paso::Revisa, 40, "", "", nullptr, false},
              {Paso::Llega, 47, "", "*** Receptor activo de nuevo a las 14:28:00 (sin actividad 47 s) ***",
               "Receptor activo de nuevo a las 14:28:00 (sin actividad 47 s)", false}},
             {},
             1}),
    [](const testing::TestParamInfo<Caso>& fila) { return std::string(fila.param.nombre); });

} // namespace
