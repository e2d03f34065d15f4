#include "abonados/csv_abonados.h"

namespace corvane {

bool LectorCsv::siguiente(QStringList& valores, qint64& linea, QString& error) {
    error.clear();
    const qsizetype n = t_.size();
    const QChar* d = t_.constData();
    for (;;) {
        valores.clear();
        linea = linea_;
        if (pos_ >= n) return false;
        // A line with nothing on it.
        if (d[pos_] == u'\n' || (d[pos_] == u'\r' && pos_ + 1 < n && d[pos_ + 1] == u'\n')) {
            pos_ += d[pos_] == u'\r' ? 2 : 1;
            ++linea_;
            continue;
        }
        for (;;) {
            QString valor;
            if (pos_ < n && d[pos_] == u'"') {
                ++pos_;
                for (;;) {
                    const qsizetype comilla = t_.indexOf(u'"', pos_);
                    if (comilla < 0) {
                        error = QStringLiteral("unas comillas abiertas no se cierran");
                        pos_ = n;
                        return false;
                    }
                    const QStringView trozo(d + pos_, comilla - pos_);
                    linea_ += trozo.count(u'\n');
                    valor += trozo;
                    pos_ = comilla + 1;
                    if (pos_ < n && d[pos_] == u'"') {
                        valor += u'"';
                        ++pos_;
                        continue;
                    }
                    break;
                }
                if (pos_ < n && d[pos_] != u',' && d[pos_] != u'\n' &&
                    !(d[pos_] == u'\r' && pos_ + 1 < n && d[pos_ + 1] == u'\n')) {
                    error = QStringLiteral("hay texto tras las comillas que cierran un valor");
                    pos_ = n;
                    return false;
                }
            } else {
                const qsizetype inicio = pos_;
                while (pos_ < n && d[pos_] != u',' && d[pos_] != u'\n') {
                    if (d[pos_] == u'"') {
                        error = QStringLiteral("un valor sin comillas contiene comillas");
                        pos_ = n;
                        return false;
                    }
                    ++pos_;
                }
                qsizetype fin = pos_;
                if (pos_ < n && d[pos_] == u'\n' && fin > inicio && d[fin - 1] == u'\r') --fin;
                valor = QString(d + inicio, fin - inicio);
            }
            valores << valor;
            if (pos_ >= n) return true;
            if (d[pos_] == u',') {
                ++pos_;
                continue;
            }
            // The record's end: LF, or CR LF.
            if (d[pos_] == u'\r') ++pos_;
            ++pos_;
            ++linea_;
            return true;
        }
    }
}

void agregar_valor_csv(QByteArray& fila, std::string_view valor, bool primero) {
    if (!primero) fila += ',';
    if (valor.find_first_of(",\"\r\n") == std::string_view::npos) {
        fila.append(valor.data(), static_cast<qsizetype>(valor.size()));
        return;
    }
    fila += '"';
    for (const char c : valor) {
        if (c == '"') fila += '"';
        fila += c;
    }
    fila += '"';
}

void agregar_valor_csv(QByteArray& fila, const QString& valor, bool primero) {
    const QByteArray u = valor.toUtf8();
    agregar_valor_csv(fila, std::string_view(u.constData(), static_cast<size_t>(u.size())), primero);
}

} // namespace corvane
