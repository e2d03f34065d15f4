#include "auditoria/auditoria.h"

#include <QCryptographicHash>
#include <QDateTime>

#include <openssl/evp.h>

#include <charconv>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "auditoria/esquema_auditoria.h"
#include "common/registro_errores.h"
#include "store/motor.h"

namespace corvane {
namespace {

using esquema_auditoria::kTabla;

// Not a number of error.log: the walk stopped at the first break of the chain.
constexpr qint32 kCadenaRota = -4;

// A value bound as the empty text, never as NULL.
QString texto(const QString& s) {
    return s.isNull() ? QStringLiteral("") : s;
}

void agregar_campo(QByteArray& destino, const QString& campo) {
    const QByteArray bytes = campo.toUtf8();
    destino += QByteArray::number(bytes.size());
    destino += ':';
    destino += bytes;
    destino += ',';
}

bool es_hash(std::string_view h) {
    if (h.size() != 64) return false;
    for (const char c : h)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

// The one value `campo` of the first row of `sentencia`; nullopt when no row
// or a NULL.
Fallo primer_valor(BaseDatos& base, const QString& sentencia, const QVariantList& valores,
                   const QString& campo, std::optional<QVariant>& valor) {
    valor.reset();
    std::unique_ptr<Registros> r;
    if (Fallo f = base.abrirRegistros(sentencia, valores, r)) return f;
    if (r->alFinal()) return {};
    QVariant v;
    if (Fallo f = r->valor(campo, v)) return f;
    if (!v.isNull()) valor = v;
    return {};
}

Fallo tabla_presente(BaseDatos& base, bool& presente) {
    const QString sentencia =
        base.dialecto() == Dialecto::PostgreSQL
            ? QStringLiteral("SELECT count(*) AS n FROM pg_class WHERE relname = ? AND "
                             "pg_table_is_visible(oid)")
            : QStringLiteral(
                  "SELECT count(*) AS n FROM sqlite_master WHERE type = 'table' AND name = ?");
    std::optional<QVariant> n;
    if (Fallo f = primer_valor(base, sentencia, {kTabla}, QStringLiteral("n"), n)) return f;
    presente = n && n->toLongLong() > 0;
    return {};
}

// The walk of the chain, one entry at a time in sequence order. A link that
// does not hold is judged at the next entry: when that one links where the
// broken one should have, the two were swapped.
class Cadena {
public:
    Cadena(qint64 primera, const QString& anterior, VerificacionAuditoria& r)
        : esperada_(primera), hashEsperado_(anterior.toStdString()), r_(r) {}

    // Works on the row's bytes as the engine hands them: a million entries are
    // read and hashed without a text conversion each.
    Fallo entrada(const ValoresFila& v) {
        qint64 secuencia = 0;
        const std::string_view s = v[0];
        const bool numero =
            !s.empty() &&
            std::from_chars(s.data(), s.data() + s.size(), secuencia).ptr == s.data() + s.size();
        const std::string_view anterior = v[7], propio = v[8];
        if (rota_ > 0) {
            if (anterior == hashRoto_)
                return romper(rota_,
                              QStringLiteral("La entrada %1 está fuera de orden").arg(rota_));
            return romper(rota_, no_sigue(rota_));
        }
        if (!numero)
            return romper(esperada_, QStringLiteral("La entrada %1 fue modificada").arg(esperada_));
        if (secuencia != esperada_)
            return romper(esperada_, QStringLiteral("Falta la entrada %1").arg(esperada_));
        if (!es_hash(anterior) || !hash_de_fila(v, anterior, propio))
            return romper(secuencia, QStringLiteral("La entrada %1 fue modificada").arg(secuencia));
        if (anterior != hashEsperado_) {
            rota_ = secuencia;
            hashRoto_ = hashEsperado_;
        } else {
            ++r_.entradas;
            if (r_.primera == 0) r_.primera = secuencia;
            r_.ultima = secuencia;
        }
        hashEsperado_.assign(propio);
        ++esperada_;
        return {};
    }

    // After the last entry: a broken link with no entry after it.
    void terminar() {
        if (rota_ > 0 && r_.rotura.isEmpty()) static_cast<void>(romper(rota_, no_sigue(rota_)));
    }

private:
    static QString no_sigue(qint64 n) {
        if (n == 1)
            return QStringLiteral(
                "La entrada 1 no empieza la cadena: falta una entrada antes de ella");
        return QStringLiteral("La entrada %1 no sigue a la %2: falta una entrada entre ellas o la "
                              "%2 fue modificada")
            .arg(n)
            .arg(n - 1);
    }
    Fallo romper(qint64 n, const QString& texto_) {
        r_.entradaRota = n;
        r_.rotura = texto_;
        return {kCadenaRota};
    }

    // True when the SHA-256 of `anterior` and the canonical content of the
    // row's fields 1 to 6 is `propio`, 64 lower-case hexadecimal digits.
    bool hash_de_fila(const ValoresFila& v, std::string_view anterior, std::string_view propio) {
        contenido_.clear();
        for (std::size_t i = 1; i <= 6; ++i) {
            char largo[24];
            const auto fin = std::to_chars(largo, largo + sizeof largo, v[i].size()).ptr;
            contenido_.append(largo, fin);
            contenido_ += ':';
            contenido_.append(v[i]);
            contenido_ += ',';
        }
        unsigned char digesto[EVP_MAX_MD_SIZE];
        unsigned int largo = 0;
        if (sha_ == nullptr || EVP_DigestInit_ex(sha_.get(), EVP_sha256(), nullptr) != 1 ||
            EVP_DigestUpdate(sha_.get(), anterior.data(), anterior.size()) != 1 ||
            EVP_DigestUpdate(sha_.get(), contenido_.data(), contenido_.size()) != 1 ||
            EVP_DigestFinal_ex(sha_.get(), digesto, &largo) != 1)
            return false;
        if (propio.size() != static_cast<std::size_t>(largo) * 2) return false;
        static constexpr char kHex[] = "0123456789abcdef";
        for (unsigned int i = 0; i < largo; ++i) {
            const auto b = digesto[i];
            if (propio[static_cast<std::size_t>(2 * i)] != kHex[b >> 4] ||
                propio[static_cast<std::size_t>(2 * i + 1)] != kHex[b & 15])
                return false;
        }
        return true;
    }

    qint64 esperada_;
    std::string hashEsperado_;
    qint64 rota_ = 0;      // an entry whose link does not hold, judged at the next one
    std::string hashRoto_; // the hash it should have linked to
    std::string contenido_;
    // SHA-256 as the writes compute it (hash_auditoria), by OpenSSL: the CPU's
    // SHA instructions where it has them.
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> sha_{EVP_MD_CTX_new(),
                                                                 &EVP_MD_CTX_free};
    VerificacionAuditoria& r_;
};

} // namespace

QString codigo_accion(AccionAuditoria accion) {
    switch (accion) {
    case AccionAuditoria::Inicio:
        return QStringLiteral("inicio");
    case AccionAuditoria::Parada:
        return QStringLiteral("parada");
    case AccionAuditoria::Importacion:
        return QStringLiteral("importacion");
    case AccionAuditoria::CambioAbonado:
        return QStringLiteral("cambio_abonado");
    case AccionAuditoria::Reconocimiento:
        return QStringLiteral("reconocimiento");
    case AccionAuditoria::Acceso:
        return QStringLiteral("acceso");
    case AccionAuditoria::Salida:
        return QStringLiteral("salida");
    case AccionAuditoria::AccesoFallido:
        return QStringLiteral("acceso_fallido");
    case AccionAuditoria::CambioTurno:
        return QStringLiteral("cambio_turno");
    case AccionAuditoria::Nota:
        return QStringLiteral("nota");
    case AccionAuditoria::Cierre:
        return QStringLiteral("cierre");
    case AccionAuditoria::Reapertura:
        return QStringLiteral("reapertura");
    case AccionAuditoria::Restauracion:
        return QStringLiteral("restauracion");
    case AccionAuditoria::AltaOperador:
        return QStringLiteral("alta_operador");
    case AccionAuditoria::BajaOperador:
        return QStringLiteral("baja_operador");
    case AccionAuditoria::ClaveOperador:
        return QStringLiteral("clave_operador");
    }
    return {};
}

bool accion_de_codigo(const QString& codigo, AccionAuditoria& accion) {
    for (int i = static_cast<int>(AccionAuditoria::Inicio);
         i <= static_cast<int>(AccionAuditoria::ClaveOperador); ++i)
        if (codigo_accion(static_cast<AccionAuditoria>(i)) == codigo) {
            accion = static_cast<AccionAuditoria>(i);
            return true;
        }
    return false;
}

QByteArray contenido_canonico(const QString& momento, const QString& puesto,
                              const QString& operador, const QString& accion, const QString& objeto,
                              const QString& detalle) {
    QByteArray r;
    for (const QString* campo : {&momento, &puesto, &operador, &accion, &objeto, &detalle})
        agregar_campo(r, *campo);
    return r;
}

QString hash_auditoria(const QString& anterior, const QByteArray& contenido) {
    QCryptographicHash h(QCryptographicHash::Sha256);
    h.addData(anterior.toLatin1());
    h.addData(contenido);
    return QString::fromLatin1(h.result().toHex());
}

Fallo crear_tabla_auditoria(BaseDatos& base) {
    if (base.dialecto() == Dialecto::PostgreSQL)
        return base.ejecutar(esquema_auditoria::asegurar_postgresql());
    for (const QString& s : esquema_auditoria::crear_sqlite())
        if (Fallo f = base.ejecutar(s)) return f;
    // A table of an older version gains the origin; another process may add it
    // at the same moment, and then this one's addition fails and finds it there.
    const auto con_origen = [&base](bool& hay) {
        std::optional<QVariant> n;
        const Fallo f = primer_valor(
            base,
            QStringLiteral("SELECT count(*) AS n FROM pragma_table_info('%1') WHERE name = ?")
                .arg(kTabla),
            {esquema_auditoria::kColumnaOrigen.nombre}, QStringLiteral("n"), n);
        hay = n && n->toLongLong() > 0;
        return f;
    };
    bool hay = false;
    if (Fallo f = con_origen(hay)) return f;
    if (!hay) {
        const Fallo f = base.ejecutar(esquema_auditoria::kAgregarOrigen);
        if (Fallo g = con_origen(hay)) return g;
        if (!hay) return f;
    }
    return base.ejecutar(esquema_auditoria::kCrearIndiceOrigen);
}

Fallo anotar_auditoria(BaseDatos& base, const std::vector<EntradaAuditoria>& entradas) {
    return anotar_auditoria(base, entradas, {});
}

Fallo anotar_auditoria(BaseDatos& base, const std::vector<EntradaAuditoria>& entradas,
                       const QStringList& origenes) {
    if (entradas.empty()) return {};
    if (Fallo f = crear_tabla_auditoria(base)) return f;
    if (Fallo f = base.comenzarLote()) return f;
    const auto deshacer = [&base](Fallo f) {
        base.deshacerLote();
        return f;
    };
    if (Fallo f = base.ejecutar(base.dialecto() == Dialecto::PostgreSQL
                                    ? esquema_auditoria::kBloqueoAnotacion
                                    : esquema_auditoria::kTomarEscrituraSQLite))
        return deshacer(f);
    std::unique_ptr<Registros> ultima;
    if (Fallo f = base.abrirRegistros(
            QStringLiteral("SELECT audi_secuencia AS s, audi_hash AS h FROM ") + kTabla +
                QStringLiteral(" ORDER BY audi_secuencia DESC LIMIT 1"),
            {}, ultima))
        return deshacer(f);
    qint64 secuencia = 0;
    QString anterior = kHashInicial;
    if (!ultima->alFinal()) {
        QVariant s, h;
        if (Fallo f = ultima->valor(QStringLiteral("s"), s)) return deshacer(f);
        if (Fallo f = ultima->valor(QStringLiteral("h"), h)) return deshacer(f);
        secuencia = s.toLongLong();
        anterior = h.toString();
    }
    ultima->cerrar();
    const QString insertar = esquema_auditoria::insertar();
    const QString buscarOrigen = QStringLiteral("SELECT count(*) AS n FROM ") + kTabla +
                                 QStringLiteral(" WHERE ") +
                                 esquema_auditoria::kColumnaOrigen.nombre + QStringLiteral(" = ?");
    for (size_t i = 0; i < entradas.size(); ++i) {
        const EntradaAuditoria& e = entradas[i];
        const QString origen = texto(origenes.value(static_cast<qsizetype>(i)));
        if (!origen.isEmpty()) {
            std::optional<QVariant> n;
            if (Fallo f = primer_valor(base, buscarOrigen, {origen}, QStringLiteral("n"), n))
                return deshacer(f);
            if (n && n->toLongLong() > 0) continue;
        }
        const QString momento =
            e.momento.isEmpty()
                ? QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                : e.momento;
        const QString accion = codigo_accion(e.accion);
        const QString propio =
            hash_auditoria(anterior, contenido_canonico(momento, e.puesto, e.operador, accion,
                                                        e.objeto, e.detalle));
        if (Fallo f = base.ejecutar(insertar, {++secuencia, momento, texto(e.puesto),
                                               texto(e.operador), accion, texto(e.objeto),
                                               texto(e.detalle), anterior, propio, origen}))
            return deshacer(f);
        anterior = propio;
    }
    return base.confirmarLote();
}

Fallo anotar_auditoria(BaseDatos& base, const EntradaAuditoria& entrada) {
    return anotar_auditoria(base, std::vector<EntradaAuditoria>{entrada});
}

Fallo verificar_auditoria(BaseDatos& base, const QString& desde, const QString& hasta,
                          VerificacionAuditoria& resultado) {
    resultado = {};
    if (Fallo f = tabla_presente(base, resultado.tabla)) return f;
    if (!resultado.tabla) return {};
    qint64 primera = 1, ultima = -1; // -1: to the last entry
    QString anterior = kHashInicial;
    if (!desde.isEmpty() || !hasta.isEmpty()) {
        std::unique_ptr<Registros> r;
        if (Fallo f = base.abrirRegistros(
                QStringLiteral("SELECT min(audi_secuencia) AS a, max(audi_secuencia) AS b "
                               "FROM ") +
                    kTabla + QStringLiteral(" WHERE audi_momento >= ? AND audi_momento <= ?"),
                {texto(desde), hasta.isEmpty() ? QStringLiteral("9999-12-31 23:59:59") : hasta}, r))
            return f;
        QVariant a, b;
        if (!r->alFinal()) {
            if (Fallo f = r->valor(QStringLiteral("a"), a)) return f;
            if (Fallo f = r->valor(QStringLiteral("b"), b)) return f;
        }
        r->cerrar();
        if (a.isNull() || b.isNull()) return {};
        primera = a.toLongLong();
        ultima = b.toLongLong();
        if (primera > 1) {
            std::optional<QVariant> h;
            if (Fallo f = primer_valor(base,
                                       QStringLiteral("SELECT audi_hash AS h FROM ") + kTabla +
                                           QStringLiteral(" WHERE audi_secuencia = ?"),
                                       {primera - 1}, QStringLiteral("h"), h))
                return f;
            if (!h) {
                resultado.entradaRota = primera - 1;
                resultado.rotura = QStringLiteral("Falta la entrada %1").arg(primera - 1);
                return {};
            }
            anterior = h->toString();
        }
    }
    // The bounds are numbers read from the table itself.
    QString sentencia = QStringLiteral("SELECT ") + esquema_auditoria::lista() +
                        QStringLiteral(" FROM ") + kTabla +
                        QStringLiteral(" WHERE audi_secuencia >= ") + QString::number(primera);
    if (ultima >= 0)
        sentencia += QStringLiteral(" AND audi_secuencia <= ") + QString::number(ultima);
    sentencia += QStringLiteral(" ORDER BY audi_secuencia");
    Cadena cadena(primera, anterior, resultado);
    Fallo f =
        base.recorrer(sentencia, [&cadena](const ValoresFila& v) { return cadena.entrada(v); });
    if (f.numero == kCadenaRota) return {};
    if (f) return f;
    cadena.terminar();
    return {};
}

} // namespace corvane
