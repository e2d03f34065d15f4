// The search button and the two forms of the listing, on both engines: the
// operator's lines and their fixed texts, the CSV lines and header, the filters,
// the empty account, and a query without a database.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "abonados/registro_abonados.h"
#include "apoyo/apoyo.h"
#include "consola/boton_consulta.h"
#include "consola/exportacion.h"
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
    QByteArray listar(const ConsultaIntervalo& c, FormaListado forma, CatalogoAbonados* catalogo = nullptr) {
        QByteArray r;
        qint64 filas = 0;
        const Fallo f = escribir_listado(*bases.base[0], c, forma, [&r](const QByteArray& b) {
            r += b;
            return Fallo{};
        }, filas, ',', catalogo);
        EXPECT_FALSE(f) << f.detalle.toStdString();
        return r;
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
    // The same day as a range of one day gives the same lines; CSV with no row,
    // the header alone.
    EXPECT_EQ(listar({"02bf", kDia, kDia, 0}, FormaListado::Operador), buscar("02bf").toUtf8());
    EXPECT_EQ(listar({"0bbb", kDia, kDia, 0}, FormaListado::Operador), buscar("0bbb").toUtf8());
    EXPECT_EQ(listar({"0bbb", kDia, kDia, 0}, FormaListado::Csv), cabecera_csv());
    EXPECT_TRUE(log().isEmpty()) << log().toStdString();
}

// The moments listed by each range: both ends included to the second, across a
// month's and a year's end, one account or all, one origin.
TEST_P(Consulta, IntervalosIncluyenSusExtremos) {
    const char* momentos[] = {"2026-11-30 23:59:59", "2026-12-01 00:00:00", "2026-12-31 23:59:59",
                              "2027-01-01 00:00:00", "2027-01-31 23:59:59", "2027-02-01 00:00:00"};
    for (const char* m : momentos) guardar("02bf", m, "0");
    guardar("0500", "2026-12-31 12:00:00", "3");
    guardar("0500", "2027-01-01 00:00:00", "0");
    struct {
        const char* nombre;
        ConsultaIntervalo consulta;
        std::vector<const char*> esperados; // account and moment of each row, in order
    } casos[] = {
        {"UnDia", {"02bf", {2026, 12, 1}, {2026, 12, 1}, 0}, {"02bf 2026-12-01T00:00:00"}},
        {"MesEntero", {"02bf", {2026, 12, 1}, {2026, 12, 31}, 0}, {"02bf 2026-12-01T00:00:00", "02bf 2026-12-31T23:59:59"}},
        {"FinDeAnio", {"02bf", {2026, 12, 31}, {2027, 1, 1}, 0}, {"02bf 2026-12-31T23:59:59", "02bf 2027-01-01T00:00:00"}},
        {"FinDeMes", {"02bf", {2027, 1, 31}, {2027, 2, 1}, 0}, {"02bf 2027-01-31T23:59:59", "02bf 2027-02-01T00:00:00"}},
        {"TodasPorMomento", {"", {2026, 12, 31}, {2027, 1, 1}, 0},
         {"0500 2026-12-31T12:00:00", "02bf 2026-12-31T23:59:59", "02bf 2027-01-01T00:00:00", "0500 2027-01-01T00:00:00"}},
        {"TodasDeUnOrigen", {"", {2026, 1, 1}, {2027, 12, 31}, 4}, {"0500 2026-12-31T12:00:00"}},
        {"SinFilas", {"02bf", {2026, 12, 2}, {2026, 12, 30}, 0}, {}},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        const std::vector<QStringList> csv = leer_csv(listar(c.consulta, FormaListado::Csv));
        ASSERT_EQ(csv.size(), c.esperados.size() + 1);
        for (size_t i = 0; i < c.esperados.size(); ++i)
            EXPECT_EQ(csv[i + 1][0] + QLatin1Char(' ') + csv[i + 1][3], QString::fromLatin1(c.esperados[i]));
    }
    EXPECT_TRUE(log().isEmpty()) << log().toStdString();
}

// Every stored column as stored, read back with a CSV reader: texts with commas,
// double quotes, line breaks and accents; then the description and the class.
TEST_P(Consulta, CsvConTodasLasColumnasYSusComillas) {
    const std::vector<FilaEvento> filas = {
        {"02bf", 16, "00", "2026-12-06 10:00:00", "1", "00", "E110", "01", "012"},
        {"02bf", 1, "0\"1", "2026-12-06 10:00:00", "15", "----", "12", "1,2", "a\r\nb"},
        {"02bf", 7, "ñ", "2026-12-06 11:00:00", "0", "7b", "R401", "\"", ""},
        {"02bf", 3, "00", "2026-12-06 12:00:00", "2", "00", "E999", "01", "012"},
    };
    for (const FilaEvento& f : filas) NuevoDato(f, 0, bases);
    const std::vector<QStringList> csv = leer_csv(listar({"02bf", kDia, kDia, 0}, FormaListado::Csv));
    ASSERT_EQ(csv.size(), filas.size() + 1);
    QStringList cabecera;
    for (const esquema::Columna& c : esquema::kColumnas) cabecera << c.nombre;
    EXPECT_EQ(csv[0], (cabecera + QStringList{"descripcion", "clase", "nombre_abonado", "descripcion_zona"}));
    const std::vector<Fila> guardadas = leer_filas(base->ruta());
    const QStringList textos[] = {{"Incendio", "Fuego"}, {"Código 12", "Otro"},
                                  {"Apertura/cierre por usuario", "Apertura/cierre"}, {"Código 999", "Otro"}};
    for (size_t i = 0; i < filas.size(); ++i) {
        SCOPED_TRACE(i);
        const Fila& g = guardadas[i];
        QString momento = g.momento;
        momento[10] = QLatin1Char('T');
        EXPECT_EQ(csv[i + 1], (QStringList{g.abonado, g.nivel, g.indicador, momento, g.origen, g.origenTodos, g.evento,
                                           g.particion, g.zona} + textos[i] + QStringList{"", ""}));
    }
    // Quoted only where a value needs it, every record ending in CR LF.
    const QByteArray bytes = listar({"02bf", kDia, kDia, 0}, FormaListado::Csv);
    EXPECT_TRUE(bytes.contains("02bf,16,00,2026-12-06T10:00:00,1,00,E110,01,012,Incendio,Fuego,,\r\n"));
    EXPECT_TRUE(bytes.contains(",\"0\"\"1\",") && bytes.contains(",\"1,2\",\"a\r\nb\","));
    EXPECT_EQ(bytes.count("\r\n"), static_cast<qsizetype>(filas.size() + 2));
}

// The operator's line of each row, then the event's: qualifier and code,
// partition, zone, class and description in fixed columns within 80.
TEST_P(Consulta, DetalleDeCadaEvento) {
    struct {
        int nivel;
        const char* origen;
        const char* evento;
        const char* particion;
        const char* zona;
    } eventos[] = {{16, "1", "E130", "01", "012"}, {10, "0", "12", "----", "----"},
                   {4, "12", "R602", "02", "003"}, {4, "12", "E306", "02", "003"}};
    int segundo = 0;
    for (const auto& e : eventos)
        NuevoDato({"02bf", e.nivel, "00", QStringLiteral("2026-12-06 08:00:0%1").arg(++segundo), e.origen, "00",
                   e.evento, e.particion, e.zona},
                  0, bases);
    EXPECT_EQ(QString::fromUtf8(listar({"02bf", kDia, kDia, 0}, FormaListado::Detalle)),
              QStringLiteral("Cuenta=02bf  Señal=16  Origen=Rep 1   Hora=06/12/2026 08:00:01\r\n"
                             "  Ev=E130 Part=01   Zona=012  Robo            Robo\r\n"
                             "Cuenta=02bf  Señal=10  Origen=Dir     Hora=06/12/2026 08:00:02\r\n"
                             "  Ev=12   Part=---- Zona=---- Otro            Código 12\r\n"
                             "Cuenta=02bf  Señal=4  Origen=Rep 12   Hora=06/12/2026 08:00:03\r\n"
                             "  Ev=R602 Part=02   Zona=003  Prueba          Prueba periódica\r\n"
                             "Cuenta=02bf  Señal=4  Origen=Rep 12   Hora=06/12/2026 08:00:04\r\n"
                             "  Ev=E306 Part=02   Zona=003  Avería          Programación de la central modifi…\r\n"));
    EXPECT_EQ(listar({"0bbb", kDia, kDia, 0}, FormaListado::Detalle), QByteArray("No hay registros para ese abonado"));
    for (const QString& linea : QString::fromUtf8(listar({"02bf", kDia, kDia, 0}, FormaListado::Detalle)).split("\r\n"))
        EXPECT_LE(linea.size(), 80) << linea.toStdString();

    // A registered account: its name and the zone's description (partition 01
    // exactly, or any partition) after the event's line, cut at 80 columns; the
    // same as the CSV's last two columns.
    std::unique_ptr<BaseDatos> registro; // a connection of its own
    ASSERT_FALSE(abrir_motor(base->ruta(), registro).numero);
    ASSERT_FALSE(crear_tablas_abonados(*registro).numero);
    Abonado a;
    a.cuenta = QStringLiteral("02bf");
    a.nombre = QStringLiteral("Panadería La Espiga");
    a.zonas = {{QStringLiteral("01"), QStringLiteral("012"), QStringLiteral("Ventana del salón que da al patio trasero, junto a la leña")},
               {QString(""), QStringLiteral("003"), QStringLiteral("Central")}};
    std::optional<Abonado> actual;
    ASSERT_FALSE(guardar_abonado(*registro, a, {}, QStringLiteral("2026-12-06 00:00:00"), QStringLiteral("p"), actual).numero);
    CatalogoAbonados catalogo([&registro] { return registro.get(); });
    const QStringList lineas = QString::fromUtf8(listar({"02bf", kDia, kDia, 0}, FormaListado::Detalle, &catalogo)).split("\r\n");
    ASSERT_EQ(lineas.size(), 13);
    EXPECT_EQ(lineas[2], QStringLiteral("  Abonado: Panadería La Espiga  Zona: Ventana del salón que da al patio trasero…"));
    EXPECT_EQ(lineas[5], QStringLiteral("  Abonado: Panadería La Espiga"));
    EXPECT_EQ(lineas[8], QStringLiteral("  Abonado: Panadería La Espiga  Zona: Central"));
    const std::vector<QStringList> csv = leer_csv(listar({"02bf", kDia, kDia, 0}, FormaListado::Csv, &catalogo));
    ASSERT_EQ(csv.size(), 5u);
    EXPECT_EQ(csv[1].mid(11), (QStringList{a.nombre, a.zonas[0].descripcion}));
    EXPECT_EQ(csv[2].mid(11), (QStringList{a.nombre, ""}));
}

// Rows of one moment come in the order they arrived, whatever their accounts.
TEST_P(Consulta, TodasEnOrdenDeLlegadaDentroDelSegundo) {
    for (const char* cuenta : {"0ddd", "0001", "0bbb", "0001"}) guardar(cuenta, "2026-12-06 09:00:00", "0");
    guardar("0ccc", "2026-12-06 08:59:59", "0");
    const std::vector<QStringList> csv = leer_csv(listar({"", kDia, kDia, 0}, FormaListado::Csv));
    QStringList cuentas;
    for (size_t i = 1; i < csv.size(); ++i) cuentas << csv[i][0];
    EXPECT_EQ(cuentas, (QStringList{"0ccc", "0ddd", "0001", "0bbb", "0001"}));
}

// "Exportar…": the query of the window's controls into the chosen file, the same
// bytes as the CSV listing; nothing without an account or a file.
TEST_P(Consulta, ExportarEscribeElCsvDeLaConsulta) {
    guardar("02bf", "2026-12-06 10:00:00", "3");
    guardar("02bf", "2026-12-06 11:00:00", "0");
    guardar("02bf", "2026-12-07 10:00:00", "3");
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("exportado.csv"));
    QString propuesto;
    const auto elegir = [&](const QString& p) {
        propuesto = p;
        return ruta;
    };
    CajaMemoria text3;
    text3.ponerTexto(QStringLiteral("02bf"));
    Exportar_Click(text3, 4, kDia, elegir, mensajes, bases);
    EXPECT_EQ(propuesto, QStringLiteral("cuenta_02bf_2026-12-06.csv"));
    EXPECT_EQ(leer_archivo(ruta), listar({"02bf", kDia, kDia, 4}, FormaListado::Csv));
    EXPECT_EQ(leer_csv(leer_archivo(ruta)).size(), 2u);
    ASSERT_EQ(mensajes.mensajes.size(), 1u);
    EXPECT_EQ(mensajes.mensajes[0].texto, QStringLiteral("1 eventos exportados a «%1»").arg(ruta));

    // Cancelled, or no account: no file, no statement.
    QFile::remove(ruta);
    Exportar_Click(text3, 0, kDia, [](const QString&) { return QString(); }, mensajes, bases);
    CajaMemoria vacia;
    Exportar_Click(vacia, 0, kDia, elegir, mensajes, bases);
    EXPECT_FALSE(QFile::exists(ruta));
    ASSERT_EQ(mensajes.mensajes.size(), 2u);
    EXPECT_EQ(mensajes.mensajes[1].texto, QStringLiteral("Debe llenar el campo usuario"));

    // A file that cannot be written: the reason, and nothing left there.
    Exportar_Click(text3, 0, kDia, [&](const QString&) { return dir.filePath(QStringLiteral("no/existe.csv")); },
                   mensajes, bases);
    ASSERT_EQ(mensajes.mensajes.size(), 3u);
    EXPECT_TRUE(mensajes.mensajes[2].texto.startsWith(QStringLiteral("No se pudo exportar a «"))) << mensajes.mensajes[2].texto.toStdString();
}

// The two forms of "Exportar…", from the same rows: RFC 4180 (the bytes of the
// CSV listing, which --csv writes) and the spreadsheet's (byte-order mark,
// semicolons), which read back to the same records; accents stay UTF-8, and a
// value quoted where it holds the form's separator.
TEST_P(Consulta, ExportarEnLasDosFormas) {
    NuevoDato({"02bf", 7, "00", "2026-12-06 10:00:00", "0", "00", "E110", "01", "a;b"}, 0, bases);
    NuevoDato({"02bf", 7, "ñ", "2026-12-06 11:00:00", "0", "00", "R401", "1,2", "012"}, 0, bases);
    QTemporaryDir dir;
    struct {
        const char* nombre;
        FormatoCsv formato;
        QByteArray principio; // the file's first bytes
        char separador;
        QByteArray citado;   // the value with the separator, as written
        QByteArray sinCitar; // the value with the other separator, as written
    } casos[] = {
        {"Rfc4180", FormatoCsv::Rfc4180, "gral_numero_abonado,", ',', ",\"1,2\",", ",a;b,"},
        {"HojaDeCalculo", FormatoCsv::HojaDeCalculo, "\xEF\xBB\xBFgral_numero_abonado;", ';',
         ";\"a;b\";", ";1,2;"},
    };
    std::vector<QStringList> registros[2];
    for (size_t i = 0; i < std::size(casos); ++i) {
        const auto& c = casos[i];
        SCOPED_TRACE(c.nombre);
        const QString ruta = dir.filePath(QString::fromLatin1(c.nombre) + QStringLiteral(".csv"));
        exportar_consulta(
            {"02bf", 0, 0, kDia},
            [&](const QString&) {
                return ArchivoElegido{ruta, c.formato};
            },
            mensajes, bases);
        const QByteArray bytes = leer_archivo(ruta);
        EXPECT_TRUE(bytes.startsWith(c.principio)) << bytes.left(40).toStdString();
        EXPECT_TRUE(bytes.contains(c.citado)) << bytes.toStdString();
        EXPECT_TRUE(bytes.contains(c.sinCitar)) << bytes.toStdString();
        EXPECT_TRUE(bytes.contains("\xC3\xB1")); // ñ
        if (c.formato == FormatoCsv::Rfc4180) {
            EXPECT_EQ(bytes, listar({"02bf", kDia, kDia, 0}, FormaListado::Csv));
        }
        registros[i] =
            leer_csv(bytes.mid(c.formato == FormatoCsv::HojaDeCalculo ? 3 : 0), c.separador);
        ASSERT_EQ(registros[i].size(), 3u);
        EXPECT_EQ(registros[i][2][2], QStringLiteral("ñ"));
    }
    EXPECT_EQ(registros[0], registros[1]);
    EXPECT_EQ(mensajes.mensajes.size(), 2u);
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
    // The export of a search with a level filter has the rows of its listing.
    QTemporaryDir dir;
    const QString ruta = dir.filePath(QStringLiteral("nivel.csv"));
    exportar_consulta(
        {"0001", 5, 0, kDia}, [&](const QString&) { return ArchivoElegido{ruta}; }, mensajes,
        bases);
    const std::vector<QStringList> csv = leer_csv(leer_archivo(ruta));
    ASSERT_EQ(csv.size(), 3u);
    EXPECT_EQ(csv[1][3], QStringLiteral("2026-12-06T01:00:00"));
    EXPECT_EQ(csv[2][3], QStringLiteral("2026-12-06T03:00:00"));
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

// A statement that the engine rejects (the table lost a column): the button
// shows what it showed before, the failure is logged once per query as ever, and
// the caller that asks for it receives it too.
TEST_P(Consulta, FalloDeLaSentenciaSeRegistraYSeEntrega) {
    guardar("02bf", "2026-12-06 10:00:00", "0");
    ASSERT_FALSE(bases.base[0]->ejecutar(
        QStringLiteral("ALTER TABLE TABLA_GENERAL RENAME COLUMN gral_numero_abonado TO otra")));
    EXPECT_EQ(buscar("02bf"), QString());
    CajaMemoria text3, text2;
    text3.ponerTexto(QStringLiteral("02bf"));
    Fallo fallo{fallos::kMotorGeneral, QStringLiteral("anterior")};
    Command3_Click(text3, 0, 0, kDia, text2, mensajes, bases, &fallo);
    EXPECT_EQ(text2.texto(), QString());
    EXPECT_EQ(fallo.numero, fallos::kSentenciaRechazada) << fallo.detalle.toStdString();
    // SQLite names the column; a server's text is in its own language, so only its
    // SQLSTATE (undefined column) is kept.
    EXPECT_TRUE(fallo.detalle.contains(GetParam() == Motor::SQLite ? QStringLiteral("gral_numero_abonado")
                                                                   : QStringLiteral("42703")))
        << fallo.detalle.toStdString();
    EXPECT_EQ(log().count(QStringLiteral("buscar_ultima_pos_Error")), 2);
    // A query that lists is whole: no failure.
    ASSERT_FALSE(bases.base[0]->ejecutar(
        QStringLiteral("ALTER TABLE TABLA_GENERAL RENAME COLUMN otra TO gral_numero_abonado")));
    Command3_Click(text3, 0, 0, kDia, text2, mensajes, bases, &fallo);
    EXPECT_FALSE(fallo) << fallo.detalle.toStdString();
    EXPECT_EQ(text2.texto(),
              QStringLiteral("Cuenta=02bf  Señal=5  Origen=Dir     Hora=06/12/2026 10:00:00\r\n"));
}

INSTANTIATE_TEST_SUITE_P(Motores, Consulta, testing::Values(Motor::SQLite, Motor::PostgreSQL), nombre_motor);

// A server whose dates are written day first: the listings still read the
// moment (the driver's connections ask for ISO dates).
TEST(ListadoEnServidor, ElMomentoNoDependeDelEstiloDeFechas) {
    CORVANE_REQUIERE_POSTGRESQL();
    const QString url = nueva_base_postgresql();
    const QString base = url.section(QLatin1Char('/'), -1);
    ejecutar_directo(url, {QStringLiteral("ALTER DATABASE %1 SET datestyle TO 'SQL, DMY'").arg(base)});
    std::unique_ptr<BaseDatos> db;
    ASSERT_FALSE(abrir_motor(url, db));
    ASSERT_FALSE(db->guardar({"02bf", 5, "00", "2026-12-06 14:27:13", "0", "00", "E130", "01", "012"}));
    const ConsultaIntervalo c{"02bf", kDia, kDia, 0};
    for (const auto& [forma, esperado] : {std::pair{FormaListado::Csv, QByteArray(",2026-12-06T14:27:13,")},
                                          std::pair{FormaListado::Operador, QByteArray("Hora=06/12/2026 14:27:13\r\n")}}) {
        QByteArray r;
        qint64 filas = 0;
        ASSERT_FALSE(escribir_listado(*db, c, forma, [&r](const QByteArray& b) {
            r += b;
            return Fallo{};
        }, filas));
        EXPECT_TRUE(r.contains(esperado)) << r.toStdString();
    }
}

TEST(FormasDelListado, CadaFilaEnLasDosFormas) {
    const QDateTime hora = momento(2026, 12, 6, 14, 27, 13);
    struct {
        const char* nombre;
        FilaHistorial fila;
        QString operador;
    } casos[] = {
        {"Directo", {"02bf", 5, "0", 0, hora, {}}, "Cuenta=02bf  Señal=5  Origen=Dir     Hora=06/12/2026 14:27:13\r\n"},
        {"Repetidora", {"0500", 10, "12", 12, hora, {}},
         "Cuenta=0500  Señal=10  Origen=Rep 12   Hora=06/12/2026 14:27:13\r\n"},
        // Values as stored by another writer: a moment that is not one goes as stored.
        {"ComaYComillas", {"1,2", 3, "4\"", 4, {}, "ayer, tarde"}, "Cuenta=1,2  Señal=3  Origen=Rep 4\"   Hora=ayer, tarde\r\n"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        EXPECT_EQ(linea_historial(c.fila), c.operador);
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
    Fallo fallo;
    EXPECT_EQ(consultar_historial(QStringLiteral("select 1"), 0, 4, bases, &fallo), QString());
    EXPECT_EQ(fallo.numero, fallos::kSinObjeto);
    EXPECT_EQ(leer_texto(errores.ruta()).count(QStringLiteral("buscar_ultima_pos_Error")), 3);
}

} // namespace
