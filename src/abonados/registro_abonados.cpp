#include "abonados/registro_abonados.h"

#include <unordered_map>

#include "abonados/esquema_abonados.h"
#include "common/registro_errores.h"
#include "store/motor.h"

namespace corvane {

using namespace esquema_abonados;

namespace {

Fallo texto(const Registros& r, const QString& campo, QString& destino) {
    QVariant v;
    if (Fallo f = r.valor(campo, v)) return f;
    destino = v.isNull() ? QStringLiteral("") : v.toString();
    return {};
}

Fallo entero(const Registros& r, const QString& campo, int& destino) {
    QVariant v;
    if (Fallo f = r.valor(campo, v)) return f;
    destino = v.toInt();
    return {};
}

// Every row of `sentencia` (its `?` bound to `valores`), handed to `fila`.
Fallo cada_fila(BaseDatos& base, const QString& sentencia, const QVariantList& valores,
                const std::function<Fallo(const Registros&)>& fila) {
    std::unique_ptr<Registros> r;
    if (Fallo f = base.abrirRegistros(sentencia, valores, r)) return f;
    while (!r->alFinal()) {
        if (Fallo f = fila(*r)) return f;
        if (Fallo f = r->siguiente()) return f;
    }
    return {};
}

// "a, b" as ORDER BY sorts them: by bytes on both engines, so that both list
// the same order whatever the server's collation.
QString orden(const BaseDatos& base, const QStringList& columnas) {
    if (base.dialecto() == Dialecto::SQLite) return columnas.join(QLatin1Char(','));
    QStringList r;
    for (const QString& c : columnas) r << c + QStringLiteral(" COLLATE \"C\"");
    return r.join(QLatin1Char(','));
}

Fallo leer_datos(const Registros& r, Abonado& a) {
    QString estado;
    if (Fallo f = texto(r, QStringLiteral("abon_cuenta"), a.cuenta)) return f;
    if (Fallo f = texto(r, QStringLiteral("abon_nombre"), a.nombre)) return f;
    if (Fallo f = texto(r, QStringLiteral("abon_direccion"), a.direccion)) return f;
    if (Fallo f = texto(r, QStringLiteral("abon_localidad"), a.localidad)) return f;
    if (Fallo f = texto(r, QStringLiteral("abon_telefono"), a.telefono)) return f;
    if (Fallo f = texto(r, QStringLiteral("abon_estado"), estado)) return f;
    if (Fallo f = texto(r, QStringLiteral("abon_en_pruebas_hasta"), a.enPruebasHasta)) return f;
    if (Fallo f = entero(r, QStringLiteral("abon_prueba_cada_min"), a.pruebaCadaMin)) return f;
    if (Fallo f = texto(r, QStringLiteral("abon_notas"), a.notas)) return f;
    if (Fallo f = texto(r, QStringLiteral("abon_modificado"), a.modificado)) return f;
    if (Fallo f = texto(r, QStringLiteral("abon_modificado_por"), a.modificadoPor)) return f;
    a.estado = estado_de_texto(estado).value_or(EstadoAbonado::Activo);
    return {};
}

Fallo leer_zonas(BaseDatos& base, const QString& cuenta, std::vector<ZonaAbonado>& zonas) {
    zonas.clear();
    return cada_fila(
        base,
        QStringLiteral("SELECT ") + lista(kColumnasZonas) + QStringLiteral(" FROM ") + kZonas +
            QStringLiteral(" WHERE zona_cuenta = ? ORDER BY ") +
            orden(base, {QStringLiteral("zona_particion"), QStringLiteral("zona_zona")}),
        {cuenta}, [&zonas](const Registros& r) -> Fallo {
            ZonaAbonado z;
            if (Fallo f = texto(r, QStringLiteral("zona_particion"), z.particion)) return f;
            if (Fallo f = texto(r, QStringLiteral("zona_zona"), z.zona)) return f;
            if (Fallo f = texto(r, QStringLiteral("zona_descripcion"), z.descripcion)) return f;
            zonas.push_back(std::move(z));
            return {};
        });
}

Fallo leer_instrucciones(BaseDatos& base, const QString& cuenta,
                         std::vector<InstruccionAbonado>& lista_) {
    lista_.clear();
    return cada_fila(base,
                     QStringLiteral("SELECT inst_clase, inst_texto FROM ") + kInstrucciones +
                         QStringLiteral(" WHERE inst_cuenta = ? ORDER BY ") +
                         orden(base, {QStringLiteral("inst_clase")}),
                     {cuenta}, [&lista_](const Registros& r) -> Fallo {
                         InstruccionAbonado i;
                         if (Fallo f = texto(r, QStringLiteral("inst_clase"), i.clase)) return f;
                         if (Fallo f = texto(r, QStringLiteral("inst_texto"), i.texto)) return f;
                         lista_.push_back(std::move(i));
                         return {};
                     });
}

QString insertar(const QString& tabla, const QStringList& columnas) {
    QString s = QStringLiteral("INSERT INTO ") + tabla + QStringLiteral(" (") +
                columnas.join(QLatin1Char(',')) + QStringLiteral(") VALUES (");
    for (qsizetype i = 0; i < columnas.size(); ++i)
        s += i == 0 ? QStringLiteral("?") : QStringLiteral(",?");
    return s + QLatin1Char(')');
}

QString vacio_si_nulo(const QString& s) {
    return s.isNull() ? QStringLiteral("") : s;
}

Fallo escribir_instrucciones(BaseDatos& base, const QString& cuenta,
                             const std::vector<InstruccionAbonado>& instrucciones) {
    if (Fallo f = base.ejecutar(QStringLiteral("DELETE FROM ") + kInstrucciones +
                                    QStringLiteral(" WHERE inst_cuenta = ?"),
                                {cuenta}))
        return f;
    const QString sentencia = insertar(kInstrucciones, nombres(kColumnasInstrucciones));
    for (const InstruccionAbonado& i : instrucciones)
        if (Fallo f =
                base.ejecutar(sentencia, {cuenta, vacio_si_nulo(i.clase), vacio_si_nulo(i.texto)}))
            return f;
    return {};
}

} // namespace

Fallo avisar_cambio_abonado(BaseDatos& base, const QString& cuenta) {
    if (base.dialecto() != Dialecto::PostgreSQL) return {};
    return base.ejecutar(QStringLiteral("SELECT pg_notify(?, ?)"),
                         {kCanalAbonados, vacio_si_nulo(cuenta)});
}

Fallo crear_tablas_abonados(BaseDatos& base) {
    if (base.dialecto() == Dialecto::PostgreSQL) return base.ejecutar(asegurar_postgresql());
    for (const QString& s : crear_tablas())
        if (Fallo f = base.ejecutar(s)) return f;
    return {};
}

Fallo tablas_abonados_presentes(BaseDatos& base, bool& presentes) {
    presentes = false;
    const QString sentencia =
        base.dialecto() == Dialecto::PostgreSQL
            ? QStringLiteral("SELECT count(*) AS n FROM pg_class WHERE relname = ? AND "
                             "pg_table_is_visible(oid)")
            : QStringLiteral(
                  "SELECT count(*) AS n FROM sqlite_master WHERE type = 'table' AND name = ?");
    int presentesN = 0;
    for (const QString& t : {kAbonados, kZonas, kContactos, kInstrucciones}) {
        std::unique_ptr<Registros> r;
        if (Fallo f = base.abrirRegistros(sentencia, {t}, r)) return f;
        int n = 0;
        if (!r->alFinal())
            if (Fallo f = entero(*r, QStringLiteral("n"), n)) return f;
        presentesN += n > 0 ? 1 : 0;
    }
    presentes = presentesN == 4;
    return {};
}

Fallo leer_abonado(BaseDatos& base, const QString& cuenta, std::optional<Abonado>& abonado) {
    abonado.reset();
    Abonado a;
    bool hallado = false;
    if (Fallo f = cada_fila(base,
                            QStringLiteral("SELECT ") + lista(kColumnasAbonados) +
                                QStringLiteral(" FROM ") + kAbonados +
                                QStringLiteral(" WHERE abon_cuenta = ?"),
                            {cuenta}, [&](const Registros& r) {
                                hallado = true;
                                return leer_datos(r, a);
                            }))
        return f;
    if (!hallado) return {};
    if (Fallo f = leer_zonas(base, cuenta, a.zonas)) return f;
    if (Fallo f = cada_fila(base,
                            QStringLiteral("SELECT ") + lista(kColumnasContactos) +
                                QStringLiteral(" FROM ") + kContactos +
                                QStringLiteral(" WHERE cont_cuenta = ? ORDER BY cont_orden"),
                            {cuenta}, [&a](const Registros& r) -> Fallo {
                                ContactoAbonado c;
                                if (Fallo g = entero(r, QStringLiteral("cont_orden"), c.orden))
                                    return g;
                                if (Fallo g = texto(r, QStringLiteral("cont_nombre"), c.nombre))
                                    return g;
                                if (Fallo g = texto(r, QStringLiteral("cont_telefono"), c.telefono))
                                    return g;
                                if (Fallo g = texto(r, QStringLiteral("cont_relacion"), c.relacion))
                                    return g;
                                if (Fallo g = texto(r, QStringLiteral("cont_hash"), c.hashClave))
                                    return g;
                                a.contactos.push_back(std::move(c));
                                return {};
                            }))
        return f;
    if (Fallo f = leer_instrucciones(base, cuenta, a.instrucciones)) return f;
    abonado = std::move(a);
    return {};
}

Fallo buscar_abonados(BaseDatos& base, const QString& texto_, int maximo,
                      std::vector<ResumenAbonado>& encontrados) {
    encontrados.clear();
    QString patron = texto_.toLower();
    patron.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    patron.replace(QLatin1Char('%'), QStringLiteral("\\%"));
    patron.replace(QLatin1Char('_'), QStringLiteral("\\_"));
    // SQLite's LIKE ignores the case of ASCII letters; PostgreSQL's ILIKE of every letter.
    const QString como =
        base.dialecto() == Dialecto::PostgreSQL ? QStringLiteral("ILIKE") : QStringLiteral("LIKE");
    const QString sentencia =
        QStringLiteral(
            "SELECT abon_cuenta, abon_nombre, abon_estado, abon_en_pruebas_hasta FROM ") +
        kAbonados + QStringLiteral(" WHERE abon_cuenta ") + como +
        QStringLiteral(" ? ESCAPE '\\' OR abon_nombre ") + como +
        QStringLiteral(" ? ESCAPE '\\' ORDER BY ") + orden(base, {QStringLiteral("abon_cuenta")}) +
        QStringLiteral(" LIMIT ") + QString::number(std::max(0, maximo));
    return cada_fila(
        base, sentencia,
        {QString(patron + QLatin1Char('%')), QString(QLatin1Char('%') + patron + QLatin1Char('%'))},
        [&encontrados](const Registros& r) -> Fallo {
            ResumenAbonado a;
            QString estado;
            if (Fallo f = texto(r, QStringLiteral("abon_cuenta"), a.cuenta)) return f;
            if (Fallo f = texto(r, QStringLiteral("abon_nombre"), a.nombre)) return f;
            if (Fallo f = texto(r, QStringLiteral("abon_estado"), estado)) return f;
            if (Fallo f = texto(r, QStringLiteral("abon_en_pruebas_hasta"), a.enPruebasHasta))
                return f;
            a.estado = estado_de_texto(estado).value_or(EstadoAbonado::Activo);
            encontrados.push_back(std::move(a));
            return {};
        });
}

Fallo guardar_abonado(BaseDatos& base, const Abonado& abonado, const QString& leido,
                      const QString& momento, const QString& puesto,
                      std::optional<Abonado>& actual) {
    actual.reset();
    if (Fallo f = base.comenzarLote()) return f;
    const auto deshacer = [&base](Fallo f) {
        base.deshacerLote();
        return f;
    };
    // PostgreSQL: the account's row stays locked until the commit, so that two
    // workstations saving at once are told of each other.
    QString guardado;
    bool existe = false;
    if (Fallo f =
            cada_fila(base,
                      QStringLiteral("SELECT abon_modificado FROM ") + kAbonados +
                          QStringLiteral(" WHERE abon_cuenta = ?") +
                          (base.dialecto() == Dialecto::PostgreSQL ? QStringLiteral(" FOR UPDATE")
                                                                   : QString()),
                      {abonado.cuenta}, [&](const Registros& r) {
                          existe = true;
                          return texto(r, QStringLiteral("abon_modificado"), guardado);
                      }))
        return deshacer(f);
    if (existe && guardado != leido) {
        base.deshacerLote();
        return leer_abonado(base, abonado.cuenta, actual);
    }
    const QString& c = abonado.cuenta;
    for (const QString& tabla : {kAbonados, kZonas, kContactos}) {
        const QString columna = tabla == kAbonados ? QStringLiteral("abon_cuenta")
                                : tabla == kZonas  ? QStringLiteral("zona_cuenta")
                                                   : QStringLiteral("cont_cuenta");
        if (Fallo f =
                base.ejecutar(QStringLiteral("DELETE FROM ") + tabla + QStringLiteral(" WHERE ") +
                                  columna + QStringLiteral(" = ?"),
                              {c}))
            return deshacer(f);
    }
    const auto v = vacio_si_nulo;
    if (Fallo f =
            base.ejecutar(insertar(kAbonados, nombres(kColumnasAbonados)),
                          {c, v(abonado.nombre), v(abonado.direccion), v(abonado.localidad),
                           v(abonado.telefono), texto_estado(abonado.estado),
                           abonado.estado == EstadoAbonado::EnPruebas ? v(abonado.enPruebasHasta)
                                                                      : QStringLiteral(""),
                           abonado.pruebaCadaMin, v(abonado.notas), v(momento), v(puesto)}))
        return deshacer(f);
    const QString zona = insertar(kZonas, nombres(kColumnasZonas));
    for (const ZonaAbonado& z : abonado.zonas)
        if (Fallo f = base.ejecutar(zona, {c, v(z.particion), v(z.zona), v(z.descripcion)}))
            return deshacer(f);
    const QString contacto = insertar(kContactos, nombres(kColumnasContactos));
    for (const ContactoAbonado& k : abonado.contactos)
        if (Fallo f = base.ejecutar(
                contacto, {c, k.orden, v(k.nombre), v(k.telefono), v(k.relacion), v(k.hashClave)}))
            return deshacer(f);
    if (Fallo f = escribir_instrucciones(base, c, abonado.instrucciones)) return deshacer(f);
    if (Fallo f = avisar_cambio_abonado(base, c)) return deshacer(f);
    return base.confirmarLote();
}

Fallo instruccion_para(BaseDatos& base, const QString& cuenta, const QString& clase,
                       QString& texto_) {
    texto_.clear();
    bool propia = false;
    return cada_fila(base,
                     QStringLiteral("SELECT inst_cuenta, inst_texto FROM ") + kInstrucciones +
                         QStringLiteral(" WHERE inst_clase = ? AND inst_cuenta IN (?, ?)"),
                     {clase, cuenta, kTodasLasCuentas}, [&](const Registros& r) -> Fallo {
                         QString de, t;
                         if (Fallo f = texto(r, QStringLiteral("inst_cuenta"), de)) return f;
                         if (Fallo f = texto(r, QStringLiteral("inst_texto"), t)) return f;
                         if (propia) return {};
                         texto_ = t;
                         propia = de == cuenta && cuenta != kTodasLasCuentas;
                         return {};
                     });
}

Fallo leer_instrucciones_generales(BaseDatos& base, std::vector<InstruccionAbonado>& generales) {
    return leer_instrucciones(base, kTodasLasCuentas, generales);
}

Fallo guardar_instrucciones_generales(BaseDatos& base,
                                      const std::vector<InstruccionAbonado>& generales) {
    if (Fallo f = base.comenzarLote()) return f;
    Fallo f = escribir_instrucciones(base, kTodasLasCuentas, generales);
    if (!f) f = avisar_cambio_abonado(base, kTodasLasCuentas);
    if (f) {
        base.deshacerLote();
        return f;
    }
    return base.confirmarLote();
}

// ---------------------------------------------------------------------------

struct CatalogoAbonados::Datos {
    struct Entrada {
        bool registrado = false;
        QString nombre;
        EstadoAbonado estado = EstadoAbonado::Activo;
        QString enPruebasHasta;
        std::vector<ZonaAbonado> zonas;
    };
    std::function<BaseDatos*()> base;
    std::unordered_map<QString, Entrada> entradas;

    // The account's entry, read when not kept. A register that cannot be read
    // (no tables in an older file, a server away) holds no account: that is
    // kept too, until olvidar.
    const Entrada* entrada(const QString& cuenta) {
        if (auto i = entradas.find(cuenta); i != entradas.end()) return &i->second;
        BaseDatos* b = base ? base() : nullptr;
        if (b == nullptr) return nullptr;
        Entrada e;
        Abonado a;
        bool hallado = false;
        Fallo f = cada_fila(*b,
                            QStringLiteral("SELECT ") + lista(kColumnasAbonados) +
                                QStringLiteral(" FROM ") + kAbonados +
                                QStringLiteral(" WHERE abon_cuenta = ?"),
                            {cuenta}, [&](const Registros& r) {
                                hallado = true;
                                return leer_datos(r, a);
                            });
        if (!f && hallado) f = leer_zonas(*b, cuenta, e.zonas);
        if (!f && hallado) {
            e.registrado = true;
            e.nombre = a.nombre;
            e.estado = a.estado;
            e.enPruebasHasta = a.enPruebasHasta;
        } else {
            e = {};
        }
        return &entradas.emplace(cuenta, std::move(e)).first->second;
    }
};

Fallo version_de_la_base(BaseDatos& base, qint64& version) {
    version = 0;
    if (base.dialecto() != Dialecto::SQLite) return {};
    return cada_fila(base, QStringLiteral("PRAGMA data_version"), {}, [&](const Registros& r) {
        QVariant v;
        if (Fallo f = r.valor(QStringLiteral("data_version"), v)) return f;
        version = v.toLongLong();
        return Fallo{};
    });
}

CatalogoAbonados::CatalogoAbonados(std::function<BaseDatos*()> base)
    : d_(std::make_unique<Datos>()) {
    d_->base = std::move(base);
}

CatalogoAbonados::~CatalogoAbonados() = default;

std::optional<QString> CatalogoAbonados::nombre(const QString& cuenta) {
    const Datos::Entrada* e = d_->entrada(cuenta);
    if (e == nullptr || !e->registrado) return std::nullopt;
    return e->nombre;
}

QString CatalogoAbonados::descripcionZona(const QString& cuenta, const QString& particion,
                                          const QString& zona) {
    const Datos::Entrada* e = d_->entrada(cuenta);
    if (e == nullptr) return {};
    const ZonaAbonado* cualquiera = nullptr;
    for (const ZonaAbonado& z : e->zonas) {
        if (z.zona != zona) continue;
        if (z.particion == particion) return z.descripcion;
        if (z.particion.isEmpty()) cualquiera = &z;
    }
    return cualquiera ? cualquiera->descripcion : QString();
}

bool CatalogoAbonados::enPruebas(const QString& cuenta, const QString& momento) {
    const Datos::Entrada* e = d_->entrada(cuenta);
    return e != nullptr && e->registrado && e->estado == EstadoAbonado::EnPruebas &&
           momento < e->enPruebasHasta;
}

std::optional<Abonado> CatalogoAbonados::abonado(const QString& cuenta) {
    BaseDatos* b = d_->base ? d_->base() : nullptr;
    if (b == nullptr) return std::nullopt;
    std::optional<Abonado> a;
    if (leer_abonado(*b, cuenta, a)) return std::nullopt;
    return a;
}

void CatalogoAbonados::olvidar(const QString& cuenta) {
    if (cuenta.isEmpty() || cuenta == kTodasLasCuentas)
        d_->entradas.clear();
    else
        d_->entradas.erase(cuenta);
}

} // namespace corvane
