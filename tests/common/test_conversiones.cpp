#include <gtest/gtest.h>

#include "apoyo/apoyo.h"

#include "common/comun.h"

using namespace corvane;

namespace {

struct CasoConversion {
    const char* nombre;
    QString texto;
    int origen;
    int destino;
    int ancho;
    QString esperado;
};

class ConvertirBaseConCeros : public testing::TestWithParam<CasoConversion> {};

TEST_P(ConvertirBaseConCeros, DaElTextoEsperado) {
    const CasoConversion& c = GetParam();
    EXPECT_EQ(convertir_base_con_ceros(c.texto, c.origen, c.destino, c.ancho), c.esperado);
}

INSTANTIATE_TEST_SUITE_P(
    Casos, ConvertirBaseConCeros,
    testing::Values(
        CasoConversion{"HexADecimalCeroA", "0a", 16, 10, 3, "010"},
        CasoConversion{"HexADecimalFF", "ff", 16, 10, 3, "255"},
        CasoConversion{"HexMayusculaADecimal", "F", 16, 10, 3, "015"},
        CasoConversion{"HexABinarioFF", "FF", 16, 2, 8, "11111111"},
        CasoConversion{"HexABinario5", "5", 16, 2, 8, "00000101"},
        CasoConversion{"HexAHexMinusculas", "1A2B", 16, 16, 4, "1a2b"},
        CasoConversion{"HexAHexRelleno", "c", 16, 16, 4, "000c"},
        CasoConversion{"HexAHexDosDigitos", "12", 16, 16, 4, "0012"},
        CasoConversion{"DigitoMaloDaCeros", "G1", 16, 10, 3, "000"},
        CasoConversion{"BlancoDaCeros", " 5", 16, 10, 3, "000"},
        CasoConversion{"VacioDaCeros", "", 16, 10, 3, "000"},
        CasoConversion{"SignoDaCeros", "-1", 10, 10, 2, "00"},
        CasoConversion{"DecimalRelleno", "7", 10, 10, 2, "07"},
        CasoConversion{"BaseOrigenNoSoportada", "12", 7, 10, 3, "000"},
        CasoConversion{"BaseDestinoNoSoportada", "12", 10, 7, 3, "000"},
        CasoConversion{"OctalADecimal", "17", 8, 10, 2, "15"},
        // A result wider than the width is returned whole, never cut.
        CasoConversion{"MasAnchoQueElAnchoEnteroFF", "ff", 16, 10, 2, "255"},
        CasoConversion{"CuentaDeCincoDigitos", "12345", 16, 16, 4, "12345"},
        // Out of range: values above 2^31 - 1 count as invalid.
        CasoConversion{"MaximoDe32Bits", "7fffffff", 16, 10, 1, "2147483647"},
        CasoConversion{"PasaDe32Bits", "80000000", 16, 10, 3, "000"},
        CasoConversion{"TextoEnormeDeCeros", QString(40000, QLatin1Char('0')), 16, 10, 2, "00"},
        CasoConversion{"CuentaTecleadaVacia", "", 16, 16, 4, "0000"}),
    [](const auto& caso) { return std::string(caso.param.nombre); });

TEST(BaseADecimal, CasosDeBorde) {
    struct {
        QString texto;
        int base;
        double esperado;
    } casos[] = {
        {"", 16, 0}, {"", 2, 0}, {"1G", 16, -1}, {"10", 8, 8}, {"2", 2, -1}, {"8", 8, -1},
        {"A", 10, -1}, {"ff", 16, 255}, {"12", 3, -1}, {"7FFFFFFF", 16, 2147483647.0},
        {"100000000", 16, -1}, {QString(32767, QLatin1Char('1')), 2, -1},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.texto.left(20).toStdString());
        EXPECT_EQ(base_a_decimal(c.texto, c.base), c.esperado);
    }
}

TEST(DecimalABase, CasosDeBorde) {
    EXPECT_EQ(decimal_a_base(0, 16), "0");
    EXPECT_EQ(decimal_a_base(255, 16), "FF");
    EXPECT_EQ(decimal_a_base(-3, 10), "");
    EXPECT_EQ(decimal_a_base(5, 7), "");
    EXPECT_EQ(decimal_a_base(5, 2), "101");
    EXPECT_EQ(decimal_a_base(4294967296.0, 16), "");
    EXPECT_EQ(convertir_base("ff", 16, 2), "11111111");
    EXPECT_EQ(convertir_base("zz", 16, 2), "");
}

TEST(Subcadena, PosicionesPasadoElFinalDanLoQueExiste) {
    const QString t = QStringLiteral("abcdef");
    EXPECT_EQ(subcadena(t, 5, 3), "ef");
    EXPECT_EQ(subcadena(t, 7, 2), "");
    EXPECT_EQ(subcadena(t, 1, 2), "ab");
    EXPECT_EQ(caracter(t, 6), "f");
    EXPECT_EQ(caracter(t, 0), "");
}

} // namespace
