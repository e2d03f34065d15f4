#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>

#include "apoyo/apoyo.h"
#include "cola/almacen_cola.h"
#include "cola/cola_pendientes.h"
#include "cola/escritura_alarmas.h"
#include "consola/registro_alarmas.h"
#include "decoding/moduloCid.h"
#include "store/alarmas.h"
#include "store/direccion_postgresql.h"
#include "store/errores_motor.h"
#include "store/funcionesBaseDatos.h"
#include "store/literales.h"

using namespace corvane;
using namespace corvane::pruebas;

namespace {

// Storage tests that run the same on the SQLite file and on the PostgreSQL server.
using Almacen = BaseAbierta;

TEST_P(Almacen, FilasEscritasYLeidasConCadaForma) {
    NuevoDato(
        FilaEvento({"02bf", 16, "00", "2026-12-06 14:27:13", "10", "7b", "E130", "01", "012"}), 0,
        bases);
    NuevoDato(
        FilaEvento({"0500", 1, "01", "2026-12-06 23:59:59", "0", "----", "12", "----", "----"}), 0,
        bases);
    NuevoDato(FilaEvento({"0000", 7, "00", "2026-12-07 00:00:00", "15", "00", "", "", ""}), 0,
              bases);
    const std::vector<Fila> esperadas = {
        {"02bf", "16", "00", "2026-12-06 14:27:13", "10", "7b", "E130", "01", "012"},
        {"0500", "1", "01", "2026-12-06 23:59:59", "0", "----", "12", "----", "----"},
        {"0000", "7", "00", "2026-12-07 00:00:00", "15", "00", "", "", ""},
    };
    EXPECT_EQ(leer_filas(base->ruta()), esperadas);
    EXPECT_TRUE(log().isEmpty()) << log().toStdString();
}

// The statement text of an event row, as the routine's contract writes it, and the
// typed row that the decoders hand over store the very same values.
TEST_P(Almacen, SentenciaDeTextoYFilaTipadaGuardanLoMismo) {
    NuevoDato(
        QStringLiteral("INSERT INTO TABLA_GENERAL (gral_numero_abonado,gral_nivel_señal,"
                       "gral_indicador_paquete,gral_hora_fecha,gral_origen,gral_origen_todos,"
                       "gral_evento,gral_particion,gral_zona) values('0500',10,'01','2026-12-06 "
                       "14:27:13','0','----','12','----','----')"),
        0, bases);
    NuevoDato(
        FilaEvento{"0500", 10, "01", "2026-12-06 14:27:13", "0", "----", "12", "----", "----"}, 0,
        bases);
    const auto filas = leer_filas(base->ruta());
    ASSERT_EQ(filas.size(), 2u);
    EXPECT_EQ(filas[0], filas[1]);
    EXPECT_EQ(filas[1],
              (Fila{"0500", "10", "01", "2026-12-06 14:27:13", "0", "----", "12", "----", "----"}));
    EXPECT_TRUE(log().isEmpty()) << log().toStdString();
}

// A row that the engine rejects inside a batch (here a rule of the table refuses
// account 9999) is logged once; the rows before and after it are stored.
TEST_P(Almacen, FilaRechazadaEnUnLoteSeRegistraYLasDemasSeGuardan) {
    ejecutar_directo(
        base->ruta(),
        {GetParam() == Motor::SQLite
             ? QStringLiteral(
                   "CREATE TRIGGER rechazo BEFORE INSERT ON TABLA_GENERAL "
                   "WHEN NEW.gral_numero_abonado='9999' BEGIN SELECT RAISE(ABORT,'no'); END")
             : QStringLiteral("ALTER TABLE TABLA_GENERAL ADD CONSTRAINT rechazo "
                              "CHECK (gral_numero_abonado <> '9999')")});
    comenzar_lote(bases, 0);
    guardar("0001", "2026-12-06 10:00:01");
    guardar("0002", "2026-12-06 10:00:02");
    guardar("9999", "2026-12-06 10:00:03");
    guardar("0003", "2026-12-06 10:00:04");
    terminar_lote(bases);
    QStringList abonados;
    for (const Fila& f : leer_filas(base->ruta())) abonados << f.abonado;
    EXPECT_EQ(abonados, (QStringList{"0001", "0002", "0003"}));
    EXPECT_EQ(log().count(QStringLiteral("Error: 3134 ")), 1) << log().toStdString();
}

TEST_P(Almacen, LimitesDelDia) {
    guardar("02bf", "2026-12-05 23:59:59");
    guardar("02bf", "2026-12-06 00:00:00");
    guardar("02bf", "2026-12-06 23:59:59");
    guardar("02bf", "2026-12-07 00:00:00");
    const QStringList vistos = valores_de(
        *bases.base[0],
        QStringLiteral("select * from TABLA_GENERAL where ((gral_numero_abonado='02bf') and "
                       "(gral_hora_fecha>=#2026/12/06 00:00:00#) and (gral_hora_fecha<=#2026/12/06 "
                       "23:59:59#)) "
                       "order by gral_hora_fecha asc"),
        QStringLiteral("gral_hora_fecha"));
    EXPECT_EQ(vistos, (QStringList{"2026-12-06 00:00:00", "2026-12-06 23:59:59"}));
}

TEST_P(Almacen, SentenciaRechazadaSeRegistraYLaSiguienteSeGuarda) {
    NuevoDato(QStringLiteral("INSERT INTO TABLA_INEXISTENTE (x) values('1')"), 0, bases);
    guardar("1234", "2026-12-06 10:00:00");
    EXPECT_EQ(leer_filas(base->ruta()).size(), 1u);
    EXPECT_EQ(log(),
              QStringLiteral(
                  "****** Error *******\r\nFecha: 06/12/2026 Hora: 14:27:13\r\n"
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
        {"NuevoDatoRanuraNegativa",
         [](ConjuntoBases& b) { NuevoDato(QStringLiteral("select 1"), -1, b); },
         "Error: 9 Subíndice fuera del intervalo\r\nNuevoDato\r\n"},
        {"NuevoDatoRanura1Vacia",
         [](ConjuntoBases& b) { NuevoDato(QStringLiteral("select 1"), 1, b); },
         "Error: 91 No hay base de datos ni consulta abierta en esa posición\r\nNuevoDato\r\n"},
        {"AbrirRanura3", [this](ConjuntoBases& b) { abrir_base_de_datos(base->ruta(), 3, b); },
         "Error: 9 Subíndice fuera del intervalo\r\nabrir_base_de_datos\r\n"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        QFile::remove(errores.ruta());
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
    guardar("0001", "2026-12-06 10:00:01");
    guardar("0002", "2026-12-06 10:00:02");
    NuevoDato(QStringLiteral("INSERT INTO TABLA_INEXISTENTE (x) values('1')"), 0, bases);
    guardar("0003", "2026-12-06 10:00:03");
    terminar_lote(bases);
    comenzar_lote(bases, 0);
    guardar("0004", "2026-12-06 10:00:04");
    terminar_lote(bases);
    QStringList abonados;
    for (const Fila& f : leer_filas(base->ruta())) abonados << f.abonado;
    abonados.sort();
    EXPECT_EQ(abonados, (QStringList{"0001", "0002", "0003", "0004"}));
    EXPECT_EQ(log().count(QStringLiteral("\r\nNuevoDato\r\n")), 1) << log().toStdString();
}

TEST_P(Almacen, LoteSinConfirmarNoSeVeDesdeOtraConexion) {
    comenzar_lote(bases, 0);
    guardar("0001", "2026-12-06 10:00:01");
    EXPECT_TRUE(leer_filas(base->ruta()).empty());
    terminar_lote(bases);
    EXPECT_EQ(leer_filas(base->ruta()).size(), 1u);
}

TEST_P(Almacen, TextoVacioSeGuardaComoTextoNoComoNulo) {
    NuevoDato(FilaEvento({"0000", 7, "00", "2026-12-07 00:00:00", "15", "00", "", "", ""}), 0,
              bases);
    EXPECT_EQ(valores_de(*bases.base[0],
                         QStringLiteral("select count(*) as nulos from TABLA_GENERAL where "
                                        "gral_evento is null or gral_zona is null"),
                         QStringLiteral("nulos")),
              QStringList{"0"});
}

// The alarm table appears with the first alarm; a workstation reads back its own
// unacknowledged alarms, newest first; an acknowledgement is kept once, with its
// moment and workstation (quotes and all).
TEST_P(Almacen, AlarmasSeGuardanSeReconocenYSeLeenPorPuesto) {
    BaseDatos& b = *bases.base[0];
    std::vector<FilaAlarma> leidas(1);
    ASSERT_FALSE(leer_alarmas_sin_reconocer(b, QStringLiteral("consola-1"), leidas));
    EXPECT_TRUE(leidas.empty());
    const FilaAlarma a1{"k1",        "0777", "E110", "01", "005", "1", "2026-12-06 14:27:13",
                        "consola-1", "",     ""};
    const FilaAlarma a2{"k2",        "0555", "E120", "02", "006", "0", "2026-12-06 14:27:13",
                        "consola-1", "",     ""};
    const FilaAlarma b1{"k3",      "0999", "E130", "01", "001", "15", "2026-12-06 14:27:14",
                        "o'brien", "",     ""};
    ASSERT_FALSE(guardar_alarmas(b, {a1, a2}));
    ASSERT_FALSE(guardar_alarmas(b, {b1}));
    ASSERT_FALSE(leer_alarmas_sin_reconocer(b, QStringLiteral("consola-1"), leidas));
    EXPECT_EQ(leidas, (std::vector<FilaAlarma>{a2, a1}));

    ASSERT_FALSE(reconocer_alarmas(b, {"k1"}, QStringLiteral("2026-12-06 14:30:00"),
                                   QStringLiteral("o'brien")));
    ASSERT_FALSE(reconocer_alarmas(b, {"k1"}, QStringLiteral("2026-12-06 14:31:00"),
                                   QStringLiteral("consola-1")));
    ASSERT_FALSE(leer_alarmas_sin_reconocer(b, QStringLiteral("consola-1"), leidas));
    EXPECT_EQ(leidas, (std::vector<FilaAlarma>{a2}));
    ASSERT_FALSE(reconocer_alarmas(b, {"k2"}, QStringLiteral("2026-12-06 14:32:00"),
                                   QStringLiteral("consola-1")));
    // The same alarm stored again (a write repeated after a crash) is kept once.
    ASSERT_FALSE(guardar_alarmas(b, {a1, a2}));
    ASSERT_FALSE(leer_alarmas_sin_reconocer(b, QStringLiteral("consola-1"), leidas));
    EXPECT_TRUE(leidas.empty());
    ASSERT_FALSE(leer_alarmas_sin_reconocer(b, QStringLiteral("o'brien"), leidas));
    EXPECT_EQ(leidas, (std::vector<FilaAlarma>{b1}));

    const QString historial = QStringLiteral("select * from TABLA_ALARMAS order by alar_id");
    EXPECT_EQ(valores_de(b, historial, QStringLiteral("alar_reconocida")),
              (QStringList{"2026-12-06 14:30:00", "2026-12-06 14:32:00", ""}));
    EXPECT_EQ(valores_de(b, historial, QStringLiteral("alar_puesto_reconocimiento")),
              (QStringList{"o'brien", "consola-1", ""}));
}

// Alarm writes the table refuses wait in the local queue, in order, across a
// restart, and reach the table once when it takes them again: also a write
// repeated because the queue kept it after the table's commit.
TEST_P(Almacen, EscriturasDeAlarmasRechazadasEsperanYLleganUnaVez) {
    BaseDatos& b = *bases.base[0];
    const bool pg = GetParam() == Motor::PostgreSQL;
    const QString cola = QDir(carpetaLog.path()).filePath(QStringLiteral("pendientes.db"));
    const FilaAlarma a1{"k1",        "0777", "E110", "01", "005", "1", "2026-12-06 14:27:13",
                        "consola-1", "",     ""};
    const FilaAlarma a2{"k2",        "0555", "E120", "02", "006", "0", "2026-12-06 14:27:14",
                        "consola-1", "",     ""};
    FilaAlarma r1 = a1;
    r1.reconocida = QStringLiteral("2026-12-06 14:30:00");
    r1.reconocidaEn = QStringLiteral("consola-2");
    FilaAlarma r2 = a2;
    r2.reconocida = QStringLiteral("2026-12-06 14:31:00");
    r2.reconocidaEn = QStringLiteral("consola-1");
    ASSERT_FALSE(guardar_alarmas(b, {a2}));
    if (pg) {
        ASSERT_FALSE(b.ejecutar(
            QStringLiteral("CREATE FUNCTION rechazo() RETURNS trigger LANGUAGE plpgsql AS "
                           "$$BEGIN RAISE EXCEPTION 'rechazada'; END$$")));
    }
    const QString trigger =
        pg ? QStringLiteral(
                 "CREATE TRIGGER rechazo BEFORE INSERT OR UPDATE ON TABLA_ALARMAS FOR EACH ROW "
                 "EXECUTE FUNCTION rechazo()")
           : QStringLiteral("CREATE TRIGGER rechazo%1 BEFORE %1 ON TABLA_ALARMAS BEGIN SELECT "
                            "RAISE(ABORT,'rechazada'); END");
    for (const char* que : {"INSERT", "UPDATE"}) {
        ASSERT_FALSE(b.ejecutar(pg ? trigger : trigger.arg(QLatin1String(que))));
        if (pg) break;
    }
    const std::vector<AlarmaPendiente> esperadas{{1, false, a1}, {2, true, r1}};
    {
        Drenaje parado; // never started: what waits stays in the queue
        EscrituraAlarmas e(cola, base->ruta(), parado);
        // A central server is written by the drain loop only: nothing refused yet.
        EXPECT_EQ(static_cast<bool>(e.escribir(&b, {{0, false, a1}})), !pg);
        EXPECT_FALSE(e.escribir(&b, {{0, true, r1}})); // behind the one waiting
        EXPECT_EQ(e.esperando(), 2);
    }
    Drenaje drenaje;
    EscrituraAlarmas e(cola, base->ruta(), drenaje);
    std::vector<AlarmaPendiente> leidas;
    ASSERT_FALSE(e.leerEsperando(leidas));
    EXPECT_EQ(leidas, esperadas);
    EXPECT_FALSE(e.escribir(nullptr, {{0, true, r2}})); // behind, with no database at hand
    EXPECT_EQ(e.esperando(), 3);
    // The drain loop meets the refusal and keeps trying; the outage is told once.
    drenaje.iniciar();
    ASSERT_TRUE(esperar_que([&] { return e.fallando(); }));

    for (const char* que : {"INSERT", "UPDATE"}) {
        ASSERT_FALSE(
            b.ejecutar(pg ? QStringLiteral("DROP TRIGGER rechazo ON TABLA_ALARMAS")
                          : QStringLiteral("DROP TRIGGER rechazo%1").arg(QLatin1String(que))));
        if (pg) break;
    }
    EXPECT_TRUE(esperar_que([&] { return e.esperando() == 0; }, 20000));
    EXPECT_EQ(e.fallos().size(), 1u);
    drenaje.detener();
    // The queue still holding writes the table has (killed before their removal).
    ColaPendientes repetida;
    ASSERT_FALSE(repetida.abrir(cola));
    ASSERT_FALSE(repetida.encolar_alarmas(esperadas));
    Drenaje otro;
    EscrituraAlarmas tras(cola, base->ruta(), otro);
    EXPECT_EQ(tras.esperando(), 2);
    otro.iniciar();
    EXPECT_TRUE(esperar_que([&] { return tras.esperando() == 0; }));
    EXPECT_FALSE(tras.fallando());
    const QString historial = QStringLiteral("select * from TABLA_ALARMAS order by alar_id");
    EXPECT_EQ(valores_de(b, historial, QStringLiteral("alar_clave")), (QStringList{"k2", "k1"}));
    EXPECT_EQ(valores_de(b, historial, QStringLiteral("alar_reconocida")),
              (QStringList{"2026-12-06 14:31:00", "2026-12-06 14:30:00"}));
    EXPECT_EQ(valores_de(b, historial, QStringLiteral("alar_puesto_reconocimiento")),
              (QStringList{"consola-1", "consola-2"}));
}

// Workstation names and keys holding quotes, backslashes and SQL are values
// bound to the statements, never part of their text: each alarm is stored,
// read back and acknowledged with its exact text, and nothing else runs. On
// PostgreSQL also with standard_conforming_strings off, where a backslash
// inside a quoted text escapes the quote after it.
TEST_P(Almacen, TextosHostilesSeGuardanTalCual) {
    const QStringList hostiles{
        QStringLiteral("o'brien"),
        QStringLiteral("\\"),
        QStringLiteral("\\'"),
        QStringLiteral("'); DROP TABLE TABLA_GENERAL; --"),
        QStringLiteral("\\'); CREATE TABLE inyectada(x int);--"),
        QStringLiteral("'' OR 1=1 --"),
        QStringLiteral("? $1 :a %1"),
        QStringLiteral("puesto «ñandú» — 東京 ✓"),
    };
    const bool pg = GetParam() == Motor::PostgreSQL;
    const QString tablas =
        pg ? QStringLiteral("select tablename as n from pg_tables where schemaname = 'public' "
                            "order by 1")
           : QStringLiteral("select lower(name) as n from sqlite_master where type = 'table' "
                            "order by 1");
    for (const QString& conformes : pg ? QStringList{"on", "off"} : QStringList{"on"}) {
        SCOPED_TRACE(conformes.toStdString());
        if (conformes == QLatin1String("off")) {
            ASSERT_FALSE(bases.base[0]->ejecutar(
                QStringLiteral("ALTER DATABASE ") + QUrl(base->ruta()).path().mid(1) +
                QStringLiteral(" SET standard_conforming_strings = off")));
            abrir_base_de_datos(base->ruta(), 0, bases);
            ASSERT_EQ(valores_de(*bases.base[0], QStringLiteral("SHOW standard_conforming_strings"),
                                 QStringLiteral("standard_conforming_strings")),
                      QStringList{"off"});
        }
        BaseDatos& b = *bases.base[0];
        std::vector<FilaAlarma> alarmas;
        for (const QString& h : hostiles)
            alarmas.push_back({conformes.left(2) + QString::number(alarmas.size()) + h.left(36),
                               "0777", "E110", "01", "005", "1", "2026-12-06 14:27:13", h, "", ""});
        ASSERT_FALSE(guardar_alarmas(b, alarmas));
        for (const FilaAlarma& a : alarmas) {
            std::vector<FilaAlarma> leidas;
            ASSERT_FALSE(leer_alarmas_sin_reconocer(b, a.puesto, leidas));
            EXPECT_EQ(leidas, std::vector<FilaAlarma>{a}) << a.puesto.toStdString();
            ASSERT_FALSE(
                reconocer_alarmas(b, {a.clave}, QStringLiteral("2026-12-06 14:30:00"), a.puesto));
        }
        std::vector<FilaAlarma> reconocidas;
        ASSERT_FALSE(leer_alarmas_reconocidas(b, 100, reconocidas));
        QStringList claves, puestos;
        for (const FilaAlarma& a : reconocidas)
            if (a.clave.startsWith(conformes.left(2))) {
                claves << a.clave;
                puestos << a.reconocidaEn;
            }
        claves.sort();
        puestos.sort();
        QStringList esperadas, esperados = hostiles;
        for (const FilaAlarma& a : alarmas) esperadas << a.clave;
        esperadas.sort();
        esperados.sort();
        EXPECT_EQ(claves, esperadas);
        EXPECT_EQ(puestos, esperados);
        EXPECT_EQ(valores_de(b, tablas, QStringLiteral("n")),
                  (QStringList{"tabla_alarmas", "tabla_general"}));
    }
    EXPECT_EQ(log(), QString());
}

// An alarm table of the operator's own under our table's name (other columns),
// in the file or on the server: it is left as it is; the alarm writes fail with
// our cause, wait in the local queue and stay listed, also at a new start;
// error.log gets one record however often they are tried. Once the operator
// moves that table away, the waiting alarms reach our new table once.
TEST_P(Almacen, TablaDeAlarmasConOtrasColumnas) {
    const bool pg = GetParam() == Motor::PostgreSQL;
    ASSERT_FALSE(bases.base[0]->ejecutar(
        QStringLiteral("CREATE TABLE TABLA_ALARMAS (numero INTEGER, nota VARCHAR(20))")));
    ASSERT_FALSE(bases.base[0]->ejecutar(
        QStringLiteral("INSERT INTO TABLA_ALARMAS (numero, nota) VALUES (1, 'mia')")));
    const FilaAlarma a{"k1",        "0777", "E110", "01", "005", "1", "2026-12-06 14:27:13",
                       "consola-1", "",     ""};
    const Fallo f = guardar_alarmas(*bases.base[0], {a});
    EXPECT_EQ(f.numero, fallos::kSentenciaRechazada);
    EXPECT_EQ(causa_alarmas(f),
              QStringLiteral("la tabla de alarmas %1 tiene otras columnas: le faltan alar_clave, "
                             "alar_numero_abonado, alar_evento, alar_particion, alar_zona, "
                             "alar_origen, alar_recibida, alar_puesto, alar_reconocida, "
                             "alar_puesto_reconocimiento")
                  .arg(pg ? "del servidor" : "del archivo"));

    bases.colaPendientes = QDir(carpetaLog.path()).filePath(QStringLiteral("pendientes.db"));
    bases.abrirConCola = &abrir_almacen;
    abrir_base_de_datos(base->ruta(), 0, bases);
    const auto filas = [](const char* cuenta) {
        return std::vector<FilaEvento>{
            {cuenta, 16, "00", "2026-12-06 14:27:13", "1", "00", "E110", "01", "005"}};
    };
    {
        RegistroAlarmas registro(bases, reloj, QStringLiteral("consola-1"));
        registro.cargar();
        registro.recibir(filas("0777"));
        registro.recibir(filas("0555"));
        EXPECT_EQ(registro.pendientes().size(), 2u);
        // The drain loop tries again after 2 s, then 4 s: the same refusal.
        esperar_que(
            [&] {
                registro.reintentar();
                static_cast<void>(registro.refrescar());
                return false;
            },
            6500);
        EXPECT_EQ(registro.esperando(), 2);
        EXPECT_TRUE(registro.aviso().contains(QStringLiteral("tiene otras columnas")))
            << registro.aviso().toStdString();
    }
    // One record per label and outage: the reads, the writes.
    EXPECT_EQ(log().count(QStringLiteral("****** Error")), 2) << log().toStdString();
    // A new start lists what waits, and logs the outage it finds once per label
    // (the read; the table mended before the writes are tried again).
    RegistroAlarmas registro(bases, reloj, QStringLiteral("consola-1"));
    registro.cargar();
    EXPECT_EQ(registro.pendientes().size(), 2u);

    ejecutar_directo(base->ruta(),
                     {QStringLiteral("ALTER TABLE TABLA_ALARMAS RENAME TO alarmas_del_operador")});
    EXPECT_TRUE(esperar_que(
        [&] {
            registro.reintentar();
            return registro.esperando() == 0;
        },
        20000));
    BaseDatos& b = *bases.base[0];
    EXPECT_EQ(valores_de(b, QStringLiteral("select * from TABLA_ALARMAS order by alar_id"),
                         QStringLiteral("alar_numero_abonado")),
              (QStringList{"0777", "0555"}));
    EXPECT_EQ(
        valores_de(b, QStringLiteral("select * from alarmas_del_operador"), QStringLiteral("nota")),
        QStringList{"mia"});
    EXPECT_EQ(log().count(QStringLiteral("****** Error")), 3) << log().toStdString();
    EXPECT_EQ(registro.aviso(), QString());
}

// The event stream through the drain loop, on either target (the file, a
// server): rows the event table refuses wait in the local queue, the outage is
// told once however often the loop tries, and once the table takes rows again
// each arrives once, in order.
TEST_P(Almacen, EventosRechazadosEsperanEnLaColaYLleganUnaVez) {
    BaseDatos& b = *bases.base[0];
    const bool pg = GetParam() == Motor::PostgreSQL;
    if (pg) {
        ASSERT_FALSE(b.ejecutar(
            QStringLiteral("CREATE FUNCTION rechazo() RETURNS trigger LANGUAGE plpgsql AS "
                           "$$BEGIN RAISE EXCEPTION 'rechazada'; END$$")));
    }
    ASSERT_FALSE(
        b.ejecutar(pg ? QStringLiteral("CREATE TRIGGER rechazo BEFORE INSERT ON TABLA_GENERAL FOR "
                                       "EACH ROW EXECUTE FUNCTION rechazo()")
                      : QStringLiteral("CREATE TRIGGER rechazo BEFORE INSERT ON TABLA_GENERAL "
                                       "BEGIN SELECT RAISE(ABORT,'rechazada'); END")));
    std::unique_ptr<BaseDatos> almacen;
    ASSERT_FALSE(
        abrir_almacen(base->ruta(), QDir(carpetaLog.path()).filePath("pendientes.db"), almacen));
    std::size_t fallos = 0;
    const auto recoger = [&] { fallos += almacen->fallosDiferidos().size(); };
    for (const QStringList& lote :
         {QStringList{"0001", "0002", "0003"}, QStringList{"0004", "0005"}}) {
        ASSERT_FALSE(almacen->comenzarLote());
        for (const QString& a : lote)
            EXPECT_FALSE(almacen->guardar(
                {a, 5, "00", "2026-12-06 14:27:13", "0", "00", "E130", "01", "012"}));
        ASSERT_FALSE(almacen->confirmarLote());
    }
    EXPECT_EQ(almacen->pendientes(), 5);
    ASSERT_TRUE(esperar_que([&] { return almacen->fallando(); }));
    // Two further attempts of the loop (after 2 s, then 4 s) meet the same refusal.
    esperar_que(
        [&] {
            recoger();
            return false;
        },
        6500);
    EXPECT_EQ(fallos, 1u);
    EXPECT_EQ(almacen->pendientes(), 5);

    ASSERT_FALSE(b.ejecutar(pg ? QStringLiteral("DROP TRIGGER rechazo ON TABLA_GENERAL")
                               : QStringLiteral("DROP TRIGGER rechazo")));
    EXPECT_TRUE(esperar_que([&] { return almacen->pendientes() == 0; }, 20000));
    recoger();
    EXPECT_EQ(fallos, 1u);
    almacen.reset();
    EXPECT_EQ(valores_de(b, QStringLiteral("select * from TABLA_GENERAL order by gral_id"),
                         QStringLiteral("gral_numero_abonado")),
              (QStringList{"0001", "0002", "0003", "0004", "0005"}));
}

INSTANTIATE_TEST_SUITE_P(Motores, Almacen, testing::Values(Motor::SQLite, Motor::PostgreSQL),
                         nombre_motor);

// SQLite file handling.
class ArchivoBase : public testing::Test {
protected:
    QString ruta(const char* nombre = "baseTolm.mdb") const {
        return QDir(dir.path()).filePath(QString::fromLatin1(nombre));
    }
    QString log() const { return leer_texto(errores.ruta()); }
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
    const QString esquema =
        QStringLiteral("select name from sqlite_master where name in "
                       "('TABLA_GENERAL','indice_abonado_fecha') order by name");
    std::unique_ptr<Registros> rs;
    ASSERT_FALSE(bases.base[0]->abrirRegistros(esquema, rs));
    EXPECT_EQ(rs->cantidad(), 1);
    EXPECT_EQ(valores_de(*bases.base[0], esquema, QStringLiteral("name")),
              (QStringList{"TABLA_GENERAL", "indice_abonado_fecha"}));
    EXPECT_TRUE(log().isEmpty());
}

TEST_F(ArchivoBase, BaseSinTablaRecibeLaTabla) {
    ejecutar_directo(ruta(), {QStringLiteral("DROP TABLE TABLA_GENERAL"),
                              QStringLiteral("CREATE TABLE otra (x)")});
    ConjuntoBases bases;
    bases.errores = &errores;
    abrir_base_de_datos(ruta(), 0, bases);
    NuevoDato(FilaEvento({"1234", 3, "00", "2026-12-06 14:27:13", "0", "00", "E130", "01", "012"}),
              0, bases);
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
    NuevoDato(QStringLiteral("INSERT INTO TABLA_GENERAL (gral_numero_abonado) values('1')"), 0,
              bases);
    EXPECT_EQ(bases.abierta[0], 0);
    EXPECT_EQ(bases.base[0], nullptr);
    EXPECT_EQ(leer_archivo(ruta()), contenido);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), (QStringList{"baseTolm.mdb", "error.log"}));
    EXPECT_EQ(
        log(),
        QStringLiteral(
            "****** Error *******\r\nFecha: 06/12/2026 Hora: 14:27:13\r\n"
            "Error: 3343 El archivo no es una base de datos reconocible\r\nabrir_base_de_datos\r\n"
            "****** Error *******\r\nFecha: 06/12/2026 Hora: 14:27:13\r\n"
            "Error: 91 No hay base de datos ni consulta abierta en esa posición\r\nNuevoDato\r\n"));
}

TEST_F(ArchivoBase, CarpetaAusenteSeRegistraYLaRanuraQuedaVacia) {
    ConjuntoBases bases;
    bases.errores = &errores;
    abrir_base_de_datos(QDir(dir.path()).filePath(QStringLiteral("no/existe/baseTolm.mdb")), 0,
                        bases);
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
        return FilaEvento({QString::fromLatin1(abonado), 3, "00", "2026-12-06 14:27:13", "0", "00",
                           "E130", "01", "012"});
    };
    const auto borrar = [this] {
        for (const char* sufijo : {"", "-wal", "-shm"})
            QFile::remove(ruta() + QLatin1String(sufijo));
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

// The engines' codes as the failure numbers that error.log records.
TEST(NumerosDeFallo, CodigosDeCadaMotor) {
    struct {
        int codigo;
        qint32 numero;
    } sqlite[] = {{1, fallos::kSentenciaRechazada},
                  {19, fallos::kSentenciaRechazada},
                  {2067, fallos::kSentenciaRechazada}, // SQLITE_CONSTRAINT_UNIQUE
                  {5, fallos::kBloqueada},
                  {517, fallos::kBloqueada}, // SQLITE_BUSY_SNAPSHOT
                  {8, fallos::kSoloLectura},
                  {13, fallos::kDiscoLleno},
                  {14, fallos::kArchivoNoEncontrado},
                  {26, fallos::kNoEsBaseDeDatos},
                  {10, fallos::kMotorGeneral}};
    for (const auto& c : sqlite) {
        SCOPED_TRACE(c.codigo);
        EXPECT_EQ(numero_sqlite(c.codigo), c.numero);
    }
    struct {
        const char* estado;
        QSqlError::ErrorType tipo;
        qint32 numero;
    } postgresql[] = {
        {"08006", QSqlError::StatementError, fallos::kConexionPerdida},
        {"57P01", QSqlError::StatementError, fallos::kConexionPerdida},  // server shut down
        {"28P01", QSqlError::ConnectionError, fallos::kAccesoRechazado}, // password refused
        {"", QSqlError::ConnectionError, fallos::kConexionPerdida},
        {"", QSqlError::StatementError, fallos::kConexionPerdida},
        {"53100", QSqlError::StatementError, fallos::kDiscoLleno},
        {"25006", QSqlError::StatementError, fallos::kSoloLectura},
        {"55P03", QSqlError::StatementError, fallos::kBloqueada},
        {"3D000", QSqlError::ConnectionError, fallos::kArchivoNoEncontrado},
        {"42P01", QSqlError::StatementError, fallos::kSentenciaRechazada}, // no such table
        {"22001", QSqlError::StatementError, fallos::kSentenciaRechazada}, // value too long
        {"23514", QSqlError::StatementError, fallos::kSentenciaRechazada}, // check violated
        {"XX000", QSqlError::StatementError, fallos::kMotorGeneral},
    };
    for (const auto& c : postgresql) {
        SCOPED_TRACE(c.estado);
        EXPECT_EQ(numero_postgresql(QString::fromLatin1(c.estado), c.tipo), c.numero);
    }
}

TEST(TraducirSentencia, LiteralesJetSoloFueraDeComillas) {
    const QString s = QStringLiteral(
        "select * from T where (a>=#2026/12/06 00:00:00#) and b='#2026/12/06 00:00:00#'");
    EXPECT_EQ(
        traducir_sentencia(s, Dialecto::SQLite),
        QStringLiteral(
            "select * from T where (a>='2026-12-06 00:00:00') and b='#2026/12/06 00:00:00#'"));
    EXPECT_EQ(traducir_sentencia(s, Dialecto::PostgreSQL),
              QStringLiteral("select * from T where (a>=TIMESTAMP '2026-12-06 00:00:00') and "
                             "b='#2026/12/06 00:00:00#'"));
    // Anything that is not a whole literal is left for the engine to judge.
    EXPECT_EQ(traducir_sentencia(QStringLiteral("x=#2026/1/6#"), Dialecto::SQLite),
              QStringLiteral("x=#2026/1/6#"));
}

// libpq's URI read into its parts; "!" where libpq refuses it or no host is named.
TEST(DireccionPostgreSQL, PartesDeCadaForma) {
    struct {
        const char* url;
        const char* partes; // usuario|clave|base|servidores|puertos|parámetros
    } casos[] = {
        {"postgresql://u@h:5432/b", "u||b|h|5432|"},
        {"postgres://u:cl%40ve@h/b", "u|cl@ve|b|h||"},
        {"postgresql://h", "|||h||"},
        {"postgresql://u@h1:5432,h2:5433/b?target_session_attrs=read-write",
         "u||b|h1,h2|5432,5433|target_session_attrs=read-write"},
        {"postgresql://[::1]:5433,h2/b", "||b|::1,h2|5433,|"},
        {"postgresql://%2Ftmp%2Fpg/b%20c", "||b c|/tmp/pg||"},
        {"postgresql:///"
         "b?host=h1,h2&port=5433&user=u&password=p&sslmode=require&application_name=a%26b",
         "u|p|b|h1,h2|5433|sslmode=require&application_name=a&b"},
        {"postgresql://h/b?dbname=otra", "||otra|h||"},
        {"postgresql:///b", "!"},
        {"postgresql://h1,/b", "!"},
        {"postgresql://h:99999/b", "!"},
        {"postgresql://h:5x/b", "!"},
        {"postgresql://u:%zz@h/b", "!"},
        {"postgresql://[::1/b", "!"},
        {"postgresql://h1,h2,h3/b?port=1,2", "!"},
        {"postgresql://h/b?sslmode", "!"},
        {"mysql://h/b", "!"},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.url);
        DireccionPostgreSQL d;
        const Fallo f = leer_direccion_postgresql(QString::fromUtf8(c.url), d);
        if (QLatin1String(c.partes) == "!") {
            EXPECT_EQ(f.numero, fallos::kArchivoNoEncontrado);
            EXPECT_TRUE(f.detalle.startsWith(QStringLiteral("dirección de base no válida: ")))
                << f.detalle.toStdString();
            continue;
        }
        ASSERT_FALSE(f) << f.detalle.toStdString();
        QStringList parametros;
        for (const auto& [nombre, valor] : d.parametros)
            parametros << nombre + QLatin1Char('=') + valor;
        const QStringList partes{
            d.usuario,
            d.clave,
            d.base,
            QStringList(d.servidores.begin(), d.servidores.end()).join(QLatin1Char(',')),
            QStringList(d.puertos.begin(), d.puertos.end()).join(QLatin1Char(',')),
            parametros.join(QLatin1Char('&'))};
        EXPECT_EQ(partes.join(QLatin1Char('|')), QString::fromUtf8(c.partes));
    }
}

// Through Qt's driver: a first host where nothing listens is passed over, hosts
// with different ports reach libpq, and so does every other parameter of the URI,
// a quote and a backslash in its value included.
TEST(DireccionPostgreSQL, VariosServidoresYParametrosLleganAlServidor) {
    CORVANE_REQUIERE_POSTGRESQL();
    const QUrl prueba(url_postgresql());
    const QString nombre = QStringLiteral("corvane 'uno' \\ dos");
    const QString url =
        QStringLiteral("postgresql://"
                       "%1@127.0.0.1:1,%2:%3%4?target_session_attrs=read-write&application_name=%5")
            .arg(prueba.userName(), prueba.host(), QString::number(prueba.port(5432)),
                 prueba.path(), QString::fromLatin1(QUrl::toPercentEncoding(nombre)));
    std::unique_ptr<BaseDatos> base;
    const Fallo f = abrir_motor(url, base);
    ASSERT_FALSE(f) << f.detalle.toStdString();
    EXPECT_EQ(valores_de(*base, QStringLiteral("SELECT current_setting('application_name') AS a"),
                         QStringLiteral("a")),
              QStringList{nombre});
    EXPECT_EQ(
        valores_de(*base, QStringLiteral("SELECT inet_server_port() AS p"), QStringLiteral("p")),
        QStringList{QString::number(prueba.port(5432))});
    // A value the driver would cut at its ";" is refused, not sent changed.
    EXPECT_EQ(abrir_motor(url + QStringLiteral("%3Bx"), base).numero, fallos::kArchivoNoEncontrado);
}

} // namespace
