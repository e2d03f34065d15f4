// The register's files through the real program: every refusal of the import
// names its file and line, exits 2 and changes nothing; an export imported into
// an empty register, on either engine, exports the very same files, passwords
// (as hashes) included; a second import replaces what its files name only.

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include "abonados/escucha_abonados.h"
#include "abonados/registro_abonados.h"
#include "apoyo/apoyo.h"
#include "apoyo/procesos.h"

namespace corvane::pruebas {
namespace {

const QByteArray kCabeceraAbonados =
    "cuenta,nombre,direccion,localidad,telefono,estado,en_pruebas_hasta,prueba_cada_min,notas\r\n";
const QByteArray kCabeceraContactos = "cuenta,orden,nombre,telefono,relacion,palabra_clave\n";

void escribir_archivo(const QString& ruta, const QByteArray& datos) {
    QFile f(ruta);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << ruta.toStdString();
    ASSERT_EQ(f.write(datos), datos.size());
}

// The four files of a folder, by name.
std::map<QString, QByteArray> archivos_de(const QString& carpeta) {
    std::map<QString, QByteArray> r;
    for (const QString& n : QDir(carpeta).entryList(QDir::Files))
        r[n] = leer_archivo(QDir(carpeta).filePath(n));
    return r;
}

// The register's first content: account 0bcd with a zone, a contact whose
// password is "girasol", its own and a general instruction.
void escribir_registro(const QString& carpeta) {
    escribir_archivo(
        QDir(carpeta).filePath("abonados.csv"),
        kCabeceraAbonados +
            "0bcd,\"Panadería \"\"La Espiga\"\", S.L.\",Rúa Nova 3,Lugo,982 000 111,en_pruebas,"
            "2026-12-31 08:00,1440,\"Llave en el bar\r\nde enfrente\"\r\n"
            "0500,Casa Pepe,,,,baja,,0,\r\n");
    escribir_archivo(QDir(carpeta).filePath("zonas.csv"),
                     "cuenta,particion,zona,descripcion\n0bcd,,005,Puerta "
                     "principal\n0bcd,01,007,Detector cocina\n");
    escribir_archivo(QDir(carpeta).filePath("contactos.csv"),
                     kCabeceraContactos +
                         "0bcd,1,Ana,600 1,Dueña,girasol\n0bcd,2,Luis,600 2,Vecino,\n");
    escribir_archivo(
        QDir(carpeta).filePath("instrucciones.csv"),
        "cuenta,clase,texto\n0bcd,Fuego,Llamar a bomberos\n*,Robo,Avisar a la policía\n");
}

TEST(ImportarAbonados, RechazaConArchivoYLineaSinCambiarNada) {
    QTemporaryDir datos;
    QTemporaryDir inicial;
    escribir_registro(inicial.path());
    ASSERT_EQ(ejecutar(kCorvane, {"--carpeta", datos.path(), "--importar-abonados", inicial.path()})
                  .estado,
              0);
    const auto exportar = [&] {
        QTemporaryDir salida;
        EXPECT_EQ(
            ejecutar(kCorvane, {"--carpeta", datos.path(), "--exportar-abonados", salida.path()})
                .estado,
            0);
        return archivos_de(salida.path());
    };
    const auto antes = exportar();
    ASSERT_EQ(antes.size(), 4u);

    // A good abonados.csv beside the bad file: it is not stored either.
    const QByteArray nuevoAbonado = kCabeceraAbonados + "0ccc,Nuevo,,,,activo,,0,\n";
    struct Caso {
        const char* nombre;
        const char* archivo;
        QByteArray contenido;
        const char* mensaje;
        bool conNuevo = false;
    } casos[] = {
        {"CuentaNoValida", "abonados.csv",
         kCabeceraAbonados + "0bcd,A,,,,activo,,0,\n12G4,B,,,,activo,,0,\n",
         "abonados.csv, línea 3: la cuenta 12G4 no es válida"},
        {"LineasFisicasDeUnValorEntreComillas", "zonas.csv",
         "cuenta,particion,zona,descripcion\n0bcd,,001,\"Puerta\nprincipal\"\n0bcd,,002,x\n\n0bcd,,"
         "003,y\n0bcd,,004,z\n12G4,,005,w\n",
         "zonas.csv, línea 8: la cuenta 12G4 no es válida", true},
        {"ZonaDeCuentaDesconocida", "zonas.csv",
         "cuenta,particion,zona,descripcion\n0bcd,,001,x\n0ddd,,001,y\n",
         "zonas.csv, línea 3: la cuenta 0ddd no está en abonados.csv ni en el registro", true},
        {"ZonaRepetida", "zonas.csv",
         "cuenta,particion,zona,descripcion\n0bcd,01,001,x\n0bcd,01,001,y\n",
         "zonas.csv, línea 3: la zona 001 de la partición 01 de la cuenta 0bcd ya está en la línea "
         "2"},
        {"ClaseDesconocida", "instrucciones.csv",
         "cuenta,clase,texto\n*,Inundación,Cerrar la llave\n",
         "instrucciones.csv, línea 2: la clase Inundación no existe: se espera Fuego, Pánico, "
         "Médica, Robo, "
         "Supervisión, Avería, Apertura/cierre, Anulación, Prueba, Otro"},
        {"EstadoDesconocido", "abonados.csv", kCabeceraAbonados + "0bcd,A,,,,suspendido,,0,\n",
         "abonados.csv, línea 2: el estado suspendido no es válido: se espera activo, en_pruebas o "
         "baja"},
        {"MomentoNoValido", "abonados.csv",
         kCabeceraAbonados + "0bcd,A,,,,en_pruebas,2026-02-30 10:00,0,\n",
         "abonados.csv, línea 2: el momento 2026-02-30 10:00 no es válido: se espera AAAA-MM-DD "
         "HH:mm"},
        {"IntervaloNegativo", "abonados.csv", kCabeceraAbonados + "0bcd,A,,,,activo,,-5,\n",
         "abonados.csv, línea 2: prueba_cada_min -5 no es válido: se esperan minutos, 0 o más"},
        {"IntervaloNoNumerico", "abonados.csv", kCabeceraAbonados + "0bcd,A,,,,activo,,diez,\n",
         "abonados.csv, línea 2: prueba_cada_min diez no es válido: se esperan minutos, 0 o más"},
        {"ColumnasDeMas", "contactos.csv",
         kCabeceraContactos + "0bcd,1,Ana,600,Dueña,secreto,sobra\n",
         "contactos.csv, línea 2: se esperan 6 columnas y hay 7"},
        {"FaltaUnaColumna", "zonas.csv", "cuenta,particion,zona\n0bcd,,001\n",
         "zonas.csv, línea 1: falta la columna descripcion"},
        {"HashQueNoLoEs", "contactos.csv",
         "cuenta,orden,nombre,telefono,relacion,palabra_clave,palabra_clave_hash\n0bcd,1,Ana,600,"
         "Dueña,,secreto\n",
         "contactos.csv, línea 2: palabra_clave_hash no tiene la forma de un hash Argon2id de "
         "libsodium"},
        {"ContactoDeCuentaNoValidaNoDiceLaClave", "contactos.csv",
         kCabeceraContactos + "0bcd,1,Ana,600,Dueña,secreto\nbad,1,X,1,Y,secreto\n",
         "contactos.csv, línea 3: la cuenta bad no es válida"},
        {"OrdenNoValido", "contactos.csv", kCabeceraContactos + "0bcd,0,Ana,600,Dueña,secreto\n",
         "contactos.csv, línea 2: el orden 0 no es válido: se espera un número de 1 en adelante"},
        {"ComillasSinCerrar", "zonas.csv",
         "cuenta,particion,zona,descripcion\n0bcd,,001,x\n0bcd,,002,\"y\n\n",
         "zonas.csv, línea 3: unas comillas abiertas no se cierran"},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.nombre);
        QTemporaryDir entrada;
        escribir_archivo(QDir(entrada.path()).filePath(c.archivo), c.contenido);
        if (c.conNuevo)
            escribir_archivo(QDir(entrada.path()).filePath("abonados.csv"), nuevoAbonado);
        const Ejecucion e =
            ejecutar(kCorvane, {"--carpeta", datos.path(), "--importar-abonados", entrada.path()});
        EXPECT_EQ(e.estado, 2);
        EXPECT_EQ(e.errores,
                  QStringLiteral("corvane: ") + QString::fromUtf8(c.mensaje) + QLatin1Char('\n'));
        EXPECT_FALSE(e.errores.contains(QStringLiteral("secreto")));
        EXPECT_EQ(exportar(), antes);
    }
    const Ejecucion e =
        ejecutar(kCorvane, {"--carpeta", datos.path(), "--importar-abonados", "/no/existe"});
    EXPECT_EQ(e.estado, 2);
    EXPECT_EQ(e.errores, QStringLiteral("corvane: la carpeta «/no/existe» no existe\n"));
}

// Export, import into an empty register, export again: the same bytes; the
// password still checks, and the card tells whether one is set, never it.
class ArchivosAbonados : public testing::TestWithParam<Motor> {};

TEST_P(ArchivosAbonados, ExportarEImportarDaLoMismo) {
    if (GetParam() == Motor::PostgreSQL) CORVANE_REQUIERE_POSTGRESQL();
    QTemporaryDir datos1, datos2, inicial, ida, vuelta;
    QStringList base1{"--carpeta", datos1.path()}, base2{"--carpeta", datos2.path()};
    if (GetParam() == Motor::PostgreSQL) {
        base1 = QStringList{"--base", nueva_base_postgresql()};
        base2 = QStringList{"--base", nueva_base_postgresql()};
    }
    escribir_registro(inicial.path());
    Ejecucion e = ejecutar(kCorvane, base1 + QStringList{"--importar-abonados", inicial.path()});
    ASSERT_EQ(e.estado, 0) << e.errores.toStdString();
    EXPECT_EQ(e.salida,
              QStringLiteral("Importados: 2 abonados, 2 zonas, 2 contactos, 2 instrucciones\n"));
    ASSERT_EQ(ejecutar(kCorvane, base1 + QStringList{"--exportar-abonados", ida.path()}).estado, 0);
    ASSERT_EQ(ejecutar(kCorvane, base2 + QStringList{"--importar-abonados", ida.path()}).estado, 0);
    ASSERT_EQ(ejecutar(kCorvane, base2 + QStringList{"--exportar-abonados", vuelta.path()}).estado,
              0);
    const auto archivos = archivos_de(ida.path());
    EXPECT_EQ(archivos, archivos_de(vuelta.path()));
    const std::vector<QStringList> contactos = leer_csv(archivos.at("contactos.csv"));
    ASSERT_EQ(contactos.size(), 3u);
    EXPECT_EQ(contactos[0].last(), QStringLiteral("palabra_clave_hash"));
    EXPECT_EQ(contactos[1][5], QString());
    EXPECT_TRUE(palabra_clave_correcta(contactos[1][6], QStringLiteral("girasol")));
    EXPECT_EQ(leer_csv(archivos.at("abonados.csv"))[1][1],
              QStringLiteral("Casa Pepe")); // by key: 0500 first

    // The password read back from the second register.
    std::unique_ptr<BaseDatos> motor;
    ASSERT_FALSE(abrir_motor(GetParam() == Motor::PostgreSQL
                                 ? base2[1]
                                 : QDir(datos2.path()).filePath("baseTolm.mdb"),
                             motor)
                     .numero);
    std::optional<Abonado> a;
    ASSERT_FALSE(leer_abonado(*motor, QStringLiteral("0bcd"), a).numero);
    ASSERT_TRUE(a);
    EXPECT_TRUE(palabra_clave_correcta(a->contactos[0].hashClave, QStringLiteral("girasol")));
    EXPECT_FALSE(palabra_clave_correcta(a->contactos[0].hashClave, QStringLiteral("girasoles")));

    e = ejecutar(kCorvane, base2 + QStringList{"--abonado", "0bcd"});
    EXPECT_EQ(e.estado, 0);
    EXPECT_TRUE(e.salida.startsWith(
        QStringLiteral("Abonado: 0bcd\nNombre: Panadería \"La Espiga\", S.L.\n")))
        << e.salida.toStdString();
    EXPECT_TRUE(e.salida.contains(QStringLiteral("Estado: en pruebas hasta 2026-12-31 08:00\n")));
    EXPECT_TRUE(
        e.salida.contains(QStringLiteral("  Partición cualquiera, zona 005: Puerta principal\n")));
    EXPECT_TRUE(e.salida.contains(QStringLiteral("  1. Ana, 600 1, Dueña; palabra clave: sí\n"
                                                 "  2. Luis, 600 2, Vecino; palabra clave: no\n")));
    EXPECT_TRUE(e.salida.contains(
        QStringLiteral("  Fuego: Llamar a bomberos\n  Robo (general): Avisar a la policía\n")));
    EXPECT_FALSE(e.salida.contains(QStringLiteral("argon2")));
    e = ejecutar(kCorvane, base2 + QStringList{"--abonado", "0ddd"});
    EXPECT_EQ(e.estado, 1);
    EXPECT_EQ(e.errores, QStringLiteral("corvane: El abonado 0ddd no está registrado\n"));
}

// A second import replaces the data of the accounts of abonados.csv and the
// sets of the accounts each other file names, and keeps everything else; on a
// central server every workstation is told which accounts changed.
TEST_P(ArchivosAbonados, ActualizarSustituyeSoloLoQueNombranLosArchivos) {
    if (GetParam() == Motor::PostgreSQL) CORVANE_REQUIERE_POSTGRESQL();
    QTemporaryDir datos, inicial, cambios;
    const QString ruta = GetParam() == Motor::PostgreSQL
                             ? nueva_base_postgresql()
                             : QDir(datos.path()).filePath("baseTolm.mdb");
    const QStringList base = GetParam() == Motor::PostgreSQL
                                 ? QStringList{"--base", ruta}
                                 : QStringList{"--carpeta", datos.path()};
    escribir_registro(inicial.path());
    ASSERT_EQ(ejecutar(kCorvane, base + QStringList{"--importar-abonados", inicial.path()}).estado,
              0);

    std::unique_ptr<EscuchaAbonados> escucha;
    std::unique_ptr<QSignalSpy> avisos;
    if (GetParam() == Motor::PostgreSQL) {
        asegurar_aplicacion();
        escucha = std::make_unique<EscuchaAbonados>(ruta);
        avisos = std::make_unique<QSignalSpy>(escucha.get(), &EscuchaAbonados::cambio);
        escucha->iniciar();
        ASSERT_TRUE(esperar_que([&] { return avisos->count() >= 1; })); // connected
        avisos->clear();
    }
    escribir_archivo(QDir(cambios.path()).filePath("abonados.csv"),
                     kCabeceraAbonados + "0bcd,Panadería Nueva,,,,activo,,0,\n");
    escribir_archivo(QDir(cambios.path()).filePath("zonas.csv"),
                     "cuenta,particion,zona,descripcion\n0500,,001,Garaje\n");
    escribir_archivo(QDir(cambios.path()).filePath("instrucciones.csv"),
                     "cuenta,clase,texto\n*,Fuego,Evacuar\n");
    const Ejecucion e =
        ejecutar(kCorvane, base + QStringList{"--importar-abonados", cambios.path()});
    ASSERT_EQ(e.estado, 0) << e.errores.toStdString();
    EXPECT_EQ(e.salida,
              QStringLiteral("Importados: 1 abonados, 1 zonas, 0 contactos, 1 instrucciones\n"));

    std::unique_ptr<BaseDatos> motor;
    ASSERT_FALSE(abrir_motor(ruta, motor).numero);
    std::optional<Abonado> a, b;
    ASSERT_FALSE(leer_abonado(*motor, QStringLiteral("0bcd"), a).numero);
    ASSERT_FALSE(leer_abonado(*motor, QStringLiteral("0500"), b).numero);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->nombre, QStringLiteral("Panadería Nueva"));
    EXPECT_EQ(a->estado, EstadoAbonado::Activo);
    EXPECT_EQ(a->direccion, QString());
    EXPECT_EQ(a->zonas.size(), 2u);     // zonas.csv does not name 0bcd
    ASSERT_EQ(a->contactos.size(), 2u); // no contactos.csv
    EXPECT_TRUE(palabra_clave_correcta(a->contactos[0].hashClave, QStringLiteral("girasol")));
    ASSERT_EQ(a->instrucciones.size(), 1u);
    EXPECT_EQ(b->nombre, QStringLiteral("Casa Pepe"));
    EXPECT_EQ(b->zonas, (std::vector<ZonaAbonado>{
                            {QString(""), QStringLiteral("001"), QStringLiteral("Garaje")}}));
    std::vector<InstruccionAbonado> generales;
    ASSERT_FALSE(leer_instrucciones_generales(*motor, generales).numero);
    EXPECT_EQ(generales, (std::vector<InstruccionAbonado>{
                             {QStringLiteral("Fuego"), QStringLiteral("Evacuar")}}));
    if (avisos) {
        QStringList cuentas;
        ASSERT_TRUE(esperar_que([&] { return avisos->count() >= 3; }, 2000));
        for (const QList<QVariant>& aviso : *avisos) cuentas << aviso.at(0).toString();
        cuentas.sort();
        EXPECT_EQ(cuentas, (QStringList{"*", "0500", "0bcd"}));
    }
}

INSTANTIATE_TEST_SUITE_P(Motores, ArchivosAbonados, testing::Values(Motor::SQLite, Motor::PostgreSQL),
                         nombre_motor);

} // namespace
} // namespace corvane::pruebas
