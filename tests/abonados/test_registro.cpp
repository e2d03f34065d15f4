// The register's store on both engines: an account saved whole and read back,
// a save over a stamp another workstation changed, the per-row lookups, and on
// a central server the announcement of each change.

#include <QSignalSpy>

#include "abonados/escucha_abonados.h"
#include "abonados/registro_abonados.h"
#include "apoyo/apoyo.h"
#include "apoyo/procesos.h"

namespace corvane::pruebas {
namespace {

class Registro : public testing::TestWithParam<Motor> {
protected:
    void SetUp() override {
        if (GetParam() == Motor::PostgreSQL) CORVANE_REQUIERE_POSTGRESQL();
        base_ = std::make_unique<BasePrueba>(GetParam());
        ASSERT_FALSE(abrir_motor(base_->ruta(), motor).numero);
        ASSERT_FALSE(crear_tablas_abonados(*motor).numero);
    }
    std::unique_ptr<BasePrueba> base_;
    std::unique_ptr<BaseDatos> motor;
};

Abonado ejemplo() {
    Abonado a;
    a.cuenta = QStringLiteral("12b4");
    a.nombre = QStringLiteral("Panadería O'Brien, \"La Espiga\"");
    a.direccion = QStringLiteral("Rúa Nova 3");
    a.localidad = QStringLiteral("Lugo");
    a.telefono = QStringLiteral("982 000 111");
    a.notas = QStringLiteral("Llave en el bar\nde enfrente");
    a.estado = EstadoAbonado::EnPruebas;
    a.enPruebasHasta = QStringLiteral("2026-12-31 08:00:00");
    a.pruebaCadaMin = 1440;
    a.zonas = {{QString(""), QStringLiteral("005"), QStringLiteral("Puerta principal")},
               {QStringLiteral("01"), QStringLiteral("007"), QStringLiteral("Detector cocina")}};
    a.contactos = {{1, QStringLiteral("Ana"), QStringLiteral("600 1"), QStringLiteral("Dueña"),
                    hash_palabra_clave(QStringLiteral("girasol"))},
                   {2, QStringLiteral("Luis"), QStringLiteral("600 2"), QStringLiteral("Vecino"),
                    QString("")}};
    a.instrucciones = {{QStringLiteral("Fuego"), QStringLiteral("Llamar a bomberos y a Ana")}};
    return a;
}

TEST_P(Registro, GuardaLeeYAvisaDeCambiosAjenos) {
    Abonado a = ejemplo();
    std::optional<Abonado> actual;
    ASSERT_FALSE(guardar_abonado(*motor, a, {}, QStringLiteral("2026-12-07 10:00:00"),
                                 QStringLiteral("puesto1"), actual)
                     .numero);
    EXPECT_FALSE(actual);
    std::optional<Abonado> leido;
    ASSERT_FALSE(leer_abonado(*motor, a.cuenta, leido).numero);
    ASSERT_TRUE(leido);
    a.modificado = QStringLiteral("2026-12-07 10:00:00");
    a.modificadoPor = QStringLiteral("puesto1");
    EXPECT_EQ(*leido, a);
    EXPECT_TRUE(palabra_clave_correcta(leido->contactos[0].hashClave, QStringLiteral("girasol")));
    EXPECT_FALSE(palabra_clave_correcta(leido->contactos[0].hashClave, QStringLiteral("Girasol")));

    // Another workstation saved since "puesto2" read the older stamp: nothing is
    // written, and the stored account comes back.
    Abonado otro = a;
    otro.nombre = QStringLiteral("Otro nombre");
    ASSERT_FALSE(guardar_abonado(*motor, otro, QStringLiteral("2026-12-07 09:00:00"),
                                 QStringLiteral("2026-12-07 10:05:00"), QStringLiteral("puesto2"),
                                 actual)
                     .numero);
    ASSERT_TRUE(actual);
    EXPECT_EQ(actual->nombre, a.nombre);
    EXPECT_EQ(actual->modificadoPor, QStringLiteral("puesto1"));

    std::vector<ResumenAbonado> halladas;
    ASSERT_FALSE(buscar_abonados(*motor, QStringLiteral("espiga"), 10, halladas).numero);
    ASSERT_EQ(halladas.size(), 1u);
    ASSERT_FALSE(buscar_abonados(*motor, QStringLiteral("13"), 10, halladas).numero);
    EXPECT_TRUE(halladas.empty());

    ASSERT_FALSE(guardar_instrucciones_generales(
                     *motor, {{QStringLiteral("Fuego"), QStringLiteral("General")},
                              {QStringLiteral("Robo"), QStringLiteral("Avisar a la policía")}})
                     .numero);
    QString texto;
    ASSERT_FALSE(instruccion_para(*motor, a.cuenta, QStringLiteral("Fuego"), texto).numero);
    EXPECT_EQ(texto, QStringLiteral("Llamar a bomberos y a Ana"));
    ASSERT_FALSE(instruccion_para(*motor, a.cuenta, QStringLiteral("Robo"), texto).numero);
    EXPECT_EQ(texto, QStringLiteral("Avisar a la policía"));

    CatalogoAbonados catalogo([this] { return motor.get(); });
    EXPECT_EQ(catalogo.nombre(a.cuenta), a.nombre);
    EXPECT_FALSE(catalogo.nombre(QStringLiteral("ffff")));
    EXPECT_EQ(catalogo.descripcionZona(a.cuenta, QStringLiteral("03"), QStringLiteral("005")),
              QStringLiteral("Puerta principal"));
    EXPECT_EQ(catalogo.descripcionZona(a.cuenta, QStringLiteral("01"), QStringLiteral("007")),
              QStringLiteral("Detector cocina"));
    EXPECT_EQ(catalogo.descripcionZona(a.cuenta, QStringLiteral("02"), QStringLiteral("007")),
              QString());
    EXPECT_TRUE(catalogo.enPruebas(a.cuenta, QStringLiteral("2026-12-30 23:59:59")));
    EXPECT_FALSE(catalogo.enPruebas(a.cuenta, QStringLiteral("2026-12-31 08:00:00")));

    // A change is announced to the other workstations, and the catalogue that
    // forgets the account reads the new name.
    std::unique_ptr<EscuchaAbonados> escucha;
    std::unique_ptr<QSignalSpy> cambios;
    if (GetParam() == Motor::PostgreSQL) {
        asegurar_aplicacion();
        escucha = std::make_unique<EscuchaAbonados>(base_->ruta());
        cambios = std::make_unique<QSignalSpy>(escucha.get(), &EscuchaAbonados::cambio);
        escucha->iniciar();
        ASSERT_TRUE(esperar_que(
            [&] { return cambios->count() >= 1; })); // connected: everything may have changed
    }
    ASSERT_FALSE(guardar_abonado(*motor, otro, a.modificado, QStringLiteral("2026-12-07 10:06:00"),
                                 QStringLiteral("puesto2"), actual)
                     .numero);
    EXPECT_FALSE(actual);
    if (cambios) {
        ASSERT_TRUE(esperar_que([&] { return cambios->count() >= 2; }, 2000));
        EXPECT_EQ(cambios->at(1).at(0).toString(), a.cuenta);
    }
    EXPECT_EQ(catalogo.nombre(a.cuenta), a.nombre);
    catalogo.olvidar(a.cuenta);
    EXPECT_EQ(catalogo.nombre(a.cuenta), QStringLiteral("Otro nombre"));

    // The file announces nothing: its version moves when another connection (an
    // import from the command line) commits, not at its own commits.
    if (GetParam() == Motor::SQLite) {
        qint64 antes = 0, despues = 0;
        ASSERT_FALSE(version_de_la_base(*motor, antes).numero);
        ASSERT_FALSE(guardar_instrucciones_generales(*motor, {}).numero);
        ASSERT_FALSE(version_de_la_base(*motor, despues).numero);
        EXPECT_EQ(despues, antes);
        std::unique_ptr<BaseDatos> ajeno;
        ASSERT_FALSE(abrir_motor(base_->ruta(), ajeno).numero);
        ASSERT_FALSE(guardar_instrucciones_generales(
                         *ajeno, {{QStringLiteral("Robo"), QStringLiteral("Avisar")}})
                         .numero);
        ASSERT_FALSE(version_de_la_base(*motor, despues).numero);
        EXPECT_NE(despues, antes);
    }
}

INSTANTIATE_TEST_SUITE_P(Motores, Registro, testing::Values(Motor::SQLite, Motor::PostgreSQL),
                         nombre_motor);

} // namespace
} // namespace corvane::pruebas
