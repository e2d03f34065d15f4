#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "apoyo/apoyo.h"
#include "decoding/moduloCid.h"
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

class Consulta : public testing::TestWithParam<Motor> {
protected:
    void SetUp() override {
        if (GetParam() == Motor::PostgreSQL) CORVANE_REQUIERE_POSTGRESQL();
        base = std::make_unique<BasePrueba>(GetParam());
        ASSERT_TRUE(base->disponible());
        errores = std::make_unique<RegistroErrores>(carpetaLog.path(), reloj);
        bases.errores = errores.get();
        abrir_base_de_datos(base->ruta(), 0, bases);
        ASSERT_EQ(bases.abierta[0], 1);
    }
    void guardar(const char* abonado, const char* momento, const char* origen, int nivel = 5) {
        NuevoDato(sentencia_insert({QString::fromLatin1(abonado), nivel, "00", QString::fromLatin1(momento),
                                    QString::fromLatin1(origen), "00", "E130", "01", "012"}),
                  0, bases);
    }
    QString buscar(const char* cuenta, int senal = 0, int origen = 0) {
        CajaMemoria text3, text2;
        text3.ponerTexto(QString::fromLatin1(cuenta));
        Command3_Click(text3, senal, origen, kDia, text2, mensajes, bases);
        return text2.texto();
    }
    QString log() const { return leer_texto(QDir(carpetaLog.path()).filePath(QStringLiteral("error.log"))); }

    QTemporaryDir carpetaLog;
    RelojFijo reloj{momento(2026, 12, 6, 14, 27, 13)};
    std::unique_ptr<RegistroErrores> errores;
    std::unique_ptr<BasePrueba> base;
    ConjuntoBases bases;
    MensajesGrabados mensajes;
};

TEST_P(Consulta, ListaElDiaEnOrdenConSusFormas) {
    guardar("02bf", "2026-12-07 00:00:00", "0");
    guardar("02bf", "2026-12-06 23:59:59", "12");
    guardar("02bf", "2026-12-06 00:00:00", "0");
    guardar("02bf", "2026-12-05 23:59:59", "0");
    guardar("0500", "2026-12-06 12:00:00", "0");
    EXPECT_EQ(buscar("02bf"), QStringLiteral("Cuenta=02bf  Señal=5  Origen=Dir     Hora=06/12/2026 00:00:00\r\n"
                                             "Cuenta=02bf  Señal=5  Origen=Rep 12   Hora=06/12/2026 23:59:59\r\n"));
    EXPECT_TRUE(log().isEmpty()) << log().toStdString();
}

TEST_P(Consulta, FiltrosDeOrigenYNivel) {
    guardar("0001", "2026-12-06 01:00:00", "0", 3);
    guardar("0001", "2026-12-06 02:00:00", "15", 9);
    guardar("0001", "2026-12-06 03:00:00", "1", 3);
    EXPECT_EQ(buscar("0001", 0, 1), QStringLiteral("Cuenta=0001  Señal=3  Origen=Dir     Hora=06/12/2026 01:00:00\r\n"));
    EXPECT_EQ(buscar("0001", 0, 16), QStringLiteral("Cuenta=0001  Señal=9  Origen=Rep 15   Hora=06/12/2026 02:00:00\r\n"));
    EXPECT_EQ(buscar("0001", 5, 0), QStringLiteral("Cuenta=0001  Señal=3  Origen=Dir     Hora=06/12/2026 01:00:00\r\n"
                                                   "Cuenta=0001  Señal=3  Origen=Rep 1   Hora=06/12/2026 03:00:00\r\n"));
    EXPECT_EQ(buscar("0001", 5, 16), QStringLiteral("No hay registros para ese abonado"));
}

TEST_P(Consulta, SinFilasDaElTextoFijo) {
    guardar("02bf", "2026-12-06 10:00:00", "0");
    EXPECT_EQ(buscar("0bbb"), QStringLiteral("No hay registros para ese abonado"));
}

TEST_P(Consulta, CuentaVaciaMuestraElMensajeYNoEjecutaNada) {
    CajaMemoria text3, text2;
    text2.ponerTexto(QStringLiteral("anterior"));
    Command3_Click(text3, 0, 0, kDia, text2, mensajes, bases);
    ASSERT_EQ(mensajes.mensajes.size(), 1u);
    EXPECT_EQ(mensajes.mensajes[0].texto, QStringLiteral("Debe llenar el campo usuario"));
    EXPECT_EQ(mensajes.mensajes[0].titulo, QStringLiteral("Brisca"));
    EXPECT_EQ(text2.texto(), QStringLiteral("anterior"));
}

INSTANTIATE_TEST_SUITE_P(Motores, Consulta, testing::Values(Motor::SQLite, Motor::PostgreSQL), nombre_motor);

TEST(ConsultaSinBase, RegistraUnFalloYDevuelveVacio) {
    QTemporaryDir dir;
    RelojFijo reloj(momento(2026, 12, 6, 14, 27, 13));
    RegistroErrores errores(dir.path(), reloj);
    ConjuntoBases bases;
    bases.errores = &errores;
    CajaMemoria text3, text2;
    MensajesGrabados mensajes;
    text3.ponerTexto(QStringLiteral("02bf"));
    text2.ponerTexto(QStringLiteral("anterior"));
    Command3_Click(text3, 0, 0, kDia, text2, mensajes, bases);
    EXPECT_EQ(text2.texto(), QString());
    EXPECT_EQ(leer_texto(errores.ruta()),
              QStringLiteral("****** Error *******\r\nFecha: 06/12/2026 Hora: 14:27:13\r\n"
                             "Error: 91 No hay base de datos ni consulta abierta en esa posición\r\n"
                             "buscar_ultima_pos_Error\r\n"));
    // Slot indexes out of range.
    EXPECT_EQ(consultar_historial(QStringLiteral("select 1"), 3, 0, bases), QString());
    EXPECT_EQ(consultar_historial(QStringLiteral("select 1"), 0, 4, bases), QString());
    EXPECT_EQ(leer_texto(errores.ruta()).count(QStringLiteral("buscar_ultima_pos_Error")), 3);
}

TEST(PlanDeConsulta, UsaElIndiceEnSQLite) {
    QTemporaryDir dir;
    const QString ruta = QDir(dir.path()).filePath(QStringLiteral("baseTolm.mdb"));
    ConjuntoBases bases;
    abrir_base_de_datos(ruta, 0, bases);
    ASSERT_TRUE(bases.base[0]);
    Fallo f;
    auto rs = bases.base[0]->abrirRegistros(
        QStringLiteral("EXPLAIN QUERY PLAN ") + sentencia_historial(QStringLiteral("02bf"), 0, 3, kDia), f);
    ASSERT_TRUE(rs) << f.detalle.toStdString();
    QString plan;
    while (!rs->alFinal()) {
        QVariant v;
        EXPECT_FALSE(rs->valor(QStringLiteral("detail"), v));
        plan += v.toString() + QLatin1Char('\n');
        EXPECT_FALSE(rs->siguiente());
    }
    EXPECT_TRUE(plan.contains(QStringLiteral("USING INDEX indice_abonado_fecha"))) << plan.toStdString();
    EXPECT_FALSE(plan.contains(QStringLiteral("TEMP B-TREE"))) << plan.toStdString();
}

} // namespace
