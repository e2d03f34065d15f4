#include <gtest/gtest.h>

#include "apoyo/apoyo.h"

#include <vector>

#include "reception/tramas.h"

using namespace corvane;

namespace {

const char* const kLargo = "123456140000100000f113aa1a1212343413aa13"; // 40 characters, accepted

struct Item {
    TipoItem tipo;
    QString texto;
    bool operator==(const Item&) const = default;
};

void PrintTo(const Item& i, std::ostream* os) {
    *os << static_cast<int>(i.tipo) << ':' << i.texto.toStdString();
}

struct Resultado {
    std::vector<Item> items;
    QString buffer;
    QString estado;
};

Resultado enmarcar(const QByteArray& flujo, const QString& estadoInicial = kEstadoN) {
    Resultado r;
    r.estado = estadoInicial;
    for (const char c : flujo) {
        const ItemRx item = recibir_caracter(c, r.buffer, r.estado);
        if (item.tipo != TipoItem::Ninguno) r.items.push_back({item.tipo, item.texto});
    }
    return r;
}

struct CasoTrama {
    const char* nombre;
    QByteArray flujo;
    std::vector<Item> esperados;
    QString estadoFinal;
};

class Tramas : public testing::TestWithParam<CasoTrama> {};

TEST_P(Tramas, EnmarcaCaracterACaracter) {
    const CasoTrama& c = GetParam();
    const Resultado r = enmarcar(c.flujo);
    EXPECT_EQ(r.items, c.esperados);
    EXPECT_EQ(r.estado, c.estadoFinal);
}

QByteArray con(const char* a, const char* b = "", const char* d = "") {
    return QByteArray(a) + QByteArray(b) + QByteArray(d);
}
QString largoCon(int pos, char c) {
    QString p = QString::fromLatin1(kLargo);
    p[pos - 1] = QLatin1Char(c);
    return p;
}

INSTANTIATE_TEST_SUITE_P(
    Casos, Tramas,
    testing::Values(
        CasoTrama{"PaqueteDeCuatro", "\n0a1b\r", {{TipoItem::PaqueteCuatro, "0a1b"}}, kEstadoN},
        CasoTrama{"TresCaracteresNoDanNada", "\n0a1\r", {}, kEstadoN},
        CasoTrama{"LargoAceptado", con("\n", kLargo, "\r"), {{TipoItem::PaqueteLargo, kLargo}}, kEstadoN},
        CasoTrama{"LargoConIndicador01", ("\n" + largoCon(10, '1') + "\r").toLatin1(), {}, kEstadoN},
        CasoTrama{"LargoConTipo3", ("\n" + largoCon(20, '3') + "\r").toLatin1(), {}, kEstadoN},
        // Character 20 must be a decimal digit: a letter there, or a packet
        // shorter than 20 characters, is dropped.
        CasoTrama{"LargoConTipoLetra", ("\n" + largoCon(20, 'b') + "\r").toLatin1(), {}, kEstadoN},
        CasoTrama{"LargoDeQuinceCaracteres", "\n12345678001234\r", {}, kEstadoN},
        // A second CR frames nothing: the buffer was emptied by the first.
        CasoTrama{"SegundoCRNoDuplica", con("\n", kLargo, "\r\r"), {{TipoItem::PaqueteLargo, kLargo}}, kEstadoN},
        CasoTrama{"DiezCaracteresSinCR", "E123456789", {{TipoItem::PaqueteDiez, "E123456789"}}, kEstadoN},
        // A ten-character packet followed by CR is not decoded again as a long packet.
        CasoTrama{"DiezCaracteresYCR", "E123456700\r", {{TipoItem::PaqueteDiez, "E123456700"}}, kEstadoN},
        CasoTrama{"LetraInicioDescartaLargo", con("\n12345678", "m", "123456789"), {{TipoItem::PaqueteDiez, "m123456789"}}, kEstadoN},
        CasoTrama{"LetraEstadoEnMedio", con("\n1234K5678", "", ""), {{TipoItem::LetraEstado, "K"}}, kEstadoC},
        CasoTrama{"LetraEstadoNoCortaElPaquete", con("\n0a", "Y", "1b\r"), {{TipoItem::LetraEstado, "Y"}, {TipoItem::PaqueteCuatro, "0a1b"}}, kEstadoN},
        CasoTrama{"EnEstadoNSeIgnoranDatos", "0a1b\r", {}, kEstadoN},
        CasoTrama{"EnEstadoCDiezNoEsPaquete", "\n0123456789", {}, kEstadoC},
        CasoTrama{"DiezCortadoACuatro", "B12a\r", {{TipoItem::PaqueteCuatro, "B12a"}}, kEstadoN},
        CasoTrama{"OtrosCaracteresIgnorados", "\n0a Zg!1b\r", {{TipoItem::PaqueteCuatro, "0a1b"}}, kEstadoN},
        CasoTrama{"MayusculasAFSonInicio", "\nABCDEF", {}, kEstadoD}),
    [](const auto& caso) { return std::string(caso.param.nombre); });

TEST(Tramas, SinSaltoDeLineaElBufferNoCreceSinLimite) {
    QByteArray flujo("\n");
    flujo.append(QByteArray(kLargoMaximoPaquete + 1, '1'));
    Resultado r = enmarcar(flujo);
    EXPECT_TRUE(r.buffer.isEmpty());
    EXPECT_EQ(r.estado, kEstadoN);
    // Once dropped, the rest of that line is ignored and the next packet frames normally.
    for (const char c : QByteArray("11111\r\n0a1b\r")) {
        const ItemRx i = recibir_caracter(c, r.buffer, r.estado);
        if (i.tipo != TipoItem::Ninguno) r.items.push_back({i.tipo, i.texto});
    }
    EXPECT_EQ(r.items, (std::vector<Item>{{TipoItem::PaqueteCuatro, "0a1b"}}));
}

TEST(Tramas, PaqueteJustoEnElLimiteSeConserva) {
    QByteArray flujo("\n");
    flujo.append(QByteArray(kLargoMaximoPaquete, '1'));
    const Resultado r = enmarcar(flujo);
    EXPECT_EQ(r.buffer.size(), kLargoMaximoPaquete);
    EXPECT_EQ(r.estado, kEstadoC);
}

TEST(Tramas, EstadoDesconocidoSeComportaComoN) {
    const Resultado r = enmarcar("0a1b", QStringLiteral("X"));
    EXPECT_TRUE(r.buffer.isEmpty());
    EXPECT_TRUE(r.items.empty());
}

} // namespace
