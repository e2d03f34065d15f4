// The alarm window: alarms arrive through the receive handler, are listed and
// stored, bring the window to the front and set the sound going; acknowledged,
// they are stored with their moment and workstation and the sound stops; those
// left unacknowledged are listed again at the next start.

#include <QPushButton>
#include <QSysInfo>
#include <QTreeWidget>

#include "apoyo_gui.h"
#include "ui/sirena.h"
#include "ui/ventana_alarmas.h"

using namespace corvane;
using namespace corvane::pruebas;

namespace {

class SirenaGrabada : public Sirena {
public:
    void sonar() override {
        ++veces;
        sonando = true;
    }
    void callar() override { sonando = false; }
    int veces = 0;
    bool sonando = false;
};

// Each row of the list as its texts.
std::vector<QStringList> filas(const VentanaAlarmas& v) {
    const auto* lista = control<QTreeWidget>(&v, "Lista");
    std::vector<QStringList> r;
    for (int i = 0; lista != nullptr && i < lista->topLevelItemCount(); ++i) {
        QStringList t;
        for (int c = 0; c < lista->columnCount(); ++c) t << lista->topLevelItem(i)->text(c);
        r.push_back(t);
    }
    return r;
}

// account, acknowledged at, acknowledged by; of every stored alarm, in arrival order.
QStringList historial(ConjuntoBases& bases) {
    const QString s = QStringLiteral("select * from TABLA_ALARMAS order by alar_id");
    const QStringList cuentas =
        valores_de(*bases.base[0], s, QStringLiteral("alar_numero_abonado"));
    const QStringList momentos = valores_de(*bases.base[0], s, QStringLiteral("alar_reconocida"));
    const QStringList puestos =
        valores_de(*bases.base[0], s, QStringLiteral("alar_puesto_reconocimiento"));
    QStringList r;
    for (qsizetype i = 0; i < cuentas.size(); ++i)
        r << cuentas[i] + QLatin1Char('|') + momentos.value(i) + QLatin1Char('|') +
                 puestos.value(i);
    return r;
}

using VentanaDeAlarmas = ConVentana;

TEST_F(VentanaDeAlarmas, LlegaSeReconoceYSigueTrasElReinicio) {
    const QString puesto = QSysInfo::machineHostName();
    const QString reciente = QStringLiteral("06/12/2026 14:27:13");
    Form1& f = ventana();
    f.show();
    SirenaGrabada sirena;
    VentanaAlarmas& v = f.ventanaAlarmas();
    v.ponerSirena(&sirena);
    auto* boton = control<QPushButton>(&f, "Command5");
    EXPECT_EQ(v.windowTitle(), QStringLiteral("Alarmas"));
    EXPECT_FALSE(v.isVisible());
    EXPECT_TRUE(filas(v).empty());
    EXPECT_FALSE(sirena.sonando);

    // A fire among routine reports, then a panic alarm: listed newest first,
    // unacknowledged, the window in front, the sound on, both stored.
    f.manejador().recibir(paquete_de_evento('1', "602", "0888") +
                          paquete_de_evento('1', "110", "0777") +
                          paquete_de_evento('2', "130", "0999"));
    EXPECT_TRUE(v.isVisible());
    EXPECT_TRUE(QTest::qWaitForWindowActive(&v));
    EXPECT_TRUE(sirena.sonando);
    f.manejador().recibir(paquete_de_evento('1', "120", "0555"));
    EXPECT_EQ(sirena.veces, 2);
    const QStringList panico{"SIN RECONOCER", "0555",  "Pánico", "005", "01",
                             "Repetidora 1",  reciente};
    const QStringList fuego{"SIN RECONOCER", "0777",  "Incendio", "005", "01",
                            "Repetidora 1",  reciente};
    EXPECT_EQ(filas(v), (std::vector<QStringList>{panico, fuego}));
    EXPECT_EQ(boton->text(), QStringLiteral("Alarmas (2)"));
    EXPECT_EQ(historial(estado.bases), (QStringList{"0777||", "0555||"}));

    // The older one acknowledged later: stored with its moment and workstation,
    // listed under the other; the sound goes on for the one left.
    reloj.fijar(momento(2026, 12, 6, 14, 30, 5));
    auto* lista = control<QTreeWidget>(&v, "Lista");
    lista->setCurrentItem(lista->topLevelItem(1));
    QTest::mouseClick(control<QPushButton>(&v, "Command1_0"), Qt::LeftButton);
    QStringList fuegoReconocido = fuego;
    fuegoReconocido[0] = QStringLiteral("Reconocida 14:30:05");
    EXPECT_EQ(filas(v), (std::vector<QStringList>{panico, fuegoReconocido}));
    EXPECT_TRUE(sirena.sonando);
    EXPECT_EQ(boton->text(), QStringLiteral("Alarmas (1)"));
    EXPECT_EQ(historial(estado.bases),
              (QStringList{"0777|2026-12-06 14:30:05|" + puesto, "0555||"}));

    // The next start lists the one still unacknowledged, in front, with its sound.
    form.reset();
    borrar_diferidos();
    camino.cerrar();
    Camino otro(opciones(dir), &reloj);
    auto f2 = abrir_ventana(otro, {}, &mensajes);
    f2->show();
    SirenaGrabada sirena2;
    VentanaAlarmas& v2 = f2->ventanaAlarmas();
    v2.ponerSirena(&sirena2);
    EXPECT_EQ(filas(v2), (std::vector<QStringList>{panico}));
    EXPECT_TRUE(sirena2.sonando);
    EXPECT_TRUE(esperar_que([&] { return v2.isVisible(); }));
    EXPECT_EQ(control<QPushButton>(f2.get(), "Command5")->text(), QStringLiteral("Alarmas (1)"));

    // "Reconocer todas": none left, the sound stops.
    QTest::mouseClick(control<QPushButton>(&v2, "Command1_1"), Qt::LeftButton);
    QStringList panicoReconocido = panico;
    panicoReconocido[0] = QStringLiteral("Reconocida 14:30:05");
    EXPECT_EQ(filas(v2), (std::vector<QStringList>{panicoReconocido}));
    EXPECT_FALSE(sirena2.sonando);
    EXPECT_EQ(control<QPushButton>(f2.get(), "Command5")->text(), QStringLiteral("Alarmas"));
    EXPECT_EQ(historial(otro.estado().bases), (QStringList{"0777|2026-12-06 14:30:05|" + puesto,
                                                           "0555|2026-12-06 14:30:05|" + puesto}));

    // The alarm table refuses writes: a new alarm is listed all the same, waits,
    // and the next start lists it (from the local queue); once the table takes
    // writes again it is stored, once.
    for (const char* que : {"INSERT", "UPDATE"})
        ASSERT_FALSE(otro.estado().bases.base[0]->ejecutar(
            QStringLiteral("CREATE TRIGGER rechazo%1 BEFORE %1 ON TABLA_ALARMAS BEGIN "
                           "SELECT RAISE(ABORT,'rechazada'); END")
                .arg(QLatin1String(que))));
    f2->manejador().recibir(paquete_de_evento('1', "130", "0444"));
    const QStringList robo{"SIN RECONOCER", "0444",       "Robo", "005",
                           "01",            "Repetidora 1", "06/12/2026 14:30:05"};
    EXPECT_EQ(filas(v2).front(), robo);
    EXPECT_EQ(v2.registro().esperando(), 1);
    f2.reset();
    borrar_diferidos();
    otro.cerrar();
    Camino tercero(opciones(dir), &reloj);
    auto f3 = abrir_ventana(tercero, {}, &mensajes);
    VentanaAlarmas& v3 = f3->ventanaAlarmas();
    EXPECT_EQ(filas(v3), (std::vector<QStringList>{robo}));
    for (const char* que : {"INSERT", "UPDATE"})
        ASSERT_FALSE(tercero.estado().bases.base[0]->ejecutar(
            QStringLiteral("DROP TRIGGER rechazo%1").arg(QLatin1String(que))));
    EXPECT_TRUE(esperar_que([&] { return v3.registro().esperando() == 0; }, 5000));
    EXPECT_EQ(historial(tercero.estado().bases), (QStringList{"0777|2026-12-06 14:30:05|" + puesto,
                                                              "0555|2026-12-06 14:30:05|" + puesto,
                                                              "0444||"}));
    f3.reset();
    borrar_diferidos();
}

// Two workstations on one central server: an alarm stored by the receiving one
// is listed by the other, in front, with its sound; both acknowledge it at once
// and exactly one acknowledgement stands, the same on both screens; an
// acknowledgement on one takes the alarm out of the other's list and stops its
// sound.
TEST(AlarmasCompartidas, UnaAlarmaUnReconocimientoEnCadaPantalla) {
    CORVANE_REQUIERE_POSTGRESQL();
    BasePrueba servidor(Motor::PostgreSQL);
    ASSERT_TRUE(servidor.disponible());
    RelojFijo reloj{momento(2026, 12, 6, 14, 27, 13)};
    MensajesGrabados mensajes;
    struct Puesto {
        QTemporaryDir dir;
        SirenaGrabada sirena; // outlives the window, which silences it as it goes
        std::unique_ptr<Camino> camino;
        std::unique_ptr<Form1> ventana;
    };
    Puesto puestos[2];
    for (int i = 0; i < 2; ++i) {
        Opciones o;
        o.carpeta = puestos[i].dir.path();
        o.base = servidor.ruta();
        o.puesto = QStringLiteral("puesto-%1").arg(i + 1);
        puestos[i].camino = std::make_unique<Camino>(o, &reloj);
        puestos[i].ventana = abrir_ventana(*puestos[i].camino, {}, &mensajes);
        puestos[i].ventana->show();
        puestos[i].ventana->ventanaAlarmas().ponerSirena(&puestos[i].sirena);
    }
    VentanaAlarmas& a = puestos[0].ventana->ventanaAlarmas();
    VentanaAlarmas& b = puestos[1].ventana->ventanaAlarmas();
    const QString reciente = QStringLiteral("06/12/2026 14:27:13");
    const QStringList fuego{"SIN RECONOCER", "0777", "Incendio", "005", "01", "Repetidora 1", reciente};

    puestos[0].ventana->manejador().recibir(paquete_de_evento('1', "110", "0777"));
    EXPECT_EQ(filas(a), (std::vector<QStringList>{fuego}));
    ASSERT_TRUE(esperar_que([&] { return filas(b) == std::vector<QStringList>{fuego}; }, 10000));
    EXPECT_TRUE(b.isVisible());
    EXPECT_TRUE(puestos[1].sirena.sonando);

    // Both at once: nothing reaches either window between the two clicks.
    reloj.fijar(momento(2026, 12, 6, 14, 30, 5));
    for (VentanaAlarmas* v : {&a, &b}) {
        auto* lista = control<QTreeWidget>(v, "Lista");
        lista->setCurrentItem(lista->topLevelItem(0));
    }
    QTest::mouseClick(control<QPushButton>(&a, "Command1_0"), Qt::LeftButton);
    QTest::mouseClick(control<QPushButton>(&b, "Command1_0"), Qt::LeftButton);
    QStringList deA = fuego, visto = fuego;
    deA[0] = QStringLiteral("Reconocida 14:30:05");
    visto[0] = QStringLiteral("Reconocida 14:30:05 por puesto-1");
    EXPECT_EQ(filas(a), (std::vector<QStringList>{deA}));
    EXPECT_TRUE(esperar_que([&] { return filas(b) == std::vector<QStringList>{visto}; }, 10000));
    const QString historial = QStringLiteral("select * from TABLA_ALARMAS order by alar_id");
    BaseDatos& central = *puestos[0].camino->estado().bases.base[0];
    EXPECT_EQ(valores_de(central, historial, QStringLiteral("alar_puesto_reconocimiento")), QStringList{"puesto-1"});
    EXPECT_FALSE(puestos[0].sirena.sonando);
    EXPECT_FALSE(puestos[1].sirena.sonando);

    // A panic alarm acknowledged on the receiving workstation alone.
    puestos[0].ventana->manejador().recibir(paquete_de_evento('1', "120", "0555"));
    ASSERT_TRUE(esperar_que([&] { return filas(b).size() == 2 && puestos[1].sirena.sonando; }, 10000));
    QTest::mouseClick(control<QPushButton>(&a, "Command1_1"), Qt::LeftButton);
    EXPECT_TRUE(esperar_que([&] { return !puestos[1].sirena.sonando; }, 10000));
    EXPECT_EQ(filas(b).front().front(), QStringLiteral("Reconocida 14:30:05 por puesto-1"));
    EXPECT_EQ(control<QPushButton>(puestos[1].ventana.get(), "Command5")->text(), QStringLiteral("Alarmas"));
    EXPECT_EQ(valores_de(central, historial, QStringLiteral("alar_puesto_reconocimiento")),
              (QStringList{"puesto-1", "puesto-1"}));
    for (Puesto& p : puestos) {
        p.ventana.reset();
        borrar_diferidos();
        p.camino->cerrar();
    }
}

} // namespace
