// The traffic generator, checked against the receive framing and the sub-block
// walk: what it announces is what a correct console frames and stores.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "apoyo/apoyo.h"
#include "common/comun.h"
#include "decoding/moduloCid.h"
#include "reception/tramas.h"
#include "tools/generador.h"
#include "tools/realista.h"

namespace corvane::simulador {
inline void PrintTo(const Resumen& r, std::ostream* os) {
    *os << "\n" << texto_resumen(r);
}
} // namespace corvane::simulador

using namespace corvane;
using namespace corvane::simulador;

namespace {

std::string flujo(std::uint32_t semilla, int paquetes, Resumen* resumen = nullptr) {
    Generador g(semilla);
    std::string s;
    for (int i = 0; i < paquetes; ++i) {
        const Paquete p = g.siguiente();
        if (resumen != nullptr) resumen->contar(p);
        s += p.bytes;
    }
    return s;
}

// What a console stores and shows for a stream, counted through the framer and
// the sub-block walk, one character at a time.
struct Enmarcado {
    std::map<TipoItem, std::uint64_t> items;
    std::uint64_t filas = 0;
    std::vector<ItemRx> lista;
};

Enmarcado enmarcar(const std::string& bytes, QString estado = kEstadoN) {
    Enmarcado r;
    QString buffer;
    for (const char c : bytes) {
        const ItemRx item = recibir_caracter(c, buffer, estado);
        if (item.tipo == TipoItem::Ninguno) continue;
        ++r.items[item.tipo];
        r.lista.push_back(item);
        if (item.tipo == TipoItem::PaqueteDiez) ++r.filas;
        if (item.tipo == TipoItem::PaqueteLargo) {
            std::vector<EventoCid> eventos;
            decodificar_largo(item.texto, eventos);
            r.filas += eventos.size();
        }
    }
    return r;
}

TEST(Generador, LaMismaSemillaDaLosMismosBytesYOtraSemillaOtros) {
    EXPECT_EQ(flujo(7, 3000), flujo(7, 3000));
    EXPECT_NE(flujo(7, 3000), flujo(8, 3000));
    EXPECT_NE(flujo(0, 50), flujo(1, 50));
    // Generators do not share state: drawing from one leaves another's sequence as is.
    Generador a(5), b(5), solo(5);
    for (int i = 0; i < 200; ++i) {
        const Paquete pa = a.siguiente();
        b.siguiente();
        b.siguiente();
        ASSERT_EQ(pa.bytes, solo.siguiente().bytes) << i;
    }
}

TEST(Generador, ElResumenCoincideConLoQueEnmarcaLaConsola) {
    for (const std::uint32_t semilla : {1u, 2u, 77u, 4294967295u}) {
        SCOPED_TRACE(semilla);
        Resumen resumen;
        const std::string bytes = flujo(semilla, 20000, &resumen);
        const Enmarcado e = enmarcar(bytes);
        EXPECT_EQ(e.items.at(TipoItem::PaqueteLargo), resumen.largos);
        EXPECT_EQ(e.items.at(TipoItem::PaqueteDiez), resumen.diez);
        EXPECT_EQ(e.items.at(TipoItem::PaqueteCuatro), resumen.cuatro);
        EXPECT_EQ(e.items.at(TipoItem::LetraEstado), resumen.letras);
        EXPECT_EQ(e.filas, resumen.filas);
        EXPECT_EQ(resumen.bytes, bytes.size());
        // Every kind shows up in a stream of this length.
        EXPECT_GT(resumen.malformados, 0u);
        EXPECT_GT(resumen.filas, resumen.largos + resumen.diez);
    }
}

// Each packet alone, from a console in any framing state, yields exactly the item
// of its kind; a malformed one yields nothing and leaves nothing behind that would
// change the next packet.
TEST(Generador, CadaPaqueteDaSuItemYLosMalformadosSeDescartan) {
    const std::string siguiente = "\n0a1b\r"; // a signal report: Rx=10, level 28
    std::set<Defecto> defectos;
    std::set<int> filasPorLargo;
    Generador g(2026);
    for (int i = 0; i < 5000; ++i) {
        const Paquete p = g.siguiente();
        SCOPED_TRACE(testing::Message()
                     << i << ": "
                     << QString::fromLatin1(p.bytes.data(), static_cast<qsizetype>(p.bytes.size()))
                            .toStdString());
        for (const QString& estado : {kEstadoN, kEstadoC, kEstadoD}) {
            const Enmarcado e = enmarcar(p.bytes + siguiente, estado);
            ASSERT_FALSE(e.lista.empty());
            EXPECT_EQ(e.lista.back().tipo, TipoItem::PaqueteCuatro);
            EXPECT_EQ(e.lista.back().texto, QStringLiteral("0a1b"));
            std::vector<TipoItem> propios;
            for (std::size_t k = 0; k + 1 < e.lista.size(); ++k) propios.push_back(e.lista[k].tipo);
            std::vector<TipoItem> esperados;
            if (p.letras == 1) esperados.push_back(TipoItem::LetraEstado);
            switch (p.clase) {
            case Clase::Largo:
                esperados.push_back(TipoItem::PaqueteLargo);
                break;
            case Clase::Diez:
                esperados.push_back(TipoItem::PaqueteDiez);
                break;
            case Clase::Cuatro:
                esperados.push_back(TipoItem::PaqueteCuatro);
                break;
            case Clase::LetraEstado:
            case Clase::Malformado:
                break;
            }
            EXPECT_EQ(propios, esperados);
            EXPECT_EQ(e.filas, static_cast<std::uint64_t>(p.filas));
        }
        if (p.clase == Clase::Malformado) {
            EXPECT_EQ(p.filas, 0);
            defectos.insert(p.defecto);
        }
        if (p.clase == Clase::Largo) filasPorLargo.insert(p.filas);
    }
    EXPECT_EQ(defectos, (std::set<Defecto>{Defecto::Indicador, Defecto::Tipo3, Defecto::Corto,
                                           Defecto::Basura, Defecto::DiezCortado}));
    // Main event alone up to three sub-blocks.
    EXPECT_EQ(filasPorLargo, (std::set<int>{1, 2, 3, 4}));
}

// The fields that the console reads from fixed positions take every value they
// can take: origin and signal 0-f, type digit 0-2, every start and status letter.
TEST(Generador, LosCamposVarian) {
    std::map<std::string, std::set<char>> vistos;
    std::set<std::string> cuentas;
    Generador g(3);
    for (int i = 0; i < 20000; ++i) {
        const Paquete p = g.siguiente();
        if (p.clase == Clase::Largo && p.letras == 0) {
            const std::string d = p.bytes.substr(1, p.bytes.size() - 2);
            ASSERT_GE(d.size(), 32u);
            EXPECT_EQ(d.find_first_not_of("0123456789abcdef"), std::string::npos) << d;
            EXPECT_EQ(d.substr(8, 2), "00") << d;
            vistos["origen"].insert(d[12]);
            vistos["señal"].insert(d[18]);
            vistos["tipo"].insert(d[19]);
            cuentas.insert(d.substr(28, 4));
        }
        if (p.clase == Clase::Diez) {
            ASSERT_EQ(p.bytes.size(), 10u);
            EXPECT_EQ(p.bytes.find_first_not_of("0123456789abcdef", 1), std::string::npos);
            vistos["inicio"].insert(p.bytes[0]);
        }
        if (p.clase == Clase::Cuatro) {
            ASSERT_EQ(p.bytes.size(), 6u);
            EXPECT_EQ(p.bytes.front(), '\n');
            EXPECT_EQ(p.bytes.back(), '\r');
        }
        if (p.clase == Clase::LetraEstado) vistos["estado"].insert(p.bytes[0]);
    }
    const auto rango = [](const std::string& caracteres) {
        return std::set<char>(caracteres.begin(), caracteres.end());
    };
    EXPECT_EQ(vistos["origen"], rango("0123456789abcdef"));
    EXPECT_EQ(vistos["señal"], rango("0123456789abcdef"));
    EXPECT_EQ(vistos["tipo"], rango("012"));
    EXPECT_EQ(vistos["inicio"], rango("ABCDEFGHmnopqrst"));
    EXPECT_EQ(vistos["estado"], rango("IJKLMNOPQRSTUVWXY"));
    EXPECT_GT(cuentas.size(), 40u);
}

} // namespace

namespace {

// The followed account shows up in about one report in ten, in both packet kinds,
// as the online account window's key for it matches them.
TEST(Generador, LaCuentaSeguidaAparecePorUnoDeCadaDiezInformes) {
    Generador g(5);
    g.ponerCuentaSeguida("1234");
    std::string s;
    for (int i = 0; i < 20000; ++i) s += g.siguiente().bytes;
    const Enmarcado e = enmarcar(s);
    std::uint64_t informes = 0, seguidos = 0, largos = 0, diez = 0;
    for (const ItemRx& item : e.lista) {
        if (item.tipo == TipoItem::PaqueteDiez) {
            ++informes;
            // The window's key "1234" matches the decimal account of a ten-character packet.
            if (corvane::convertir_base_con_ceros(item.texto.mid(3, 3), 16, 10, 4) == QLatin1String("1234")) {
                ++seguidos;
                ++diez;
            }
        } else if (item.tipo == TipoItem::PaqueteLargo) {
            std::vector<EventoCid> eventos;
            decodificar_largo(item.texto, eventos);
            for (const EventoCid& ev : eventos) {
                ++informes;
                if (ev.cuenta() == QLatin1String("1234")) {
                    ++seguidos;
                    ++largos;
                }
            }
        }
    }
    const double parte = static_cast<double>(seguidos) / static_cast<double>(informes);
    EXPECT_GT(parte, 0.07);
    EXPECT_LT(parte, 0.15);
    EXPECT_GT(largos, 0u);
    EXPECT_GT(diez, 0u);
}

} // namespace

namespace {

// The realistic stream as a console frames and decodes it: the link test letter is
// every kCadaPruebaEnlace-th item and every other item is one event; tests and
// openings or closings are most of them, and troubles, restores and alarms of each
// class (fire, panic or hold-up, medical, burglary) all show up.
TEST(GeneradorRealista, PruebasYAperturasSobreTodoYDeTodoAlgunaVez) {
    constexpr int kItems = 3000;
    GeneradorRealista g(4), igual(4);
    std::string s;
    Resumen resumen;
    for (int i = 0; i < kItems; ++i) {
        const Paquete p = g.siguiente();
        ASSERT_EQ(p.bytes, igual.siguiente().bytes) << i;
        EXPECT_EQ(p.clase == Clase::LetraEstado, i % kCadaPruebaEnlace == kCadaPruebaEnlace - 1) << i;
        resumen.contar(p);
        s += p.bytes;
    }
    const Enmarcado e = enmarcar(s);
    EXPECT_EQ(e.items.at(TipoItem::LetraEstado), kItems / kCadaPruebaEnlace);
    EXPECT_EQ(e.filas, resumen.filas);
    EXPECT_EQ(resumen.filas, kItems - kItems / kCadaPruebaEnlace);

    std::map<char, int> porClase; // first digit of the code: 1 alarms .. 6 tests
    std::set<QString> alarmas;
    int restauradas = 0, largos = 0;
    for (const ItemRx& item : e.lista) {
        if (item.tipo == TipoItem::LetraEstado) {
            EXPECT_EQ(item.texto, QString(QLatin1Char(kLetraPruebaEnlace)));
        }
        if (item.tipo != TipoItem::PaqueteLargo) continue;
        std::vector<EventoCid> eventos;
        decodificar_largo(item.texto, eventos);
        ASSERT_EQ(eventos.size(), 1u) << item.texto.toStdString();
        const EventoCid& ev = eventos[0];
        ++largos;
        ++porClase[ev.evento.at(0).toLatin1()];
        if (ev.evento.startsWith(QLatin1Char('1')) && ev.tipoEvento == QLatin1String("E")) alarmas.insert(ev.evento);
        if ((ev.evento.startsWith(QLatin1Char('1')) || ev.evento.startsWith(QLatin1Char('3'))) &&
            ev.tipoEvento == QLatin1String("R"))
            ++restauradas;
    }
    EXPECT_GT(porClase['6'] + porClase['4'], largos * 7 / 10);
    EXPECT_GT(porClase['3'], 0);
    EXPECT_GT(restauradas, 0);
    const auto alguna = [&alarmas](std::initializer_list<const char*> codigos) {
        for (const char* c : codigos)
            if (alarmas.count(QString::fromLatin1(c))) return true;
        return false;
    };
    EXPECT_TRUE(alguna({"110", "111"}));        // fire
    EXPECT_TRUE(alguna({"120", "121", "122"})); // panic, hold-up
    EXPECT_TRUE(alguna({"100", "101"}));        // medical
    EXPECT_TRUE(alguna({"130", "131", "132", "134"})); // burglary
}

} // namespace
