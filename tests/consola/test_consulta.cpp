// The search button and the two forms of the listing, on both engines: the
// operator's lines and their fixed texts, the CSV lines and header, the filters,
// the empty account, and a query without a database.

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "apoyo/apoyo.h"
#include "consola/boton_consulta.h"
#include "consola/listado.h"
#include "decoding/moduloCid.h"
#include "store/consulta.h"
#include "store/funcionesBaseDatos.h"

using namespace corvane;
using namespace corvane::pruebas;

namespace {

const QDate kDia(2026, 12, 6);

class Consulta : public BaseAbierta {
protected:
    QString buscar(const char* cuenta, int senal = 0, int origen = 0) {
        CajaMemoria text3, text2;
        text3.ponerTexto(QString::fromLatin1(cuenta));
        Command3_Click(text3, senal, origen, kDia, text2, mensajes, bases);
        return text2.texto();
    }
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
    // The same rows as CSV; with none, the header alone.
    const auto csv = [this](const char* cuenta) {
        return consultar_historial(sentencia_historial(QString::fromLatin1(cuenta), 0, 0, kDia), 0, 0, bases,
                                   FormaListado::Csv);
    };
    EXPECT_EQ(csv("02bf"), QStringLiteral("cuenta,nivel,origen,momento\r\n"
                                          "02bf,5,0,2026-12-06T00:00:00\r\n"
                                          "02bf,5,12,2026-12-06T23:59:59\r\n"));
    EXPECT_EQ(csv("0bbb"), QStringLiteral("cuenta,nivel,origen,momento\r\n"));
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

TEST(FormasDelListado, CadaFilaEnLasDosFormas) {
    const QDateTime hora = momento(2026, 12, 6, 14, 27, 13);
    struct {
        const char* nombre;
        FilaHistorial fila;
        QString operador;
        QString csv;
    } casos[] = {
        {"Directo", {"02bf", 5, "0", 0, hora, {}},
         "Cuenta=02bf  Señal=5  Origen=Dir     Hora=06/12/2026 14:27:13\r\n", "02bf,5,0,2026-12-06T14:27:13\r\n"},
        {"Repetidora", {"0500", 10, "12", 12, hora, {}},
         "Cuenta=0500  Señal=10  Origen=Rep 12   Hora=06/12/2026 14:27:13\r\n", "0500,10,12,2026-12-06T14:27:13\r\n"},
        // Values as stored by another writer: the CSV quotes what holds a comma or a
        // double quote, and a moment that is not one goes as stored.
        {"ComaYComillas", {"1,2", 3, "4\"", 4, {}, "ayer, tarde"},
         "Cuenta=1,2  Señal=3  Origen=Rep 4\"   Hora=ayer, tarde\r\n", "\"1,2\",3,\"4\"\"\",\"ayer, tarde\"\r\n"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        EXPECT_EQ(linea_historial(c.fila), c.operador);
        EXPECT_EQ(linea_csv(c.fila), c.csv);
    }
}

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

} // namespace
