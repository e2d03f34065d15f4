#include "store/direccion_postgresql.h"

#include <QByteArray>

#include "common/registro_errores.h"

namespace corvane {
namespace {

Fallo no_valida(const QString& porque) {
    return {fallos::kArchivoNoEncontrado, QStringLiteral("dirección de base no válida: ") + porque};
}

bool es_hexadecimal(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Percent-decoding, as UTF-8; false on a "%" not followed by two hexadecimal digits.
bool decodificar(const QString& texto, QString& r) {
    const QByteArray bytes = texto.toUtf8();
    for (qsizetype i = 0; i < bytes.size(); ++i)
        if (bytes[i] == '%' && (i + 2 >= bytes.size() || !es_hexadecimal(bytes[i + 1]) ||
                                !es_hexadecimal(bytes[i + 2])))
            return false;
    r = QString::fromUtf8(QByteArray::fromPercentEncoding(bytes));
    return true;
}

// A port: empty (libpq's default), or a decimal number from 1 to 65535.
bool es_puerto(const QString& p) {
    if (p.isEmpty()) return true;
    if (p.size() > 5) return false;
    for (const QChar c : p)
        if (c.unicode() < u'0' || c.unicode() > u'9') return false;
    const int n = p.toInt();
    return n >= 1 && n <= 65535;
}

// One "servidor[:puerto]" of the host list; an IPv6 address in brackets.
Fallo leer_servidor(const QString& texto, QString& servidor, QString& puerto) {
    QString resto = texto;
    if (resto.startsWith(QLatin1Char('['))) {
        const qsizetype cierre = resto.indexOf(QLatin1Char(']'));
        if (cierre < 0) return no_valida(QStringLiteral("falta «]» en «%1»").arg(texto));
        servidor = resto.mid(1, cierre - 1);
        resto = resto.mid(cierre + 1);
        if (!resto.isEmpty() && !resto.startsWith(QLatin1Char(':')))
            return no_valida(QStringLiteral("«%1» tras «]»").arg(resto));
        puerto = resto.mid(1);
    } else {
        const qsizetype dosPuntos = resto.indexOf(QLatin1Char(':'));
        if (!decodificar(resto.left(dosPuntos), servidor))
            return no_valida(QStringLiteral("«%» mal escrito en «%1»").arg(texto));
        puerto = dosPuntos < 0 ? QString() : resto.mid(dosPuntos + 1);
    }
    if (servidor.isEmpty()) return no_valida(QStringLiteral("falta el servidor"));
    if (!es_puerto(puerto)) return no_valida(QStringLiteral("puerto «%1»").arg(puerto));
    return {};
}

// The items of a comma-separated parameter (host, port).
std::vector<QString> lista(const QString& valor) {
    std::vector<QString> r;
    for (const QString& v : valor.split(QLatin1Char(','))) r.push_back(v);
    return r;
}

} // namespace

Fallo leer_direccion_postgresql(const QString& url, DireccionPostgreSQL& d) {
    d = {};
    qsizetype inicio = -1;
    for (const QLatin1String prefijo : {QLatin1String("postgresql://"), QLatin1String("postgres://")})
        if (url.startsWith(prefijo)) inicio = prefijo.size();
    if (inicio < 0) return no_valida(QStringLiteral("no empieza por postgresql://"));

    // The authority ends at the path or the query; the user information at its first "@".
    qsizetype fin = inicio;
    while (fin < url.size() && url[fin] != u'/' && url[fin] != u'?') ++fin;
    QString autoridad = url.mid(inicio, fin - inicio);
    if (const qsizetype arroba = autoridad.indexOf(QLatin1Char('@')); arroba >= 0) {
        const QString usuario = autoridad.left(arroba);
        const qsizetype dosPuntos = usuario.indexOf(QLatin1Char(':'));
        if (!decodificar(usuario.left(dosPuntos), d.usuario) ||
            (dosPuntos >= 0 && !decodificar(usuario.mid(dosPuntos + 1), d.clave)))
            return no_valida(QStringLiteral("«%» mal escrito en el usuario o la clave"));
        autoridad = autoridad.mid(arroba + 1);
    }
    for (const QString& uno : autoridad.split(QLatin1Char(','))) {
        QString servidor, puerto;
        if (Fallo f = leer_servidor(uno, servidor, puerto)) {
            // No host at all is libpq's default one, which a parameter may still name.
            if (autoridad.isEmpty()) break;
            return f;
        }
        d.servidores.push_back(servidor);
        d.puertos.push_back(puerto);
    }

    qsizetype consulta = url.indexOf(QLatin1Char('?'), fin);
    if (consulta < 0) consulta = url.size();
    if (fin < consulta && !decodificar(url.mid(fin + 1, consulta - fin - 1), d.base))
        return no_valida(QStringLiteral("«%» mal escrito en la base"));
    if (consulta < url.size()) {
        for (const QString& parametro : url.mid(consulta + 1).split(QLatin1Char('&'))) {
            const qsizetype igual = parametro.indexOf(QLatin1Char('='));
            QString nombre, valor;
            if (igual <= 0 || !decodificar(parametro.left(igual), nombre) ||
                !decodificar(parametro.mid(igual + 1), valor))
                return no_valida(QStringLiteral("parámetro «%1»").arg(parametro.left(igual)));
            if (nombre == QLatin1String("host")) d.servidores = lista(valor);
            else if (nombre == QLatin1String("port")) d.puertos = lista(valor);
            else if (nombre == QLatin1String("dbname")) d.base = valor;
            else if (nombre == QLatin1String("user")) d.usuario = valor;
            else if (nombre == QLatin1String("password")) d.clave = valor;
            else d.parametros.emplace_back(nombre, valor);
        }
    }
    if (d.servidores.empty()) return no_valida(QStringLiteral("falta el servidor"));
    for (const QString& s : d.servidores)
        if (s.isEmpty()) return no_valida(QStringLiteral("falta el servidor"));
    if (d.puertos.empty()) d.puertos.emplace_back();
    for (const QString& p : d.puertos)
        if (!es_puerto(p)) return no_valida(QStringLiteral("puerto «%1»").arg(p));
    if (d.puertos.size() != 1 && d.puertos.size() != d.servidores.size())
        return no_valida(QStringLiteral("%1 servidores y %2 puertos")
                             .arg(d.servidores.size())
                             .arg(d.puertos.size()));
    return {};
}

} // namespace corvane
