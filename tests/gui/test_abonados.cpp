// The account register on screen: the alarm's detail pane and what the lists
// say of the account (its name, the zone), the alarms of an account in test, the
// account card's checks and password, and two workstations editing one account
// on the central server.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>

#include "abonados/registro_abonados.h"
#include "apoyo_gui.h"
#include "ui/estilo.h"
#include "ui/ventana_abonados.h"
#include "ui/ventana_alarmas.h"
#include "ui/ventana_eventos.h"

using namespace corvane;
using namespace corvane::pruebas;

namespace {

const QString kClaveAna = QStringLiteral("girasol");

Abonado abonado(const QString& cuenta, const QString& nombre) {
    Abonado a;
    a.cuenta = cuenta;
    a.nombre = nombre;
    return a;
}

void guardar(BaseDatos& base, const Abonado& a, const QString& momento, const QString& puesto) {
    std::optional<Abonado> actual;
    ASSERT_FALSE(guardar_abonado(base, a, {}, momento, puesto, actual).numero);
    ASSERT_FALSE(actual.has_value());
}

QStringList textos(const QTreeWidget* t, int columna) {
    QStringList r;
    for (int i = 0; i < t->topLevelItemCount(); ++i) r << t->topLevelItem(i)->text(columna);
    return r;
}

QTreeWidgetItem* fila_de(const QTreeWidget* lista, const QString& clave) {
    for (int i = 0; i < lista->topLevelItemCount(); ++i)
        if (lista->topLevelItem(i)->data(0, Qt::UserRole).toString() == clave)
            return lista->topLevelItem(i);
    return nullptr;
}

// The sound outlives the window, which the fixture closes.
class DetalleDeAlarma : public ConVentana {
protected:
    SirenaGrabada sirena;
};

// Each row is an alarm arriving with the window hidden: how it is listed, what
// the detail pane says of it, and whether it came up and sounded.
TEST_F(DetalleDeAlarma, CadaAlarmaDiceSuAbonadoYLasDeCuentasEnPruebasNoSuenan) {
    Form1& f = ventana();
    BaseDatos& base = *estado.bases.base[0];
    Abonado farmacia = abonado(QStringLiteral("0777"), QStringLiteral("Farmacia Central"));
    farmacia.direccion = QStringLiteral("Av. Mitre 120");
    farmacia.localidad = QStringLiteral("Rosario");
    farmacia.zonas = {{{}, QStringLiteral("005"), QStringLiteral("Puerta de entrada")}};
    farmacia.contactos = {{1, QStringLiteral("Ana Gómez"), QStringLiteral("341 555 0101"),
                           QStringLiteral("Dueña"), hash_palabra_clave(kClaveAna)},
                          {2,
                           QStringLiteral("Luis Paz"),
                           QStringLiteral("341 555 0202"),
                           QStringLiteral("Encargado"),
                           {}}};
    farmacia.instrucciones = {{QStringLiteral("Robo"), QStringLiteral("Policía, luego contactos")}};
    guardar(base, farmacia, QStringLiteral("2026-12-01 09:00:00"), QStringLiteral("ALTA"));
    Abonado taller = abonado(QStringLiteral("0555"), QStringLiteral("Taller Sur"));
    taller.estado = EstadoAbonado::EnPruebas;
    taller.enPruebasHasta = QStringLiteral("2026-12-06 15:00:00");
    guardar(base, taller, QStringLiteral("2026-12-01 09:00:00"), QStringLiteral("ALTA"));
    ASSERT_FALSE(guardar_instrucciones_generales(
                     base, {{QStringLiteral("Fuego"), QStringLiteral("Llamar a bomberos")}})
                     .numero);
    f.abonadoCambiado({});

    VentanaAlarmas& v = f.ventanaAlarmas();
    v.ponerSirena(&sirena);
    auto* lista = control<QTreeWidget>(&v, "Lista");
    const int kNombre = lista->columnCount() - 2;
    const int kZona = lista->columnCount() - 1;
    struct {
        const char* nombre;
        QDateTime llega;
        char tipo;
        const char* codigo;
        const char* cuenta;
        QString estado;
        QString abonado;
        QString zona;
        QString direccion;
        QStringList contactos;
        QString instrucciones;
    } casos[] = {
        {"RoboDeUnAbonado",
         momento(2026, 12, 6, 14, 27, 13),
         '1',
         "130",
         "0777",
         "Nueva",
         "Farmacia Central",
         "Puerta de entrada",
         "Av. Mitre 120, Rosario",
         {"Ana Gómez", "Luis Paz"},
         "Robo: Policía, luego contactos"},
        {"FuegoConLaInstruccionGeneral",
         momento(2026, 12, 6, 14, 27, 20),
         '1',
         "110",
         "0777",
         "Nueva",
         "Farmacia Central",
         "Puerta de entrada",
         "Av. Mitre 120, Rosario",
         {"Ana Gómez", "Luis Paz"},
         "Fuego: Llamar a bomberos"},
        {"AbonadoDesconocido",
         momento(2026, 12, 6, 14, 28, 0),
         '1',
         "130",
         "0999",
         "Nueva",
         "Abonado desconocido",
         "",
         "",
         {},
         ""},
        {"CuentaEnPruebas",
         momento(2026, 12, 6, 14, 59, 59),
         '1',
         "130",
         "0555",
         "En pruebas",
         "Taller Sur",
         "",
         "",
         {},
         ""},
        {"PruebasTerminadas",
         momento(2026, 12, 6, 15, 0, 0),
         '1',
         "130",
         "0555",
         "Nueva",
         "Taller Sur",
         "",
         "",
         {},
         ""},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        reloj.fijar(c.llega);
        v.hide();
        const int sonidos = sirena.veces;
        const std::size_t esperan = v.registro().pendientes().size();
        f.manejador().recibir(paquete_de_evento(c.tipo, c.codigo, c.cuenta));
        const bool suena = c.estado != QStringLiteral("En pruebas");
        const auto& suya = suena ? v.registro().pendientes() : v.registro().enPruebas();
        ASSERT_FALSE(suya.empty());
        QTreeWidgetItem* item = fila_de(lista, suya.front().fila.clave);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->text(0), c.estado);
        EXPECT_EQ(item->text(kNombre), c.abonado);
        EXPECT_EQ(item->text(kZona), c.zona);
        EXPECT_EQ(item->foreground(1).color() == kRojoAlerta, suena);
        EXPECT_EQ(item->font(1).italic(), !suena);
        // Up and sounding, and counted on the strip, unless in test.
        EXPECT_EQ(v.isVisible(), suena);
        EXPECT_EQ(sirena.veces - sonidos, suena ? 1 : 0);
        EXPECT_EQ(v.registro().pendientes().size() - esperan, suena ? 1U : 0U);

        lista->setCurrentItem(item);
        EXPECT_EQ(control<QLabel>(&v, "DetalleNombre")->text(),
                  QStringLiteral("%1  %2").arg(QLatin1String(c.cuenta), c.abonado));
        EXPECT_EQ(control<QLabel>(&v, "DetalleDireccion")->text(), c.direccion);
        EXPECT_EQ(textos(control<QTreeWidget>(&v, "DetalleContactos"), 1), c.contactos);
        EXPECT_EQ(control<QLabel>(&v, "DetalleInstrucciones")->text(), c.instrucciones);
    }
    EXPECT_EQ(control<QPushButton>(&f, "Command5")->text(), QStringLiteral("Alarmas (4)"));

    // The caller's password, checked against the contacts of the chosen alarm.
    lista->setCurrentItem(fila_de(lista, v.registro().pendientes().back().fila.clave));
    auto* dicha = control<QLineEdit>(&v, "ClaveDicha");
    auto* resultado = control<QLabel>(&v, "ResultadoClave");
    for (const auto& [clave, respuesta] :
         {std::pair{QStringLiteral("girasol"), QStringLiteral("correcta")},
          std::pair{QStringLiteral("Girasol"), QStringLiteral("incorrecta")}}) {
        QTest::keyClicks(dicha, clave);
        QTest::keyClick(dicha, Qt::Key_Return);
        EXPECT_EQ(resultado->text(), respuesta);
        EXPECT_TRUE(dicha->text().isEmpty());
    }

    // The event list and the followed account say the same names.
    const FiltroEventos& eventos = f.ventanaEventos().filtro();
    const auto columna = [&eventos](ColumnaEvento c) {
        QStringList r;
        for (int i = 0; i < eventos.rowCount(); ++i)
            r << eventos.index(i, static_cast<int>(c)).data().toString();
        return r;
    };
    EXPECT_EQ(
        columna(ColumnaEvento::Nombre),
        (QStringList{"Taller Sur", "Taller Sur", "", "Farmacia Central", "Farmacia Central"}));
    EXPECT_EQ(columna(ColumnaEvento::ZonaAbonado),
              (QStringList{"", "", "", "Puerta de entrada", "Puerta de entrada"}));
    f.Command4_Click();
    ASSERT_NE(f.form2(), nullptr);
    for (const auto& [cuenta, nombre] :
         {std::pair{"0777", "Farmacia Central"}, std::pair{"0999", "Abonado desconocido"}}) {
        f.form2()->cuenta().ponerTexto(QLatin1String(cuenta));
        EXPECT_EQ(control<QLabel>(f.form2(), "NombreCuenta")->text(), QLatin1String(nombre));
    }
}

// The card refuses what breaks an account's rules, saying why; a contact's
// password is kept as its hash alone and shown as "definida".
using FichaDeAbonado = ConVentana;

TEST_F(FichaDeAbonado, DiceLoQueFaltaYDeLaClaveGuardaSoloElHash) {
    Form1& f = ventana();
    f.Abonados_Click();
    VentanaAbonados& w = *f.ventanaAbonados();
    const auto poner = [&w](const char* campo, const QString& texto) {
        auto* c = control<QLineEdit>(&w, campo);
        c->clear();
        QTest::keyClicks(c, texto);
    };
    struct {
        const char* nombre;
        const char* campo;
        QString texto;
        QString mensaje; // its start; empty: saved
    } casos[] = {
        {"CuentaNoHexadecimal", "Cuenta", "07g7", "La cuenta debe tener de uno a cuatro"},
        {"CuentaConA", "Cuenta", "0a7", "La cuenta debe tener de uno a cuatro"},
        {"EnPruebasSinFin", "EnPruebasHasta", "", "Una cuenta en pruebas necesita"},
        {"FinQueNoEsUnMomento", "EnPruebasHasta", "31/02/2026 10:00", "El fin de las pruebas"},
        {"IntervaloNegativo", "PruebaCada", "-5", "El intervalo de la prueba periódica"},
        {"IntervaloQueNoEsNumero", "PruebaCada", "diez", "El intervalo de la prueba periódica"},
        {"Valida", "Nombre", "Farmacia Central", ""},
    };
    for (const auto& c : casos) {
        SCOPED_TRACE(c.nombre);
        w.nuevo();
        poner("Cuenta", QStringLiteral("0777"));
        poner("Nombre", QStringLiteral("Farmacia"));
        auto* lista = control<QComboBox>(&w, "Estado");
        lista->setCurrentIndex(lista->findText(QStringLiteral("En pruebas")));
        poner("EnPruebasHasta", QStringLiteral("06/12/2026 15:00"));
        poner("PruebaCada", QStringLiteral("60"));
        poner(c.campo, c.texto);
        mensajes.mensajes.clear();
        const bool guardado = w.guardar();
        EXPECT_EQ(guardado, c.mensaje.isEmpty());
        if (!c.mensaje.isEmpty()) {
            ASSERT_EQ(mensajes.mensajes.size(), 1U);
            EXPECT_TRUE(mensajes.mensajes[0].texto.startsWith(c.mensaje))
                << mensajes.mensajes[0].texto.toStdString();
        }
    }
    // The password typed for the contact chosen.
    QTest::mouseClick(control<QPushButton>(&w, "AgregarFila"), Qt::LeftButton);
    auto* pestanas = control<QTabWidget>(&w, "Pestanas");
    pestanas->setCurrentIndex(1);
    QTest::mouseClick(control<QPushButton>(&w, "AgregarFila"), Qt::LeftButton);
    auto* contactos = control<QTableWidget>(&w, "Contactos");
    contactos->item(0, 0)->setText(QStringLiteral("Ana Gómez"));
    contactos->item(0, 1)->setText(QStringLiteral("341 555 0101"));
    EXPECT_EQ(contactos->item(0, 3)->text(), QStringLiteral("sin definir"));
    auto* clave = control<QLineEdit>(&w, "PalabraClave");
    EXPECT_EQ(clave->echoMode(), QLineEdit::Password);
    QTest::keyClicks(clave, kClaveAna);
    QTest::mouseClick(control<QPushButton>(&w, "PonerClave"), Qt::LeftButton);
    EXPECT_TRUE(clave->text().isEmpty());
    EXPECT_EQ(contactos->item(0, 3)->text(), QStringLiteral("definida"));
    pestanas->setCurrentIndex(0);
    auto* zonas = control<QTableWidget>(&w, "Zonas");
    ASSERT_EQ(zonas->rowCount(), 1);
    zonas->item(0, 1)->setText(QStringLiteral("5"));
    mensajes.mensajes.clear();
    EXPECT_FALSE(w.guardar());
    ASSERT_EQ(mensajes.mensajes.size(), 1U);
    EXPECT_TRUE(mensajes.mensajes[0].texto.startsWith(QStringLiteral("Zona «5»")));
    zonas->item(0, 1)->setText(QStringLiteral("005"));
    zonas->item(0, 2)->setText(QStringLiteral("Puerta"));
    ASSERT_TRUE(w.guardar());
    std::optional<Abonado> guardado;
    ASSERT_FALSE(leer_abonado(*estado.bases.base[0], QStringLiteral("0777"), guardado).numero);
    ASSERT_TRUE(guardado && guardado->contactos.size() == 1U);
    EXPECT_NE(guardado->contactos[0].hashClave, kClaveAna);
    EXPECT_TRUE(palabra_clave_correcta(guardado->contactos[0].hashClave, kClaveAna));
    EXPECT_EQ(guardado->enPruebasHasta, QStringLiteral("2026-12-06 15:00:00"));
    EXPECT_EQ(guardado->zonas, (std::vector<ZonaAbonado>{{{}, "005", "Puerta"}}));
}

// Two workstations on one central server open the same account; the first
// saves; the second is told who saved it and when, and chooses.
class EdicionCompartida : public testing::TestWithParam<bool> {};

TEST_P(EdicionCompartida, ElSegundoEnGuardarSabeQuienYCuandoYElige) {
    CORVANE_REQUIERE_POSTGRESQL();
    const bool sobrescribir = GetParam();
    const QString url = nueva_base_postgresql();
    ASSERT_FALSE(url.isEmpty());
    RelojFijo reloj{momento(2026, 12, 6, 14, 27, 13)};
    QTemporaryDir carpetas[2];
    MensajesGrabados mensajes[2];
    std::unique_ptr<Camino> caminos[2];
    std::unique_ptr<Form1> ventanas[2];
    VentanaAbonados* abonados[2] = {};
    const char* puestos[2] = {"PUESTO-A", "PUESTO-B"};
    for (int i = 0; i < 2; ++i) {
        Opciones o;
        o.base = url;
        o.carpeta = carpetas[i].path();
        o.puesto = QLatin1String(puestos[i]);
        caminos[i] = std::make_unique<Camino>(o, &reloj);
        ventanas[i] = abrir_ventana(*caminos[i], {}, &mensajes[i]);
        if (i == 0)
            guardar(*caminos[0]->estado().bases.base[0],
                    abonado(QStringLiteral("0777"), QStringLiteral("Farmacia")),
                    QStringLiteral("2026-12-01 09:00:00"), QStringLiteral("ALTA"));
        QTest::mouseClick(control<QPushButton>(ventanas[i].get(), "BotonAbonados"), Qt::LeftButton);
        abonados[i] = ventanas[i]->ventanaAbonados();
        ASSERT_NE(abonados[i], nullptr);
        ASSERT_TRUE(abonados[i]->abrir(QStringLiteral("0777")));
    }
    const auto escribir = [](VentanaAbonados* v, const QString& nombre) {
        auto* campo = control<QLineEdit>(v, "Nombre");
        campo->clear();
        QTest::keyClicks(campo, nombre);
    };
    escribir(abonados[1], QStringLiteral("Farmacia de B"));
    escribir(abonados[0], QStringLiteral("Farmacia de A"));
    QTest::mouseClick(control<QPushButton>(abonados[0], "Guardar"), Qt::LeftButton);
    EXPECT_TRUE(mensajes[0].preguntas.empty());
    // B hears of it, and keeps what the operator typed.
    auto* modificadoB = control<QLabel>(abonados[1], "Modificado");
    EXPECT_TRUE(esperar_que([&] {
        return modificadoB->text().startsWith(QStringLiteral("Otro puesto"));
    })) << modificadoB->text().toStdString();
    EXPECT_EQ(control<QLineEdit>(abonados[1], "Nombre")->text(), QStringLiteral("Farmacia de B"));

    reloj.fijar(momento(2026, 12, 6, 14, 30, 0));
    mensajes[1].respuesta = sobrescribir;
    EXPECT_EQ(abonados[1]->guardar(), sobrescribir);
    ASSERT_EQ(mensajes[1].preguntas.size(), 1U);
    EXPECT_TRUE(mensajes[1].preguntas[0].texto.startsWith(
        QStringLiteral("Modificado por PUESTO-A a las 14:27:13 del 06/12/2026")))
        << mensajes[1].preguntas[0].texto.toStdString();
    std::optional<Abonado> guardado;
    ASSERT_FALSE(
        leer_abonado(*caminos[0]->estado().bases.base[0], QStringLiteral("0777"), guardado).numero);
    ASSERT_TRUE(guardado.has_value());
    const QString ganador =
        sobrescribir ? QStringLiteral("Farmacia de B") : QStringLiteral("Farmacia de A");
    EXPECT_EQ(guardado->nombre, ganador);
    EXPECT_EQ(guardado->modificadoPor, QLatin1String(sobrescribir ? "PUESTO-B" : "PUESTO-A"));
    // Either way B's card shows what is stored now.
    EXPECT_EQ(control<QLineEdit>(abonados[1], "Nombre")->text(), ganador);
    for (int i = 0; i < 2; ++i) {
        ventanas[i].reset();
        borrar_diferidos();
        EXPECT_EQ(caminos[i]->terminar(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Respuestas, EdicionCompartida, testing::Values(false, true),
                         [](const auto& fila) {
                             return std::string(fila.param ? "Sobrescribe" : "VuelveALeer");
                         });

} // namespace
