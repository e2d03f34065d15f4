#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#include "apoyo/apoyo.h"
#include "decoding/moduloCid.h"
#include "store/funcionesBaseDatos.h"

using namespace corvane;
using namespace corvane::pruebas;

namespace {

// Storage tests that run the same on the SQLite file and on the PostgreSQL server.
class Almacen : public testing::TestWithParam<Motor> {
protected:
    void SetUp() override {
        if (GetParam() == Motor::PostgreSQL) CORVANE_REQUIERE_POSTGRESQL();
        base = std::make_unique<BasePrueba>(GetParam());
        ASSERT_TRUE(base->disponible());
        errores = std::make_unique<RegistroErrores>(carpetaLog.path(), reloj);
        bases.errores = errores.get();
        inic_base_de_datos(bases);
        abrir_base_de_datos(base->ruta(), 0, bases);
        ASSERT_EQ(bases.abierta[0], 1) << log().toStdString();
    }
    QString log() const { return leer_texto(QDir(carpetaLog.path()).filePath(QStringLiteral("error.log"))); }
    void insertar(const QString& abonado, const QString& momento, int nivel = 5,
                  const QString& origen = QStringLiteral("0")) {
        NuevoDato(sentencia_insert({abonado, nivel, "00", momento, origen, "1b", "E130", "01", "012"}), 0, bases);
    }

    QTemporaryDir carpetaLog;
    RelojFijo reloj{momento(2026, 12, 6, 14, 27, 13)};
    std::unique_ptr<RegistroErrores> errores;
    std::unique_ptr<BasePrueba> base;
    ConjuntoBases bases;
};

TEST_P(Almacen, FilasEscritasYLeidasConCadaForma) {
    NuevoDato(sentencia_insert({"02bf", 16, "00", "2026-12-06 14:27:13", "10", "7b", "E130", "01", "012"}), 0, bases);
    NuevoDato(sentencia_insert({"0500", 1, "01", "2026-12-06 23:59:59", "0", "----", "12", "----", "----"}), 0, bases);
    NuevoDato(sentencia_insert({"0000", 7, "00", "2026-12-07 00:00:00", "15", "00", "", "", ""}), 0, bases);
    const std::vector<Fila> esperadas = {
        {"02bf", "16", "00", "2026-12-06 14:27:13", "10", "7b", "E130", "01", "012"},
        {"0500", "1", "01", "2026-12-06 23:59:59", "0", "----", "12", "----", "----"},
        {"0000", "7", "00", "2026-12-07 00:00:00", "15", "00", "", "", ""},
    };
    EXPECT_EQ(leer_filas(base->ruta()), esperadas);
    EXPECT_TRUE(log().isEmpty()) << log().toStdString();
}

TEST_P(Almacen, LimitesDelDia) {
    insertar("02bf", "2026-12-05 23:59:59");
    insertar("02bf", "2026-12-06 00:00:00");
    insertar("02bf", "2026-12-06 23:59:59");
    insertar("02bf", "2026-12-07 00:00:00");
    Fallo fallo;
    auto rs = bases.base[0]->abrirRegistros(
        QStringLiteral("select * from TABLA_GENERAL where ((gral_numero_abonado='02bf') and "
                       "(gral_hora_fecha>=#2026/12/06 00:00:00#) and (gral_hora_fecha<=#2026/12/06 23:59:59#)) "
                       "order by gral_hora_fecha asc"),
        fallo);
    ASSERT_FALSE(fallo) << fallo.detalle.toStdString();
    QStringList vistos;
    while (!rs->alFinal()) {
        QVariant v;
        EXPECT_FALSE(rs->valor(QStringLiteral("gral_hora_fecha"), v));
        vistos << (v.metaType().id() == QMetaType::QDateTime ? v.toDateTime().toString(kFormatoMomento) : v.toString());
        EXPECT_FALSE(rs->siguiente());
    }
    EXPECT_EQ(vistos, (QStringList{"2026-12-06 00:00:00", "2026-12-06 23:59:59"}));
}

TEST_P(Almacen, SentenciaRechazadaSeRegistraYLaSiguienteSeGuarda) {
    NuevoDato(QStringLiteral("INSERT INTO TABLA_INEXISTENTE (x) values('1')"), 0, bases);
    insertar("1234", "2026-12-06 10:00:00");
    EXPECT_EQ(leer_filas(base->ruta()).size(), 1u);
    EXPECT_EQ(log(), QStringLiteral("****** Error *******\r\nFecha: 06/12/2026 Hora: 14:27:13\r\n"
                                    "Error: 3134 El motor de base de datos rechazó la sentencia\r\nNuevoDato\r\n"));
}

TEST_P(Almacen, FallosDeLasRanuras) {
    struct {
        const char* nombre;
        std::function<void(ConjuntoBases&)> accion;
        const char* registro;
    } casos[] = {
        {"NuevoDatoRanura3", [](ConjuntoBases& b) { NuevoDato(QStringLiteral("select 1"), 3, b); },
         "Error: 9 Subíndice fuera del intervalo\r\nNuevoDato\r\n"},
        {"NuevoDatoRanuraNegativa", [](ConjuntoBases& b) { NuevoDato(QStringLiteral("select 1"), -1, b); },
         "Error: 9 Subíndice fuera del intervalo\r\nNuevoDato\r\n"},
        {"NuevoDatoRanura1Vacia", [](ConjuntoBases& b) { NuevoDato(QStringLiteral("select 1"), 1, b); },
         "Error: 91 No hay base de datos ni consulta abierta en esa posición\r\nNuevoDato\r\n"},
        {"AbrirRanura3", [this](ConjuntoBases& b) { abrir_base_de_datos(base->ruta(), 3, b); },
         "Error: 9 Subíndice fuera del intervalo\r\nabrir_base_de_datos\r\n"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        QFile::remove(QDir(carpetaLog.path()).filePath(QStringLiteral("error.log")));
        BaseDatos* antes = bases.base[0].get();
        c.accion(bases);
        EXPECT_TRUE(log().endsWith(QString::fromUtf8(c.registro))) << log().toStdString();
        EXPECT_EQ(log().count(QStringLiteral("****** Error *******")), 1);
        // Every slot is as it was.
        EXPECT_EQ(bases.base[0].get(), antes);
        EXPECT_EQ(bases.base[1], nullptr);
        EXPECT_EQ(bases.base[2], nullptr);
        EXPECT_EQ(bases.abierta, (std::array<qint16, 3>{1, 0, 0}));
    }
}

TEST_P(Almacen, LoteConUnaSentenciaQueFallaGuardaLasDemasYRegistraUna) {
    comenzar_lote(bases, 0);
    insertar("0001", "2026-12-06 10:00:01");
    insertar("0002", "2026-12-06 10:00:02");
    NuevoDato(QStringLiteral("INSERT INTO TABLA_INEXISTENTE (x) values('1')"), 0, bases);
    insertar("0003", "2026-12-06 10:00:03");
    terminar_lote(bases);
    comenzar_lote(bases, 0);
    insertar("0004", "2026-12-06 10:00:04");
    terminar_lote(bases);
    QStringList abonados;
    for (const Fila& f : leer_filas(base->ruta())) abonados << f.abonado;
    abonados.sort();
    EXPECT_EQ(abonados, (QStringList{"0001", "0002", "0003", "0004"}));
    EXPECT_EQ(log().count(QStringLiteral("\r\nNuevoDato\r\n")), 1) << log().toStdString();
}

TEST_P(Almacen, LoteSinConfirmarNoSeVeDesdeOtraConexion) {
    comenzar_lote(bases, 0);
    insertar("0001", "2026-12-06 10:00:01");
    EXPECT_TRUE(leer_filas(base->ruta()).empty());
    terminar_lote(bases);
    EXPECT_EQ(leer_filas(base->ruta()).size(), 1u);
}

TEST_P(Almacen, TextoVacioSeGuardaComoTextoNoComoNulo) {
    NuevoDato(sentencia_insert({"0000", 7, "00", "2026-12-07 00:00:00", "15", "00", "", "", ""}), 0, bases);
    Fallo f;
    auto rs = bases.base[0]->abrirRegistros(
        QStringLiteral("select count(*) as nulos from TABLA_GENERAL where gral_evento is null or gral_zona is null"), f);
    ASSERT_TRUE(rs) << f.detalle.toStdString();
    QVariant v;
    EXPECT_FALSE(rs->valor(QStringLiteral("nulos"), v));
    EXPECT_EQ(v.toInt(), 0);
}

INSTANTIATE_TEST_SUITE_P(Motores, Almacen, testing::Values(Motor::SQLite, Motor::PostgreSQL), nombre_motor);

// SQLite file handling.
class ArchivoBase : public testing::Test {
protected:
    QString ruta(const char* nombre = "baseTolm.mdb") const { return QDir(dir.path()).filePath(QString::fromLatin1(nombre)); }
    QString log() const { return leer_texto(QDir(dir.path()).filePath(QStringLiteral("error.log"))); }
    QTemporaryDir dir;
    RelojFijo reloj{momento(2026, 12, 6, 14, 27, 13)};
    RegistroErrores errores{dir.path(), reloj};
};

TEST_F(ArchivoBase, ArchivoAusenteSeCreaConLaTablaYElIndice) {
    ConjuntoBases bases;
    bases.errores = &errores;
    abrir_base_de_datos(ruta(), 0, bases);
    ASSERT_EQ(bases.abierta[0], 1);
    EXPECT_TRUE(QFile::exists(ruta()));
    Fallo f;
    auto rs = bases.base[0]->abrirRegistros(
        QStringLiteral("select name from sqlite_master where name in ('TABLA_GENERAL','indice_abonado_fecha') order by name"), f);
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->cantidad(), 1);
    QStringList nombres;
    while (!rs->alFinal()) {
        QVariant v;
        EXPECT_FALSE(rs->valor(QStringLiteral("name"), v));
        nombres << v.toString();
        EXPECT_FALSE(rs->siguiente());
    }
    EXPECT_EQ(nombres, (QStringList{"TABLA_GENERAL", "indice_abonado_fecha"}));
    EXPECT_TRUE(log().isEmpty());
}

TEST_F(ArchivoBase, BaseSinTablaRecibeLaTabla) {
    ejecutar_directo(ruta(), {QStringLiteral("DROP TABLE TABLA_GENERAL"), QStringLiteral("CREATE TABLE otra (x)")});
    ConjuntoBases bases;
    bases.errores = &errores;
    abrir_base_de_datos(ruta(), 0, bases);
    NuevoDato(sentencia_insert({"1234", 3, "00", "2026-12-06 14:27:13", "0", "00", "E130", "01", "012"}), 0, bases);
    EXPECT_EQ(leer_filas(ruta()).size(), 1u);
    EXPECT_TRUE(log().isEmpty()) << log().toStdString();
}

TEST_F(ArchivoBase, ArchivoQueNoEsBaseQuedaIntacto) {
    const QByteArray contenido = QByteArray("Esto no es una base de datos.\r\n").repeated(200);
    {
        QFile f(ruta());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(contenido);
    }
    ConjuntoBases bases;
    bases.errores = &errores;
    abrir_base_de_datos(ruta(), 0, bases);
    NuevoDato(QStringLiteral("INSERT INTO TABLA_GENERAL (gral_numero_abonado) values('1')"), 0, bases);
    EXPECT_EQ(bases.abierta[0], 0);
    EXPECT_EQ(bases.base[0], nullptr);
    EXPECT_EQ(leer_archivo(ruta()), contenido);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), (QStringList{"baseTolm.mdb", "error.log"}));
    EXPECT_EQ(log(), QStringLiteral("****** Error *******\r\nFecha: 06/12/2026 Hora: 14:27:13\r\n"
                                    "Error: 3343 El archivo no es una base de datos reconocible\r\nabrir_base_de_datos\r\n"
                                    "****** Error *******\r\nFecha: 06/12/2026 Hora: 14:27:13\r\n"
                                    "Error: 91 No hay base de datos ni consulta abierta en esa posición\r\nNuevoDato\r\n"));
}

TEST_F(ArchivoBase, CarpetaAusenteSeRegistraYLaRanuraQuedaVacia) {
    ConjuntoBases bases;
    bases.errores = &errores;
    abrir_base_de_datos(QDir(dir.path()).filePath(QStringLiteral("no/existe/baseTolm.mdb")), 0, bases);
    EXPECT_EQ(bases.abierta[0], 0);
    EXPECT_TRUE(log().contains(QStringLiteral("Error: 3024 ")));
    EXPECT_TRUE(log().endsWith(QStringLiteral("abrir_base_de_datos\r\n")));
}

TEST_F(ArchivoBase, SegundaAperturaFallidaConservaLaRanura) {
    ConjuntoBases bases;
    bases.errores = &errores;
    abrir_base_de_datos(ruta(), 0, bases);
    BaseDatos* primera = bases.base[0].get();
    abrir_base_de_datos(QDir(dir.path()).filePath(QStringLiteral("no/existe.mdb")), 0, bases);
    EXPECT_EQ(bases.base[0].get(), primera);
    EXPECT_EQ(bases.abierta[0], 1);
    inic_base_de_datos(bases);
    EXPECT_EQ(bases.abierta[0], 0);
    EXPECT_EQ(bases.base[0].get(), primera);
}

// The database file removed while the console runs: the rows of the next batches,
// and those of a batch in flight, go into the file created anew on the same path.
TEST_F(ArchivoBase, ArchivoBorradoEnMarchaSeCreaDeNuevo) {
    ConjuntoBases bases;
    bases.errores = &errores;
    abrir_base_de_datos(ruta(), 0, bases);
    const auto fila = [](const char* abonado) {
        return sentencia_insert({QString::fromLatin1(abonado), 3, "00", "2026-12-06 14:27:13", "0", "00", "E130", "01", "012"});
    };
    const auto borrar = [this] {
        for (const char* sufijo : {"", "-wal", "-shm"}) QFile::remove(ruta() + QLatin1String(sufijo));
    };
    const auto abonados = [this] {
        QStringList r;
        for (const Fila& f : leer_filas(ruta())) r << f.abonado;
        return r;
    };
    comenzar_lote(bases, 0);
    NuevoDato(fila("0001"), 0, bases);
    terminar_lote(bases);
    borrar();
    // Removed between batches.
    comenzar_lote(bases, 0);
    NuevoDato(fila("0002"), 0, bases);
    terminar_lote(bases);
    EXPECT_EQ(abonados(), (QStringList{"0002"}));
    // Removed in the middle of a batch.
    comenzar_lote(bases, 0);
    NuevoDato(fila("0003"), 0, bases);
    borrar();
    NuevoDato(fila("0004"), 0, bases);
    terminar_lote(bases);
    EXPECT_EQ(abonados(), (QStringList{"0003", "0004"}));
    // A statement outside any batch.
    borrar();
    NuevoDato(fila("0005"), 0, bases);
    EXPECT_EQ(abonados(), (QStringList{"0005"}));
    EXPECT_TRUE(log().isEmpty()) << log().toStdString();
}

TEST(TraducirSentencia, LiteralesJetSoloFueraDeComillas) {
    const QString s = QStringLiteral("select * from T where (a>=#2026/12/06 00:00:00#) and b='#2026/12/06 00:00:00#'");
    EXPECT_EQ(traducir_sentencia(s, Dialecto::SQLite),
              QStringLiteral("select * from T where (a>='2026-12-06 00:00:00') and b='#2026/12/06 00:00:00#'"));
    EXPECT_EQ(traducir_sentencia(s, Dialecto::PostgreSQL),
              QStringLiteral("select * from T where (a>=TIMESTAMP '2026-12-06 00:00:00') and b='#2026/12/06 00:00:00#'"));
    // Anything that is not a whole literal is left for the engine to judge.
    EXPECT_EQ(traducir_sentencia(QStringLiteral("x=#2026/1/6#"), Dialecto::SQLite), QStringLiteral("x=#2026/1/6#"));
}

} // namespace
