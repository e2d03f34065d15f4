#pragma once
// The operators who may work the console, their roles and passwords, kept in a
// table of our own beside the event table on either engine (on a central
// server every workstation shares them, and a user locked at one is locked at
// all). A password is kept only as its Argon2id hash (common/claves.h).
//
// Moments are "yyyy-MM-dd HH:mm:ss" texts as everywhere else, compared as text.

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

#include "common/fallo.h"

namespace corvane {

class BaseDatos;

enum class RolOperador { Operador, Supervisor };

// "operador", "supervisor": as the table and the command line write it.
QString texto_rol(RolOperador rol);
std::optional<RolOperador> rol_de_texto(const QString& texto);

// A user name: 1 to kLargoUsuario characters of a-z, 0-9, '.', '_', '-'.
inline constexpr int kLargoUsuario = 32;
bool usuario_valido(const QString& usuario);

// Wrong passwords in a row that lock a user, and for how long.
inline constexpr int kFallosParaBloquear = 5;
inline constexpr int kBloqueoSegundos = 60;

// The one answer to a wrong password, an unknown user and an inactive one
// alike, so that nobody learns which names exist.
inline const QString kCredencialesIncorrectas = QStringLiteral("Usuario o contraseña incorrectos");

struct Operador {
    QString usuario;
    QString nombre;
    RolOperador rol = RolOperador::Operador;
    bool activo = true;
    QString hashClave;
    int fallos = 0;         // wrong passwords in a row
    QString bloqueadoHasta; // empty: not locked
    QString creado;
    QString modificado;
    QString modificadoPor; // workstation of the last change
};

// Creates the operators' table when missing.
Fallo crear_tabla_operadores(BaseDatos& base);
// True when the table is there (an older file, opened only to read, has none).
Fallo tabla_operadores_presente(BaseDatos& base, bool& presente);

// nullopt when the table does not hold `usuario`.
Fallo leer_operador(BaseDatos& base, const QString& usuario, std::optional<Operador>& operador);
// Every operator, by user name.
Fallo listar_operadores(BaseDatos& base, std::vector<Operador>& operadores);
// Adds a new, active operator with the hash of `clave`, stamped `momento` by
// `puesto`; the caller has made sure the user is not there (the key refuses it).
Fallo alta_operador(BaseDatos& base, const Operador& operador, const QString& clave,
                    const QString& momento, const QString& puesto);
// Marks `usuario` inactive: it can no longer sign in; its row stays.
Fallo baja_operador(BaseDatos& base, const QString& usuario, const QString& momento,
                    const QString& puesto);
// Replaces the password's hash and lifts any lock.
Fallo cambiar_clave_operador(BaseDatos& base, const QString& usuario, const QString& clave,
                             const QString& momento, const QString& puesto);

struct Credenciales {
    bool aceptadas = false;
    QString mensaje;                  // Spanish, for the operator; empty when accepted
    std::optional<Operador> operador; // when accepted
};
// Checks `usuario` and `clave` at `momento`. A locked user is refused with
// "Usuario bloqueado hasta las HH:mm:ss" without looking at the password; a
// wrong password counts, and the kFallosParaBloquear-th in a row locks the
// user kBloqueoSegundos from `momento`; a right one clears the count. An
// unknown or inactive user gets kCredencialesIncorrectas, as a wrong password.
Fallo comprobar_credenciales(BaseDatos& base, const QString& usuario, const QString& clave,
                             const QDateTime& momento, Credenciales& resultado);

} // namespace corvane
