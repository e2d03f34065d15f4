#include "common/comun.h"

#include <cmath>
#include <limits>

namespace corvane {
namespace {

constexpr double kValorMaximo = std::numeric_limits<qint32>::max();
constexpr qsizetype kLargoMaximo = 32767;
const QString kAlfabeto = QStringLiteral("0123456789ABCDEF");

bool base_soportada(int base) { return base == 2 || base == 8 || base == 10 || base == 16; }

} // namespace

double base_a_decimal(const QString& texto, int base) {
    if (!base_soportada(base) || texto.size() >= kLargoMaximo) return -1;
    const QString mayusculas = texto.toUpper();
    double valor = 0;
    for (const QChar c : mayusculas) {
        const qsizetype digito = kAlfabeto.indexOf(c);
        if (digito < 0 || digito >= base) return -1;
        valor = valor * base + static_cast<double>(digito);
        if (valor > kValorMaximo) return -1;
    }
    return valor;
}

QString decimal_a_base(double valor, int base) {
    if (valor < 0 || !base_soportada(base) || valor > kValorMaximo || std::isnan(valor)) return {};
    auto resto = static_cast<qint32>(valor);
    QString resultado;
    do {
        resultado.prepend(kAlfabeto.at(resto % base));
        resto /= base;
    } while (resto != 0);
    return resultado;
}

QString convertir_base(const QString& texto, int baseOrigen, int baseDestino) {
    const double valor = base_a_decimal(texto, baseOrigen);
    if (valor == -1) return {};
    return decimal_a_base(valor, baseDestino);
}

QString convertir_base_con_ceros(const QString& texto, int baseOrigen, int baseDestino,
                                 int ancho) {
    QString r = convertir_base(texto, baseOrigen, baseDestino).toLower();
    if (r.size() < ancho) r.prepend(QString(ancho - r.size(), QLatin1Char('0')));
    return r;
}

} // namespace corvane
