#pragma once
// Following a central server: the event rows that any console commits, in commit
// order, each once, and the changes of the alarm table. A thread of its own
// holds a connection that LISTENs on esquema::kCanalEventos and kCanalAlarmas; a
// notification, or at the latest a look every second, fetches the rows above the
// last gral_id given (the server's triggers keep gral_id in commit order). The
// LISTEN comes before the first read, so a row committed during the start is
// read then or notified after. A lost connection is opened again every second,
// LISTENs again and catches up from the last gral_id: no row is missed or given
// twice. Nothing here blocks the caller's thread.

#include <QObject>
#include <QString>
#include <QThread>

#include <vector>

#include "store/esquema.h"

namespace corvane {

class TrabajoSeguimiento;

class Seguimiento : public QObject {
    Q_OBJECT
public:
    // `url`: the server, as --base gives it. `iniciales`: at the start, the newest
    // rows stored before it come first (at most that many). `conEventos` false:
    // only the alarm table is followed.
    Seguimiento(QString url, int iniciales, bool conEventos, QObject* parent = nullptr);
    // Stops the thread; a call to the server in progress is left to end first.
    ~Seguimiento() override;

    void iniciar();

Q_SIGNALS:
    // New rows, in commit order (oldest first).
    void filas(const std::vector<corvane::FilaEvento>& filas);
    // The alarm table changed (or may have: after a new connection).
    void alarmas();
    // The connection was lost (`causa`: its failure number, common/registro_errores.h)
    // or made again (causa 0).
    void conexion(bool disponible, qint32 causa);

private:
    QThread hilo_;
    TrabajoSeguimiento* trabajo_;
};

} // namespace corvane
