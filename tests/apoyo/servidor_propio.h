#pragma once
// A PostgreSQL server of the test's own (scripts/postgres-prueba.sh), which the test
// stops, starts, freezes and cuts; or a primary with a synchronous standby
// (scripts/replica-prueba.sh), whose primary the test kills and whose standby it
// promotes. It trusts loopback: the password in its URLs is one that must never
// be shown or logged.

#include <unistd.h>

#include <algorithm>

#include "apoyo/procesos.h"

namespace corvane::pruebas {

class ServidorPropio {
public:
    // Ports below the system's range for outgoing connections (from 32768), which
    // a client socket of another test may hold at any moment; another port is
    // tried when one is taken. CORVANE_PUERTO_PROPIO names the first of 18 ports to
    // take them from instead. `ajustes`: server settings as "name=value" (say
    // "lc_messages=es_ES.UTF-8"), written with ALTER SYSTEM into each server,
    // which then starts again.
    explicit ServidorPropio(bool conReserva = false, const QStringList& ajustes = {})
        : reserva_(conReserva) {
        const int desde = qEnvironmentVariableIntValue("CORVANE_PUERTO_PROPIO");
        for (int intento = 0; intento < 4 && !listo; ++intento) {
            const int vuelta = ::getpid() + intento * 2749;
            // An even port for each process, and its standby's the odd one after it:
            // tests started one after the other have neighbouring process ids, and
            // one's standby must not take the port of another's server while that
            // server is stopped.
            puerto_ = desde > 0 ? desde + vuelta % 9 * 2 : 21000 + vuelta % 5500 * 2;
            QStringList args{"iniciar", dir_, QString::number(puerto_)};
            if (reserva_) args << QString::number(puerto_ + 1);
            listo = script(reserva_ ? kReplica : kServidor, args) == 0;
        }
        for (const QString& servidor :
             reserva_ ? QStringList{dir_ + "/primario", dir_ + "/reserva"} : QStringList{dir_}) {
            for (const QString& a : ajustes)
                listo = listo &&
                        script(kServidor, {"psql", servidor, "postgres", "-c",
                                           QStringLiteral("ALTER SYSTEM SET %1 = '%2'")
                                               .arg(a.section('=', 0, 0), a.section('=', 1))}) == 0;
            if (!ajustes.isEmpty())
                listo = listo && script(kServidor, {"detener", servidor}) == 0 &&
                        script(kServidor, {"arrancar", servidor}) == 0;
        }
    }
    ~ServidorPropio() { script(reserva_ ? kReplica : kServidor, {"parar", dir_}); }

    // With a standby: both hosts, the standby first when `reservaPrimero`; libpq
    // picks the one that takes writes.
    QString url(const QString& base, bool reservaPrimero = false) const {
        const QString u = QStringLiteral("postgresql://postgres:%1@127.0.0.1:%2/%3");
        if (!reserva_) return u.arg(kClave, QString::number(puerto_), base);
        QStringList puertos{QString::number(puerto_), QString::number(puerto_ + 1)};
        if (reservaPrimero) std::reverse(puertos.begin(), puertos.end());
        return u.arg(kClave, puertos.join(QStringLiteral(",127.0.0.1:")), base) +
               QStringLiteral("?target_session_attrs=read-write");
    }
    // detener, arrancar, congelar, descongelar; with a standby, matar (the primary)
    // and promover (the standby): 0 when done.
    int hacer(const char* accion) {
        const QLatin1String a(accion);
        if (a != "matar" && a != "promover") return script(kServidor, {a, primario()});
        const int r = script(kReplica, {a, dir_});
        promovida_ = promovida_ || (r == 0 && a == "promover");
        return r;
    }
    // One statement through psql on the primary: its output, or "error".
    QString psql(const QString& base, const QString& sentencia) const {
        const Ejecucion e =
            ejecutar(kServidor, {"psql", primario(), base, "-c", sentencia}, {}, 120000);
        return e.estado == 0 ? e.salida.trimmed() : QStringLiteral("error");
    }
    // Rows of the event table, -1 while there is none.
    int filas(const QString& base) const {
        bool ok = false;
        const int n = psql(base, QStringLiteral("select count(*) from tabla_general")).toInt(&ok);
        return ok ? n : -1;
    }
    // Running again, whatever a case left.
    void reanudar() {
        hacer("descongelar");
        hacer("arrancar");
    }

    static inline const QString kClave = QStringLiteral("ClaveSecreta99");
    bool listo = false;

private:
    static inline const QString kServidor =
        QStringLiteral(CORVANE_RAIZ "/scripts/postgres-prueba.sh");
    static inline const QString kReplica =
        QStringLiteral(CORVANE_RAIZ "/scripts/replica-prueba.sh");

    static int script(const QString& programa, const QStringList& args) {
        return ejecutar(programa, args, {}, 120000).estado;
    }
    // The server that takes writes: with a standby, the standby once promoted.
    QString primario() const {
        if (!reserva_) return dir_;
        return dir_ + (promovida_ ? QStringLiteral("/reserva") : QStringLiteral("/primario"));
    }

    QString dir_ = QStringLiteral("/tmp/corvane-pg-fallo-%1").arg(::getpid());
    int puerto_ = 0;
    bool reserva_ = false;
    bool promovida_ = false;
};

} // namespace corvane::pruebas

// Skips the test, with the reason, unless it may run a server of its own; then
// starts it as `pg`, given ServidorPropio's arguments (with a standby: `pg`, true).
#define CORVANE_REQUIERE_SERVIDOR_PROPIO(pg, ...)                                                  \
    if (::geteuid() != 0 && qEnvironmentVariableIsEmpty("CORVANE_PG_PROPIO"))                      \
        GTEST_SKIP()                                                                               \
            << "arrancar y detener un servidor propio requiere ser root o CORVANE_PG_PROPIO";      \
    ::corvane::pruebas::ServidorPropio pg{__VA_ARGS__};                                            \
    ASSERT_TRUE(pg.listo)
