#include "store/literales.h"

#include <QRegularExpression>

namespace corvane {

QString traducir_sentencia(const QString& sentencia, Dialecto dialecto) {
    if (!sentencia.contains(QLatin1Char('#'))) return sentencia;
    static const QRegularExpression kLiteral(
        QStringLiteral("#(\\d{4})/(\\d{2})/(\\d{2}) (\\d{2}:\\d{2}:\\d{2})#"));
    QString r;
    r.reserve(sentencia.size() + 16);
    bool entreComillas = false;
    for (qsizetype i = 0; i < sentencia.size(); ++i) {
        const QChar c = sentencia.at(i);
        if (c == QLatin1Char('\'')) entreComillas = !entreComillas;
        if (c == QLatin1Char('#') && !entreComillas) {
            const auto m = kLiteral.match(sentencia, i, QRegularExpression::NormalMatch,
                                          QRegularExpression::AnchorAtOffsetMatchOption);
            if (m.hasMatch()) {
                const QString momento = m.captured(1) + QLatin1Char('-') + m.captured(2) +
                                        QLatin1Char('-') + m.captured(3) + QLatin1Char(' ') +
                                        m.captured(4);
                if (dialecto == Dialecto::PostgreSQL) r += QStringLiteral("TIMESTAMP ");
                r += QLatin1Char('\'') + momento + QLatin1Char('\'');
                i += m.capturedLength(0) - 1;
                continue;
            }
        }
        r += c;
    }
    return r;
}

} // namespace corvane
