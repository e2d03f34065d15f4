#include <gtest/gtest.h>

#include "apoyo/apoyo.h"

#include <vector>

#include "decoding/moduloCid.h"

namespace corvane {
void PrintTo(const EventoCid& e, std::ostream* os) {
    *os << QString(e.tipoEvento + e.evento + QLatin1Char(' ') + e.particion + QLatin1Char(' ') + e.zona +
            QLatin1Char(' ') + e.cuenta())
               .toStdString();
}
} // namespace corvane

using namespace corvane;

namespace {

EventoCid ev(const char* tipo, const char* evento, const char* particion, const char* zona,
             const char* c1, const char* c2) {
    EventoCid e;
    e.tipoEvento = QString::fromLatin1(tipo);
    e.evento = QString::fromLatin1(evento);
    e.particion = QString::fromLatin1(particion);
    e.zona = QString::fromLatin1(zona);
    e.cuenta1 = QString::fromLatin1(c1);
    e.cuenta2 = QString::fromLatin1(c2);
    return e;
}


// The order the receive handler fixes: reset, main event, sub-blocks.
std::vector<EventoCid> decodificar(const QString& paquete) {
    std::vector<EventoCid> eventos(1);
    eventos[0] = extraer_evento(paquete);
    extraer_bloques(paquete, eventos);
    return eventos;
}

// A packet whose characters 7-8 are `n`, main event at 20-32, sub-blocks after.
QString paquete(const char* n, const char* principal, const char* bloques) {
    return QStringLiteral("123456") + QString::fromLatin1(n) + QStringLiteral("00000000000") +
           QString::fromLatin1(principal) + QString::fromLatin1(bloques);
}

struct CasoCampos {
    const char* nombre;
    QString paquete;
    std::vector<EventoCid> esperados;
};

class Campos : public testing::TestWithParam<CasoCampos> {};

TEST_P(Campos, LlenaEventosCid) {
    EXPECT_EQ(decodificar(GetParam().paquete), GetParam().esperados);
}

const EventoCid kPrincipal = ev("E", "130", "01", "012", "12", "34");

INSTANTIATE_TEST_SUITE_P(
    Casos, Campos,
    testing::Values(
        CasoCampos{"EjemploResuelto", "123456140000100000f113aa1a1212343413aa13",
                   {kPrincipal, ev("R", "130", "01", "013", "12", "34")}},
        CasoCampos{"NPequenoSinBloques", paquete("10", "113aa1a121234", "3413aa13"), {kPrincipal}},
        CasoCampos{"CodigoCeroCeroTermina", paquete("ff", "113aa1a121234", "003413aa13"), {kPrincipal}},
        CasoCampos{"Codigo1fTodosLosCampos", paquete("ff", "113aa1a121234", "1f999027775566"),
                   {kPrincipal, ev("G", "999", "02", "777", "55", "66")}},
        CasoCampos{"TiposDeBloque", paquete("ff", "113aa1a121234", "40206080"),
                   {kPrincipal, ev("E", "130", "01", "012", "12", "34"), ev("R", "130", "01", "012", "12", "34"),
                    ev("O", "130", "01", "012", "12", "34"), ev("G", "130", "01", "012", "12", "34")}},
        // b5 clear: partition from record 0, not from the previous block.
        CasoCampos{"ParticionDelPrincipal", paquete("ff", "113aa1a121234", "0855a0"),
                   {kPrincipal, ev("G", "130", "55", "012", "12", "34"), ev("R", "130", "01", "012", "12", "34")}},
        CasoCampos{"TipoPrincipal4a9Vacio", paquete("10", "713aa1a121234", ""), {ev("", "130", "01", "012", "12", "34")}},
        CasoCampos{"TipoPrincipal0123", paquete("10", "013aa1a121234", ""), {ev("G", "130", "01", "012", "12", "34")}},
        CasoCampos{"TipoPrincipal3", paquete("10", "313aa1a121234", ""), {ev("O", "130", "01", "012", "12", "34")}},
        // "a" in a code keeps its hex value: a0 = 10100000, type R, no fields.
        CasoCampos{"CodigoConA", paquete("ff", "213aa1a121234", "a0"), {ev("R", "130", "01", "012", "12", "34"), ev("R", "130", "01", "012", "12", "34")}},
        // An area announced longer than the packet adds no made-up records.
        CasoCampos{"NMayorQueElPaqueteSinFantasmas", paquete("ff", "113aa1a121234", "3413aa13"),
                   {kPrincipal, ev("R", "130", "01", "013", "12", "34")}},
        // Half a code at the packet's end is no block: no record of type G made up
        // from record 0.
        CasoCampos{"CodigoPartidoAlFinalNoEsBloque", paquete("ff", "113aa1a121234", "4"), {kPrincipal}},
        CasoCampos{"CodigoPartidoTrasUnBloque", paquete("ff", "113aa1a121234", "3413aa130"),
                   {kPrincipal, ev("R", "130", "01", "013", "12", "34")}},
        // A block that runs past the end is decoded with the characters that exist.
        CasoCampos{"BloqueCortadoAlFinal", paquete("ff", "113aa1a121234", "1f99902"),
                   {kPrincipal, ev("G", "999", "02", "", "", "")}},
        CasoCampos{"PaqueteCortoCamposVacios", "1234561400001000001", {ev("", "", "", "", "", "")}}),
    [](const auto& caso) { return std::string(caso.param.nombre); });

TEST(DecodificarBloque, DevuelveElLargoDelBloque) {
    const QString p = paquete("ff", "113aa1a121234", "1f999027775566");
    std::vector<EventoCid> eventos{extraer_evento(p), EventoCid{}};
    EXPECT_EQ(decodificar_bloque(eventos.back(), QStringLiteral("1f"), 33, p, eventos), 14);
    EXPECT_EQ(decodificar_bloque(eventos.back(), QStringLiteral("80"), 33, p, eventos), 2);
    EXPECT_EQ(eventos.back().tipoEvento, "G");
    EXPECT_EQ(decodificar_bloque(eventos.back(), QString(), 33, p, eventos), 2);
}

} // namespace
