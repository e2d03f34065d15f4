#include "evento/informe.h"

#include <QStringView>

namespace corvane {

namespace {

// `n` in decimal digits, written at the end of `buf`; the view is valid while `buf` is.
QStringView en_decimal(int n, char16_t (&buf)[12]) {
    const bool negativo = n < 0;
    unsigned v = negativo ? 0u - static_cast<unsigned>(n) : static_cast<unsigned>(n);
    qsizetype i = 12;
    do {
        buf[--i] = static_cast<char16_t>(u'0' + v % 10);
        v /= 10;
    } while (v != 0);
    if (negativo) buf[--i] = u'-';
    return QStringView(buf + i, 12 - i);
}

} // namespace

// The lines are the hot path of a replay: each is built in one allocation, the
// number and the origin digit written in place.
LineasInforme lineas_informe(const FilaEvento& fila) {
    char16_t nivel[12];
    const QStringView nivelTexto = en_decimal(fila.nivel, nivel);
    // A long packet's origin is stored in decimal and shown as the hex digit it
    // was received as; a ten-character packet's as it was stored.
    static constexpr char16_t kHex[] = u"0123456789abcdef";
    QString otroOrigen;
    QStringView origen;
    if (de_paquete_corto(fila)) {
        origen = fila.origen;
    } else {
        // One or two decimal digits, read without a conversion routine.
        const QString& d = fila.origen;
        int o = -1;
        if (d.size() == 1 && d[0].isDigit()) o = d[0].digitValue();
        else if (d.size() == 2 && d[0] == u'1' && d[1].isDigit()) o = 10 + d[1].digitValue();
        if (o >= 0 && o < 16) {
            origen = QStringView(kHex + o, 1);
        } else {
            otroOrigen = origen_mostrado(fila);
            origen = otroOrigen;
        }
    }
    const QStringView hora = QStringView(fila.momento).mid(11, 8);
    LineasInforme l;
    if (de_paquete_corto(fila))
        l.detallada = QStringLiteral("Cuenta=") % fila.abonado % QStringLiteral("  Señal=") % nivelTexto %
                      QStringLiteral("/16  Or=") % origen % QStringLiteral("  Ev=") % fila.evento %
                      QStringLiteral("  ") % hora % QStringLiteral("\r\n");
    else
        l.detallada = QStringLiteral("Cuenta=") % fila.abonado % QStringLiteral("  Señal=") % nivelTexto %
                      QStringLiteral("/16  Or=") % origen % QStringLiteral("  Ev=") % fila.evento %
                      QStringLiteral("  Part=") % fila.particion % QStringLiteral("  Zona=") % fila.zona %
                      QStringLiteral("  ") % hora % QStringLiteral("\r\n");
    l.corta = QStringLiteral("Cuenta=") % fila.abonado % QStringLiteral("  Señal=") % nivelTexto %
              QStringLiteral("/16  Origen=") % origen % QStringLiteral("  ") % hora % QStringLiteral("\r\n");
    return l;
}

} // namespace corvane
