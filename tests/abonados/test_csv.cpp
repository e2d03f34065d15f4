// The register files' CSV, read as bytes: each record's values and the physical
// line it starts on, and the malformed records named by their line; the UTF-8
// check that comes first.

#include <gtest/gtest.h>

#include "abonados/csv_abonados.h"
#include "apoyo/apoyo.h"

namespace corvane::pruebas {
namespace {

TEST(LectorCsv, ValoresYLineasFisicas) {
    struct Caso {
        const char* nombre;
        std::string texto;
        std::vector<std::pair<qint64, std::vector<std::string>>> registros;
        qint64 lineaError = 0; // 0: none
        const char* error = "";
    } casos[] = {
        {"LfYCrLf", "a,b\r\nc,d\n", {{1, {"a", "b"}}, {2, {"c", "d"}}}},
        {"MarcaDeOrdenYSinSaltoFinal",
         "\xEF\xBB\xBF"
         "a,b\nc,",
         {{1, {"a", "b"}}, {2, {"c", ""}}}},
        {"LineasEnBlanco", "a\n\n\r\nb\n\n", {{1, {"a"}}, {4, {"b"}}}},
        {"ComillasDeVariasLineas",
         "a,\"x\r\ny\n\"\"z\"\"\",b\nc\n",
         {{1, {"a", "x\r\ny\n\"z\"", "b"}}, {4, {"c"}}}},
        {"ComillasVaciasYComas", "\"\",\",\"\n", {{1, {"", ","}}}},
        {"ComillasSinCerrar",
         "a\n\"b\nc\n",
         {{1, {"a"}}},
         2,
         "unas comillas abiertas no se cierran"},
        {"TextoTrasLasComillas",
         "a\n\"b\"c,d\n",
         {{1, {"a"}}},
         2,
         "hay texto tras las comillas que cierran un valor"},
        {"ComillasEnUnValorSinComillas",
         "a\nb\"c\n",
         {{1, {"a"}}},
         2,
         "un valor sin comillas contiene comillas"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nombre);
        LectorCsv lector(c.texto);
        std::vector<std::string_view> valores;
        qint64 linea = 0;
        QString error;
        size_t i = 0;
        while (lector.siguiente(valores, linea, error)) {
            ASSERT_LT(i, c.registros.size());
            EXPECT_EQ(linea, c.registros[i].first);
            EXPECT_EQ(std::vector<std::string>(valores.begin(), valores.end()),
                      c.registros[i].second);
            ++i;
        }
        EXPECT_EQ(i, c.registros.size());
        EXPECT_EQ(error, QString::fromUtf8(c.error));
        if (c.lineaError != 0) {
            EXPECT_EQ(linea, c.lineaError);
        }
    }
}

TEST(LectorCsv, Utf8) {
    struct Caso {
        const char* nombre;
        std::string texto;
        size_t malo; // SIZE_MAX: valid
    } casos[] = {
        {"Valido", "Pánico € 𝄞", SIZE_MAX}, {"Latin1", "P\xE1nico", 1},
        {"LargoDeMas", "a\xC0\xAF", 1},     {"Sustituto", "ab\xED\xA0\x80", 2},
        {"Cortado", "\xE2\x82", 0},         {"MasAllaDe10FFFF", "\xF4\x90\x80\x80", 0},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nombre);
        size_t malo = SIZE_MAX;
        EXPECT_EQ(utf8_valido(c.texto, malo), c.malo == SIZE_MAX);
        EXPECT_EQ(malo, c.malo);
    }
}

} // namespace
} // namespace corvane::pruebas
