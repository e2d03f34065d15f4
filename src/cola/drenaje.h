#pragma once
// The drain loop of the local queue: one thread that moves every stream of
// pendientes.db (the events, the alarm writes, and whatever later streams the
// store registers) to its target, oldest first, a batch at a time, with one
// retry policy. A stream is its "send this batch" hook (Flujo); the loop knows
// nothing of tables or targets.
//
// Retry policy: after a failed batch a stream waits 2 s, then twice as long
// after each further failure, at most 15 s (a target back is found within
// about 20 s, a connection attempt included); a batch that goes through resets
// it. A failure is told once per outage: the same number again, before a batch
// has gone through, is the same failure. Streams are independent: one whose
// target refuses does not hold back the others.
//
// Nothing here blocks the producer's thread: producers append to the queue and
// call avisar(); detener() returns within its limit, a stream still inside a
// call to its target being left to end with the process.

#include <QString>

#include <atomic>
#include <memory>
#include <vector>

#include "common/fallo.h"

namespace corvane {

// Milliseconds a drain loop gets to finish when its store closes.
inline constexpr int kCierreDrenajeMs = 1500;

class Flujo {
public:
    virtual ~Flujo() = default;
    // Runs in the drain thread: sends the oldest waiting batch to the target and
    // removes it from where it waited. `movidos`: how many items left (0 when none
    // waited). `parar` is set when the loop must end: long waits watch it.
    virtual Fallo enviarTanda(const std::atomic<bool>& parar, qint64& movidos) = 0;
    // Runs in the drain thread after a failed batch: whatever connection the
    // stream holds is dropped, so the next attempt opens it anew.
    virtual void soltar() {}
    // Runs in the drain thread as it ends.
    virtual void cerrar() {}
    // Runs in the drain thread after each batch: what the stream has to tell
    // although its batch went through (a row the target refused for good and the
    // stream set apart), each once; the loop passes them on with its failures.
    virtual std::vector<Fallo> avisos() { return {}; }
};

struct EstadoDrenaje;

// The pause after `fallos` failed attempts in a row (0: none), in milliseconds.
int pausa_reintento(int fallos);

class Drenaje {
public:
    Drenaje();
    // Stops the thread (see detener).
    ~Drenaje();
    Drenaje(const Drenaje&) = delete;
    Drenaje& operator=(const Drenaje&) = delete;

    // Registers a stream, before iniciar(); returns its index for the getters.
    std::size_t agregar(std::unique_ptr<Flujo> flujo);
    // Starts the thread. Each stream is tried at once.
    void iniciar();
    // New items were queued: the loop looks at every stream now.
    void avisar();
    // Stops the thread, waiting at most `ms` for it.
    void detener(int ms = kCierreDrenajeMs);

    // The stop request, set by detener(): a stream's long waits watch it. Valid as
    // long as the streams live.
    const std::atomic<bool>& parada() const;

    // Failures met by stream `i` since the last call, in order, once per outage,
    // and its avisos(), each once.
    std::vector<Fallo> fallos(std::size_t i);
    // Items moved by stream `i` since the start.
    qint64 movidos(std::size_t i) const;
    // True while the last attempt of stream `i` failed.
    bool fallando(std::size_t i) const;
    // The number of the last failure of stream `i`.
    qint32 ultimoFallo(std::size_t i) const;

private:
    std::shared_ptr<EstadoDrenaje> estado_;
};

} // namespace corvane
