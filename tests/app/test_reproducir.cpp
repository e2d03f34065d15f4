// The whole road through the real binary: corvane --reproducir and --consultar.

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "apoyo/apoyo.h"

using namespace corvane::pruebas;

namespace {

struct Ejecucion {
    int estado = -1;
    QString salida;
    QString errores;
};

Ejecucion corvane(const QStringList& argumentos, const QByteArray& entrada = {}) {
    QProcess p;
    p.start(QStringLiteral(CORVANE_BINARIO), argumentos);
    EXPECT_TRUE(p.waitForStarted());
    if (!entrada.isEmpty()) p.write(entrada);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(60000));
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

const QString kFlujo = QStringLiteral(CORVANE_DATOS_PRUEBA "/mixto.flujo");

TEST(Reproducir, FlujoMixtoDaLaSalidaYLasFilasEsperadas) {
    QTemporaryDir dir;
    const Ejecucion e = corvane({"--reproducir", kFlujo, "--carpeta", dir.path()});
    EXPECT_EQ(e.estado, 0) << e.errores.toStdString();
    EXPECT_EQ(sin_horas(e.salida), QStringLiteral("Cuenta=1234  Señal=16/16  Origen=1  hh:mm:ss\r\n"
                                                  "Cuenta=1234  Señal=16/16  Origen=1  hh:mm:ss\r\n"
                                                  "Cuenta=0500  Señal=10/16  Origen=0  hh:mm:ss\r\n"
                                                  "Cuenta=7788  Señal=4/16  Origen=a  hh:mm:ss\r\n"
                                                  "Cuenta=5566  Señal=4/16  Origen=a  hh:mm:ss\r\n"
                                                  "Cuenta=1234  Señal=4/16  Origen=a  hh:mm:ss\r\n"));
    EXPECT_EQ(sin_horas(e.errores), QStringLiteral("123456140000100000f113aa1a1212343413aa13   hh:mm:ss\n"
                                                   "K   hh:mm:ss\n"
                                                   "E121f49001   hh:mm:ss\n"
                                                   "Rx=10   Señal=16/16   hh:mm:ss   hh:mm:ss\n"
                                                   "123456ff0000a07b003113aa1a121234035566037788   hh:mm:ss\n"
                                                   "Y   hh:mm:ss\n"));
    const QString base = QDir(dir.path()).filePath(QStringLiteral("baseTolm.mdb"));
    std::vector<Fila> filas = leer_filas(base);
    ASSERT_EQ(filas.size(), 6u);
    for (Fila& f : filas) {
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}$"))
                        .match(f.momento).hasMatch()) << f.momento.toStdString();
        f.momento.clear();
    }
    const std::vector<Fila> esperadas = {
        {"1234", "16", "00", "", "1", "00", "E130", "01", "012"},
        {"1234", "16", "00", "", "1", "00", "R130", "01", "013"},
        {"0500", "10", "01", "", "0", "----", "12", "----", "----"},
        {"1234", "4", "00", "", "10", "7b", "E130", "01", "012"},
        {"5566", "4", "00", "", "10", "7b", "G130", "01", "012"},
        {"7788", "4", "00", "", "10", "7b", "G130", "01", "012"},
    };
    EXPECT_EQ(filas, esperadas);
    EXPECT_FALSE(QFile::exists(QDir(dir.path()).filePath(QStringLiteral("error.log"))));

    // A second replay into the same folder adds the same rows again.
    const Ejecucion otra = corvane({"--reproducir", "-", "--carpeta", dir.path()}, leer_archivo(kFlujo));
    EXPECT_EQ(otra.estado, 0);
    EXPECT_EQ(sin_horas(otra.salida), sin_horas(e.salida));
    EXPECT_EQ(leer_filas(base).size(), 12u);
}

TEST(Reproducir, ArchivoIlegibleDaMensajeYEstado2SinTocarNada) {
    QTemporaryDir dir;
    for (const QString& archivo : {QStringLiteral("/no/existe.flujo"), dir.path()}) {
        SCOPED_TRACE(archivo.toStdString());
        const Ejecucion e = corvane({"--reproducir", archivo, "--carpeta", dir.path()});
        EXPECT_EQ(e.estado, 2);
        EXPECT_TRUE(e.salida.isEmpty());
        EXPECT_TRUE(e.errores.contains(QStringLiteral("no se puede leer el archivo"))) << e.errores.toStdString();
        EXPECT_TRUE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
    }
}

TEST(LineaDeComandos, MalaDaEstado2YNoCreaNada) {
    QTemporaryDir dir;
    for (const QStringList& args : {QStringList{"--volar", "--carpeta", dir.path()},
                                    QStringList{"--consultar", "12a", "--carpeta", dir.path()},
                                    QStringList{"--reproducir", "--carpeta", dir.path()}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const Ejecucion e = corvane(args);
        EXPECT_EQ(e.estado, 2);
        EXPECT_TRUE(e.errores.startsWith(QStringLiteral("corvane: ")));
        EXPECT_TRUE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
    }
}

TEST(Consultar, ListaDelDiaEnTextoYEnCsv) {
    QTemporaryDir dir;
    const QString base = QDir(dir.path()).filePath(QStringLiteral("baseTolm.mdb"));
    ASSERT_EQ(corvane({"--reproducir", kFlujo, "--carpeta", dir.path()}).estado, 0);
    ejecutar_directo(base, {QStringLiteral("UPDATE TABLA_GENERAL SET gral_hora_fecha='2026-12-06 08:00:0' || gral_id")});
    Ejecucion e = corvane({"--consultar", "1234", "--fecha", "2026-12-06", "--carpeta", dir.path()});
    EXPECT_EQ(e.estado, 0);
    EXPECT_EQ(e.salida, QStringLiteral("Cuenta=1234  Señal=16  Origen=Rep 1   Hora=06/12/2026 08:00:01\r\n"
                                       "Cuenta=1234  Señal=16  Origen=Rep 1   Hora=06/12/2026 08:00:02\r\n"
                                       "Cuenta=1234  Señal=4  Origen=Rep 10   Hora=06/12/2026 08:00:04\r\n"));
    e = corvane({"--consultar", "1234", "--fecha", "2026-12-06", "--origen", "10", "--csv", "--carpeta", dir.path()});
    EXPECT_EQ(e.salida, QStringLiteral("cuenta,nivel,origen,momento\r\n1234,4,10,2026-12-06T08:00:04\r\n"));
    e = corvane({"--consultar", "0500", "--fecha", "2026-12-07", "--carpeta", dir.path()});
    EXPECT_EQ(e.estado, 0);
    EXPECT_EQ(e.salida, QStringLiteral("No hay registros para ese abonado"));
}

} // namespace
