// An alarm's life through the command-line forms, with every refusal; two
// workstations closing the same alarms at once on the central server.

#include <QDir>
#include <QFile>

#include <atomic>
#include <thread>

#include "apoyo/apoyo.h"
#include "apoyo/procesos.h"
#include "consola/acciones_alarma.h"
#include "operadores/operadores.h"
#include "store/alarmas.h"
#include "store/motor.h"

namespace corvane::pruebas {
namespace {

FilaAlarma alarma(const char* clave, const char* evento) {
    FilaAlarma a;
    a.clave = QString::fromLatin1(clave);
    a.abonado = QStringLiteral("1234");
    a.evento = QString::fromLatin1(evento);
    a.particion = QStringLiteral("01");
    a.zona = QStringLiteral("003");
    a.origen = QStringLiteral("0");
    a.recibida = QStringLiteral("2026-12-07 10:00:00");
    a.puesto = QStringLiteral("receptor");
    return a;
}

const char* kFuego = "f0000000-0000-4000-8000-000000000001";
const char* kRobo = "b0000000-0000-4000-8000-000000000002";

// One run of the program on the same data folder, after the rows before it.
struct Paso {
    const char* nombre;
    QStringList argumentos;
    const char* clave; // the password on standard input
    int estado;
    const char* errores; // standard error, or its start when it ends in "..."
};

TEST(LineaAlarmas, CicloDeUnaAlarmaYSusRechazos) {
    QTemporaryDir datos;
    const QString ruta = QDir(datos.path()).filePath(QStringLiteral("baseTolm.mdb"));
    {
        std::unique_ptr<BaseDatos> base;
        ASSERT_FALSE(abrir_motor(ruta, base).numero);
        ASSERT_FALSE(
            guardar_alarmas(*base, {alarma(kFuego, "E110"), alarma(kRobo, "E130")}).numero);
        ASSERT_FALSE(crear_tabla_operadores(*base).numero);
        Operador op;
        op.usuario = QStringLiteral("ana");
        op.nombre = QStringLiteral("Ana");
        ASSERT_FALSE(alta_operador(*base, op, QStringLiteral("clave-ana"), {}, {}).numero);
        op.usuario = QStringLiteral("jefa");
        op.rol = RolOperador::Supervisor;
        ASSERT_FALSE(alta_operador(*base, op, QStringLiteral("clave-jefa"), {}, {}).numero);
    }
    const QString fuego = QString::fromLatin1(kFuego), robo = QString::fromLatin1(kRobo);
    const QStringList ana{"--operador", "ana"}, jefa{"--operador", "jefa"};
    const Paso pasos[] = {
        {"ClaveMala", QStringList{"--reconocer", fuego} + ana, "otra", 2,
         "corvane: Usuario o contraseña incorrectos\n"},
        {"ClaveDesconocida", QStringList{"--reconocer", "00000000-dead"} + ana, "clave-ana", 2,
         "corvane: No hay ninguna alarma con la clave 00000000-dead\n"},
        {"SinOperador", {"--reconocer", fuego}, "clave-ana", 2, "corvane: --reconocer, --nota..."},
        {"Reconoce", QStringList{"--reconocer", fuego.left(8)} + ana, "clave-ana", 0, ""},
        {"YaReconocida", QStringList{"--reconocer", fuego} + ana, "clave-ana", 2,
         "corvane: La alarma ya está reconocida: la reconoció ana (..."},
        {"NotaVacia", QStringList{"--nota", fuego, " "} + ana, "clave-ana", 2,
         "corvane: la nota está vacía\n..."},
        {"Nota", QStringList{"--nota", fuego, "Llamado el cliente; no contesta"} + ana, "clave-ana",
         0, ""},
        {"ResolucionDesconocida", QStringList{"--cerrar", fuego, "--resolucion", "gato"} + ana,
         "clave-ana", 2,
         "corvane: resolución no válida «gato»: se espera una de policia, bomberos, ambulancia, "
         "seguridad, error_usuario, averia, entorno, prueba, cancelada_clave, otra\n..."},
        {"FuegoSinNota", QStringList{"--cerrar", fuego, "--resolucion", "bomberos"} + ana,
         "clave-ana", 2,
         "corvane: Para cerrar una alarma de fuego, pánico o médica hace falta una nota\n"},
        {"CierraFuego",
         QStringList{"--cerrar", fuego, "--resolucion", "bomberos", "--nota", "Humo en cocina"} +
             ana,
         "clave-ana", 0, ""},
        {"YaCerrada", QStringList{"--cerrar", fuego, "--resolucion", "otra"} + ana, "clave-ana", 2,
         "corvane: La alarma ya está cerrada: la cerró ana (..."},
        {"NotaEnCerrada", QStringList{"--nota", fuego, "Vuelve a llamar el cliente"} + ana,
         "clave-ana", 0, ""},
        {"ReabreSinSerSupervisor", QStringList{"--reabrir", fuego, "--nota", "Repaso"} + ana,
         "clave-ana", 2, "corvane: Solo un supervisor puede reabrir una alarma\n"},
        {"ReabreSinNota", QStringList{"--reabrir", fuego} + jefa, "clave-jefa", 2,
         "corvane: --reabrir necesita --nota..."},
        {"Reabre", QStringList{"--reabrir", fuego, "--nota", "El cliente pide revisión"} + jefa,
         "clave-jefa", 0, ""},
        {"ReabreAbierta", QStringList{"--reabrir", fuego, "--nota", "x"} + jefa, "clave-jefa", 2,
         "corvane: La alarma no está cerrada\n"},
        // A new alarm closed at once is acknowledged by the same step.
        {"CierraNueva", QStringList{"--cerrar", robo, "--resolucion", "entorno"} + ana, "clave-ana",
         0, ""},
    };
    for (const Paso& p : pasos) {
        SCOPED_TRACE(p.nombre);
        const Ejecucion e =
            ejecutar(kCorvane, QStringList{"--carpeta", datos.path()} + p.argumentos,
                     QByteArray(p.clave) + '\n');
        EXPECT_EQ(e.estado, p.estado) << e.errores.toStdString();
        QString esperado = QString::fromUtf8(p.errores);
        if (esperado.endsWith(QStringLiteral("...")))
            EXPECT_TRUE(e.errores.startsWith(esperado.chopped(3))) << e.errores.toStdString();
        else
            EXPECT_EQ(e.errores, esperado);
        EXPECT_FALSE(e.salida.contains(QString::fromUtf8(p.clave)));
    }

    // What the listing and the audit trail keep of it.
    const Ejecucion l = ejecutar(kCorvane, {"--carpeta", datos.path(), "--alarmas", "--todas"});
    EXPECT_EQ(l.estado, 0);
    const QStringList lineas = l.salida.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lineas.size(), 3) << l.salida.toStdString();
    EXPECT_EQ(lineas[1].split(QLatin1Char('\t')).mid(7), (QStringList{"Reconocida", "ana"}));
    EXPECT_EQ(lineas[2].split(QLatin1Char('\t')).mid(7), (QStringList{"Cerrada", "ana"}));
    EXPECT_EQ(ejecutar(kCorvane, {"--carpeta", datos.path(), "--alarmas"})
                  .salida.count(QLatin1Char('\n')),
              2);
    std::unique_ptr<BaseDatos> base;
    ASSERT_FALSE(abrir_motor(ruta, base).numero);
    EXPECT_EQ(valores_de(*base,
                         QStringLiteral("SELECT audi_accion FROM corvane_auditoria ORDER BY "
                                        "audi_secuencia"),
                         QStringLiteral("audi_accion")),
              (QStringList{"acceso_fallido", "reconocimiento", "nota", "cierre", "nota",
                           "reapertura", "reconocimiento", "cierre"}));
    std::vector<NotaAlarma> notas;
    ASSERT_FALSE(leer_notas(*base, fuego, notas).numero);
    QStringList textos;
    for (const NotaAlarma& n : notas) textos << n.operador + QLatin1Char(':') + n.texto;
    EXPECT_EQ(textos,
              (QStringList{"ana:Llamado el cliente; no contesta", "ana:Humo en cocina",
                           "ana:Vuelve a llamar el cliente", "jefa:El cliente pide revisión"}));
    const Ejecucion v = ejecutar(kCorvane, {"--carpeta", datos.path(), "--verificar-auditoria"});
    EXPECT_EQ(v.estado, 0) << v.salida.toStdString();
}

// A console without windows keeps the alarm table too: each new alarm, and the
// restore of its account and zone attached while it is open (never to an
// alarm received after the restore).
TEST(AlarmasSinVentana, LaReproduccionGuardaAlarmasYRestauraciones) {
    QTemporaryDir datos;
    const QString captura = QDir(datos.path()).filePath(QStringLiteral("captura"));
    QFile f(captura);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(paquete_de_evento('1', "130", "1234") + paquete_de_evento('1', "110", "5678") +
            paquete_de_evento('2', "130", "9999") + paquete_de_evento('1', "130", "9999") +
            paquete_de_evento('2', "130", "1234"));
    f.close();
    const Ejecucion r = ejecutar(kCorvane, {"--carpeta", datos.path(), "--reproducir", captura});
    ASSERT_EQ(r.estado, 0) << r.errores.toStdString();
    std::unique_ptr<BaseDatos> base;
    ASSERT_FALSE(
        abrir_motor(QDir(datos.path()).filePath(QStringLiteral("baseTolm.mdb")), base).numero);
    std::vector<FilaAlarma> abiertas;
    ASSERT_FALSE(leer_alarmas_ciclo(*base, {}, abiertas).numero);
    QStringList vistas;
    for (const FilaAlarma& a : abiertas)
        vistas << a.abonado + QLatin1Char(' ') + a.evento +
                      (a.restaurada.isEmpty() ? "" : " restaurada");
    EXPECT_EQ(vistas, (QStringList{"1234 E130 restaurada", "5678 E110", "9999 E130"}));
}

// Two workstations close each alarm at the same moment, each on its own
// connection to the server: one closing stands, the other is told who closed it.
TEST(CierreALaVez, UnCierrePorAlarmaYElOtroSabeQuien) {
    CORVANE_REQUIERE_POSTGRESQL();
    BasePrueba servidor(Motor::PostgreSQL);
    constexpr int kAlarmas = 12;
    std::vector<FilaAlarma> alarmas;
    for (int i = 0; i < kAlarmas; ++i) {
        FilaAlarma a = alarma("", "E130");
        a.clave = QStringLiteral("c0000000-0000-4000-8000-%1").arg(i, 12, 10, QLatin1Char('0'));
        alarmas.push_back(a);
    }
    {
        std::unique_ptr<BaseDatos> base;
        ASSERT_FALSE(abrir_motor(servidor.ruta(), base).numero);
        ASSERT_FALSE(guardar_alarmas(*base, alarmas).numero);
        ASSERT_FALSE(asegurar_ciclo_alarmas(*base).numero);
    }
    std::atomic<int> listos = 0, fallos = 0;
    std::vector<ResultadoAccion> resultados[2];
    std::vector<std::thread> puestos;
    for (int w = 0; w < 2; ++w)
        puestos.emplace_back([&, w] {
            std::unique_ptr<BaseDatos> base;
            if (abrir_motor(servidor.ruta(), base)) {
                ++fallos;
                return;
            }
            ++listos;
            while (listos < 2) std::this_thread::yield();
            for (const FilaAlarma& a : alarmas) {
                AccionAlarma c =
                    nueva_accion(AccionAlarma::Tipo::Cerrar, a.clave,
                                 QStringLiteral("2026-12-07 10:05:0%1").arg(w),
                                 QStringLiteral("puesto%1").arg(w), QStringLiteral("op%1").arg(w));
                c.resolucion = QStringLiteral("policia");
                ResultadoAccion r;
                if (tomar_accion(*base, c, false, r)) ++fallos;
                resultados[w].push_back(r);
            }
        });
    for (std::thread& t : puestos) t.join();
    ASSERT_EQ(fallos, 0);
    std::unique_ptr<BaseDatos> base;
    ASSERT_FALSE(abrir_motor(servidor.ruta(), base).numero);
    for (int i = 0; i < kAlarmas; ++i) {
        SCOPED_TRACE(i);
        const ResultadoAccion& a = resultados[0][static_cast<std::size_t>(i)];
        const ResultadoAccion& b = resultados[1][static_cast<std::size_t>(i)];
        ASSERT_NE(a.hecha, b.hecha);
        const ResultadoAccion& perdedor = a.hecha ? b : a;
        const QString ganador =
            a.hecha ? QStringLiteral("op0 (puesto0)") : QStringLiteral("op1 (puesto1)");
        EXPECT_TRUE(perdedor.rechazo.startsWith(
            QStringLiteral("La alarma ya está cerrada: la cerró ") + ganador))
            << perdedor.rechazo.toStdString();
        FiltroAlarmas filtro;
        filtro.abiertas = false;
        filtro.cerradas = 1;
        filtro.clave = alarmas[static_cast<std::size_t>(i)].clave;
        std::vector<FilaAlarma> leidas;
        ASSERT_FALSE(leer_alarmas_ciclo(*base, filtro, leidas).numero);
        ASSERT_EQ(leidas.size(), 1u);
        // The acknowledgement is the winner's too: the loser's was undone with its closing.
        EXPECT_EQ(leidas[0].operadorReconocimiento, leidas[0].operadorCierre);
    }
}

} // namespace
} // namespace corvane::pruebas
