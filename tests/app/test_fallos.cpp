// Faults survived with nothing lost: the replay killed at random moments.

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "apoyo/apoyo.h"
#include "apoyo/procesos.h"
#include "tools/generador.h"

using namespace corvane::pruebas;

namespace {

using Clave = std::tuple<QString, int, int>; // account, level, origin

// Reports that the replay wrote to standard output, complete lines only.
std::map<Clave, int> informes_mostrados(const QString& salida) {
    static const QRegularExpression kLinea(
        QStringLiteral("^Cuenta=(\\w{4})  Señal=(\\d+)/16  Origen=(\\w{1,2})  \\d{2}:\\d{2}:\\d{2}$"));
    std::map<Clave, int> r;
    const QStringList lineas = salida.split(QStringLiteral("\r\n"));
    // The last piece has no line end: cut by the kill, it does not count.
    for (qsizetype i = 0; i + 1 < lineas.size(); ++i) {
        const auto m = kLinea.match(lineas.at(i));
        EXPECT_TRUE(m.hasMatch()) << lineas.at(i).toStdString();
        if (!m.hasMatch()) continue;
        // Long packets show the origin as its hex digit, ten-character ones in decimal.
        const QString o = m.captured(3);
        const int origen = o.size() == 1 ? o.toInt(nullptr, 16) : o.toInt();
        ++r[{m.captured(1), m.captured(2).toInt(), origen}];
    }
    return r;
}

std::map<Clave, int> filas_guardadas(const QString& base, QString& integridad) {
    std::map<Clave, int> r;
    const QString nombre = QStringLiteral("comprobacion");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), nombre);
        db.setDatabaseName(base);
        if (db.open()) {
            QSqlQuery q(db);
            q.exec(QStringLiteral("PRAGMA integrity_check"));
            if (q.next()) integridad = q.value(0).toString();
            q.exec(QStringLiteral("select gral_numero_abonado, gral_nivel_señal, gral_origen from TABLA_GENERAL"));
            while (q.next()) ++r[{q.value(0).toString(), q.value(1).toInt(), q.value(2).toInt()}];
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(nombre);
    return r;
}

TEST(Fallos, ReproduccionMatadaEnVeinteMomentosNoPierdeNadaMostrado) {
    QTemporaryDir dir;
    QByteArray flujo;
    corvane::simulador::Generador g(11);
    for (int i = 0; i < 40000; ++i) flujo += QByteArray::fromStdString(g.siguiente().bytes);
    // The capture goes in through a pipe, piece by piece, so the replay works in
    // many small batches whatever the speed of this build; the kill comes after
    // a random number of pieces, while the replay is at work.
    constexpr qsizetype kPedazo = 16 * 1024;
    const int pedazos = static_cast<int>((flujo.size() + kPedazo - 1) / kPedazo);
    QRandomGenerator azar(20261207);
    int conInformes = 0;
    for (int vuelta = 0; vuelta < 20; ++vuelta) {
        SCOPED_TRACE(vuelta);
        const QString carpeta = QDir(dir.path()).filePath(QStringLiteral("v%1").arg(vuelta));
        QDir().mkpath(carpeta);
        Proceso p;
        ASSERT_TRUE(p.iniciar(kCorvane, {"--reproducir", "-", "--carpeta", carpeta}));
        const int hasta = 1 + static_cast<int>(azar.bounded(pedazos - 1));
        for (int i = 0; i < hasta; ++i) {
            p.escribir(flujo.mid(i * kPedazo, kPedazo));
            p.esperarEscrito(10000);
        }
        // A moment for the last pieces to be at work, then SIGKILL: no chance to finish anything.
        p.esperarFin(static_cast<int>(azar.bounded(50)));
        p.parar(SIGKILL, 10000);
        QString integridad;
        const QString base = QDir(carpeta).filePath(QStringLiteral("baseTolm.mdb"));
        const auto filas = filas_guardadas(base, integridad);
        const auto mostrados = informes_mostrados(p.texto());
        if (QFile::exists(base)) {
            EXPECT_EQ(integridad, QStringLiteral("ok"));
        }
        if (!mostrados.empty()) ++conInformes;
        for (const auto& [clave, veces] : mostrados) {
            const auto it = filas.find(clave);
            const int guardadas = it == filas.end() ? 0 : it->second;
            EXPECT_GE(guardadas, veces) << std::get<0>(clave).toStdString() << " nivel " << std::get<1>(clave)
                                        << " origen " << std::get<2>(clave);
        }
    }
    // The kills landed while reports were being shown, not only before the first.
    EXPECT_GE(conInformes, 15);
}

} // namespace
