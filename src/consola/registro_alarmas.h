#pragma once
// The alarms the operator must acknowledge: every new event of an alarm class
// (fire, panic, medical, burglary) that this workstation receives, from its
// arrival to its acknowledgement. Each alarm and its acknowledgement go to the
// alarm table of the event database (store/alarmas.h), so that the next start
// finds the alarms still unacknowledged and the table tells who acknowledged
// what and when.
//
// A failure of the database does not stop the operator: the alarm is listed and
// acknowledged all the same, and what the table does not take waits in the local
// queue (cola/escritura_alarmas.h) until the drain loop moves it; a start lists
// the waiting alarms with those of the table. The failure's number goes to
// error.log once per label and outage of the table (labels "guardar_alarma",
// "reconocer_alarma", "leer_alarmas"): again only once every waiting write is
// stored and the table is read again.

#include <QSet>
#include <QString>

#include <deque>
#include <functional>
#include <vector>

#include "cola/escritura_alarmas.h"
#include "common/reloj.h"
#include "store/alarmas.h"
#include "store/definesBaseDatos.h"

namespace corvane {

struct Alarma {
    FilaAlarma fila;
    QString descripcion;    // the event code's description
    qint64 orden = 0;       // order of arrival: larger is newer
    bool enPruebas = false; // of an account in test when it was received

    bool reconocida() const { return !fila.reconocida.isEmpty(); }
};

// Acknowledged alarms kept in the list, the newest; older ones stay in the table.
inline constexpr std::size_t kReconocidasMostradas = 200;

class RegistroAlarmas {
public:
    // Alarms of the event database in slot 0 of `bases`, received by the
    // workstation `puesto` (its host name); moments read from `reloj`.
    RegistroAlarmas(ConjuntoBases& bases, const Reloj& reloj, QString puesto);

    // Tells which alarms come from an account in test at their reception (the
    // register's word): they are stored and listed as any other, unacknowledged,
    // but kept apart from those that wait (enPruebas()), so that they neither
    // count nor sound. Set before cargar(); none: no account is in test.
    void ponerEnPruebas(std::function<bool(const FilaAlarma&)> enPruebas) {
        esEnPruebas_ = std::move(enPruebas);
    }

    // Lists the alarms this workstation received and nobody acknowledged yet;
    // with a central server (compartido), those of every workstation, and the
    // latest acknowledged by any.
    void cargar();
    // With a central server, lists again what the table holds (another
    // workstation stored or acknowledged alarms); returns the unacknowledged
    // alarms not listed before, newest first. A table that cannot be read leaves
    // the list as it was.
    std::vector<Alarma> refrescar();
    // True when the alarm table is the central server's, shared by every
    // workstation.
    bool compartido() const;
    // The rows of new alarms that the receive handler stored: each becomes an
    // alarm, stored unacknowledged and listed. Returns them, newest first (those
    // of an account in test marked enPruebas).
    std::vector<Alarma> recibir(const std::vector<FilaEvento>& filas);
    // Acknowledges the listed alarm `clave` (waiting or in test) now, by this
    // workstation; false when no unacknowledged alarm has that key.
    bool reconocer(const QString& clave);
    // Acknowledges the unacknowledged alarms among `claves` (those the operator
    // was shown), and no other; returns how many.
    std::size_t reconocerTodas(const std::vector<QString>& claves);
    // Logs what the drain loop met moving the writes that wait for the table
    // (once per outage); about once a second.
    void reintentar();
    // Writes that wait for the table.
    qint64 esperando() const;
    // While writes wait because the table refuses them, what the operator is
    // told: "Alarmas sin guardar en la base de datos: N (causa)"; else empty.
    QString aviso() const;

    // Not acknowledged, newest first.
    const std::deque<Alarma>& pendientes() const { return pendientes_; }
    // Not acknowledged, of accounts in test, newest first, at most
    // kReconocidasMostradas.
    const std::deque<Alarma>& enPruebas() const { return enPruebas_; }
    // Acknowledged since the start, newest first, at most kReconocidasMostradas.
    const std::deque<Alarma>& reconocidas() const { return reconocidas_; }
    const QString& puesto() const { return puesto_; }

private:
    Alarma nueva(FilaAlarma fila);
    // A new unacknowledged alarm in front of its list: those that wait, or those
    // in test.
    void anteponer(Alarma alarma);
    void archivar(Alarma alarma);
    QString ahora() const;
    BaseDatos* base() const;
    // The writes through the local queue of the store in slot 0; null when the
    // store has none (they then go to the table at once, or are lost with a record).
    EscrituraAlarmas* escritura() const;
    // Writes `escritos` (`etiqueta`: how a failure is logged).
    void escribir(const std::vector<AlarmaPendiente>& escritos, const QString& etiqueta);
    // Logs `f` under `etiqueta` when an outage of the table starts (neither
    // reads nor writes failing yet); `fallando` (reads' or writes') follows `f`.
    void anotar(const Fallo& f, const QString& etiqueta, bool& fallando);
    // The outage of the writes ends once none waits.
    void revisarEspera();
    void reconocerYa(std::vector<Alarma> alarmas);
    // Lists what the table and the waiting writes hold; returns the table's
    // failure to be read (logged already): a refresh then keeps the list, a
    // start makes it of what waits.
    Fallo leer(bool inicio);

    ConjuntoBases& bases_;
    const Reloj& reloj_;
    QString puesto_;
    std::deque<Alarma> pendientes_;
    std::deque<Alarma> enPruebas_;
    std::deque<Alarma> reconocidas_;
    std::function<bool(const FilaAlarma&)> esEnPruebas_;
    qint64 orden_ = 0;
    bool fallandoEscritura_ = false;
    bool fallandoLectura_ = false;
    QString causa_; // of the last failure, in our words
    // Labels logged in the outage at hand: one error.log record each, until every
    // waiting write is stored and the table is read again.
    QSet<QString> anotadas_;
};

} // namespace corvane
