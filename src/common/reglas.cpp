#include "common/reglas.h"

namespace corvane {

namespace {

bool es_cifra(QChar c) {
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

} // namespace

QStringList textos_velocidades() {
    QStringList r;
    for (const qint32 v : kVelocidades) r << QString::number(v);
    return r;
}

bool es_puerto_numerado(const QString& puerto) {
    if (puerto.isEmpty() || puerto.size() > 9 || puerto.front() == u'0') return false;
    for (const QChar c : puerto)
        if (!es_cifra(c)) return false;
    return puerto.toInt() <= kPuertosNumerados;
}

bool es_caracter_de_cuenta(char16_t codigo) {
    return (codigo >= u'0' && codigo <= u'9') || (codigo >= u'b' && codigo <= u'f');
}

bool cuenta_valida(const QString& cuenta) {
    if (cuenta.isEmpty() || cuenta.size() > kLargoCuenta) return false;
    for (const QChar c : cuenta)
        if (!es_caracter_de_cuenta(c.unicode())) return false;
    return true;
}

bool es_url_postgresql(const QString& ruta) {
    return ruta.startsWith(QLatin1String("postgresql://")) ||
           ruta.startsWith(QLatin1String("postgres://"));
}

} // namespace corvane
