#pragma once
// The event store of a central PostgreSQL server, through the local queue of
// pending rows (the outbox): every row is first committed to the queue, in the
// batch of its read, and a drain loop moves it to the server. The receive
// road never waits on the network; statement texts and recordsets (the history
// query) go to the server directly.

#include "store/motor.h"

namespace corvane {

// `url`: the server; `cola`: the queue file. The queue is opened now and again at
// every batch until it opens; the server is reached only by the drain loop and by
// statement texts, so a server that is down does not fail the open.
Fallo abrir_central(const QString& url, const QString& cola, std::unique_ptr<BaseDatos>& base);

} // namespace corvane
