#include "consola/vigilancia.h"

#include "common/reloj.h"

namespace corvane {

namespace {

QString hora(const Instante& t) {
    return t.pared.toString(kFormatoHora);
}

// A line of the log: the text between three asterisks on each side.
QString destacada(const QString& texto) {
    return QStringLiteral("*** ") + texto + QStringLiteral(" ***");
}

} // namespace

void Vigilancia::abierto(const Instante& t) {
    abierto_ = true;
    ultimo_ = t;
    silencioDesde_ = {};
    perdidoA_ = {};
}

CambioVigilado Vigilancia::cerrado() {
    CambioVigilado c;
    if (enSilencio() || puertoPerdido()) c.estado = QString();
    abierto_ = false;
    silencioDesde_ = {};
    perdidoA_ = {};
    return c;
}

CambioVigilado Vigilancia::llegada(const Instante& t) {
    CambioVigilado c;
    if (enSilencio()) {
        const QString texto =
            QStringLiteral("Receptor activo de nuevo a las %1 (sin actividad %2 s)")
                .arg(hora(t))
                .arg(silencioDesde_.segundosHasta(t));
        c.linea = destacada(texto);
        c.estado = texto;
        silencioDesde_ = {};
    }
    ultimo_ = t;
    return c;
}

CambioVigilado Vigilancia::revisar(const Instante& t) {
    CambioVigilado c;
    if (segundos_ <= 0 || !abierto_ || puertoPerdido() || enSilencio() || !ultimo_.valido() ||
        ultimo_.segundosHasta(t) < segundos_)
        return c;
    silencioDesde_ = ultimo_;
    const QString texto =
        QStringLiteral("Receptor sin actividad desde %1").arg(hora(silencioDesde_));
    c.linea = destacada(texto);
    c.estado = texto;
    c.alerta = true;
    c.registrar = true;
    return c;
}

CambioVigilado Vigilancia::perdido(const QString& puerto, const Instante& t, const QString& causa) {
    puerto_ = puerto;
    perdidoA_ = t;
    ultimoIntento_ = t;
    causa_ = causa;
    CambioVigilado c;
    c.linea = destacada(QStringLiteral("Puerto %1 perdido a las %2").arg(puerto_, hora(t)));
    c.estado = textoPerdido() + QStringLiteral("   ") + hora(t);
    c.alerta = true;
    return c;
}

CambioVigilado Vigilancia::reintento(const Instante& t, const QString& causa) {
    CambioVigilado c;
    if (!puertoPerdido()) return c;
    ultimoIntento_ = t;
    causa_ = causa;
    c.estado = textoPerdido() + QStringLiteral("   ") + hora(t);
    c.alerta = true;
    return c;
}

CambioVigilado Vigilancia::recuperado(const Instante& t) {
    CambioVigilado c;
    if (!puertoPerdido()) return c;
    perdidoA_ = {};
    const QString texto = QStringLiteral("Puerto %1 recuperado a las %2").arg(puerto_, hora(t));
    c.linea = destacada(texto);
    c.estado = texto;
    // A silence that began before the loss lasts until characters arrive.
    if (!enSilencio()) ultimo_ = t;
    return c;
}

QString Vigilancia::textoPerdido() const {
    QString texto =
        QStringLiteral("Puerto %1 perdido a las %2; reintentando").arg(puerto_, hora(perdidoA_));
    if (!causa_.isEmpty()) texto += QStringLiteral(" (") + causa_ + QLatin1Char(')');
    return texto;
}

QStringList Vigilancia::alertas() const {
    QStringList r;
    if (puertoPerdido()) r << textoPerdido();
    if (enSilencio())
        r << QStringLiteral("Receptor sin actividad desde %1").arg(hora(silencioDesde_));
    return r;
}

} // namespace corvane
