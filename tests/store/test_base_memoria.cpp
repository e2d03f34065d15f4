#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "apoyo/apoyo.h"
#include "decoding/moduloCid.h"
#include "store/consulta.h"
#include "store/funcionesBaseDatos.h"

using namespace corvane;
using namespace corvane::pruebas;

namespace {

// The in-memory event database: the same table, index, statements and query as the
// file, nothing written to disk, and a new empty database at every open.
class BaseEnMemoria : public testing::Test {
protected:
    void SetUp() override {
        bases.errores = &errores;
        inic_base_de_datos(bases);
    }
    QString log() const { return leer_texto(errores.ruta()); }
    QStringList nombres_del_esquema(qint16 ranura) {
        Fallo f;
        auto rs = bases.base[static_cast<size_t>(ranura)]->abrirRegistros(
            QStringLiteral("select name from sqlite_master where name in "
                           "('TABLA_GENERAL','indice_abonado_fecha') order by name"),
            f);
        QStringList nombres;
        while (rs && !rs->alFinal()) {
            QVariant v;
            EXPECT_FALSE(rs->valor(QStringLiteral("name"), v));
            nombres << v.toString();
            EXPECT_FALSE(rs->siguiente());
        }
        return nombres;
    }

    QTemporaryDir carpetaLog;
    RelojFijo reloj{momento(2026, 12, 6, 14, 27, 13)};
    RegistroErrores errores{carpetaLog.path(), reloj};
    ConjuntoBases bases;
};

TEST_F(BaseEnMemoria, SeCreaConTablaEIndiceYGuardaYConsultaComoElArchivo) {
    const QStringList antes = QDir::current().entryList(QDir::AllEntries | QDir::Hidden);
    abrir_base_de_datos(kBaseEnMemoria, 0, bases);
    ASSERT_EQ(bases.abierta[0], 1) << log().toStdString();
    EXPECT_EQ(nombres_del_esquema(0), (QStringList{"TABLA_GENERAL", "indice_abonado_fecha"}));

    // A report of account 02bf, level 5, from repeater 3.
    NuevoDato(
        sentencia_insert({"02bf", 5, "00", "2026-12-06 14:27:13", "3", "7b", "E130", "01", "012"}),
        0, bases);
    EXPECT_EQ(
        consultar_historial(sentencia_historial(QStringLiteral("02bf"), 0, 0, QDate(2026, 12, 6)),
                            0, 0, bases),
        QStringLiteral("Cuenta=02bf  Señal=5  Origen=Rep 3   Hora=06/12/2026 14:27:13\r\n"));

    EXPECT_EQ(QDir::current().entryList(QDir::AllEntries | QDir::Hidden), antes);
    EXPECT_TRUE(log().isEmpty()) << log().toStdString();
}

TEST_F(BaseEnMemoria, CadaAperturaEsUnaBaseNuevaYVacia) {
    abrir_base_de_datos(kBaseEnMemoria, 0, bases);
    abrir_base_de_datos(kBaseEnMemoria, 1, bases);
    ASSERT_EQ(bases.abierta[0], 1);
    ASSERT_EQ(bases.abierta[1], 1);
    NuevoDato(
        sentencia_insert({"02bf", 5, "00", "2026-12-06 14:27:13", "0", "7b", "E130", "01", "012"}),
        0, bases);
    const QString sentencia = sentencia_historial(QStringLiteral("02bf"), 0, 0, QDate(2026, 12, 6));
    EXPECT_EQ(consultar_historial(sentencia, 1, 0, bases),
              QStringLiteral("No hay registros para ese abonado"));
    EXPECT_EQ(nombres_del_esquema(1), (QStringList{"TABLA_GENERAL", "indice_abonado_fecha"}));

    // Opening slot 0 again replaces its database by a new, empty one.
    abrir_base_de_datos(kBaseEnMemoria, 0, bases);
    EXPECT_EQ(consultar_historial(sentencia, 0, 0, bases),
              QStringLiteral("No hay registros para ese abonado"));
    EXPECT_TRUE(log().isEmpty()) << log().toStdString();
}

} // namespace
