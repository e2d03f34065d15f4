// The windows under a real window manager (openbox on an X server of the test's
// own): what only a window manager does with them.

#include <QDir>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "apoyo/apoyo.h"
#include "apoyo/procesos.h"
#include "store/esquema.h"

using namespace corvane::pruebas;

namespace {

// A window's frame as the manager draws it, in screen pixels.
struct Marco {
    int x = 0, y = 0, ancho = 0, alto = 0;
};

Marco marco_de(const PantallaConGestor& p, const QString& id) {
    // X=, Y=, WIDTH=, HEIGHT= of the window itself; the frame's borders from the
    // manager's _NET_FRAME_EXTENTS (left, right, top, bottom).
    const QString g = p.x(QStringLiteral("xdotool"), {"getwindowgeometry", "--shell", id});
    const auto valor = [&g](const char* clave) {
        const QRegularExpression r(QStringLiteral("^%1=(-?\\d+)$").arg(QLatin1String(clave)),
                                   QRegularExpression::MultilineOption);
        return r.match(g).captured(1).toInt();
    };
    const QStringList b = p.x(QStringLiteral("xprop"), {"-id", id, "_NET_FRAME_EXTENTS"})
                              .section(QLatin1Char('='), 1)
                              .split(QLatin1Char(','));
    const auto borde = [&b](int i) { return b.size() == 4 ? b[i].trimmed().toInt() : 0; };
    return {valor("X") - borde(0), valor("Y") - borde(2), valor("WIDTH") + borde(0) + borde(1),
            valor("HEIGHT") + borde(2) + borde(3)};
}

// At 1024×768, a start with an alarm pending: the alarm window is framed whole
// on the screen, and the manager moves it, resizes it and closes it, the main
// window going on.
TEST(GestorDeVentanas, LaVentanaDeAlarmasSeMueveSeRedimensionaYSeCierra) {
    constexpr int kAncho = 1024, kAlto = 768;
    PantallaConGestor pantalla(kAncho, kAlto);
    ASSERT_TRUE(pantalla.listo) << pantalla.motivo();
    QTemporaryDir dir;
    ASSERT_EQ(ejecutar(kCorvane, {"--reproducir", "/dev/null", "--carpeta", dir.path()}).estado, 0);
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("gestor"));
        db.setDatabaseName(QDir(dir.path()).filePath(QStringLiteral("baseTolm.mdb")));
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(corvane::esquema::crear_tabla_alarmas_sqlite()));
        ASSERT_TRUE(q.exec(QStringLiteral(
            "INSERT INTO TABLA_ALARMAS (alar_clave,alar_numero_abonado,alar_evento,alar_particion,"
            "alar_zona,alar_origen,alar_recibida,alar_puesto) VALUES "
            "('k1','0444','130','01','005','1','2026-12-07 10:00:00','prueba')")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("gestor"));

    Proceso consola;
    ASSERT_TRUE(consola.iniciar(kCorvane, {"--carpeta", dir.path(), "--puesto", "prueba"},
                                pantalla.entorno() << QStringLiteral("HOME=") + dir.path()));
    QString id;
    const auto buscar = [&] {
        id =
            pantalla.x(QStringLiteral("xdotool"), {"search", "--onlyvisible", "--name", "^Alarmas"})
                .section(QLatin1Char('\n'), 0, 0);
        return !id.isEmpty();
    };
    ASSERT_TRUE(consola.esperar(buscar, 20000)) << consola.errores().toStdString();
    consola.esperar([] { return false; }, 1500); // the manager frames it, the window places itself
    const Marco m = marco_de(pantalla, id);
    EXPECT_GE(m.x, 0);
    EXPECT_GE(m.y, 0);
    EXPECT_LE(m.x + m.ancho, kAncho);
    EXPECT_LE(m.y + m.alto, kAlto);

    pantalla.x(QStringLiteral("xdotool"), {"windowmove", id, "40", "60"});
    EXPECT_TRUE(consola.esperar(
        [&] { return marco_de(pantalla, id).x != m.x || marco_de(pantalla, id).y != m.y; }, 5000));
    pantalla.x(QStringLiteral("xdotool"), {"windowsize", id, "700", "420"});
    EXPECT_TRUE(consola.esperar(
        [&] {
            const QString g =
                pantalla.x(QStringLiteral("xdotool"), {"getwindowgeometry", "--shell", id});
            return g.contains(QStringLiteral("WIDTH=700")) &&
                   g.contains(QStringLiteral("HEIGHT=420"));
        },
        5000))
        << pantalla.x(QStringLiteral("xdotool"), {"getwindowgeometry", "--shell", id})
               .toStdString();

    // Closed the way the manager closes a window (its close button).
    pantalla.x(QStringLiteral("wmctrl"), {"-i", "-c", id});
    EXPECT_TRUE(consola.esperar([&] { return !buscar(); }, 5000));
    EXPECT_TRUE(consola.enMarcha());
    consola.parar(SIGTERM, 10000);
}

} // namespace
