#pragma once
// One queue per console. Several consoles may share a data folder (the service's
// instances, one per serial port, share /var/lib/corvane; an operator may start
// a second console by hand): each takes a queue file of its own, the first of
// pendientes.db, pendientes-2.db, pendientes-3.db… that no running console holds:
// one that last served the same target if there is one, else one that holds rows
// (the target's address changed, or its console is gone: the rows are stored
// where this console stores), else an empty one. A queue is held with an advisory
// lock (flock) on a file beside it (pendientes.bloqueo, pendientes-2.bloqueo…)
// that also names its target, for as long as the holder lives; the lock goes with
// the process, however it ends. No two running consoles ever drain one queue.

#include <QString>

#include "common/fallo.h"

namespace corvane {

// How many queue files a data folder may hold.
inline constexpr int kColasPorCarpeta = 32;

// The target as the queue records it: a server's hosts, ports, database and user
// (never its password), or the event file's absolute path.
QString destino_de_cola(const QString& base);

class BloqueoCola {
public:
    BloqueoCola() = default;
    ~BloqueoCola();
    BloqueoCola(const BloqueoCola&) = delete;
    BloqueoCola& operator=(const BloqueoCola&) = delete;

    // Takes the queue of the data folder `carpeta` for `destino` (as
    // destino_de_cola gives it) and returns its path. A folder where no lock file
    // can be made (read-only) gives pendientes.db unlocked: no console can write a
    // queue there. Fails, with a Spanish text, when every queue is taken.
    Fallo tomar(const QString& carpeta, const QString& destino, QString& cola);

    // Lets the queue go, once the store that wrote it is closed.
    void soltar();

private:
    int fd_ = -1;
};

} // namespace corvane
