#pragma once
// The console's modes without windows. Each returns the process's exit status:
// 0 done, 2 bad input, 3 the database did not do what was asked (each with a
// Spanish message on standard error).

#include <QDir>
#include <QString>

#include <memory>

#include "app/linea_comandos.h"
#include "common/fallo.h"

namespace corvane {

class BaseDatos;

inline constexpr int kSalidaCorrecta = 0;
inline constexpr int kSalidaError = 2;
// Done, but rows wait in the local queue for the central server.
inline constexpr int kSalidaPendientes = 3;
// The database to query or to copy cannot be read, or the copy failed.
inline constexpr int kSalidaBaseIlegible = 3;
// The audit trail's chain is broken (or the database has no audit table).
inline constexpr int kSalidaAuditoriaRota = 4;

// Where a data folder may be when --carpeta is not given.
struct LugaresDatos {
    QString programa; // the program's folder
    QString estado;   // STATE_DIRECTORY, set by systemd for a unit with StateDirectory=:
                      // absolute folders joined by ':'; empty elsewhere
    QString usuario;  // the user's own data folder ($XDG_DATA_HOME, ~/.local/share)
};
// The service's data folder of an installed program outside systemd.
inline const QString kCarpetaServicio = QStringLiteral("/var/lib/corvane");
// The data folder of `modo` without --carpeta. From a build tree (a program
// anywhere but under /usr/) it is the program's folder; an installed program
// keeps its data apart from /usr: the service (--sin-ventana) in the first folder
// of `estado`, or kCarpetaServicio without one; every other mode in "corvane"
// under `usuario`.
QString carpeta_por_omision(Modo modo, const LugaresDatos& lugares);
// The data folder: --carpeta, or carpeta_por_omision of this process.
QString carpeta_datos(const Opciones& o);
// The event database as abrir_base_de_datos takes it: the --base URL, or
// baseTolm.mdb in the data folder.
QString ruta_base(const Opciones& o);

// False, with the Spanish reason, when the data folder does not exist. A default
// folder of an installed program (carpeta_por_omision) is created first, with its
// parents, by the modes that store (windows, service, replay); a query and a copy
// create nothing.
bool preparar_carpeta(const Opciones& o, QString& error);
// Writes "corvane: " and `mensaje` on standard error; returns kSalidaError.
int fallar(const QString& mensaje);

int modo_reproducir(const Opciones& o);
// Lists one account's day, or a range. The database must be there and readable:
// an SQLite file that is missing, is not a database or has no event table, an
// event table with other columns, a statement that fails, or a server that
// cannot be reached, gives "no se puede leer la base de datos" and exit 3, after
// what was listed before the failure. Nothing is created or written (no
// database, no local queue, no error.log; the file is opened read-only).
int modo_consultar(const Opciones& o);
// Writes --copia, a new file, as a consistent copy of baseTolm.mdb of the data
// folder (store/archivo_base.h), also while a console writes it. A destination that
// exists or whose folder does not gives exit 2; a source that cannot be read, or
// a copy that fails (its file then removed), exit 3. The source is never created.
int modo_copia(const Opciones& o);

// --pendientes: for each queue file of the data folder (pendientes.db and
// pendientes-N.db, opened read-only: nothing is created, no server is
// connected to), the events and alarm writes waiting and every row the server
// refused, with its account, moment, SQLSTATE and the server's message. Exit 0
// when nothing waits and nothing was refused (or there is no queue), 3 otherwise.
int modo_pendientes(const Opciones& o);
// --reenviar-rechazadas: the refused rows of every queue file of the data folder
// sent again to --base (cola/reenvio.h): how many went in, how many were refused
// again. Exit 0 when all went in, 3 otherwise.
int modo_reenviar_rechazadas(const Opciones& o);

// A store's failure told to the operator: the text of its number as error.log
// has it, then the engine's or the check's own detail between brackets.
QString motivo_de(const Fallo& f);
// "corvane: no se puede leer la base de datos «RUTA»: motivo", the password of
// a server's URL hidden; returns kSalidaBaseIlegible.
int fallar_lectura(const QString& ruta, const Fallo& f);
// The store of a listing that writes nothing and may run while consoles write
// the same data: the data folder's file opened read-only, or --base. 0 when
// open; else the exit status, the reason told.
int abrir_para_listar(const Opciones& o, std::unique_ptr<BaseDatos>& base);

// The account register's files (abonados/archivos_abonados.h), with the
// SQLite file of the data folder or --base. --importar-abonados: exit 2 with
// "ARCHIVO, línea N: motivo" for refused input (nothing is written), 3 when
// the store fails. --exportar-abonados: 2 when the folder or a file cannot be
// written, 3 when the store cannot be read. --abonado: the account's card;
// exit 1 and "El abonado XXXX no está registrado" when it is not.
int modo_importar_abonados(const Opciones& o);
int modo_exportar_abonados(const Opciones& o);
inline constexpr int kSalidaNoRegistrado = 1;
int modo_abonado(const Opciones& o);

// The operators (operadores/operadores.h), in the SQLite file of the data
// folder or --base, their table created when missing. --operador-alta,
// --operador-clave: the password typed twice without echo at a terminal, or
// the first line of standard input otherwise. Exit 2, with the Spanish reason,
// for an existing user on alta, an unknown one on baja or clave, an empty
// password or two that differ; 3 when the store fails. --operadores: the list,
// the file opened read-only.
int modo_operador_alta(const Opciones& o);
int modo_operador_baja(const Opciones& o);
int modo_operador_clave(const Opciones& o);
int modo_operadores(const Opciones& o);
// --verificar-auditoria: the audit trail of the SQLite file of the data folder
// (opened read-only) or of --base, its chain recomputed entry by entry
// (auditoria/auditoria.h), all of it or the entries of the days --desde to
// --hasta. Exit 0 and "Auditoría íntegra: N entradas"; 4 and "Auditoría rota.
// " with the first entry changed, missing or out of order, or when the
// database has no audit table; 3 when the database cannot be read. Needs no
// operator and writes nothing: it may run while consoles append.
int modo_verificar_auditoria(const Opciones& o);
// --alarmas [--todas]: the open alarms of the SQLite file of the data folder or
// of --base, oldest first (with --todas the latest closed after them), one line
// each: key, received, account, name, event, description, zone, state,
// operator, separated by tabs under a heading line. Needs no operator.
int modo_alarmas(const Opciones& o);
// --reconocer, --nota, --cerrar, --reabrir: the step by --operador, whose
// password is read from standard input (without echo at a terminal), taken at
// once and written to the audit trail. Exit 2 with the Spanish reason for a
// wrong password, an alarm that refuses the step (closed already, by whom; a
// note missing; reopened by no supervisor), an unknown key; 3 when the store
// fails.
int modo_accion_alarma(const Opciones& o);
// --informe-atencion: the figures of the alarms received on the days --desde to
// --hasta (consola/informe_atencion.h), from the SQLite file of the data folder
// (opened read-only) or from --base, as a table or (--csv) as CSV on standard
// output. Exit 3 when the database cannot be read. Needs no operator and writes
// nothing: it may run while consoles receive and handle alarms.
int modo_informe_atencion(const Opciones& o);

} // namespace corvane
