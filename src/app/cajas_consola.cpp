#include "app/cajas_consola.h"

namespace corvane {

namespace {
void poner(std::FILE* destino, const QString& texto) {
    const QByteArray bytes = texto.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), destino);
}
} // namespace

void escribir(std::FILE* destino, const QString& texto) {
    poner(destino, texto);
    std::fflush(destino);
}

void vaciar_salidas() {
    std::fflush(stdout);
    std::fflush(stderr);
}

void amortiguar_errores() {
    static char memoria[64 * 1024];
    std::setvbuf(stderr, memoria, _IOFBF, sizeof memoria);
}

void CajaSalida::ponerTexto(const QString& texto) {
    poner(destino_, texto);
}
void CajaSalida::anteponer(const QString& nuevo) {
    poner(destino_, nuevo);
}

void CajaLinea::ponerTexto(const QString& texto) {
    ultimo_ = texto;
    poner(destino_, texto + QLatin1Char('\n'));
}

void CajaLinea::anteponer(const QString& nuevo) {
    QString linea = nuevo;
    if (linea.endsWith(QLatin1String("\r\n"))) linea.chop(2);
    poner(destino_, linea + QLatin1Char('\n'));
}

void MensajesConsola::mostrar(const QString& texto, const QString& titulo, IconoMensaje) {
    escribir(stderr, titulo + QStringLiteral(": ") + texto + QLatin1Char('\n'));
}

} // namespace corvane
