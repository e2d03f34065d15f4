#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "apoyo/apoyo.h"
#include "common/registro_errores.h"

using namespace corvane;
using corvane::pruebas::leer_texto;
using corvane::pruebas::momento;

namespace {

TEST(RegistroErrores, PrimerFalloCreaElArchivoConUnRegistro) {
    QTemporaryDir dir;
    RelojFijo reloj(momento(2026, 12, 6, 14, 27, 13));
    RegistroErrores log(dir.path(), reloj);
    log.registrar_error(fallos::kSentenciaRechazada, QStringLiteral("NuevoDato"));
    EXPECT_EQ(leer_texto(QDir(dir.path()).filePath(QStringLiteral("error.log"))),
              QStringLiteral("****** Error *******\r\n"
                             "Fecha: 06/12/2026 Hora: 14:27:13\r\n"
                             "Error: 3134 El motor de base de datos rechazó la sentencia\r\n"
                             "NuevoDato\r\n"));
}

TEST(RegistroErrores, DosFallosSeAnadenEnOrdenSinTocarLoAnterior) {
    QTemporaryDir dir;
    const QString ruta = QDir(dir.path()).filePath(QStringLiteral("error.log"));
    {
        QFile previo(ruta);
        ASSERT_TRUE(previo.open(QIODevice::WriteOnly));
        previo.write("contenido anterior\r\n");
    }
    RelojFijo reloj(momento(2027, 3, 1, 9, 5, 3));
    RegistroErrores log(dir.path(), reloj);
    log.registrar_error(fallos::kIndiceFueraDeRango, QStringLiteral("abrir_base_de_datos"));
    log.registrar_error(-7, QString());
    EXPECT_EQ(leer_texto(ruta),
              QStringLiteral("contenido anterior\r\n"
                             "****** Error *******\r\n"
                             "Fecha: 01/03/2027 Hora: 09:05:03\r\n"
                             "Error: 9 Subíndice fuera del intervalo\r\n"
                             "abrir_base_de_datos\r\n"
                             "****** Error *******\r\n"
                             "Fecha: 01/03/2027 Hora: 09:05:03\r\n"
                             "Error: -7 Error definido por la aplicación o el objeto\r\n"));
}

TEST(RegistroErrores, CadaNumeroFijoTieneTextoPropio) {
    const qint32 numeros[] = {
        fallos::kIndiceFueraDeRango,  fallos::kSinObjeto,       fallos::kMotorGeneral,
        fallos::kArchivoNoEncontrado, fallos::kDiscoLleno,      fallos::kSoloLectura,
        fallos::kSentenciaRechazada,  fallos::kConexionPerdida, fallos::kBloqueada,
        fallos::kNoEsBaseDeDatos,     fallos::kColaRecuperada,  fallos::kPuertoInexistente,
        fallos::kPuertoOcupado,       fallos::kPuertoRechazado, fallos::kReceptorSinActividad,
        fallos::kEventosPerdidos,     fallos::kFilaRechazada};
    const QString generico = mensaje_de_error(123456);
    QStringList vistos;
    for (const qint32 n : numeros) {
        SCOPED_TRACE(n);
        const QString m = mensaje_de_error(n);
        EXPECT_NE(m, generico);
        EXPECT_FALSE(vistos.contains(m));
        vistos << m;
    }
}

TEST(RegistroErrores, CarpetaNoEscribibleNoDetieneAlLlamador) {
    RelojFijo reloj(momento(2026, 12, 6, 0, 0, 0));
    RegistroErrores log(QStringLiteral("/no/existe/esta/carpeta"), reloj);
    testing::internal::CaptureStderr();
    log.registrar_error(fallos::kDiscoLleno, QStringLiteral("NuevoDato"));
    const std::string salida = testing::internal::GetCapturedStderr();
    EXPECT_NE(salida.find("Error: 3026"), std::string::npos);
}

} // namespace
