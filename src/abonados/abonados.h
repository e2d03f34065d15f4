#pragma once
// The account register: who an account is, where, whom to call and what to do.
// Kept in tables of our own beside the event table, on either engine; on a
// central server every workstation shares it and is told of each change.
//
// An account's key is its text as the event table stores it
// (gral_numero_abonado, as cuenta_valida of common/reglas.h accepts it).
// Moments of the register are "yyyy-MM-dd HH:mm:ss" as everywhere else; the
// import files write them "AAAA-MM-DD HH:mm".

#include <QString>

#include <optional>
#include <vector>

#include "common/claves.h" // the spoken password's hash
#include "common/fallo.h"

namespace corvane {

class BaseDatos;

enum class EstadoAbonado { Activo, EnPruebas, Baja };

// "activo", "en_pruebas", "baja": as the files and the tables write it.
QString texto_estado(EstadoAbonado estado);
std::optional<EstadoAbonado> estado_de_texto(const QString& texto);

struct ZonaAbonado {
    QString particion; // as the decoders store it; empty: any partition
    QString zona;
    QString descripcion;
    bool operator==(const ZonaAbonado&) const = default;
};

// A person to call, in call order. The spoken password is kept only as its
// Argon2id hash (crypto_pwhash_str); empty: none.
struct ContactoAbonado {
    int orden = 0;
    QString nombre;
    QString telefono;
    QString relacion;
    QString hashClave;
    bool operator==(const ContactoAbonado&) const = default;
};

// What to do with an event of a class ("Fuego", "Pánico", … as nombre_clase
// names them), for one account, or for every account without its own ("*").
struct InstruccionAbonado {
    QString clase;
    QString texto;
    bool operator==(const InstruccionAbonado&) const = default;
};

inline const QString kTodasLasCuentas = QStringLiteral("*");

struct Abonado {
    QString cuenta;
    QString nombre;
    QString direccion;
    QString localidad;
    QString telefono;
    QString notas;
    EstadoAbonado estado = EstadoAbonado::Activo;
    QString enPruebasHasta; // the moment the test state ends; empty unless EnPruebas
    int pruebaCadaMin = 0;  // expected interval of the periodic test; 0: none
    QString modificado;     // moment of the last change
    QString modificadoPor;  // workstation that made it
    std::vector<ZonaAbonado> zonas;
    std::vector<ContactoAbonado> contactos;        // in call order
    std::vector<InstruccionAbonado> instrucciones; // the account's own
    bool operator==(const Abonado&) const = default;
};

} // namespace corvane
