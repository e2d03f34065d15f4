#include "store/texto_copia.h"

namespace corvane {

void agregar_copia(QByteArray& datos, const char* valor, size_t largo, bool primera) {
    if (!primera) datos += '\t';
    for (size_t i = 0; i < largo; ++i) {
        const char ch = valor[i];
        if (ch == '\\')
            datos += "\\\\";
        else if (ch == '\t')
            datos += "\\t";
        else if (ch == '\n')
            datos += "\\n";
        else if (ch == '\r')
            datos += "\\r";
        else
            datos += ch;
    }
}

const ValoresFila& LectorCopia::leer(const char* linea, size_t largo) {
    if (largo > 0 && linea[largo - 1] == '\n') --largo;
    std::string& buffer = buffer_;
    std::vector<size_t>& limites = limites_;
    buffer.clear();
    limites.clear();
    limites.push_back(0);
    size_t i = 0;
    while (i < largo) {
        // A run of plain characters is copied at once.
        size_t j = i;
        while (j < largo && linea[j] != '\t' && linea[j] != '\\') ++j;
        buffer.append(linea + i, j - i);
        if (j == largo) break;
        if (linea[j] == '\t') {
            limites.push_back(buffer.size());
            i = j + 1;
            continue;
        }
        if (j + 1 == largo) { // a backslash that ends the line stands for itself
            buffer += '\\';
            break;
        }
        i = j + 1;
        const char sig = linea[i++];
        switch (sig) {
        case 'N':
            break; // NULL: empty
        case 'b':
            buffer += '\b';
            break;
        case 'f':
            buffer += '\f';
            break;
        case 'n':
            buffer += '\n';
            break;
        case 'r':
            buffer += '\r';
            break;
        case 't':
            buffer += '\t';
            break;
        case 'v':
            buffer += '\v';
            break;
        default:
            if (sig >= '0' && sig <= '7') {
                // Up to three octal digits.
                int v = sig - '0';
                for (int k = 0; k < 2 && i < largo && linea[i] >= '0' && linea[i] <= '7'; ++k)
                    v = v * 8 + (linea[i++] - '0');
                buffer += static_cast<char>(v);
            } else {
                buffer += sig;
            }
        }
    }
    limites.push_back(buffer.size());
    valores_.resize(limites.size() - 1);
    for (size_t k = 0; k + 1 < limites.size(); ++k)
        valores_[k] = std::string_view(buffer.data() + limites[k], limites[k + 1] - limites[k]);
    return valores_;
}

} // namespace corvane
