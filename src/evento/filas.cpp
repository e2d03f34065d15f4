#include "evento/filas.h"

namespace corvane {

bool de_paquete_corto(const FilaEvento& fila) {
    return fila.origenTodos == kRelleno;
}

QString origen_mostrado(const FilaEvento& fila) {
    if (de_paquete_corto(fila)) return fila.origen;
    // The stored decimal value back to the hex digit it was received as.
    return QString::number(fila.origen.toInt(), 16);
}

QString hora_de(const FilaEvento& fila) {
    return fila.momento.mid(11, 8);
}

void FilasCompactas::agregar(const FilaEvento& fila) {
    if (inicios_.empty()) inicios_.push_back(0);
    for (QString FilaEvento::*texto : FilaEvento::kTextos) {
        textos_ += fila.*texto;
        inicios_.push_back(static_cast<qint32>(textos_.size()));
    }
    niveles_.push_back(fila.nivel);
}

FilaEvento FilasCompactas::fila(size_t i) const {
    FilaEvento f;
    f.nivel = niveles_[i];
    size_t k = i * FilaEvento::kTextos.size();
    for (QString FilaEvento::*texto : FilaEvento::kTextos) {
        f.*texto = textos_.mid(inicios_[k], inicios_[k + 1] - inicios_[k]);
        if ((f.*texto).isNull()) f.*texto = QLatin1String("");
        ++k;
    }
    return f;
}

void FilasCompactas::clear() {
    textos_.clear();
    inicios_.clear();
    niveles_.clear();
}

} // namespace corvane
