// Operators: the lock after wrong passwords on both engines, seen from every
// workstation; the command-line forms and their refusals through the program.

#include <QSysInfo>

#include "apoyo/apoyo.h"
#include "apoyo/procesos.h"
#include "common/claves.h"
#include "operadores/operadores.h"
#include "store/motor.h"

namespace corvane::pruebas {
namespace {

class Bloqueo : public testing::TestWithParam<Motor> {};

// One attempt: at `segundo` seconds after 23:59:30, from the first or the
// second workstation (another connection to the same database).
struct Intento {
    const char* usuario;
    const char* clave;
    int segundo;
    bool otroPuesto;
    const char* mensaje; // empty: accepted
};

TEST_P(Bloqueo, CincoFallosBloqueanSesentaSegundos) {
    if (GetParam() == Motor::PostgreSQL) CORVANE_REQUIERE_POSTGRESQL();
    BasePrueba base(GetParam());
    std::unique_ptr<BaseDatos> puesto1, puesto2;
    ASSERT_FALSE(abrir_motor(base.ruta(), puesto1).numero);
    ASSERT_FALSE(crear_tabla_operadores(*puesto1).numero);
    ASSERT_FALSE(abrir_motor(base.ruta(), puesto2).numero);
    ASSERT_FALSE(crear_tabla_operadores(*puesto2).numero);
    Operador ana;
    ana.usuario = QStringLiteral("ana");
    ana.nombre = QStringLiteral("Ana O'Neill");
    ASSERT_FALSE(alta_operador(*puesto1, ana, QStringLiteral("bien"),
                               QStringLiteral("2026-12-07 08:00:00"), QStringLiteral("puesto1"))
                     .numero);
    Operador ido = ana;
    ido.usuario = QStringLiteral("ido");
    ASSERT_FALSE(alta_operador(*puesto1, ido, QStringLiteral("bien"), {}, {}).numero);
    ASSERT_FALSE(baja_operador(*puesto1, ido.usuario, {}, {}).numero);

    const char* kMal = "Usuario o contraseña incorrectos";
    const Intento intentos[] = {
        {"ana", "mal", 0, false, kMal},
        {"ana", "mal", 1, true, kMal},
        {"ana", "mal", 2, false, kMal},
        {"ana", "mal", 3, true, kMal},
        {"ana", "bien", 4, false, ""}, // the count starts again
        {"ana", "mal", 5, false, kMal},
        {"ana", "mal", 6, true, kMal},
        {"ana", "mal", 7, false, kMal},
        {"ana", "mal", 8, true, kMal},
        // The fifth in a row, past midnight: locked until 60 s later.
        {"ana", "mal", 31, false, "Usuario bloqueado hasta las 00:01:01"},
        {"ana", "bien", 32, true, "Usuario bloqueado hasta las 00:01:01"},
        {"ana", "bien", 90, false, "Usuario bloqueado hasta las 00:01:01"},
        {"ana", "bien", 91, true, ""},
        {"nadie", "bien", 92, false, kMal},
        {"ido", "bien", 93, false, kMal},
        {"ana", "", 94, false, kMal},
    };
    const QDateTime t0 = momento(2026, 12, 7, 23, 59, 30);
    for (const Intento& i : intentos) {
        SCOPED_TRACE(testing::Message() << i.usuario << " " << i.clave << " +" << i.segundo);
        Credenciales r;
        ASSERT_FALSE(comprobar_credenciales(i.otroPuesto ? *puesto2 : *puesto1,
                                            QString::fromUtf8(i.usuario),
                                            QString::fromUtf8(i.clave), t0.addSecs(i.segundo), r)
                         .numero);
        EXPECT_EQ(r.mensaje, QString::fromUtf8(i.mensaje));
        EXPECT_EQ(r.aceptadas, *i.mensaje == '\0');
        if (r.aceptadas) {
            EXPECT_EQ(r.operador->nombre, ana.nombre);
        }
    }

    // A new password lifts a lock.
    for (int n = 0; n < kFallosParaBloquear; ++n) {
        Credenciales r;
        ASSERT_FALSE(
            comprobar_credenciales(*puesto1, ana.usuario, QStringLiteral("mal"), t0, r).numero);
    }
    ASSERT_FALSE(
        cambiar_clave_operador(*puesto2, ana.usuario, QStringLiteral("otra"), {}, {}).numero);
    Credenciales r;
    ASSERT_FALSE(
        comprobar_credenciales(*puesto1, ana.usuario, QStringLiteral("otra"), t0, r).numero);
    EXPECT_TRUE(r.aceptadas) << r.mensaje.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Motores, Bloqueo, testing::Values(Motor::SQLite, Motor::PostgreSQL),
                         nombre_motor);

// One run of the program on the same data folder, after the rows before it.
// `entrada`: standard input; at a terminal, one line typed after each prompt.
struct Orden {
    const char* nombre;
    QStringList argumentos;
    QStringList lineas;
    bool terminal;
    int estado;
    const char* salida;  // standard output, whole
    const char* errores; // standard error, whole
};

TEST(LineaOperadores, AltaBajaClaveYRechazos) {
    QTemporaryDir datos;
    const Orden ordenes[] = {
        {"Alta",
         {"--operador-alta", "ana.p-1_x", "--nombre", "Ana Pérez", "--rol", "supervisor"},
         {"s3creto uno"},
         false,
         0,
         "Operador ana.p-1_x dado de alta (supervisor)\n",
         ""},
        {"AltaEnTerminal",
         {"--operador-alta", "luis", "--nombre", "Luis"},
         {"clave-luis", "clave-luis"},
         true,
         0,
         "Operador luis dado de alta (operador)\n",
         "Contraseña: Repita la contraseña: "},
        {"AltaRepetida",
         {"--operador-alta", "luis", "--nombre", "Otro"},
         {"nunca-vista"},
         false,
         2,
         "",
         "corvane: el operador «luis» ya existe\n"},
        {"UsuarioNoValido",
         {"--operador-alta", "Ana", "--nombre", "x"},
         {"nunca-vista"},
         false,
         2,
         "",
         "corvane: usuario no válido «Ana»: de 1 a 32 caracteres entre a-z, 0-9, «.», «_» y «-»\n"
         "Use «corvane --ayuda» para ver las opciones.\n"},
        {"UsuarioLargo",
         {"--operador-baja", QString(33, QLatin1Char('a'))},
         {},
         false,
         2,
         "",
         nullptr},
        {"RolDesconocido",
         {"--operador-alta", "eva", "--nombre", "Eva", "--rol", "jefe"},
         {"nunca-vista"},
         false,
         2,
         "",
         "corvane: rol no válido «jefe»: se espera operador o supervisor\n"
         "Use «corvane --ayuda» para ver las opciones.\n"},
        {"SinNombre", {"--operador-alta", "eva"}, {"nunca-vista"}, false, 2, "", nullptr},
        {"NombreSinAlta",
         {"--operador-clave", "luis", "--nombre", "x"},
         {"nunca-vista"},
         false,
         2,
         "",
         nullptr},
        {"ClaveVacia",
         {"--operador-alta", "eva", "--nombre", "Eva"},
         {""},
         false,
         2,
         "",
         "corvane: la contraseña está vacía; no se ha cambiado nada\n"},
        {"SinEntrada",
         {"--operador-clave", "luis"},
         {},
         false,
         2,
         "",
         "corvane: la contraseña está vacía; no se ha cambiado nada\n"},
        {"NoCoinciden",
         {"--operador-clave", "luis"},
         {"una", "otra"},
         true,
         2,
         "",
         "Contraseña: Repita la contraseña: corvane: las contraseñas no coinciden; no se ha "
         "cambiado nada\n"},
        {"ClaveDeDesconocido",
         {"--operador-clave", "pepe"},
         {"nunca-vista"},
         false,
         2,
         "",
         "corvane: el operador «pepe» no existe\n"},
        {"Clave",
         {"--operador-clave", "luis"},
         {"nueva clave"},
         false,
         0,
         "Contraseña del operador luis cambiada\n",
         ""},
        {"BajaDeDesconocido",
         {"--operador-baja", "pepe"},
         {},
         false,
         2,
         "",
         "corvane: el operador «pepe» no existe\n"},
        {"BajaDesdeOtroPuesto",
         {"--operador-baja", "ana.p-1_x", "--puesto", "mesa-2"},
         {},
         false,
         0,
         "Operador ana.p-1_x dado de baja\n",
         ""},
        {"BajaRepetida",
         {"--operador-baja", "ana.p-1_x"},
         {},
         false,
         2,
         "",
         "corvane: el operador «ana.p-1_x» ya está de baja\n"},
        {"Lista",
         {"--operadores"},
         {},
         false,
         0,
         "usuario\tnombre\trol\tactivo\nana.p-1_x\tAna "
         "Pérez\tsupervisor\tno\nluis\tLuis\toperador\tsí\n",
         ""},
        {"ConOtroModo", {"--operadores", "--operador-baja", "luis"}, {}, false, 2, "", nullptr},
    };
    for (const Orden& o : ordenes) {
        SCOPED_TRACE(o.nombre);
        const QStringList args = QStringList{"--carpeta", datos.path()} + o.argumentos;
        Ejecucion e;
        if (o.terminal) {
            Pty terminal;
            Proceso p;
            p.entradaDesde(terminal.ruta());
            ASSERT_TRUE(p.iniciar(kCorvane, args));
            for (const char* invitacion : {"Contraseña: ", "Repita la contraseña: "}) {
                ASSERT_TRUE(p.esperar(
                    [&] { return p.errores().endsWith(QString::fromUtf8(invitacion)); }, 30000));
                terminal.escribir(o.lineas.value(invitacion[0] == 'C' ? 0 : 1).toUtf8() + '\n');
            }
            ASSERT_TRUE(p.esperarFin(60000));
            e = {p.estado(), p.salida(), p.texto(), p.errores()};
        } else {
            e = ejecutar(kCorvane, args,
                         o.lineas.isEmpty() ? QByteArray() : o.lineas.join('\n').toUtf8() + '\n');
        }
        EXPECT_EQ(e.estado, o.estado);
        EXPECT_EQ(e.salida, QString::fromUtf8(o.salida));
        if (o.errores != nullptr) {
            EXPECT_EQ(e.errores, QString::fromUtf8(o.errores));
        } else {
            EXPECT_TRUE(e.errores.startsWith(QStringLiteral("corvane: ")))
                << e.errores.toStdString();
        }
        for (const QString& clave : o.lineas) {
            EXPECT_TRUE(clave.isEmpty() || !QString(e.salida + e.errores).contains(clave));
        }
    }

    // Interrupted at the prompt (Ctrl-C): the terminal gets its echo back.
    {
        Pty terminal;
        terminal.ponerEco(true);
        Proceso p;
        p.entradaDesde(terminal.ruta());
        ASSERT_TRUE(p.iniciar(kCorvane, {"--carpeta", datos.path(), "--operador-clave", "luis"}));
        ASSERT_TRUE(
            p.esperar([&] { return p.errores().endsWith(QStringLiteral("Contraseña: ")); }, 30000));
        EXPECT_FALSE(terminal.eco());
        EXPECT_EQ(p.parar(SIGINT, 30000), 128 + SIGINT);
        EXPECT_TRUE(terminal.eco());
    }

    // The passwords stored are the ones given, as hashes only.
    std::unique_ptr<BaseDatos> base;
    ASSERT_FALSE(abrir_motor(QDir(datos.path()).filePath("baseTolm.mdb"), base).numero);
    std::optional<Operador> luis, ana;
    ASSERT_FALSE(leer_operador(*base, QStringLiteral("luis"), luis).numero);
    ASSERT_FALSE(leer_operador(*base, QStringLiteral("ana.p-1_x"), ana).numero);
    ASSERT_TRUE(luis && ana);
    EXPECT_TRUE(palabra_clave_correcta(luis->hashClave, QStringLiteral("nueva clave")));
    EXPECT_TRUE(palabra_clave_correcta(ana->hashClave, QStringLiteral("s3creto uno")));
    EXPECT_FALSE(ana->activo);
    EXPECT_EQ(ana->rol, RolOperador::Supervisor);

    // Each change left one audit entry, the refused ones none; a password never.
    const QString equipo = QSysInfo::machineHostName();
    const QStringList esperadas = {
        "alta_operador|" + equipo +
            "|ana.p-1_x|antes: —; después: nombre «Ana Pérez», rol supervisor, activo sí",
        "alta_operador|" + equipo +
            "|luis|antes: —; después: nombre «Luis», rol operador, activo sí",
        "clave_operador|" + equipo + "|luis|contraseña cambiada",
        "baja_operador|mesa-2|ana.p-1_x|antes: nombre «Ana Pérez», rol supervisor, activo sí; "
        "después: nombre «Ana Pérez», rol supervisor, activo no",
    };
    const QString s = QStringLiteral("SELECT * FROM corvane_auditoria ORDER BY audi_secuencia");
    const QStringList acciones = valores_de(*base, s, QStringLiteral("audi_accion"));
    const QStringList puestos = valores_de(*base, s, QStringLiteral("audi_puesto"));
    const QStringList objetos = valores_de(*base, s, QStringLiteral("audi_objeto"));
    const QStringList detalles = valores_de(*base, s, QStringLiteral("audi_detalle"));
    QStringList anotadas;
    for (qsizetype i = 0; i < acciones.size(); ++i)
        anotadas << QStringList{acciones[i], puestos[i], objetos[i], detalles[i]}.join('|');
    EXPECT_EQ(anotadas, esperadas);
    for (const Orden& o : ordenes)
        for (const QString& clave : o.lineas)
            EXPECT_TRUE(clave.isEmpty() || !anotadas.join('\n').contains(clave))
                << clave.toStdString();
}

} // namespace
} // namespace corvane::pruebas
