#include <gtest/gtest.h>

#include <string>

#include "apoyo/apoyo.h"

#include "app/linea_comandos.h"
#include "app/modos.h"

using namespace corvane;

namespace {

struct CasoMalo {
    const char* nombre;
    QStringList argumentos;
    const char* fragmento; // part of the Spanish message
};

class LineaMala : public testing::TestWithParam<CasoMalo> {};

TEST_P(LineaMala, DaUnMensajeClaro) {
    const LineaComandos r = analizar_linea_comandos(GetParam().argumentos);
    EXPECT_TRUE(r.error.contains(QString::fromUtf8(GetParam().fragmento))) << r.error.toStdString();
    EXPECT_FALSE(pruebas::tiene_texto_del_analizador(r.error)) << r.error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Casos, LineaMala,
    testing::Values(
        CasoMalo{"OpcionDesconocida", {"--volar"}, "opción desconocida: --volar"},
        CasoMalo{"ArgumentoSuelto", {"archivo.txt"}, "argumento inesperado"},
        CasoMalo{"ReproducirSinValor", {"--reproducir"}, "falta el valor de la opción --reproducir"},
        CasoMalo{"CarpetaSeguidaDeOpcion", {"--carpeta", "--reproducir", "x"}, "falta el valor de la opción --carpeta"},
        CasoMalo{"ValorVacio", {"--reproducir", ""}, "está vacío"},
        CasoMalo{"BaseNoPostgres", {"--reproducir", "x", "--base", "mysql://a@b/c"}, "postgresql://"},
        CasoMalo{"BaseConPuertoMalo", {"--reproducir", "x", "--base", "postgresql://u@h1:5432,h2:99999/b"},
                 "--base: dirección de base no válida: puerto «99999»"},
        CasoMalo{"BaseConSslmodeMalo", {"--reproducir", "x", "--base", "postgresql://u@h/b?sslmode=bogus"},
                 "--base: dirección de base no válida: «bogus» no es un valor de sslmode"},
        CasoMalo{"BaseConParametroDesconocido", {"--reproducir", "x", "--base", "postgresql://u@h/b?volar=1"},
                 "--base: dirección de base no válida: parámetro desconocido «volar»"},
        CasoMalo{"BaseConClaveMalCodificada", {"--reproducir", "x", "--base", "postgresql://h/b?password=%zz"},
                 "parámetro «password»"},
        CasoMalo{"CuentaConA", {"--consultar", "12a4", "--fecha", "2026-12-06"}, "cuenta no válida"},
        CasoMalo{"CuentaLarga", {"--consultar", "12345", "--fecha", "2026-12-06"}, "cuenta no válida"},
        CasoMalo{"CuentaConComilla", {"--consultar", "1'", "--fecha", "2026-12-06"}, "cuenta no válida"},
        CasoMalo{"FechaMala", {"--consultar", "12", "--fecha", "2026-13-06"}, "fecha no válida"},
        CasoMalo{"FechaConOtroFormato", {"--consultar", "12", "--fecha", "06/12/2026"}, "fecha no válida"},
        CasoMalo{"OrigenMalo", {"--consultar", "12", "--origen", "16"}, "origen no válido"},
        CasoMalo{"OrigenCero", {"--consultar", "12", "--origen", "0"}, "origen no válido"},
        CasoMalo{"VelocidadMala", {"--sin-ventana", "--puerto", "1", "--velocidad", "300"}, "--velocidad espera"},
        CasoMalo{"PuertoMalo", {"--sin-ventana", "--puerto", "21", "--velocidad", "9600"}, "--puerto espera"},
        CasoMalo{"SinVentanaSinPuerto", {"--sin-ventana", "--velocidad", "9600"}, "necesita --puerto"},
        CasoMalo{"SinVentanaSinVelocidad", {"--sin-ventana", "--puerto", "1"}, "necesita --velocidad"},
        CasoMalo{"VentanasConVelocidadSinPuerto", {"--velocidad", "9600"}, "--velocidad con las ventanas necesita --puerto"},
        CasoMalo{"VelocidadConReproducir", {"--reproducir", "x", "--velocidad", "9600"},
                 "--velocidad solo sirve con --sin-ventana o con las ventanas"},
        CasoMalo{"VistaConVelocidad", {"--vista", "--base", "postgresql://u@h/b", "--velocidad", "9600"}, "--vista no usa puerto"},
        CasoMalo{"DosModos", {"--reproducir", "x", "--consultar", "12"}, "no se combinan"},
        CasoMalo{"FechaSinConsulta", {"--reproducir", "x", "--fecha", "2026-12-06"}, "solo sirven con --consultar"},
        CasoMalo{"CsvSinConsulta", {"--csv"}, "solo sirven con --consultar"},
        CasoMalo{"Repetida", {"--reproducir", "x", "--reproducir", "y"}, "está repetida"},
        CasoMalo{"RepetidaConIgual", {"--reproducir=x", "--reproducir", "y"}, "la opción --reproducir está repetida"},
        CasoMalo{"DesconocidaDeUnGuion", {"-volar"}, "opción desconocida: -volar"},
        CasoMalo{"DesconocidaConValor", {"--volar=3"}, "opción desconocida: --volar"},
        CasoMalo{"DesconocidaTrasBuena", {"--reproducir", "x", "-v"}, "opción desconocida: -v"},
        CasoMalo{"DobleGuionSolo", {"--", "--reproducir", "x"}, "opción desconocida: --"},
        CasoMalo{"InterruptorConValor", {"--consultar", "12", "--csv=1"}, "la opción --csv no lleva valor"},
        CasoMalo{"ValorVacioConIgual", {"--reproducir="}, "el valor de la opción --reproducir está vacío"},
        CasoMalo{"AyudaComoValor", {"--carpeta", "--ayuda"}, "falta el valor de la opción --carpeta"},
        CasoMalo{"CuentaConSaltoDeLinea", {"--consultar", "12\n", "--fecha", "2026-12-06"}, "cuenta no válida"},
        CasoMalo{"CuentaConEspacio", {"--consultar", " 12", "--fecha", "2026-12-06"}, "cuenta no válida"},
        CasoMalo{"CuentaConIgualMala", {"--consultar=12a"}, "cuenta no válida «12a»"},
        CasoMalo{"PuertoConSaltoDeLinea", {"--sin-ventana", "--puerto", "1\n", "--velocidad", "9600"}, "--puerto espera"},
        CasoMalo{"PuertoConCero", {"--sin-ventana", "--puerto", "05", "--velocidad", "9600"}, "--puerto espera"},
        CasoMalo{"VelocidadConSaltoDeLinea", {"--sin-ventana", "--puerto", "1", "--velocidad", "9600\n"}, "--velocidad espera"},
        CasoMalo{"VelocidadConIgualMala", {"--sin-ventana", "--puerto", "1", "--velocidad=300"}, "--velocidad espera 1200, 4800, 9600 o 19200, no «300»"},
        CasoMalo{"OrigenConSaltoDeLinea", {"--consultar", "12", "--origen", "5\n"}, "origen no válido"},
        CasoMalo{"CuentaEnteraConSaltoDeLinea", {"--consultar", "02bf\n"}, "cuenta no válida"},
        CasoMalo{"CuentaConMayuscula", {"--consultar", "0G"}, "cuenta no válida «0G»"},
        CasoMalo{"CopiaSinValor", {"--copia"}, "falta el valor de la opción --copia"},
        CasoMalo{"CopiaConBase", {"--copia", "c.mdb", "--base", "postgresql://u@h:5432/b"}, "no se combina con --base"},
        CasoMalo{"CopiaYReproducir", {"--copia", "c.mdb", "--reproducir", "x"}, "no se combinan"},
        CasoMalo{"AbonadoNoValido", {"--abonado", "12G4"}, "cuenta no válida «12G4»"},
        CasoMalo{"ImportarYConsultar", {"--importar-abonados", "d", "--consultar", "0500"}, "no se combinan"},
        CasoMalo{"ExportarYAbonado", {"--exportar-abonados", "d", "--abonado", "0500"}, "no se combinan"},
        CasoMalo{"AbonadoConCsv", {"--abonado", "0500", "--csv"}, "solo sirven con --consultar"},
        CasoMalo{"VerificarYReproducir", {"--verificar-auditoria", "--reproducir", "x"}, "no se combinan"},
        CasoMalo{"VerificarConDetalle", {"--verificar-auditoria", "--desde", "2026-12-06", "--detalle"},
                 "--detalle solo sirve"},
        CasoMalo{"VerificarHastaSinDesde", {"--verificar-auditoria", "--hasta", "2026-12-06"}, "--hasta necesita --desde"},
        CasoMalo{"InformeYVerificar", {"--informe-atencion", "--verificar-auditoria"}, "no se combinan"},
        CasoMalo{"InformeConDetalle", {"--informe-atencion", "--detalle"}, "--detalle solo sirve"},
        CasoMalo{"InformeHastaSinDesde", {"--informe-atencion", "--hasta", "2026-12-06"}, "--hasta necesita --desde"},
        CasoMalo{"CopiaYConsulta", {"--consultar", "12", "--copia=c.mdb"}, "no se combinan"},
        CasoMalo{"CopiaConPuerto", {"--copia", "c.mdb", "--puerto", "1"}, "--puerto solo sirve"},
        CasoMalo{"CopiaConFecha", {"--copia", "c.mdb", "--fecha", "2026-12-06"}, "solo sirven con --consultar"},
        CasoMalo{"VigilanciaCorta", {"--vigilancia", "9"}, "--vigilancia espera segundos de 10 a 3600, o 0 para no vigilar, no «9»"},
        CasoMalo{"VigilanciaLarga", {"--vigilancia=3601"}, "--vigilancia espera"},
        CasoMalo{"VigilanciaNegativa", {"--vigilancia", "-10"}, "--vigilancia espera"},
        CasoMalo{"VigilanciaConUnidad", {"--vigilancia", "90s"}, "--vigilancia espera"},
        CasoMalo{"VigilanciaEnorme", {"--vigilancia", "99999999999"}, "--vigilancia espera"},
        CasoMalo{"VigilanciaConReproducir", {"--reproducir", "x", "--vigilancia", "60"}, "--vigilancia solo sirve"},
        CasoMalo{"VigilanciaConConsulta", {"--consultar", "12", "--vigilancia", "0"}, "--vigilancia solo sirve"},
        CasoMalo{"EsperarPuertoConVentanas", {"--esperar-puerto", "--puerto", "1"}, "--esperar-puerto solo sirve con --sin-ventana"},
        CasoMalo{"EsperarPuertoConReproducir", {"--reproducir", "x", "--esperar-puerto"}, "--esperar-puerto solo sirve"},
        CasoMalo{"EsperarPuertoConValor", {"--sin-ventana", "--puerto", "1", "--velocidad", "9600", "--esperar-puerto=1"},
                 "la opción --esperar-puerto no lleva valor"},
        CasoMalo{"VistaSinBase", {"--vista"}, "--vista necesita --base"},
        CasoMalo{"ReenviarSinBase", {"--reenviar-rechazadas", "--carpeta", "/tmp"}, "--reenviar-rechazadas necesita --base"},
        CasoMalo{"ReenviarConBaseMala", {"--reenviar-rechazadas", "--base", "mysql://u@h/b"}, "--base espera"},
        CasoMalo{"PendientesConBase", {"--pendientes", "--base", "postgresql://u@h/b"}, "no se combina con --base"},
        CasoMalo{"PendientesYReproducir", {"--pendientes", "--reproducir", "x"}, "no se combinan"},
        CasoMalo{"VistaConPuerto", {"--vista", "--base", "postgresql://u@h/b", "--puerto", "1"}, "--vista no usa puerto"},
        CasoMalo{"VistaConConsulta", {"--vista", "--base", "postgresql://u@h/b", "--consultar", "12"},
                 "--vista solo sirve"},
        CasoMalo{"PuestoSinVentanas", {"--sin-ventana", "--puerto", "1", "--velocidad", "9600", "--puesto", "a"},
                 "--puesto solo sirve con las ventanas, con --operador-alta, --operador-baja u --operador-clave y con las acciones sobre alarmas"},
        CasoMalo{"PuestoConBlancos", {"--puesto", " a"}, "--puesto espera un nombre"},
        CasoMalo{"HastaAntesDeDesde", {"--consultar", "12", "--desde", "2026-12-07", "--hasta", "2026-12-06"},
                 "el intervalo no es válido: --hasta 2026-12-06 es anterior a --desde 2026-12-07"},
        CasoMalo{"HastaAntesDeFecha", {"--todas", "--fecha", "2027-01-01", "--hasta", "2026-12-31"}, "es anterior a"},
        CasoMalo{"DesdeInexistente", {"--consultar", "12", "--desde", "2026-02-30"}, "fecha no válida «2026-02-30»"},
        CasoMalo{"HastaEnPalabras", {"--todas", "--desde", "2026-12-01", "--hasta", "diciembre"}, "fecha no válida «diciembre»"},
        CasoMalo{"IntervaloSinCuenta", {"--desde", "2026-12-01", "--hasta", "2026-12-31"},
                 "--desde, --hasta y --detalle solo sirven con --consultar CUENTA o con --todas"},
        CasoMalo{"DetalleSinCuenta", {"--detalle"}, "solo sirven con --consultar CUENTA o con --todas"},
        CasoMalo{"IntervaloConReproducir", {"--reproducir", "x", "--desde", "2026-12-01"}, "solo sirven con --consultar CUENTA"},
        CasoMalo{"CuentaYTodas", {"--consultar", "12", "--todas"}, "--consultar CUENTA y --todas no se combinan"},
        CasoMalo{"TodasYReproducir", {"--todas", "--reproducir", "x"}, "no se combinan"},
        CasoMalo{"HastaSinDesde", {"--consultar", "12", "--hasta", "2026-12-01"}, "--hasta necesita --desde"},
        CasoMalo{"FechaYDesde", {"--consultar", "12", "--fecha", "2026-12-01", "--desde", "2026-12-01"},
                 "--fecha y --desde no se combinan"},
        CasoMalo{"CsvYDetalle", {"--todas", "--csv", "--detalle"}, "--csv y --detalle no se combinan"},
        CasoMalo{"TodasConValor", {"--todas=1"}, "la opción --todas no lleva valor"}),
    [](const auto& caso) { return std::string(caso.param.nombre); });

TEST(LineaBuena, ModosYValores) {
    auto r = analizar_linea_comandos({"--reproducir", "-", "--carpeta", "/tmp/d"});
    ASSERT_TRUE(r.error.isEmpty());
    EXPECT_EQ(r.opciones.modo, Modo::Reproducir);
    EXPECT_EQ(r.opciones.archivo, "-");
    EXPECT_EQ(r.opciones.carpeta, "/tmp/d");

    r = analizar_linea_comandos({"--consultar", "2bf", "--fecha", "2026-12-06", "--origen", "15", "--csv"});
    ASSERT_TRUE(r.error.isEmpty());
    EXPECT_EQ(r.opciones.modo, Modo::Consultar);
    EXPECT_EQ(r.opciones.origen, 16);
    EXPECT_EQ(r.opciones.fecha, QDate(2026, 12, 6));
    EXPECT_TRUE(r.opciones.csv);
    EXPECT_EQ(analizar_linea_comandos({"--consultar", "2bf", "--origen", "directo"}).opciones.origen, 1);
    EXPECT_EQ(analizar_linea_comandos({"--consultar", "2bf", "--origen", "todos"}).opciones.origen, 0);

    // A range of days: --hasta defaults to the first day, --fecha is --desde.
    struct {
        QStringList argumentos;
        QString cuenta;
        bool todas;
        QDate desde;
        QDate hasta;
        bool detalle;
    } intervalos[] = {
        {{"--consultar", "2bf", "--fecha", "2026-12-06"}, "2bf", false, {2026, 12, 6}, {2026, 12, 6}, false},
        {{"--consultar", "2bf", "--desde", "2026-12-06"}, "2bf", false, {2026, 12, 6}, {2026, 12, 6}, false},
        {{"--consultar", "2bf", "--fecha", "2026-12-31", "--hasta", "2027-01-01", "--detalle"}, "2bf", false,
         {2026, 12, 31}, {2027, 1, 1}, true},
        {{"--todas", "--desde=2026-01-01", "--hasta", "2026-12-31"}, "", true, {2026, 1, 1}, {2026, 12, 31}, false},
        {{"--todas", "--desde", "2026-12-06", "--hasta", "2026-12-06"}, "", true, {2026, 12, 6}, {2026, 12, 6}, false},
    };
    for (const auto& c : intervalos) {
        SCOPED_TRACE(c.argumentos.join(' ').toStdString());
        r = analizar_linea_comandos(c.argumentos);
        ASSERT_TRUE(r.error.isEmpty()) << r.error.toStdString();
        EXPECT_EQ(r.opciones.modo, Modo::Consultar);
        EXPECT_EQ(r.opciones.cuenta, c.cuenta);
        EXPECT_EQ(r.opciones.todas, c.todas);
        EXPECT_EQ(r.opciones.fecha, c.desde);
        EXPECT_EQ(r.opciones.hasta, c.hasta);
        EXPECT_EQ(r.opciones.detalle, c.detalle);
    }
    r = analizar_linea_comandos({"--todas"});
    EXPECT_EQ(r.opciones.fecha, QDate::currentDate());
    EXPECT_EQ(r.opciones.hasta, r.opciones.fecha);

    r = analizar_linea_comandos({"--sin-ventana", "--puerto", "/dev/ttyUSB0", "--velocidad", "19200"});
    ASSERT_TRUE(r.error.isEmpty());
    EXPECT_EQ(r.opciones.modo, Modo::SinVentana);
    EXPECT_EQ(r.opciones.velocidad, 19200);
    EXPECT_EQ(r.opciones.vigilancia, 90);
    for (const char* segundos : {"0", "10", "3600"}) {
        r = analizar_linea_comandos({"--sin-ventana", "--puerto", "1", "--velocidad", "9600", "--vigilancia", segundos});
        ASSERT_TRUE(r.error.isEmpty()) << r.error.toStdString();
        EXPECT_EQ(r.opciones.vigilancia, QString::fromLatin1(segundos).toInt());
    }
    EXPECT_EQ(analizar_linea_comandos({"--vigilancia=10"}).opciones.vigilancia, 10);
    EXPECT_FALSE(r.opciones.esperarPuerto);
    r = analizar_linea_comandos({"-esperar-puerto", "--sin-ventana", "--puerto", "/dev/ttyUSB0", "--velocidad", "9600"});
    ASSERT_TRUE(r.error.isEmpty()) << r.error.toStdString();
    EXPECT_TRUE(r.opciones.esperarPuerto);

    r = analizar_linea_comandos({"--copia=/tmp/c.mdb", "--carpeta", "/tmp/d"});
    ASSERT_TRUE(r.error.isEmpty()) << r.error.toStdString();
    EXPECT_EQ(r.opciones.modo, Modo::Copia);
    EXPECT_EQ(r.opciones.copia, "/tmp/c.mdb");

    EXPECT_EQ(analizar_linea_comandos({}).opciones.modo, Modo::Ventanas);
    // The windows with a port and a speed open it at start.
    r = analizar_linea_comandos({"--puerto", "/dev/ttyUSB0", "--velocidad", "19200"});
    ASSERT_TRUE(r.error.isEmpty()) << r.error.toStdString();
    EXPECT_EQ(r.opciones.modo, Modo::Ventanas);
    EXPECT_EQ(r.opciones.puerto, "/dev/ttyUSB0");
    EXPECT_EQ(r.opciones.velocidad, 19200);
    EXPECT_EQ(analizar_linea_comandos({"--help"}).opciones.modo, Modo::Ayuda);
    EXPECT_EQ(analizar_linea_comandos({"--ayuda"}).opciones.modo, Modo::Ayuda);
    EXPECT_EQ(analizar_linea_comandos({"-h"}).opciones.modo, Modo::Ayuda);
}

// "--opcion=valor" and "-opcion valor" give the same options as "--opcion valor";
// after "=" the value is whatever follows, even "--" or another "=".
TEST(LineaBuena, OtrasFormasDeLasOpciones) {
    auto r = analizar_linea_comandos({"--reproducir=-", "-carpeta", "/tmp/d",
                                      "--base=postgresql://u@h:5432/b?sslmode=disable"});
    ASSERT_TRUE(r.error.isEmpty()) << r.error.toStdString();
    EXPECT_EQ(r.opciones.modo, Modo::Reproducir);
    EXPECT_EQ(r.opciones.archivo, "-");
    EXPECT_EQ(r.opciones.carpeta, "/tmp/d");
    EXPECT_EQ(r.opciones.base, "postgresql://u@h:5432/b?sslmode=disable");
    const char* dosServidores = "postgresql://u@h1:5432,h2:5433/b?target_session_attrs=read-write";
    r = analizar_linea_comandos({"--reproducir", "-", "--base", dosServidores});
    ASSERT_TRUE(r.error.isEmpty()) << r.error.toStdString();
    EXPECT_EQ(r.opciones.base, dosServidores);

    r = analizar_linea_comandos({"--consultar=2bf", "--fecha=2026-12-06", "--origen=directo", "-csv"});
    ASSERT_TRUE(r.error.isEmpty()) << r.error.toStdString();
    EXPECT_EQ(r.opciones.cuenta, "2bf");
    EXPECT_EQ(r.opciones.origen, 1);
    EXPECT_TRUE(r.opciones.csv);

    r = analizar_linea_comandos({"--sin-ventana", "--puerto=20", "--velocidad=1200", "--carpeta=--d"});
    ASSERT_TRUE(r.error.isEmpty()) << r.error.toStdString();
    EXPECT_EQ(r.opciones.puerto, "20");
    EXPECT_EQ(r.opciones.velocidad, 1200);
    EXPECT_EQ(r.opciones.carpeta, "--d");
}

struct CasoCarpeta {
    const char* nombre;
    Modo modo;
    LugaresDatos lugares;
    const char* carpeta;
};

class CarpetaPorOmision : public testing::TestWithParam<CasoCarpeta> {};

// Run from a build tree the data stay beside the program; installed under /usr/
// they never go there: the service's in its state folder, the rest in the user's.
TEST_P(CarpetaPorOmision, SegunDondeEstaElProgramaYElModo) {
    EXPECT_EQ(carpeta_por_omision(GetParam().modo, GetParam().lugares), QString::fromUtf8(GetParam().carpeta));
}

const LugaresDatos kArbol{"/home/u/corvane/build/src/app", "", "/home/u/.local/share"};
const LugaresDatos kInstalado{"/usr/bin", "", "/home/u/.local/share"};
const LugaresDatos kConSystemd{"/usr/bin", "/var/lib/corvane-b:/var/lib/otra", "/nonexistent/.local/share"};

INSTANTIATE_TEST_SUITE_P(
    Casos, CarpetaPorOmision,
    testing::Values(
        CasoCarpeta{"ArbolVentanas", Modo::Ventanas, kArbol, "/home/u/corvane/build/src/app"},
        CasoCarpeta{"ArbolServicio", Modo::SinVentana, kArbol, "/home/u/corvane/build/src/app"},
        CasoCarpeta{"ArbolConSystemd", Modo::SinVentana, {"/opt/corvane", "/var/lib/corvane", "/root"}, "/opt/corvane"},
        CasoCarpeta{"UsrNoEsUsrAlgo", Modo::Ventanas, {"/usrx/bin", "", "/home/u"}, "/usrx/bin"},
        CasoCarpeta{"InstaladoVentanas", Modo::Ventanas, kInstalado, "/home/u/.local/share/corvane"},
        CasoCarpeta{"InstaladoConsulta", Modo::Consultar, kInstalado, "/home/u/.local/share/corvane"},
        CasoCarpeta{"InstaladoReproducir", Modo::Reproducir, kConSystemd, "/nonexistent/.local/share/corvane"},
        CasoCarpeta{"InstaladoLocal", Modo::Ventanas, {"/usr/local/bin", "", "/h/.local/share"}, "/h/.local/share/corvane"},
        CasoCarpeta{"ServicioFueraDeSystemd", Modo::SinVentana, kInstalado, "/var/lib/corvane"},
        CasoCarpeta{"ServicioConSystemd", Modo::SinVentana, kConSystemd, "/var/lib/corvane-b"},
        CasoCarpeta{"EstadoNoAbsoluto", Modo::SinVentana, {"/usr/bin", "relativa", "/h"}, "/var/lib/corvane"}),
    [](const auto& caso) { return std::string(caso.param.nombre); });

struct CasoClave {
    const char* nombre;
    const char* argumento;
    const char* queda; // the argument once its passwords are hidden
};

class ClaveOculta : public testing::TestWithParam<CasoClave> {};

// Whatever a URL reader takes as the password (QUrl and libpq split a raw "@"
// differently) is overwritten, byte for byte; nothing else of the argument changes.
TEST_P(ClaveOculta, EnLosArgumentosDelProceso) {
    std::string programa = "corvane";
    std::string opcion = "--base";
    std::string argumento = GetParam().argumento;
    char* argv[] = {programa.data(), opcion.data(), argumento.data(), nullptr};
    ocultar_claves(3, argv);
    EXPECT_EQ(std::string(argv[2]), GetParam().queda);
    EXPECT_EQ(std::string(argv[0]), "corvane");
    EXPECT_EQ(std::string(argv[1]), "--base");
    EXPECT_EQ(sin_clave(QString::fromUtf8(GetParam().argumento)), QString::fromUtf8(GetParam().queda));
}

INSTANTIATE_TEST_SUITE_P(
    Casos, ClaveOculta,
    testing::Values(
        CasoClave{"EnLaDireccion", "postgresql://u:ClaveSecreta99@h:5432/b", "postgresql://u:xxxxxxxxxxxxxx@h:5432/b"},
        CasoClave{"ConIgual", "--base=postgres://u:abc@h/b", "--base=postgres://u:xxx@h/b"},
        CasoClave{"UnGuionConIgual", "-base=postgresql://u:abc@h/b", "-base=postgresql://u:xxx@h/b"},
        CasoClave{"SinRuta", "postgresql://u:abc@h", "postgresql://u:xxx@h"},
        CasoClave{"ArrobaEnLaClave", "postgresql://u:a@b:c@h:1/b", "postgresql://u:xxxxx@h:1/b"},
        CasoClave{"ArrobaEnLaRutaNoCuenta", "postgresql://u:abc@h/b@c", "postgresql://u:xxx@h/b@c"},
        CasoClave{"ClaveNoAscii", "postgresql://u:ñu@h/b", "postgresql://u:xxx@h/b"},
        CasoClave{"EnLaConsulta", "postgresql://h/b?sslmode=require&password=otra&a=1",
                  "postgresql://h/b?sslmode=require&password=xxxx&a=1"},
        CasoClave{"EnAmbas", "postgresql://u:abc@h/b?password=otra#f", "postgresql://u:xxx@h/b?password=xxxx#f"},
        CasoClave{"SinClave", "postgresql://u@h:5432/b", "postgresql://u@h:5432/b"},
        CasoClave{"ClaveVacia", "postgresql://u:@h/b", "postgresql://u:@h/b"},
        CasoClave{"ServidorIPv6", "postgresql://u@[::1]:5432/b", "postgresql://u@[::1]:5432/b"},
        CasoClave{"DosServidores", "postgresql://u:abc@h1:5432,h2:5433/b?target_session_attrs=read-write",
                  "postgresql://u:xxx@h1:5432,h2:5433/b?target_session_attrs=read-write"},
        CasoClave{"DosServidoresSinClave", "postgresql://u@h1:5432,h2:5433/b?target_session_attrs=read-write",
                  "postgresql://u@h1:5432,h2:5433/b?target_session_attrs=read-write"},
        CasoClave{"FragmentoNoEsConsulta", "postgresql://h/b#password=z", "postgresql://h/b#password=z"},
        CasoClave{"OtroParametro", "postgresql://h/b?passwordx=z", "postgresql://h/b?passwordx=z"},
        CasoClave{"NoEsDireccion", "/datos/u:abc@h", "/datos/u:abc@h"}),
    [](const auto& caso) { return std::string(caso.param.nombre); });

} // namespace
