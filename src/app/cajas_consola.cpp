#include "app/cajas_consola.h"

namespace corvane {

void escribir(std::FILE* destino, const QString& texto) {
    const QByteArray bytes = texto.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), destino);
    std::fflush(destino);
}

void CajaSalida::ponerTexto(const QString& texto) { escribir(destino_, texto); }
void CajaSalida::anteponer(const QString& nuevo) { escribir(destino_, nuevo); }

void CajaLinea::ponerTexto(const QString& texto) {
    ultimo_ = texto;
    escribir(destino_, texto + QLatin1Char('\n'));
}

void MensajesConsola::mostrar(const QString& texto, const QString& titulo, IconoMensaje) {
    escribir(stderr, titulo + QStringLiteral(": ") + texto + QLatin1Char('\n'));
}

} // namespace corvane
