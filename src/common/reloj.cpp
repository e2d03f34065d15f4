#include "common/reloj.h"

#include <chrono>

namespace corvane {

QString Reloj::texto_hora() const { return ahora().toString(kFormatoHora); }
QString Reloj::texto_fecha() const { return ahora().toString(kFormatoFecha); }

void Reloj::textos(QString& fecha, QString& hora) const {
    const QDateTime momento = ahora();
    fecha = momento.toString(kFormatoFecha);
    hora = momento.toString(kFormatoHora);
}

void RelojSistema::actualizar() const {
    const qint64 segundo = QDateTime::currentMSecsSinceEpoch() / 1000;
    if (segundo == segundo_) return;
    segundo_ = segundo;
    const QDateTime ahora = QDateTime::fromSecsSinceEpoch(segundo);
    hora_ = ahora.toString(kFormatoHora);
    fecha_ = ahora.toString(kFormatoFecha);
}

QString RelojSistema::texto_hora() const {
    actualizar();
    return hora_;
}

QString RelojSistema::texto_fecha() const {
    actualizar();
    return fecha_;
}

void RelojSistema::textos(QString& fecha, QString& hora) const {
    actualizar();
    fecha = fecha_;
    hora = hora_;
}

Instante RelojSistema::instante() const {
    const auto desde = std::chrono::steady_clock::now().time_since_epoch();
    return {QDateTime::currentDateTime(), std::chrono::duration_cast<std::chrono::milliseconds>(desde).count()};
}

} // namespace corvane
