// The audit trail on both engines: entries appended by several writers at once
// form one chain; the table refuses changes; and the console's verification
// (the real program) finds the chain whole, or names the first entry changed,
// removed or out of order after the owner tampered with the rows.

#include <QThread>
#include <QUrl>
#include <QUuid>

#include <thread>

#include "apoyo/apoyo.h"
#include "apoyo/procesos.h"
#include "auditoria/auditoria.h"
#include "auditoria/esquema_auditoria.h"
#include "cola/cola_pendientes.h"
#include "cola/escritura_auditoria.h"
#include "store/motor.h"

namespace corvane::pruebas {
namespace {

// A database of the server that is not there yet, and the statement that makes it.
QString base_ausente(QString& crear) {
    const QString nombre =
        QStringLiteral("p_") + QUuid::createUuid().toString(QUuid::Id128).left(20);
    crear = QStringLiteral("CREATE DATABASE ") + nombre;
    QUrl u(url_postgresql());
    u.setPath(QLatin1Char('/') + nombre);
    return u.toString();
}

QStringList detalles(BaseDatos& base) {
    return valores_de(
        base, QStringLiteral("SELECT audi_detalle FROM corvane_auditoria ORDER BY audi_secuencia"),
        QStringLiteral("audi_detalle"));
}

class Auditoria : public testing::TestWithParam<Motor> {
protected:
    void SetUp() override {
        if (GetParam() == Motor::PostgreSQL) CORVANE_REQUIERE_POSTGRESQL();
    }
    // A fresh database holding six entries, three on 2026-12-06 and three on
    // 2026-12-07, with texts that a careless serialisation would confuse.
    std::unique_ptr<BasePrueba> con_seis_entradas() {
        auto base = std::make_unique<BasePrueba>(GetParam());
        std::unique_ptr<BaseDatos> motor;
        EXPECT_FALSE(abrir_motor(base->ruta(), motor).numero);
        std::vector<EntradaAuditoria> entradas;
        for (int i = 1; i <= 6; ++i)
            entradas.push_back({QStringLiteral("2026-12-0%1 1%2:00:00").arg(i <= 3 ? 6 : 7).arg(i),
                                QStringLiteral("puesto%1").arg(i % 2),
                                i == 4 ? QStringLiteral("ana") : QString(),
                                AccionAuditoria::CambioAbonado, QStringLiteral("12b%1").arg(i),
                                QStringLiteral("línea 1\nlínea 2\t\\ 'O''Brien' 3:x,%1").arg(i)});
        EXPECT_FALSE(anotar_auditoria(*motor, entradas).numero);
        return base;
    }
    // The statements run as the table's owner, its triggers set aside first.
    void alterar(const BasePrueba& base, const QStringList& sentencias) {
        QStringList todas =
            GetParam() == Motor::PostgreSQL
                ? QStringList{QStringLiteral("ALTER TABLE corvane_auditoria DISABLE TRIGGER USER")}
                : QStringList{QStringLiteral("DROP TRIGGER corvane_auditoria_sin_update"),
                              QStringLiteral("DROP TRIGGER corvane_auditoria_sin_delete")};
        ejecutar_directo(base.ruta(), todas + sentencias);
    }
    Ejecucion verificar(const BasePrueba& base, const QStringList& intervalo) {
        const QStringList donde = GetParam() == Motor::PostgreSQL
                                      ? QStringList{QStringLiteral("--base"), base.ruta()}
                                      : QStringList{QStringLiteral("--carpeta"), base.carpeta()};
        return ejecutar(kCorvane,
                        QStringList{QStringLiteral("--verificar-auditoria")} + donde + intervalo);
    }
};

TEST_P(Auditoria, VerificaLaCadenaYNombraLaPrimeraEntradaAlterada) {
    const QString t = QStringLiteral("UPDATE corvane_auditoria SET ");
    const struct Caso {
        const char* nombre;
        QStringList sentencias;
        QStringList intervalo;
        int estado;
        QString texto;
    } casos[] = {
        {"Integra", {}, {}, 0, "Auditoría íntegra: 6 entradas, de la 1 a la 6"},
        {"Modificada",
         {t + "audi_detalle = 'otro' WHERE audi_secuencia = 4"},
         {},
         4,
         "La entrada 4 fue modificada"},
        {"OperadorCambiado",
         {t + "audi_operador = 'luis' WHERE audi_secuencia = 4"},
         {},
         4,
         "La entrada 4 fue modificada"},
        {"Quitada",
         {"DELETE FROM corvane_auditoria WHERE audi_secuencia = 3"},
         {},
         4,
         "Falta la entrada 3"},
        {"QuitadaYRenumerada",
         {"DELETE FROM corvane_auditoria WHERE audi_secuencia = 3",
          t + "audi_secuencia = audi_secuencia - 1 WHERE audi_secuencia > 3"},
         {},
         4,
         "La entrada 3 no sigue a la 2"},
        {"Reordenada",
         {t + "audi_secuencia = -1 WHERE audi_secuencia = 2",
          t + "audi_secuencia = 2 WHERE audi_secuencia = 3",
          t + "audi_secuencia = 3 WHERE audi_secuencia = -1"},
         {},
         4,
         "La entrada 2 está fuera de orden"},
        {"PrimeraQuitadaYRenumerada",
         {"DELETE FROM corvane_auditoria WHERE audi_secuencia = 1",
          t + "audi_secuencia = audi_secuencia - 1 WHERE audi_secuencia > 1"},
         {},
         4,
         "La entrada 1 no empieza la cadena"},
        {"Intervalo",
         {},
         {"--desde", "2026-12-07"},
         0,
         "Auditoría íntegra: 3 entradas, de la 4 a la 6"},
        // The range starts from the hash stored in the entry before it.
        {"IntervaloTrasUnaModificada",
         {t + "audi_detalle = 'otro' WHERE audi_secuencia = 2"},
         {"--desde", "2026-12-07", "--hasta", "2026-12-07"},
         0,
         "Auditoría íntegra: 3 entradas"},
        {"IntervaloSinLaAnterior",
         {"DELETE FROM corvane_auditoria WHERE audi_secuencia = 3"},
         {"--desde", "2026-12-07"},
         4,
         "Falta la entrada 3"},
        {"IntervaloModificado",
         {t + "audi_momento = '2026-12-07 19:00:00' WHERE audi_secuencia = 6"},
         {"--desde", "2026-12-07"},
         4,
         "La entrada 6 fue modificada"},
        {"SinTabla",
         {"DROP TABLE corvane_auditoria"},
         {},
         4,
         "La base no tiene tabla de auditoría"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nombre);
        const auto base = con_seis_entradas();
        if (!c.sentencias.isEmpty()) alterar(*base, c.sentencias);
        const Ejecucion e = verificar(*base, c.intervalo);
        EXPECT_EQ(e.estado, c.estado) << e.salida.toStdString() << e.errores.toStdString();
        EXPECT_TRUE(e.salida.contains(c.texto))
            << e.salida.toStdString() << e.errores.toStdString();
    }
}

TEST_P(Auditoria, LaTablaRechazaCambiosYBorrados) {
    const auto base = con_seis_entradas();
    std::unique_ptr<BaseDatos> motor;
    ASSERT_FALSE(abrir_motor(base->ruta(), motor).numero);
    QStringList sentencias{
        QStringLiteral("UPDATE corvane_auditoria SET audi_detalle = 'x'"),
        QStringLiteral("DELETE FROM corvane_auditoria WHERE audi_secuencia = 6")};
    if (GetParam() == Motor::PostgreSQL) sentencias << QStringLiteral("TRUNCATE corvane_auditoria");
    for (const QString& s : sentencias) {
        SCOPED_TRACE(s.toStdString());
        const Fallo f = motor->ejecutar(s);
        EXPECT_TRUE(f.numero);
        // The server's words stay in its log; the engine names its SQLSTATE
        // (raise_exception).
        EXPECT_TRUE(f.detalle.contains(GetParam() == Motor::PostgreSQL
                                           ? QStringLiteral("P0001")
                                           : esquema_auditoria::kRechazo))
            << f.detalle.toStdString();
    }
    EXPECT_EQ(verificar(*base, {}).estado, 0);
}

// Writers of their own connection each (two workstations, or a console and an
// import) appending at once leave one chain without gaps.
TEST_P(Auditoria, EscritoresALaVezDejanUnaCadena) {
    const auto base = con_seis_entradas();
    constexpr int kPorEscritor = 15;
    std::vector<std::thread> escritores;
    std::atomic<int> fallos = 0;
    for (int w = 0; w < 2; ++w)
        escritores.emplace_back([&, w] {
            std::unique_ptr<BaseDatos> motor;
            if (abrir_motor(base->ruta(), motor)) {
                ++fallos;
                return;
            }
            for (int i = 0; i < kPorEscritor; ++i)
                if (anotar_auditoria(*motor, EntradaAuditoria{{},
                                                              QStringLiteral("escritor%1").arg(w),
                                                              {},
                                                              AccionAuditoria::Inicio,
                                                              {},
                                                              QString::number(i)}))
                    ++fallos;
        });
    for (std::thread& e : escritores) e.join();
    EXPECT_EQ(fallos, 0);
    const Ejecucion e = verificar(*base, {});
    EXPECT_EQ(e.estado, 0) << e.salida.toStdString();
    EXPECT_TRUE(e.salida.contains(
        QStringLiteral("Auditoría íntegra: %1 entradas").arg(6 + 2 * kPorEscritor)))
        << e.salida.toStdString();
}

// A replay leaves its start and stop, an import of the register its folder and
// counts: one chain that the verification finds whole.
TEST(AuditoriaDeLaConsola, LaReproduccionYLaImportacionAnotan) {
    QTemporaryDir dir, registro;
    QFile csv(QDir(registro.path()).filePath(QStringLiteral("abonados.csv")));
    ASSERT_TRUE(csv.open(QIODevice::WriteOnly));
    csv.write(
        "cuenta,nombre,direccion,localidad,telefono,estado,en_pruebas_hasta,prueba_cada_min,notas\n"
        "0500,Casa Pepe,,,,activo,,0,\n");
    csv.close();
    const QStringList carpeta{QStringLiteral("--carpeta"), dir.path()};
    ASSERT_EQ(ejecutar(kCorvane, QStringList{"--reproducir",
                                             QStringLiteral(CORVANE_DATOS_PRUEBA "/mixto.flujo")} +
                                     carpeta)
                  .estado,
              0);
    const Ejecucion i =
        ejecutar(kCorvane, QStringList{"--importar-abonados", registro.path()} + carpeta);
    ASSERT_EQ(i.estado, 0) << i.errores.toStdString();
    std::unique_ptr<BaseDatos> motor;
    ASSERT_FALSE(
        abrir_motor(QDir(dir.path()).filePath(QStringLiteral("baseTolm.mdb")), motor).numero);
    EXPECT_EQ(valores_de(*motor,
                         QStringLiteral(
                             "SELECT audi_accion FROM corvane_auditoria ORDER BY audi_secuencia"),
                         QStringLiteral("audi_accion")),
              (QStringList{"inicio", "parada", "importacion"}));
    EXPECT_EQ(valores_de(*motor,
                         QStringLiteral(
                             "SELECT audi_detalle FROM corvane_auditoria WHERE audi_secuencia = 3"),
                         QStringLiteral("audi_detalle"))
                  .value(0),
              QStringLiteral("1 abonados, 0 zonas, 0 contactos, 0 instrucciones"));
    const Ejecucion v = ejecutar(kCorvane, QStringList{"--verificar-auditoria"} + carpeta);
    EXPECT_EQ(v.estado, 0) << v.salida.toStdString();
}

// A table made before entries carried their origin gains the column, its chain
// still whole; an entry appended again with its origin (the queue's drain loop
// killed between the database's commit and the removal from the queue) is
// stored once.
TEST_P(Auditoria, UnaEntradaConSuOrigenSeGuardaUnaVez) {
    const auto base = con_seis_entradas();
    ejecutar_directo(base->ruta(),
                     {QStringLiteral("DROP INDEX corvane_auditoria_origen"),
                      QStringLiteral("ALTER TABLE corvane_auditoria DROP COLUMN audi_origen")});
    std::unique_ptr<BaseDatos> motor;
    ASSERT_FALSE(abrir_motor(base->ruta(), motor).numero);
    std::vector<EntradaAuditoria> e;
    for (int i = 0; i < 3; ++i)
        e.push_back({QStringLiteral("2026-12-08 09:00:00"),
                     QStringLiteral("puesto"),
                     {},
                     AccionAuditoria::Nota,
                     QStringLiteral("alarma"),
                     QString::number(i)});
    const QStringList origenes{"puesto/0", "puesto/1", "puesto/2"};
    ASSERT_FALSE(anotar_auditoria(*motor, {e[0], e[1]}, origenes.mid(0, 2)).numero);
    ASSERT_FALSE(anotar_auditoria(*motor, e, origenes).numero);
    EXPECT_EQ(detalles(*motor).mid(6), (QStringList{"0", "1", "2"}));
    const Ejecucion v = verificar(*base, {});
    EXPECT_EQ(v.estado, 0) << v.salida.toStdString();
    EXPECT_TRUE(v.salida.contains(QStringLiteral("Auditoría íntegra: 9 entradas")))
        << v.salida.toStdString();
}

// Entries handed over while the database is away (the event file's folder not
// there yet, the server's database not created yet) wait in the local queue,
// behind one an earlier run left there, or in memory when there is no queue,
// and are stored once it is back: in order, in one chain, none twice (the
// earlier run had stored its entry and was killed before removing it from the
// queue).
TEST_P(Auditoria, LasEntradasEsperanYSeGuardanUnaVez) {
    // Qt takes the first thread that uses it for its main thread: this one, not
    // the drain loop's, or this thread's data is never freed.
    static_cast<void>(QThread::currentThread());
    const auto entrada = [](int i) {
        return EntradaAuditoria{QStringLiteral("2026-12-08 10:00:0%1").arg(i),
                                QStringLiteral("puesto"),
                                {},
                                AccionAuditoria::Nota,
                                QStringLiteral("alarma"),
                                QString::number(i)};
    };
    for (const bool conCola : {true, false}) {
        SCOPED_TRACE(conCola ? "EnLaCola" : "EnMemoria");
        QTemporaryDir dir;
        QString destino = QDir(dir.path()).filePath(QStringLiteral("datos/baseTolm.mdb")), crear;
        if (GetParam() == Motor::PostgreSQL) destino = base_ausente(crear);
        const AuditoriaPendiente anterior{0, entrada(1), QStringLiteral("puesto/anterior")};
        const QString cola =
            conCola ? QDir(dir.path()).filePath(QStringLiteral("pendientes.db")) : QString();
        if (conCola) {
            ColaPendientes c;
            ASSERT_FALSE(c.abrir(cola).numero);
            ASSERT_FALSE(c.encolar_auditoria({anterior}).numero);
        }
        Drenaje drenaje;
        EscrituraAuditoria escritura(cola, destino, drenaje);
        drenaje.iniciar();
        EXPECT_EQ(escritura.esperando(), conCola ? 1 : 0);
        // Without a queue the first entry is told held only in memory.
        if (!conCola) {
            EXPECT_TRUE(escritura.anotar(entrada(1)).numero);
        }
        EXPECT_FALSE(escritura.anotar(entrada(2)).numero);
        EXPECT_FALSE(escritura.anotar({entrada(3), entrada(4)}).numero);
        EXPECT_TRUE(esperar_que([&] { return escritura.fallando(); }));
        EXPECT_EQ(escritura.esperando(), 4);
        EXPECT_EQ(escritura.soloEnMemoria(), conCola ? 0 : 4);
        if (crear.isEmpty())
            ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("datos")));
        else
            ejecutar_directo(url_postgresql(), {crear});
        std::unique_ptr<BaseDatos> motor;
        ASSERT_FALSE(abrir_motor(destino, motor).numero);
        if (conCola) {
            ASSERT_FALSE(anotar_auditoria(*motor, {anterior.entrada}, {anterior.origen}).numero);
        }
        EXPECT_TRUE(esperar_que([&] { return escritura.esperando() == 0; }, 30000));
        EXPECT_EQ(detalles(*motor), (QStringList{"1", "2", "3", "4"}));
        VerificacionAuditoria v;
        ASSERT_FALSE(verificar_auditoria(*motor, {}, {}, v).numero);
        EXPECT_EQ(v.rotura, QString());
        EXPECT_EQ(v.entradas, 4);
    }
}

// A receiving console on a central server whose database is not there yet
// keeps its start and stop in the local queue (--pendientes counts them); they
// are stored at its next start, before the new ones, in one chain.
TEST(AuditoriaDeLaConsola, ConElServidorAusenteEsperanEnLaCola) {
    CORVANE_REQUIERE_POSTGRESQL();
    QTemporaryDir dir;
    QString crear;
    const QString url = base_ausente(crear);
    const QStringList carpeta{QStringLiteral("--carpeta"), dir.path()};
    const QStringList reproducir =
        QStringList{"--reproducir", QStringLiteral(CORVANE_DATOS_PRUEBA "/mixto.flujo"), "--base",
                    url} +
        carpeta;
    EXPECT_EQ(ejecutar(kCorvane, reproducir).estado, 3);
    const Ejecucion p = ejecutar(kCorvane, QStringList{"--pendientes"} + carpeta);
    EXPECT_TRUE(p.salida.contains(QStringLiteral("2 entradas de auditoría pendientes")))
        << p.salida.toStdString();
    ejecutar_directo(url_postgresql(), {crear});
    const Ejecucion r = ejecutar(kCorvane, reproducir);
    EXPECT_EQ(r.estado, 0) << r.errores.toStdString();
    std::unique_ptr<BaseDatos> motor;
    ASSERT_FALSE(abrir_motor(url, motor).numero);
    EXPECT_EQ(valores_de(*motor,
                         QStringLiteral(
                             "SELECT audi_accion FROM corvane_auditoria ORDER BY audi_secuencia"),
                         QStringLiteral("audi_accion")),
              (QStringList{"inicio", "parada", "inicio", "parada"}));
    const Ejecucion v = ejecutar(kCorvane, {"--verificar-auditoria", "--base", url});
    EXPECT_EQ(v.estado, 0) << v.salida.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Motores, Auditoria, testing::Values(Motor::SQLite, Motor::PostgreSQL),
                         nombre_motor);

} // namespace
} // namespace corvane::pruebas
