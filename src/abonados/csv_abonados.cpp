#include "abonados/csv_abonados.h"

#include <algorithm>

namespace corvane {

bool utf8_valido(std::string_view texto, size_t& malo) {
    const auto* p = reinterpret_cast<const unsigned char*>(texto.data());
    const size_t n = texto.size();
    size_t i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t largo = 0;
        unsigned minimo = 0, cp = 0;
        if ((c & 0xE0) == 0xC0)
            largo = 2, minimo = 0x80, cp = c & 0x1Fu;
        else if ((c & 0xF0) == 0xE0)
            largo = 3, minimo = 0x800, cp = c & 0x0Fu;
        else if ((c & 0xF8) == 0xF0)
            largo = 4, minimo = 0x10000, cp = c & 0x07u;
        if (largo == 0 || i + largo > n) {
            malo = i;
            return false;
        }
        for (size_t k = 1; k < largo; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) {
                malo = i;
                return false;
            }
            cp = (cp << 6) | (p[i + k] & 0x3Fu);
        }
        if (cp < minimo || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            malo = i;
            return false;
        }
        i += largo;
    }
    return true;
}

LectorCsv::LectorCsv(std::string_view texto) : t_(texto) {
    if (t_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
}

bool LectorCsv::siguiente(std::vector<std::string_view>& valores, qint64& linea, QString& error) {
    error.clear();
    valores.clear();
    const size_t n = t_.size();
    const char* d = t_.data();
    const auto fin_de_linea = [&](size_t i) {
        return d[i] == '\n' || (d[i] == '\r' && i + 1 < n && d[i + 1] == '\n');
    };
    // Lines with nothing on them.
    while (pos_ < n && fin_de_linea(pos_)) {
        pos_ += d[pos_] == '\r' ? 2 : 1;
        ++linea_;
    }
    linea = linea_;
    if (pos_ >= n) return false;
    buffer_.clear();
    trozos_.clear();
    const auto fallar = [&](const char* motivo) {
        error = QString::fromUtf8(motivo);
        pos_ = n;
        return false;
    };
    for (;;) {
        if (pos_ < n && d[pos_] == '"') {
            ++pos_;
            Trozo trozo{false, pos_, 0};
            for (;;) {
                const size_t comilla = t_.find('"', pos_);
                if (comilla == std::string_view::npos)
                    return fallar("unas comillas abiertas no se cierran");
                linea_ += std::count(d + pos_, d + comilla, '\n');
                if (comilla + 1 < n && d[comilla + 1] == '"') {
                    // A doubled quote: the value is undone into the buffer.
                    if (!trozo.propio) trozo = {true, buffer_.size(), 0};
                    buffer_.append(d + pos_, comilla + 1 - pos_);
                    pos_ = comilla + 2;
                    continue;
                }
                if (trozo.propio) {
                    buffer_.append(d + pos_, comilla - pos_);
                    trozo.largo = buffer_.size() - trozo.inicio;
                } else {
                    trozo.largo = comilla - trozo.inicio;
                }
                pos_ = comilla + 1;
                break;
            }
            trozos_.push_back(trozo);
            if (pos_ < n && d[pos_] != ',' && !fin_de_linea(pos_))
                return fallar("hay texto tras las comillas que cierran un valor");
        } else {
            const size_t inicio = pos_;
            while (pos_ < n && d[pos_] != ',' && d[pos_] != '\n') {
                if (d[pos_] == '"') return fallar("un valor sin comillas contiene comillas");
                ++pos_;
            }
            size_t fin = pos_;
            if (pos_ < n && d[pos_] == '\n' && fin > inicio && d[fin - 1] == '\r') --fin;
            trozos_.push_back({false, inicio, fin - inicio});
        }
        if (pos_ < n && d[pos_] == ',') {
            ++pos_;
            continue;
        }
        if (pos_ < n) {
            // The record's end: LF, or CR LF.
            pos_ += d[pos_] == '\r' ? 2 : 1;
            ++linea_;
        }
        break;
    }
    for (const Trozo& t : trozos_)
        valores.emplace_back(t.propio ? std::string_view(buffer_).substr(t.inicio, t.largo)
                                      : t_.substr(t.inicio, t.largo));
    return true;
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

} // namespace corvane
