#include "operadores/operadores.h"

#include <array>

#include "common/claves.h"
#include "common/registro_errores.h"
#include "store/motor.h"
#include "store/tablas_propias.h"

namespace corvane {

using namespace tablas_propias;

namespace {

const QString kTabla = QStringLiteral("corvane_operadores");
const QString kMomento = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// Every column NOT NULL: an absent moment is the empty text. oper_activo is 1 or 0.
const std::array<Columna, 10> kColumnas = {{
    {QStringLiteral("oper_usuario"), QStringLiteral("VARCHAR(32) NOT NULL")},
    {QStringLiteral("oper_nombre"), QStringLiteral("TEXT NOT NULL")},
    {QStringLiteral("oper_rol"), QStringLiteral("VARCHAR(16) NOT NULL")},
    {QStringLiteral("oper_activo"), QStringLiteral("INTEGER NOT NULL")},
    {QStringLiteral("oper_hash"), QStringLiteral("VARCHAR(255) NOT NULL")},
    {QStringLiteral("oper_fallos"), QStringLiteral("INTEGER NOT NULL")},
    {QStringLiteral("oper_bloqueado_hasta"), QStringLiteral("VARCHAR(19) NOT NULL")},
    {QStringLiteral("oper_creado"), QStringLiteral("VARCHAR(19) NOT NULL")},
    {QStringLiteral("oper_modificado"), QStringLiteral("VARCHAR(19) NOT NULL")},
    {QStringLiteral("oper_modificado_por"), QStringLiteral("VARCHAR(255) NOT NULL")},
}};

Fallo leer_fila(const Registros& r, Operador& o) {
    std::array<QVariant, kColumnas.size()> v;
    for (size_t i = 0; i < kColumnas.size(); ++i)
        if (Fallo f = r.valor(kColumnas[i].nombre, v[i])) return f;
    o.usuario = v[0].toString();
    o.nombre = v[1].toString();
    o.rol = rol_de_texto(v[2].toString()).value_or(RolOperador::Operador);
    o.activo = v[3].toInt() != 0;
    o.hashClave = v[4].toString();
    o.fallos = v[5].toInt();
    o.bloqueadoHasta = v[6].toString();
    o.creado = v[7].toString();
    o.modificado = v[8].toString();
    o.modificadoPor = v[9].toString();
    return {};
}

Fallo leer_filas(BaseDatos& base, const QString& donde, const QVariantList& valores,
                 std::vector<Operador>& operadores) {
    operadores.clear();
    // By bytes on both engines, whatever the server's collation.
    const QString orden = base.dialecto() == Dialecto::PostgreSQL
                              ? QStringLiteral(" ORDER BY oper_usuario COLLATE \"C\"")
                              : QStringLiteral(" ORDER BY oper_usuario");
    std::unique_ptr<Registros> r;
    if (Fallo f = base.abrirRegistros(QStringLiteral("SELECT ") + lista(kColumnas) +
                                          QStringLiteral(" FROM ") + kTabla + donde + orden,
                                      valores, r))
        return f;
    while (!r->alFinal()) {
        Operador o;
        if (Fallo f = leer_fila(*r, o)) return f;
        operadores.push_back(std::move(o));
        if (Fallo f = r->siguiente()) return f;
    }
    return {};
}

// A text for a NOT NULL column: a null QString is bound as NULL.
QString no_nulo(const QString& s) {
    return s.isNull() ? QStringLiteral("") : s;
}

// The hash of a password that is not empty; a failure of libsodium otherwise.
Fallo hash_de(const QString& clave, QString& hash) {
    hash = hash_palabra_clave(clave);
    if (hash.isEmpty())
        return {fallos::kMotorGeneral,
                QStringLiteral("no se pudo calcular el hash de la contraseña")};
    return {};
}

} // namespace

QString texto_rol(RolOperador rol) {
    return rol == RolOperador::Supervisor ? QStringLiteral("supervisor")
                                          : QStringLiteral("operador");
}

std::optional<RolOperador> rol_de_texto(const QString& texto) {
    for (const RolOperador r : {RolOperador::Operador, RolOperador::Supervisor})
        if (texto == texto_rol(r)) return r;
    return std::nullopt;
}

bool usuario_valido(const QString& usuario) {
    if (usuario.isEmpty() || usuario.size() > kLargoUsuario) return false;
    for (const QChar c : usuario) {
        const char16_t u = c.unicode();
        if (!((u >= u'a' && u <= u'z') || (u >= u'0' && u <= u'9') || u == u'.' || u == u'_' ||
              u == u'-'))
            return false;
    }
    return true;
}

Fallo crear_tabla_operadores(BaseDatos& base) {
    return asegurar(base, {kTabla}, {crear(kTabla, kColumnas, QStringLiteral("oper_usuario"))});
}

Fallo tabla_operadores_presente(BaseDatos& base, bool& presente) {
    return tablas_propias::presente(base, kTabla, presente);
}

Fallo leer_operador(BaseDatos& base, const QString& usuario, std::optional<Operador>& operador) {
    operador.reset();
    std::vector<Operador> filas;
    if (Fallo f = leer_filas(base, QStringLiteral(" WHERE oper_usuario = ?"), {usuario}, filas))
        return f;
    if (!filas.empty()) operador = std::move(filas.front());
    return {};
}

Fallo listar_operadores(BaseDatos& base, std::vector<Operador>& operadores) {
    return leer_filas(base, {}, {}, operadores);
}

Fallo alta_operador(BaseDatos& base, const Operador& operador, const QString& clave,
                    const QString& momento, const QString& puesto) {
    QString hash;
    if (Fallo f = hash_de(clave, hash)) return f;
    QString marcas = QStringLiteral("?");
    for (size_t i = 1; i < kColumnas.size(); ++i) marcas += QStringLiteral(",?");
    return base.ejecutar(
        QStringLiteral("INSERT INTO ") + kTabla + QStringLiteral(" (") + lista(kColumnas) +
            QStringLiteral(") VALUES (") + marcas + QLatin1Char(')'),
        {operador.usuario, no_nulo(operador.nombre), texto_rol(operador.rol), 1, hash, 0,
         QStringLiteral(""), no_nulo(momento), no_nulo(momento), no_nulo(puesto)});
}

Fallo baja_operador(BaseDatos& base, const QString& usuario, const QString& momento,
                    const QString& puesto) {
    return base.ejecutar(QStringLiteral("UPDATE ") + kTabla +
                             QStringLiteral(" SET oper_activo = 0, oper_modificado = ?, "
                                            "oper_modificado_por = ? WHERE oper_usuario = ?"),
                         {no_nulo(momento), no_nulo(puesto), usuario});
}

Fallo cambiar_clave_operador(BaseDatos& base, const QString& usuario, const QString& clave,
                             const QString& momento, const QString& puesto) {
    QString hash;
    if (Fallo f = hash_de(clave, hash)) return f;
    return base.ejecutar(QStringLiteral("UPDATE ") + kTabla +
                             QStringLiteral(" SET oper_hash = ?, oper_fallos = 0, "
                                            "oper_bloqueado_hasta = '', oper_modificado = ?, "
                                            "oper_modificado_por = ? WHERE oper_usuario = ?"),
                         {hash, no_nulo(momento), no_nulo(puesto), usuario});
}

Fallo comprobar_credenciales(BaseDatos& base, const QString& usuario, const QString& clave,
                             const QDateTime& momento, Credenciales& resultado) {
    resultado = {};
    resultado.mensaje = kCredencialesIncorrectas;
    const auto bloqueado = [&resultado](const QString& hasta) {
        resultado.mensaje =
            QStringLiteral("Usuario bloqueado hasta las %1")
                .arg(QDateTime::fromString(hasta, kMomento).toString(QStringLiteral("HH:mm:ss")));
    };
    std::optional<Operador> o;
    if (Fallo f = leer_operador(base, usuario, o)) return f;
    if (!o || !o->activo) return {};
    const QString ahora = momento.toString(kMomento);
    if (!o->bloqueadoHasta.isEmpty() && ahora < o->bloqueadoHasta) {
        bloqueado(o->bloqueadoHasta);
        return {};
    }
    if (palabra_clave_correcta(o->hashClave, clave)) {
        if (o->fallos != 0 || !o->bloqueadoHasta.isEmpty())
            if (Fallo f = base.ejecutar(QStringLiteral("UPDATE ") + kTabla +
                                            QStringLiteral(" SET oper_fallos = 0, "
                                                           "oper_bloqueado_hasta = '' WHERE "
                                                           "oper_usuario = ?"),
                                        {usuario}))
                return f;
        o->fallos = 0;
        o->bloqueadoHasta.clear();
        resultado.aceptadas = true;
        resultado.mensaje.clear();
        resultado.operador = std::move(o);
        return {};
    }
    // Counted on the server in one statement, so that wrong passwords typed at
    // several workstations at once all count; the one that reaches the limit
    // sets the lock and starts the count again.
    const QString hasta = momento.addSecs(kBloqueoSegundos).toString(kMomento);
    if (Fallo f = base.ejecutar(
            QStringLiteral("UPDATE ") + kTabla +
                QStringLiteral(" SET oper_bloqueado_hasta = CASE WHEN oper_fallos + 1 >= ? THEN ? "
                               "ELSE oper_bloqueado_hasta END, oper_fallos = CASE WHEN "
                               "oper_fallos + 1 >= ? THEN 0 ELSE oper_fallos + 1 END WHERE "
                               "oper_usuario = ?"),
            {kFallosParaBloquear, hasta, kFallosParaBloquear, usuario}))
        return f;
    if (Fallo f = leer_operador(base, usuario, o)) return f;
    if (o && o->bloqueadoHasta == hasta) bloqueado(hasta);
    return {};
}

} // namespace corvane
