// The alarm window: alarms arrive through the receive handler, are listed and
// stored, bring the window to the front and set the sound going; acknowledged,
// they are stored with their moment and workstation and the sound stops; those
// left unacknowledged are listed again at the next start.

#include <QAudioDevice>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMediaDevices>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSysInfo>
#include <QToolButton>
#include <QTreeWidget>

#include "apoyo_gui.h"
#include "auditoria/auditoria.h"
#include "consola/turno.h"
#include "operadores/operadores.h"
#include "store/ciclo_alarmas.h"
#include "store/motor.h"
#include "ui/dialogo_turno.h"
#include "ui/sirena.h"
#include "ui/ventana_alarmas.h"

using namespace corvane;
using namespace corvane::pruebas;

namespace {

// Each row of the list as its texts, up to the moment received (the register's
// columns after it are test_abonados.cpp's).
std::vector<QStringList> filas(const VentanaAlarmas& v) {
    const auto* lista = control<QTreeWidget>(&v, "Lista");
    std::vector<QStringList> r;
    for (int i = 0; lista != nullptr && i < lista->topLevelItemCount(); ++i) {
        QStringList t;
        for (int c = 0; c < lista->columnCount() && c < 7; ++c)
            t << lista->topLevelItem(i)->text(c);
        r.push_back(t);
    }
    return r;
}

// The texts of column `columna` of a list, top to bottom.
QStringList columna(const QTreeWidget* t, int columna) {
    QStringList r;
    for (int i = 0; i < t->topLevelItemCount(); ++i) r << t->topLevelItem(i)->text(columna);
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

// Alarms of the accounts `desde`, `desde`+1, ... (burglary), in one reception.
void llegan(Form1& f, int desde, int cuantas) {
    QByteArray paquetes;
    for (int i = 0; i < cuantas; ++i)
        paquetes += paquete_de_evento(
            '1', "130", QByteArray::number(desde + i).rightJustified(4, '0').constData());
    f.manejador().recibir(paquetes);
}

// The selected alarm's key and the top of its row in the list.
std::pair<QString, int> seleccion(const VentanaAlarmas& v) {
    const auto* lista = control<QTreeWidget>(&v, "Lista");
    const QTreeWidgetItem* item = lista->currentItem();
    return {v.seleccionada(), item != nullptr ? lista->visualItemRect(item).top() : -1};
}

// Where `w` is on the screen.
QRect en_pantalla(const QWidget* w) {
    return {w->mapToGlobal(QPoint(0, 0)), w->size()};
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
    // No audio device: said in the alarm window and on the main window's alert
    // strip while it lasts.
    sirena.faltar(kSinDispositivoAudio);
    EXPECT_EQ(control<QLabel>(&v, "SinSonido")->text(),
              QStringLiteral("Sin sonido: no hay dispositivo de audio"));
    EXPECT_TRUE(control<QLabel>(&v, "SinSonido")->isVisibleTo(&v));
    EXPECT_EQ(f.aviso().texto(), kSinDispositivoAudio);
    sirena.faltar({});
    EXPECT_FALSE(control<QLabel>(&v, "SinSonido")->isVisibleTo(&v));
    EXPECT_TRUE(f.aviso().texto().isEmpty());

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
    const QStringList panico{"Nueva", "0555", "Pánico", "005", "01", "Repetidora 1", reciente};
    const QStringList fuego{"Nueva", "0777", "Incendio", "005", "01", "Repetidora 1", reciente};
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
    EXPECT_EQ(f.text4().texto(),
              QStringLiteral("Alarma reconocida: abonado 0777, Incendio, 14:27:13"));
    EXPECT_TRUE(sirena.sonando);
    EXPECT_EQ(boton->text(), QStringLiteral("Alarmas (1)"));
    EXPECT_EQ(historial(estado.bases),
              (QStringList{"0777|2026-12-06 14:30:05|" + puesto, "0555||"}));

    // The next start lists the one still unacknowledged, in front, with its
    // sound, over the one acknowledged and still open.
    form.reset();
    borrar_diferidos();
    camino.cerrar();
    Camino otro(opciones(dir), &reloj);
    auto f2 = abrir_ventana(otro, {}, &mensajes);
    f2->show();
    SirenaGrabada sirena2;
    VentanaAlarmas& v2 = f2->ventanaAlarmas();
    v2.ponerSirena(&sirena2);
    EXPECT_EQ(filas(v2), (std::vector<QStringList>{panico, fuegoReconocido}));
    EXPECT_TRUE(sirena2.sonando);
    EXPECT_TRUE(esperar_que([&] { return v2.isVisible(); }));
    EXPECT_EQ(control<QPushButton>(f2.get(), "Command5")->text(), QStringLiteral("Alarmas (1)"));

    // "Reconocer todas", confirmed: none left, the sound stops.
    mensajes.respuesta = true;
    QTest::mouseClick(control<QPushButton>(&v2, "Command1_1"), Qt::LeftButton);
    ASSERT_EQ(mensajes.preguntas.size(), 1U);
    EXPECT_EQ(mensajes.preguntas[0].texto, QStringLiteral("¿Reconocer las 1 alarmas listadas?"));
    QStringList panicoReconocido = panico;
    panicoReconocido[0] = QStringLiteral("Reconocida 14:30:05");
    EXPECT_EQ(filas(v2), (std::vector<QStringList>{panicoReconocido, fuegoReconocido}));
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
    const QStringList robo{
        "Nueva", "0444", "Robo", "005", "01", "Repetidora 1", "06/12/2026 14:30:05"};
    EXPECT_EQ(filas(v2).front(), robo);
    EXPECT_EQ(v2.registro().esperando(), 1);
    // A closing taken meanwhile waits behind it, and shows at once.
    const QString clavePanico = v2.registro().reconocidas().front().fila.clave;
    EXPECT_EQ(v2.registro().cerrar(clavePanico, QStringLiteral("prueba"), QStringLiteral("Aviso")),
              QString());
    EXPECT_EQ(v2.registro().esperando(), 2);
    QStringList panicoCerrado = panico;
    panicoCerrado[0] = QStringLiteral("Cerrada 14:30:05");
    f2.reset();
    borrar_diferidos();
    otro.cerrar();
    Camino tercero(opciones(dir), &reloj);
    auto f3 = abrir_ventana(tercero, {}, &mensajes);
    VentanaAlarmas& v3 = f3->ventanaAlarmas();
    // The next start, the table still refusing: the alarm and the closing are
    // shown from the local queue.
    EXPECT_EQ(filas(v3), (std::vector<QStringList>{robo, fuegoReconocido, panicoCerrado}));
    // Its note too, in the detail.
    auto* lista3 = control<QTreeWidget>(&v3, "Lista");
    lista3->setCurrentItem(lista3->topLevelItem(2));
    EXPECT_EQ(columna(control<QTreeWidget>(&v3, "DetalleNotas"), 2), QStringList{"Aviso"});
    for (const char* que : {"INSERT", "UPDATE"})
        ASSERT_FALSE(tercero.estado().bases.base[0]->ejecutar(
            QStringLiteral("DROP TRIGGER rechazo%1").arg(QLatin1String(que))));
    EXPECT_TRUE(esperar_que([&] { return v3.registro().esperando() == 0; }, 5000));
    EXPECT_EQ(historial(tercero.estado().bases),
              (QStringList{"0777|2026-12-06 14:30:05|" + puesto,
                           "0555|2026-12-06 14:30:05|" + puesto, "0444||"}));
    f3.reset();
    borrar_diferidos();
}

QTreeWidgetItem* fila_de(const QTreeWidget* lista, const QString& clave) {
    for (int i = 0; i < lista->topLevelItemCount(); ++i)
        if (lista->topLevelItem(i)->data(0, Qt::UserRole).toString() == clave)
            return lista->topLevelItem(i);
    return nullptr;
}

// A fire handled from the detail pane by the operator on duty: acknowledged,
// a note, a closing refused until it has a resolution and a note, then closed;
// the row shows its state and age, the pane its notes and the account's last
// hour, the table and the audit hook every step. A burglary of another account
// is restored meanwhile; a supervisor alone reopens.
TEST_F(VentanaDeAlarmas, DelDetalleSeReconoceAnotaYCierra) {
    Form1& f = ventana();
    f.show();
    VentanaAlarmas& v = f.ventanaAlarmas();
    std::vector<EntradaAuditoria> auditadas;
    v.registro().ponerOperador(QStringLiteral("ana"), false);
    v.registro().ponerAuditoria([&](const EntradaAuditoria& e) { auditadas.push_back(e); });
    f.manejador().recibir(paquete_de_evento('1', "110", "0777") +
                          paquete_de_evento('1', "130", "0888"));
    auto* lista = control<QTreeWidget>(&v, "Lista");
    const int kEstado = 0, kEdad = 7, kResolucion = 8;
    const QString fuego = v.registro().pendientes().back().fila.clave;
    QTreeWidgetItem* fila = fila_de(lista, fuego);
    ASSERT_NE(fila, nullptr);
    lista->setCurrentItem(fila);
    EXPECT_EQ(fila->text(kEstado), QStringLiteral("Nueva"));
    EXPECT_EQ(control<QLabel>(&v, "DetalleEstado")->text(), QStringLiteral("Nueva"));
    EXPECT_EQ(columna(control<QTreeWidget>(&v, "DetalleEventos"), 1),
              QStringList{QStringLiteral("Incendio")});

    // Three minutes later: its age, then its acknowledgement by the operator.
    reloj.fijar(momento(2026, 12, 6, 14, 30, 20));
    EXPECT_TRUE(esperar_que([&] { return fila_de(lista, fuego)->text(kEdad) == "3 min"; }, 3000));
    QTest::mouseClick(control<QPushButton>(&v, "DetalleReconocer"), Qt::LeftButton);
    EXPECT_EQ(fila_de(lista, fuego)->text(kEstado), QStringLiteral("Reconocida 14:30:20 por ana"));
    auto* nota = control<QLineEdit>(&v, "TextoNota");
    nota->setText(QStringLiteral("Llamé a la dueña"));
    QTest::mouseClick(control<QPushButton>(&v, "DetalleNota"), Qt::LeftButton);
    EXPECT_TRUE(nota->text().isEmpty());

    // The closing: each row a try, its refusal or none.
    auto* resolucion = control<QComboBox>(&v, "Resolucion");
    struct {
        const char* resolucion; // code; empty: none chosen
        const char* nota;
        const char* rechazo; // null: taken
    } cierres[] = {
        {"", "", "Elija la resolución de la alarma para cerrarla"},
        {"bomberos", "", "Para cerrar una alarma de fuego, pánico o médica hace falta una nota"},
        {"bomberos", "Bomberos en camino", nullptr},
    };
    reloj.fijar(momento(2026, 12, 6, 14, 31, 0));
    for (const auto& c : cierres) {
        SCOPED_TRACE(c.resolucion);
        mensajes.mensajes.clear();
        resolucion->setCurrentIndex(resolucion->findData(QString::fromUtf8(c.resolucion)));
        nota->setText(QString::fromUtf8(c.nota));
        QTest::mouseClick(control<QPushButton>(&v, "DetalleCerrar"), Qt::LeftButton);
        if (c.rechazo != nullptr) {
            ASSERT_EQ(mensajes.mensajes.size(), 1U);
            EXPECT_EQ(mensajes.mensajes[0].texto, QString::fromUtf8(c.rechazo));
            EXPECT_TRUE(fila_de(lista, fuego)->text(kEstado).startsWith("Reconocida"));
        } else {
            EXPECT_TRUE(mensajes.mensajes.empty());
        }
    }
    // Closed: under the open burglary, with its resolution, still chosen.
    EXPECT_EQ(columna(lista, kEstado), (QStringList{"Nueva", "Cerrada 14:31:00 por ana"}));
    EXPECT_EQ(fila_de(lista, fuego)->text(kResolucion), QStringLiteral("Real: bomberos avisados"));
    EXPECT_TRUE(fila_de(lista, fuego)->text(kEdad).isEmpty());
    EXPECT_EQ(v.seleccionada(), fuego);
    const auto* notas = control<QTreeWidget>(&v, "DetalleNotas");
    EXPECT_EQ(columna(notas, 0), (QStringList{"06/12/2026 14:30:20", "06/12/2026 14:31:00"}));
    EXPECT_EQ(columna(notas, 1), (QStringList{"ana", "ana"}));
    EXPECT_EQ(columna(notas, 2), (QStringList{"Llamé a la dueña", "Bomberos en camino"}));

    std::vector<FilaAlarma> guardadas;
    ASSERT_FALSE(leer_alarmas_ciclo(*estado.bases.base[0], {false, 5, fuego}, guardadas));
    ASSERT_EQ(guardadas.size(), 1U);
    const FilaAlarma& g = guardadas.front();
    EXPECT_EQ(QStringList({g.estado, g.reconocida, g.operadorReconocimiento, g.cerrada,
                           g.operadorCierre, g.resolucion}),
              (QStringList{"cerrada", "2026-12-06 14:30:20", "ana", "2026-12-06 14:31:00", "ana",
                           "bomberos"}));
    EXPECT_EQ(auditadas.size(), 3U);
    EXPECT_EQ(auditadas.back().accion, AccionAuditoria::Cierre);
    EXPECT_EQ(auditadas.back().detalle,
              QStringLiteral("resolución bomberos; nota: Bomberos en camino"));

    // The burglary's zone restores: marked on the row and in the pane.
    reloj.fijar(momento(2026, 12, 6, 14, 32, 5));
    f.manejador().recibir(paquete_de_evento('2', "130", "0888"));
    const QString robo = v.registro().pendientes().front().fila.clave;
    EXPECT_EQ(fila_de(lista, robo)->text(kResolucion), QStringLiteral("Restaurada a las 14:32:05"));
    lista->setCurrentItem(fila_de(lista, robo));
    EXPECT_EQ(control<QLabel>(&v, "DetalleRestaurada")->text(),
              QStringLiteral("Restaurada a las 14:32:05"));
    EXPECT_EQ(auditadas.back().accion, AccionAuditoria::Restauracion);

    // Reopening the fire: refused to an operator, taken from a supervisor.
    EXPECT_EQ(v.registro().reabrir(fuego, QStringLiteral("Falta el parte")),
              QStringLiteral("Solo un supervisor puede reabrir una alarma"));
    v.registro().ponerOperador(QStringLiteral("jefa"), true);
    EXPECT_EQ(v.registro().reabrir(fuego, QStringLiteral("Falta el parte")), QString());
    EXPECT_EQ(v.registro().alarma(fuego)->estado(), EstadoAlarma::Reconocida);
}

// Alarms that arrive while the operator has one selected: the selection stays on
// it, by its key, and its row where it was on the screen (rows inserted above
// move the view with them); "Reconocer" then acknowledges it and names it on the
// status line.
struct Llegada {
    const char* nombre;
    int antes;               // alarms listed when the operator selects
    int seleccionada;        // its row
    std::vector<int> tandas; // receptions after that, with their alarms
};

class SeleccionPorClave : public ConVentana, public testing::WithParamInterface<Llegada> {};

TEST_P(SeleccionPorClave, SigueEnLaAlarmaElegida) {
    const Llegada& caso = GetParam();
    Form1& f = ventana();
    f.show();
    VentanaAlarmas& v = f.ventanaAlarmas();
    llegan(f, 100, caso.antes);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&v));
    auto* lista = control<QTreeWidget>(&v, "Lista");
    lista->setCurrentItem(lista->topLevelItem(caso.seleccionada));
    const QString cuenta = lista->currentItem()->text(1);
    const auto elegida = seleccion(v);
    int desde = 200;
    for (int n : caso.tandas) {
        llegan(f, desde, n);
        desde += n;
        EXPECT_EQ(seleccion(v), elegida);
    }
    QTest::mouseClick(control<QPushButton>(&v, "Command1_0"), Qt::LeftButton);
    EXPECT_EQ(f.text4().texto(),
              QStringLiteral("Alarma reconocida: abonado %1, Robo, 14:27:13").arg(cuenta));
    const auto& reconocidas = v.registro().reconocidas();
    ASSERT_EQ(reconocidas.size(), 1U);
    EXPECT_EQ(reconocidas.front().fila.clave, elegida.first);
}

INSTANTIATE_TEST_SUITE_P(
    Alarmas, SeleccionPorClave,
    testing::Values(Llegada{"UnaEncima", 20, 2, {1}}, Llegada{"VariasTandas", 20, 5, {1, 3, 2}},
                    Llegada{"LaDeArriba", 20, 0, {2, 1}}, Llegada{"MasAbajo", 24, 15, {2, 2}}),
    [](const testing::TestParamInfo<Llegada>& i) { return std::string(i.param.nombre); });

// "Reconocer todas" asks first, with how many; "no" changes nothing; "sí"
// acknowledges exactly the alarms listed when it asked, and alarms that arrive
// while the question is open stay unacknowledged and are pointed out.
struct CasoTodas {
    const char* nombre;
    bool respuesta;
    int llegadasDurante;
    const char* aviso; // null: none
};

class ReconocerTodas : public ConVentana, public testing::WithParamInterface<CasoTodas> {};

TEST_P(ReconocerTodas, SoloLasListadasYConfirmadas) {
    const CasoTodas& caso = GetParam();
    Form1& f = ventana();
    f.show();
    VentanaAlarmas& v = f.ventanaAlarmas();
    llegan(f, 301, 3);
    mensajes.respuesta = caso.respuesta;
    mensajes.antesDeResponder = [&] { llegan(f, 901, caso.llegadasDurante); };
    QTest::mouseClick(control<QPushButton>(&v, "Command1_1"), Qt::LeftButton);

    ASSERT_EQ(mensajes.preguntas.size(), 1U);
    EXPECT_EQ(mensajes.preguntas[0].texto, QStringLiteral("¿Reconocer las 3 alarmas listadas?"));
    EXPECT_EQ(mensajes.preguntas[0].titulo, QStringLiteral("Brisca"));
    QStringList sinReconocer;
    for (const Alarma& a : v.registro().pendientes()) sinReconocer << a.fila.abonado;
    QStringList esperadas;
    for (int i = caso.llegadasDurante; i > 0; --i) esperadas << QStringLiteral("0%1").arg(900 + i);
    if (!caso.respuesta) esperadas << QStringList{"0303", "0302", "0301"};
    EXPECT_EQ(sinReconocer, esperadas);
    QStringList guardadas;
    for (int i = 301; i <= 303; ++i)
        guardadas << QStringLiteral("0%1|%2").arg(i).arg(
            caso.respuesta ? QStringLiteral("2026-12-06 14:27:13|") + QSysInfo::machineHostName()
                           : QStringLiteral("|"));
    for (int i = 1; i <= caso.llegadasDurante; ++i)
        guardadas << QStringLiteral("0%1||").arg(900 + i);
    EXPECT_EQ(historial(estado.bases), guardadas);
    if (caso.aviso == nullptr) {
        EXPECT_TRUE(mensajes.mensajes.empty());
    } else {
        ASSERT_EQ(mensajes.mensajes.size(), 1U);
        EXPECT_EQ(mensajes.mensajes[0].texto, QString::fromUtf8(caso.aviso));
        EXPECT_EQ(mensajes.mensajes[0].titulo, QStringLiteral("Brisca"));
    }
    EXPECT_EQ(control<QPushButton>(&f, "Command5")->text(),
              esperadas.isEmpty() ? QStringLiteral("Alarmas")
                                  : QStringLiteral("Alarmas (%1)").arg(esperadas.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Alarmas, ReconocerTodas,
    testing::Values(CasoTodas{"No", false, 0, nullptr},
                    CasoTodas{"NoConUnaNueva", false, 1, nullptr},
                    CasoTodas{"Si", true, 0, nullptr},
                    CasoTodas{"SiConUnaNueva", true, 1,
                              "Llegaron 1 alarmas nuevas mientras tanto: siguen sin reconocer"},
                    CasoTodas{"SiConDosNuevas", true, 2,
                              "Llegaron 2 alarmas nuevas mientras tanto: siguen sin reconocer"}),
    [](const testing::TestParamInfo<CasoTodas>& i) { return std::string(i.param.nombre); });

// The first time the window stands in the lower right corner of the work area at
// its minimum size, clear of the port controls, the search button and the top of
// the online log; an alarm raises it where the operator left it; its place and
// size are kept for the next window.
TEST_F(VentanaDeAlarmas, PrimeraVezAbajoALaDerechaYLuegoDondeQuedo) {
    Form1& f = ventana();
    f.showMaximized();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    VentanaAlarmas& v = f.ventanaAlarmas();
    llegan(f, 444, 1);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&v));
    const QRect zona = v.screen()->availableGeometry();
    EXPECT_TRUE(zona.contains(v.frameGeometry()))
        << v.frameGeometry().x() << "," << v.frameGeometry().y();
    EXPECT_EQ(v.size(), v.minimumSize());
    EXPECT_EQ(v.frameGeometry().bottomRight(), zona.bottomRight());
    for (const char* nombre : {"vsElastic1", "Command3", "Command5"})
        EXPECT_FALSE(v.frameGeometry().intersects(en_pantalla(control<QWidget>(&f, nombre))))
            << nombre;
    const auto* log = control<QWidget>(&f, "Text1");
    const QRect cimaLog(log->mapToGlobal(QPoint(0, 0)),
                        QSize(log->width(), 5 * log->fontMetrics().height()));
    EXPECT_FALSE(v.frameGeometry().intersects(cimaLog));

    const QPoint sitio = zona.topLeft() + QPoint(50, 60);
    const QSize tamano = v.minimumSize() + QSize(40, 30);
    v.move(sitio);
    v.resize(tamano);
    llegan(f, 445, 1);
    EXPECT_EQ(v.pos(), sitio);
    v.close();
    VentanaAlarmas otra(estado.bases, reloj, QStringLiteral("puesto"), &mensajes);
    otra.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&otra));
    EXPECT_EQ(otra.pos(), sitio);
    EXPECT_EQ(otra.size(), tamano);
}

// A kept place and size the screen cannot show (another screen layout, a
// smaller screen) are brought onto the work area, never under the minimum size.
struct Guardada {
    const char* nombre;
    QRect rect;
    bool tal_cual;
};

class GeometriaGuardada : public ConVentana, public testing::WithParamInterface<Guardada> {};

TEST_P(GeometriaGuardada, EnLaPantalla) {
    const Guardada& caso = GetParam();
    QSettings(QStringLiteral("corvane"), QStringLiteral("corvane"))
        .setValue(kClaveGeometriaAlarmas, caso.rect);
    ventana();
    VentanaAlarmas v(estado.bases, reloj, QStringLiteral("puesto"), &mensajes);
    v.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&v));
    const QRect zona = v.screen()->availableGeometry();
    EXPECT_TRUE(zona.contains(v.frameGeometry()));
    EXPECT_GE(v.width(), v.minimumWidth());
    EXPECT_GE(v.height(), v.minimumHeight());
    if (caso.tal_cual) {
        EXPECT_EQ(QRect(v.pos(), v.size()), caso.rect);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Alarmas, GeometriaGuardada,
    testing::Values(Guardada{"Dentro", QRect(40, 50, 520, 330), true},
                    Guardada{"SobreLaPantalla", QRect(100, -400, 520, 330), false},
                    Guardada{"ALaDerecha", QRect(5000, 100, 520, 330), false},
                    Guardada{"ALaIzquierda", QRect(-900, 200, 520, 330), false},
                    Guardada{"MayorQueLaPantalla", QRect(0, 0, 5000, 4000), false},
                    Guardada{"MenorQueElMinimo", QRect(10, 10, 50, 40), false}),
    [](const testing::TestParamInfo<Guardada>& i) { return std::string(i.param.nombre); });

// The sound of the console says it cannot be heard exactly when the system has
// no audio output.
TEST(SirenaDelSistema, DiceSiNoHayDispositivo) {
    const SirenaQt sirena;
    EXPECT_EQ(sirena.falla(),
              QMediaDevices::audioOutputs().isEmpty() ? kSinDispositivoAudio : QString());
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
    const QStringList fuego{"Nueva", "0777", "Incendio", "005", "01", "Repetidora 1", reciente};

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
    // The column shows whose acknowledgement it is, whole.
    const auto* listaB = control<QTreeWidget>(&b, "Lista");
    EXPECT_GE(listaB->header()->sectionSize(0),
              QFontMetrics(listaB->topLevelItem(0)->font(0)).horizontalAdvance(visto[0]));
    const QString historial = QStringLiteral("select * from TABLA_ALARMAS order by alar_id");
    BaseDatos& central = *puestos[0].camino->estado().bases.base[0];
    EXPECT_EQ(valores_de(central, historial, QStringLiteral("alar_puesto_reconocimiento")),
              QStringList{"puesto-1"});
    EXPECT_FALSE(puestos[0].sirena.sonando);
    EXPECT_FALSE(puestos[1].sirena.sonando);

    // A panic alarm acknowledged on the receiving workstation alone, confirmed.
    puestos[0].ventana->manejador().recibir(paquete_de_evento('1', "120", "0555"));
    ASSERT_TRUE(
        esperar_que([&] { return filas(b).size() == 2 && puestos[1].sirena.sonando; }, 10000));
    mensajes.respuesta = true;
    QTest::mouseClick(control<QPushButton>(&a, "Command1_1"), Qt::LeftButton);
    ASSERT_EQ(mensajes.preguntas.size(), 1U);
    EXPECT_EQ(mensajes.preguntas[0].texto, QStringLiteral("¿Reconocer las 1 alarmas listadas?"));
    EXPECT_TRUE(esperar_que([&] { return !puestos[1].sirena.sonando; }, 10000));
    EXPECT_EQ(filas(b).front().front(), QStringLiteral("Reconocida 14:30:05 por puesto-1"));
    EXPECT_EQ(control<QPushButton>(puestos[1].ventana.get(), "Command5")->text(),
              QStringLiteral("Alarmas"));
    EXPECT_EQ(valores_de(central, historial, QStringLiteral("alar_puesto_reconocimiento")),
              (QStringList{"puesto-1", "puesto-1"}));

    // Both close the panic alarm at once, each step queued for its drain loop:
    // the closing that reaches the server first stands on both screens, and the
    // workstation whose closing changed nothing is told once, who closed it.
    const QString panico = a.registro().reconocidas().front().fila.clave;
    reloj.fijar(momento(2026, 12, 6, 14, 31, 0));
    mensajes.mensajes.clear();
    EXPECT_EQ(a.registro().cerrar(panico, QStringLiteral("prueba"), QStringLiteral("Simulacro")),
              QString());
    reloj.fijar(momento(2026, 12, 6, 14, 31, 2));
    EXPECT_EQ(b.registro().cerrar(panico, QStringLiteral("policia"), QStringLiteral("Patrulla")),
              QString());
    ASSERT_TRUE(esperar_que([&] { return !mensajes.mensajes.empty(); }, 10000));
    a.refrescar();
    b.refrescar();
    const QString resolucion =
        valores_de(central, historial, QStringLiteral("alar_resolucion")).value(1);
    const bool ganaA = resolucion == QStringLiteral("prueba");
    ASSERT_TRUE(ganaA || resolucion == QStringLiteral("policia")) << resolucion.toStdString();
    const QString aviso =
        ganaA ? QStringLiteral("La alarma ya está cerrada: la cerró el puesto puesto-1 el "
                               "06/12/2026 a las 14:31:00")
              : QStringLiteral("La alarma ya está cerrada: la cerró el puesto puesto-2 el "
                               "06/12/2026 a las 14:31:02");
    ASSERT_EQ(mensajes.mensajes.size(), 1U);
    EXPECT_EQ(mensajes.mensajes[0].texto, aviso);
    EXPECT_EQ(a.registro().alarma(panico)->fila.resolucion, resolucion);
    EXPECT_EQ(b.registro().alarma(panico)->fila.resolucion, resolucion);
    for (Puesto& p : puestos) {
        p.ventana.reset();
        borrar_diferidos();
        p.camino->cerrar();
    }
}

} // namespace

namespace {

// The audit entries of the data folder after the first `desde`, each as
// "action|operator|object|detail".
QStringList entradas_auditoria(const QString& ruta, int desde = 0) {
    std::unique_ptr<BaseDatos> b;
    EXPECT_FALSE(abrir_motor(ruta, b).numero);
    const QString s = QStringLiteral("SELECT * FROM corvane_auditoria ORDER BY audi_secuencia");
    QStringList r;
    const QStringList campos[] = {valores_de(*b, s, QStringLiteral("audi_accion")),
                                  valores_de(*b, s, QStringLiteral("audi_operador")),
                                  valores_de(*b, s, QStringLiteral("audi_objeto")),
                                  valores_de(*b, s, QStringLiteral("audi_detalle"))};
    for (qsizetype i = desde; i < campos[0].size(); ++i)
        r << QStringList{campos[0][i], campos[1][i], campos[2][i], campos[3][i]}.join('|');
    return r;
}

// One sign-in through the dialog, from "Iniciar turno" / "Cambiar de turno".
struct PasoTurno {
    const char* usuario;
    const char* clave;
    const char* mensaje;  // told in the dialog, which stays; empty: it closes
    const char* deTurno;  // the main window's label after it
    const char* auditado; // the one entry it adds; empty: none
};

TEST_F(VentanaDeAlarmas, ElTurnoSeIniciaSeNiegaYSeEntregaSinCerrarNada) {
    {
        std::unique_ptr<BaseDatos> b;
        ASSERT_FALSE(abrir_motor(base(), b).numero);
        ASSERT_FALSE(crear_tabla_operadores(*b).numero);
        for (const auto& [usuario, nombre] :
             {std::pair{"ana", "Ana Pérez"}, {"luis", "Luis Gil"}}) {
            Operador op;
            op.usuario = QString::fromUtf8(usuario);
            op.nombre = QString::fromUtf8(nombre);
            ASSERT_FALSE(
                alta_operador(*b, op, QStringLiteral("clave-") + op.usuario, {}, {}).numero);
        }
    }
    Form1& f = ventana();
    f.show();
    auto* deTurno = control<QToolButton>(&f, "DeTurno");
    ASSERT_TRUE(esperar_que([&] { return f.dialogoTurno() && f.dialogoTurno()->isVisible(); }));
    EXPECT_EQ(f.dialogoTurno()->windowTitle(), QStringLiteral("Iniciar turno"));

    // Cancelled: nobody on duty. Alarms arrive and are stored all the same; an
    // acknowledgement is refused with the reason, and the alarm waits.
    control<QPushButton>(f.dialogoTurno(), "Cancelar")->click();
    EXPECT_EQ(deTurno->text(), QStringLiteral("Sin operador de turno"));
    VentanaAlarmas& v = f.ventanaAlarmas();
    llegan(f, 777, 1);
    EXPECT_TRUE(v.isVisible());
    control<QTreeWidget>(&v, "Lista")
        ->setCurrentItem(control<QTreeWidget>(&v, "Lista")->topLevelItem(0));
    v.Command1_Click(0);
    ASSERT_FALSE(mensajes.mensajes.empty());
    EXPECT_EQ(
        mensajes.mensajes.back().texto,
        QStringLiteral("No hay operador de turno: inicie el turno para atender las alarmas."));
    EXPECT_EQ(historial(estado.bases), (QStringList{"0777||"}));
    // The sign-in is asked for again.
    EXPECT_NE(f.dialogoTurno(), nullptr);

    const int antes = static_cast<int>(entradas_auditoria(base()).size());
    const PasoTurno pasos[] = {
        {"ana", "mala", "Usuario o contraseña incorrectos", "Sin operador de turno",
         "acceso_fallido||ana|Usuario o contraseña incorrectos"},
        // A password typed as the user name is not kept.
        {"Clave-Ana!", "x", "Usuario o contraseña incorrectos", "Sin operador de turno",
         "acceso_fallido||(usuario no válido)|Usuario o contraseña incorrectos"},
        {"ana", "clave-ana", "", "De turno:\nAna Pérez (ana)",
         "acceso|ana|ana|Ana Pérez, operador"},
        {"ana", "clave-ana", "", "De turno:\nAna Pérez (ana)",
         "acceso|ana|ana|Ana Pérez, operador; ya estaba de turno"},
        {"luis", "mala", "Usuario o contraseña incorrectos", "De turno:\nAna Pérez (ana)",
         "acceso_fallido|ana|luis|Usuario o contraseña incorrectos"},
        {"luis", "clave-luis", "", "De turno:\nLuis Gil (luis)",
         "cambio_turno|luis|luis|de Ana Pérez (ana) a Luis Gil (luis)"},
    };
    QStringList esperadas;
    for (const PasoTurno& p : pasos) {
        SCOPED_TRACE(std::string(p.usuario) + " " + p.clave);
        if (!f.dialogoTurno()) f.findChild<QAction*>(QStringLiteral("CambiarTurno"))->trigger();
        DialogoTurno* d = f.dialogoTurno();
        ASSERT_TRUE(d && d->isVisible());
        auto* usuario = control<QLineEdit>(d, "Usuario");
        usuario->clear();
        QTest::keyClicks(usuario, QString::fromUtf8(p.usuario));
        QTest::keyClicks(control<QLineEdit>(d, "Clave"), QString::fromUtf8(p.clave));
        control<QPushButton>(d, "Aceptar")->click();
        borrar_diferidos();
        if (*p.mensaje != '\0') {
            ASSERT_TRUE(f.dialogoTurno() && f.dialogoTurno()->isVisible());
            EXPECT_EQ(control<QLabel>(d, "Mensaje")->text(), QString::fromUtf8(p.mensaje));
            EXPECT_TRUE(control<QLineEdit>(d, "Clave")->text().isEmpty());
        } else {
            EXPECT_EQ(f.dialogoTurno(), nullptr);
        }
        EXPECT_EQ(deTurno->text(), QString::fromUtf8(p.deTurno));
        if (*p.auditado != '\0') esperadas << QString::fromUtf8(p.auditado);
        EXPECT_EQ(entradas_auditoria(base(), antes), esperadas);
    }
    // The handover closed nothing; the one on duty acknowledges.
    EXPECT_TRUE(v.isVisible());
    EXPECT_EQ(f.turno()->deTurno()->usuario, QStringLiteral("luis"));
    v.Command1_Click(0);
    EXPECT_NE(historial(estado.bases), (QStringList{"0777||"}));
}

} // namespace
