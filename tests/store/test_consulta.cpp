#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "apoyo/apoyo.h"
#include "store/consulta.h"
#include "store/funcionesBaseDatos.h"
#include "store/texto_copia.h"

using namespace corvane;
using namespace corvane::pruebas;

namespace {

const QDate kDia(2026, 12, 6);

TEST(SentenciaHistorial, LasCuatroFormas) {
    const QString comun = QStringLiteral(
        "select * from TABLA_GENERAL where ((gral_numero_abonado='02bf') and "
        "(gral_hora_fecha>=#2026/12/06 00:00:00#) and (gral_hora_fecha<=#2026/12/06 23:59:59#");
    struct {
        int senal;
        int origen;
        QString cola;
    } casos[] = {
        {0, 0, ")) order by gral_hora_fecha asc"},
        {5, 4, ") and (gral_nivel_señal<=5) and (gral_origen='3')) order by gral_hora_fecha asc"},
        {16, 0, ") and (gral_nivel_señal<=16)) order by gral_hora_fecha asc"},
        {0, 1, ") and (gral_origen='0')) order by gral_hora_fecha asc"},
        {0, 16, ") and (gral_origen='15')) order by gral_hora_fecha asc"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.senal * 100 + c.origen);
        EXPECT_EQ(sentencia_historial(QStringLiteral("02bf"), c.senal, c.origen, kDia), comun + c.cola);
    }
    // The two worked examples, character for character.
    EXPECT_EQ(sentencia_historial(QStringLiteral("02bf"), 5, 4, kDia),
              QStringLiteral("select * from TABLA_GENERAL where ((gral_numero_abonado='02bf') and "
                             "(gral_hora_fecha>=#2026/12/06 00:00:00#) and (gral_hora_fecha<=#2026/12/06 "
                             "23:59:59#) and (gral_nivel_señal<=5) and (gral_origen='3')) order by "
                             "gral_hora_fecha asc"));
    EXPECT_EQ(sentencia_historial(QStringLiteral("02bf"), 0, 0, kDia),
              QStringLiteral("select * from TABLA_GENERAL where ((gral_numero_abonado='02bf') and "
                             "(gral_hora_fecha>=#2026/12/06 00:00:00#) and (gral_hora_fecha<=#2026/12/06 "
                             "23:59:59#)) order by gral_hora_fecha asc"));
}

TEST(SentenciaHistorial, ElDiaNoDependeDelIdioma) {
    const QLocale anterior;
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const QString en = sentencia_historial(QStringLiteral("1"), 0, 0, QDate(2027, 3, 1));
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Argentina));
    const QString es = sentencia_historial(QStringLiteral("1"), 0, 0, QDate(2027, 3, 1));
    QLocale::setDefault(anterior);
    EXPECT_EQ(en, es);
    EXPECT_TRUE(en.contains(QStringLiteral("#2027/03/01 00:00:00#")));
    EXPECT_TRUE(en.contains(QStringLiteral("#2027/03/01 23:59:59#")));
}

// The listings' statements as the plans read them: `indice` finds the rows.
// SQLite reads them in the statement's order, never sorting; a server may sort
// one account's rows (a day, a year: a few thousand), never every account's.
struct CasoPlan {
    const char* nombre;
    QString sentencia;
    const char* indice;
    bool todas;
};

std::vector<CasoPlan> casos_plan() {
    return {
        {"CuentaDia", sentencia_historial(QStringLiteral("02bf"), 0, 3, kDia), "indice_abonado_fecha", false},
        {"CuentaAnio", sentencia_intervalo({QStringLiteral("02bf"), {2026, 1, 1}, {2026, 12, 31}, 0}),
         "indice_abonado_fecha", false},
        {"TodasDia", sentencia_intervalo({QString(), kDia, kDia, 0}), "indice_momento", true},
        {"TodasDiaUnOrigen", sentencia_intervalo({QString(), kDia, kDia, 5}), "indice_momento", true},
    };
}

TEST(PlanDeConsulta, UsaElIndiceEnSQLite) {
    QTemporaryDir dir;
    const QString ruta = QDir(dir.path()).filePath(QStringLiteral("baseTolm.mdb"));
    ConjuntoBases bases;
    abrir_base_de_datos(ruta, 0, bases);
    ASSERT_TRUE(bases.base[0]);
    for (const CasoPlan& c : casos_plan()) {
        SCOPED_TRACE(c.nombre);
        const QString plan =
            valores_de(*bases.base[0], QStringLiteral("EXPLAIN QUERY PLAN ") + c.sentencia, QStringLiteral("detail"))
                .join(QLatin1Char('\n'));
        EXPECT_TRUE(plan.contains(QStringLiteral("USING INDEX %1").arg(QLatin1String(c.indice)))) << plan.toStdString();
        EXPECT_FALSE(plan.contains(QStringLiteral("TEMP B-TREE"))) << plan.toStdString();
    }
}

// On a server the planner weighs the table: a year of 200 accounts, analysed.
TEST(PlanDeConsulta, UsaElIndiceEnPostgreSQL) {
    CORVANE_REQUIERE_POSTGRESQL();
    const QString url = nueva_base_postgresql();
    ConjuntoBases bases;
    abrir_base_de_datos(url, 0, bases);
    ASSERT_TRUE(bases.base[0]);
    ejecutar_directo(url, {QStringLiteral("INSERT INTO TABLA_GENERAL (%1) SELECT lpad(to_hex(i %% 200), 4, '0'), 5, "
                                          "'00', TIMESTAMP '2026-01-01' + i * INTERVAL '158 seconds', (i %% 16)::text, "
                                          "'00', 'E130', '01', '012' FROM generate_series(1, 200000) AS i")
                               .arg(esquema::lista_columnas())
                               .replace(QStringLiteral("%%"), QStringLiteral("%")),
                           QStringLiteral("ANALYZE TABLA_GENERAL")});
    for (const CasoPlan& c : casos_plan()) {
        SCOPED_TRACE(c.nombre);
        const QString plan = valores_de(*bases.base[0], QStringLiteral("EXPLAIN ") + c.sentencia,
                                        QStringLiteral("QUERY PLAN"))
                                 .join(QLatin1Char('\n'));
        const QString indice = QLatin1String(c.indice);
        EXPECT_TRUE(plan.contains(QStringLiteral("Index Scan using ") + indice) ||
                    plan.contains(QStringLiteral("Bitmap Index Scan on ") + indice))
            << plan.toStdString();
        EXPECT_FALSE(plan.contains(QStringLiteral("Seq Scan"))) << plan.toStdString();
        if (c.todas) {
            EXPECT_FALSE(plan.contains(QStringLiteral("Sort"))) << plan.toStdString();
        }
    }
}

// COPY text read back: every escaped value as it was written, NULL as empty.
TEST(TextoCopia, LosValoresVuelvenComoSeEscribieron) {
    const std::vector<std::vector<std::string>> casos = {
        {"02bf", "5", "2026-12-06 14:27:13"},
        {"a\tb", "c\\d", "l\nm\r", ""},
        {"ñandú", "", "x"},
        {""},
    };
    LectorCopia lector;
    for (const auto& valores : casos) {
        QByteArray linea;
        for (size_t i = 0; i < valores.size(); ++i)
            agregar_copia(linea, valores[i].data(), valores[i].size(), i == 0);
        linea += '\n';
        const ValoresFila& leidos = lector.leer(linea.constData(), static_cast<size_t>(linea.size()));
        ASSERT_EQ(leidos.size(), valores.size()) << linea.toStdString();
        for (size_t i = 0; i < valores.size(); ++i) EXPECT_EQ(std::string(leidos[i]), valores[i]);
    }
    // What the server writes and the writer above never does: NULL and octal.
    const char servidor[] = "\\N\tA\\101\\b";
    const ValoresFila& v = lector.leer(servidor, sizeof servidor - 1);
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v[0], "");
    EXPECT_EQ(v[1], "AA\b");
}

} // namespace
