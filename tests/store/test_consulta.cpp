#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "apoyo/apoyo.h"
#include "store/consulta.h"
#include "store/funcionesBaseDatos.h"

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

TEST(PlanDeConsulta, UsaElIndiceEnSQLite) {
    QTemporaryDir dir;
    const QString ruta = QDir(dir.path()).filePath(QStringLiteral("baseTolm.mdb"));
    ConjuntoBases bases;
    abrir_base_de_datos(ruta, 0, bases);
    ASSERT_TRUE(bases.base[0]);
    const QString plan =
        valores_de(*bases.base[0],
                   QStringLiteral("EXPLAIN QUERY PLAN ") + sentencia_historial(QStringLiteral("02bf"), 0, 3, kDia),
                   QStringLiteral("detail"))
            .join(QLatin1Char('\n'));
    EXPECT_TRUE(plan.contains(QStringLiteral("USING INDEX indice_abonado_fecha"))) << plan.toStdString();
    EXPECT_FALSE(plan.contains(QStringLiteral("TEMP B-TREE"))) << plan.toStdString();
}

} // namespace
