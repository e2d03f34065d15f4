// The handling report through the real program, on both engines: the alarms of
// apoyo/alarmas_informe.h (their figures worked out there by hand) written with
// the store's routines, then `corvane --informe-atencion` as a table and as CSV;
// and its refusals of a bad line or a store it cannot read.

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "apoyo/alarmas_informe.h"
#include "apoyo/apoyo.h"
#include "apoyo/procesos.h"

namespace corvane::pruebas {
namespace {

// "1:01:40" -> "3700": the time as CSV gives it; "-" (none) -> "".
QString segundos(const QString& texto) {
    if (texto == QLatin1String("-")) return {};
    qint64 s = 0;
    for (const QString& parte : texto.split(QLatin1Char(':'))) s = s * 60 + parte.toLongLong();
    return QString::number(s);
}

// The output's blocks (separated by a blank line), each a list of lines split
// where two blanks or more part the columns.
std::vector<std::vector<QStringList>> bloques(const QString& salida) {
    std::vector<std::vector<QStringList>> r;
    static const QRegularExpression columnas(QStringLiteral("\\s{2,}"));
    for (const QString& bloque : salida.split(QStringLiteral("\n\n"))) {
        r.emplace_back();
        for (const QString& linea : bloque.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
            r.back().push_back(linea.split(columnas));
    }
    return r;
}

class Informe : public testing::TestWithParam<Motor> {};

TEST_P(Informe, CifrasDeLasAlarmasRecibidasEsosDias) {
    if (GetParam() == Motor::PostgreSQL) CORVANE_REQUIERE_POSTGRESQL();
    BasePrueba base(GetParam());
    ASSERT_TRUE(base.disponible());
    {
        std::unique_ptr<BaseDatos> motor;
        ASSERT_FALSE(abrir_motor(base.ruta(), motor).numero);
        escribir_alarmas_informe(*motor);
    }
    const QStringList orden = QStringList{QStringLiteral("--informe-atencion"),
                                          QStringLiteral("--desde"), QStringLiteral("2026-12-01"),
                                          QStringLiteral("--hasta"), QStringLiteral("2026-12-07")} +
                              (GetParam() == Motor::PostgreSQL
                                   ? QStringList{QStringLiteral("--base"), base.ruta()}
                                   : QStringList{QStringLiteral("--carpeta"), base.carpeta()});

    // Operator (or every one), class, handled, then median and P90 to
    // acknowledge and to close.
    const std::vector<QStringList> tiempos = {
        {"ana", "Fuego", "3", "1:00", "1:30", "10:00", "10:00"},
        {"ana", "Pánico", "1", "0:15", "0:15", "0:45", "0:45"},
        {"luis", "Fuego", "1", "-", "-", "20:00", "20:00"},
        {"luis", "Robo", "3", "0:20", "0:40", "5:00", "1:01:40"},
        {"(sin operador)", "Robo", "1", "0:05", "0:05", "0:50", "0:50"},
        {"(todos)", "Fuego", "3", "1:00", "1:30", "10:00", "20:00"},
        {"(todos)", "Pánico", "1", "0:15", "0:15", "0:45", "0:45"},
        {"(todos)", "Robo", "4", "0:10", "0:40", "1:40", "1:01:40"},
    };
    const std::vector<QStringList> abiertas = {{"Fuego", "1"}, {"Robo", "1"}};
    const std::vector<QStringList> falsas = {{"0100", "2"}, {"0300", "2"}};
    const std::vector<QStringList> horas = {
        {"08", "2"}, {"09", "3"}, {"10", "1"}, {"22", "1"}, {"23", "2"}};

    const Ejecucion texto = ejecutar(kCorvane, orden);
    ASSERT_EQ(texto.estado, 0) << texto.errores.toStdString();
    const auto b = bloques(texto.salida);
    ASSERT_EQ(b.size(), 5u) << texto.salida.toStdString();
    EXPECT_TRUE(texto.salida.startsWith(
        QStringLiteral("Informe de atención del 01/12/2026 al 07/12/2026: 9 alarmas recibidas\n")));
    // Past each block's title and header.
    const auto filas = [&b](std::size_t i, std::size_t saltar) {
        return std::vector<QStringList>(b[i].begin() + static_cast<std::ptrdiff_t>(saltar),
                                        b[i].end());
    };
    EXPECT_EQ(filas(1, 1), tiempos);
    EXPECT_EQ(filas(2, 2), abiertas);
    EXPECT_EQ(filas(3, 2), falsas);
    EXPECT_EQ(filas(4, 2), horas);

    const Ejecucion csv = ejecutar(kCorvane, orden + QStringList{QStringLiteral("--csv")});
    ASSERT_EQ(csv.estado, 0) << csv.errores.toStdString();
    std::vector<QStringList> esperado = {{"seccion", "nombre", "clase", "cantidad",
                                          "mediana_reconocer_s", "p90_reconocer_s",
                                          "mediana_cerrar_s", "p90_cerrar_s"}};
    for (const QStringList& t : tiempos) {
        const bool todos = t[0] == QLatin1String("(todos)");
        esperado.push_back({todos ? "clase" : "operador", todos ? QString() : t[0], t[1], t[2],
                            segundos(t[3]), segundos(t[4]), segundos(t[5]), segundos(t[6])});
    }
    for (const QStringList& a : abiertas)
        esperado.push_back({"abiertas", "", a[0], a[1], "", "", "", ""});
    for (const QStringList& f : falsas)
        esperado.push_back({"falsas", f[0], "", f[1], "", "", "", ""});
    for (int h = 0; h < 24; ++h) {
        QString n = QStringLiteral("0");
        for (const QStringList& fila : horas)
            if (fila[0].toInt() == h) n = fila[1];
        esperado.push_back({"hora", QString::number(h), "", n, "", "", "", ""});
    }
    EXPECT_EQ(leer_csv(csv.bytes), esperado);
    EXPECT_TRUE(csv.bytes.endsWith("\r\n"));
}

INSTANTIATE_TEST_SUITE_P(Motores, Informe, testing::Values(Motor::SQLite, Motor::PostgreSQL),
                         nombre_motor);

// A bad line is refused before anything is opened (exit 2); a store that is not
// there or is no database cannot be read (exit 3). Spanish either way.
TEST(InformeAtencionRechazos, FechasMalasYBaseIlegible) {
    QTemporaryDir vacia, rota;
    QFile basura(QDir(rota.path()).filePath(QStringLiteral("baseTolm.mdb")));
    ASSERT_TRUE(basura.open(QIODevice::WriteOnly));
    basura.write(QByteArray(4096, 'x'));
    basura.close();
    const struct Caso {
        const char* nombre;
        QStringList argumentos;
        QString carpeta;
        int estado;
        const char* mensaje;
    } casos[] = {
        {"FechaMala", {"--desde", "2026-13-01"}, vacia.path(), 2, "fecha no válida «2026-13-01»"},
        {"HastaAntes",
         {"--desde", "2026-12-07", "--hasta", "2026-12-01"},
         vacia.path(),
         2,
         "el intervalo no es válido"},
        {"ConOrigen", {"--origen", "directo"}, vacia.path(), 2, "--origen solo sirven"},
        {"SinBase", {}, vacia.path(), 3, "no se puede leer la base de datos"},
        {"NoEsBase", {}, rota.path(), 3, "no se puede leer la base de datos"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nombre);
        const Ejecucion e = ejecutar(
            kCorvane, QStringList{"--informe-atencion", "--carpeta", c.carpeta} + c.argumentos);
        EXPECT_EQ(e.estado, c.estado);
        EXPECT_TRUE(e.errores.contains(QString::fromUtf8(c.mensaje))) << e.errores.toStdString();
        EXPECT_TRUE(e.salida.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(QDir(vacia.path()).filePath(QStringLiteral("baseTolm.mdb"))));
}

} // namespace
} // namespace corvane::pruebas
