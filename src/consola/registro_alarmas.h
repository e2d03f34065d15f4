#pragma once
// The alarms the operator handles: every new event of an alarm class (fire,
// panic, medical, burglary) that this workstation receives, through its life:
// new, acknowledged, notes, closed with a resolution (a supervisor may reopen
// it), and the restore of its account, partition and zone attached while it is
// open. Each alarm and each step go to the alarm table of the event database
// (store/alarmas.h, store/ciclo_alarmas.h), by the operator on duty (none: the
// workstation alone), so that the next start finds the alarms still open and
// the table tells who did what and when.
//
// A failure of the database does not stop the operator: a step is taken in the
// lists at once, and what the table does not take waits in the local queue
// (cola/escritura_alarmas.h) until the drain loop moves it; a start lists the
// waiting alarms and steps with those of the table. The failure's number goes to
// error.log once per label and outage of the table (labels "guardar_alarma",
// "reconocer_alarma", "leer_alarmas"): again only once every waiting write is
// stored and the table is read again.

#include <QHash>
#include <QSet>
#include <QString>

#include <deque>
#include <functional>
#include <vector>

#include "auditoria/auditoria.h"
#include "cola/escritura_alarmas.h"
#include "common/reloj.h"
#include "store/alarmas.h"
#include "store/ciclo_alarmas.h"
#include "store/definesBaseDatos.h"

namespace corvane {

struct Alarma {
    FilaAlarma fila;
    QString descripcion;    // the event code's description
    qint64 orden = 0;       // order of arrival: larger is newer
    bool enPruebas = false; // of an account in test when it was received

    bool reconocida() const { return !fila.reconocida.isEmpty(); }
    EstadoAlarma estado() const { return estado_de(fila); }
};

// Closed alarms kept in the list, the latest closed; older ones stay in the
// table. Also the most alarms of accounts in test listed unacknowledged.
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

    // The operator on duty, by whose name the steps are taken; empty: nobody
    // signed in (or no operators exist), the steps then by the workstation alone.
    // Only a supervisor reopens an alarm.
    void ponerOperador(const QString& usuario, bool supervisor);
    const QString& operador() const { return operador_; }

    // Told of each step taken here (an acknowledgement, a note, a closing, a
    // reopening, a restore attached to an alarm), for the audit trail.
    void ponerAuditoria(std::function<void(const EntradaAuditoria&)> auditoria) {
        auditoria_ = std::move(auditoria);
    }

    // Lists the open alarms this workstation received and the latest it closed;
    // with a central server (compartido), those of every workstation.
    void cargar();
    // With a central server, lists again what the table holds (another
    // workstation stored an alarm or took a step); returns the unacknowledged
    // alarms not listed before, newest first. A table that cannot be read leaves
    // the lists as they were.
    std::vector<Alarma> refrescar();
    // True when the alarm table is the central server's, shared by every
    // workstation.
    bool compartido() const;
    // The rows of new alarms that the receive handler stored: each becomes an
    // alarm, stored unacknowledged and listed. Returns them, newest first (those
    // of an account in test marked enPruebas).
    std::vector<Alarma> recibir(const std::vector<FilaEvento>& filas);
    // The steps of the operator on duty on the listed alarm `clave`, now: each
    // is refused as rechazo() says (consola/acciones_alarma.h) with a Spanish
    // sentence, or taken and the sentence empty. A step taken is written through
    // the local queue (it returns at once whatever the database does) and shown
    // in the lists at once; a closing of a new alarm acknowledges it first.
    QString reconocer(const QString& clave);
    QString anadirNota(const QString& clave, const QString& texto);
    // `resolucion`: a code of kResoluciones.
    QString cerrar(const QString& clave, const QString& resolucion, const QString& nota);
    // A supervisor's, with a note.
    QString reabrir(const QString& clave, const QString& nota);
    // Acknowledges the unacknowledged alarms among `claves` (those the operator
    // was shown), and no other; returns how many.
    std::size_t reconocerTodas(const std::vector<QString>& claves);
    // The rows the console showed: each restore of an alarm class is stored as
    // a step, and attached to the open alarms listed of its account, partition
    // and zone received before it and not restored yet. Returns how many it
    // marked.
    std::size_t restaurar(const std::vector<FilaEvento>& filas);

    // The notes of alarm `clave` in order: those of the table and those still
    // waiting in the local queue. A failure to read the table leaves the waiting ones.
    Fallo notas(const QString& clave, std::vector<NotaAlarma>& notas);

    // What a refresh found about the closings taken here: "La alarma ya está
    // cerrada: la cerró ..." for each that another workstation's closing
    // preceded (the one written here changed nothing). Each is given once.
    std::vector<QString> tomarAvisos();
    // Logs what the drain loop met moving the writes that wait for the table
    // (once per outage); about once a second.
    void reintentar();
    // Writes that wait for the table.
    qint64 esperando() const;
    // While writes wait because the table refuses them, what the operator is
    // told: "Alarmas sin guardar en la base de datos: N (causa)"; else empty.
    QString aviso() const;

    // New (not acknowledged), newest first.
    const std::deque<Alarma>& pendientes() const { return pendientes_; }
    // New, of accounts in test, newest first, at most kReconocidasMostradas.
    const std::deque<Alarma>& enPruebas() const { return enPruebas_; }
    // Acknowledged and open, newest first.
    const std::deque<Alarma>& reconocidas() const { return reconocidas_; }
    // Closed, the latest closing first, at most kReconocidasMostradas.
    const std::deque<Alarma>& cerradas() const { return cerradas_; }
    // The listed alarm `clave`; null: none.
    const Alarma* alarma(const QString& clave) const;
    const QString& puesto() const { return puesto_; }

private:
    Alarma nueva(FilaAlarma fila);
    // Puts `alarma` in the list of its state, by its order of arrival (a closed
    // one in front of the closed).
    void colocar(Alarma alarma);
    // The listed alarm `clave` and its list; null: none.
    std::deque<Alarma>::iterator buscar(const QString& clave, std::deque<Alarma>*& lista);
    // Refuses or takes `accion` on its listed alarm.
    QString tomar(AccionAlarma accion);
    void auditar(const AccionAlarma& accion, const Alarma& alarma, EstadoAlarma antes);
    // Tells what became of the closings taken here, once the table is read.
    void revisarCierres();
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
    std::deque<Alarma> cerradas_;
    std::function<bool(const FilaAlarma&)> esEnPruebas_;
    std::function<void(const EntradaAuditoria&)> auditoria_;
    QString operador_;
    bool supervisor_ = false;
    // The closings taken here that the table has not shown yet, by key.
    QHash<QString, AccionAlarma> cierresPropios_;
    std::vector<QString> avisos_;
    qint64 orden_ = 0;
    bool fallandoEscritura_ = false;
    bool fallandoLectura_ = false;
    QString causa_; // of the last failure, in our words
    // Labels logged in the outage at hand: one error.log record each, until every
    // waiting write is stored and the table is read again.
    QSet<QString> anotadas_;
};

} // namespace corvane
