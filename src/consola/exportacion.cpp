#include "consola/exportacion.h"

#include <QDate>
#include <QSaveFile>
#include <QTime>

#include <charconv>
#include <string>
#include <unordered_map>

#include "abonados/registro_abonados.h"
#include "common/registro_errores.h"
#include "decoding/codigos_evento.h"
#include "store/esquema.h"

namespace corvane {
namespace {

// Bytes gathered before they go to the output: few writes, little memory.
constexpr qsizetype kBloqueSalida = 128 * 1024;
// The detailed line: the class in a column this wide (the longest name), and the
// description cut so that the line ends by this column.
constexpr qsizetype kAnchoClase = 15;
constexpr qsizetype kAnchoTerminal = 80;
constexpr qsizetype kAnchoCodigos = 4; // event, partition and zone columns
// "  Ev=XXXX Part=XXXX Zona=XXXX " and the class column with its blank.
constexpr qsizetype kAntesDeDescripcion =
    2 + 3 + kAnchoCodigos + 6 + kAnchoCodigos + 6 + kAnchoCodigos + 1 + kAnchoClase + 1;
// Distinct event texts whose texts are kept; past it they are worked out again.
constexpr size_t kEventosGuardados = 4096;

// Where each value of a row is: the SELECT names esquema::kColumnas in order.
size_t columna(QString FilaEvento::*texto) {
    for (size_t i = 0; i < esquema::kColumnas.size(); ++i)
        if (esquema::kColumnas[i].texto == texto) return i;
    return esquema::kColumnas.size();
}

struct Posiciones {
    size_t abonado = columna(&FilaEvento::abonado);
    size_t nivel = columna(nullptr);
    size_t momento = columna(&FilaEvento::momento);
    size_t origen = columna(&FilaEvento::origen);
    size_t evento = columna(&FilaEvento::evento);
    size_t particion = columna(&FilaEvento::particion);
    size_t zona = columna(&FilaEvento::zona);
};

void agregar(QByteArray& o, std::string_view v) {
    o.append(v.data(), static_cast<qsizetype>(v.size()));
}

// Characters (not bytes) of UTF-8 text.
qsizetype caracteres(std::string_view v) {
    qsizetype n = 0;
    for (const char c : v) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return n;
}

// `v`, then blanks up to `ancho` characters.
void agregar_ancho(QByteArray& o, std::string_view v, qsizetype ancho) {
    agregar(o, v);
    for (qsizetype n = caracteres(v); n < ancho; ++n) o += ' ';
}

// RFC 4180: a value holding the separator, a double quote or a line break goes
// between double quotes, its double quotes doubled.
void agregar_csv(QByteArray& o, std::string_view v, char separador) {
    const char especiales[] = {separador, '"', '\r', '\n'};
    if (v.find_first_of(especiales, 0, std::size(especiales)) == std::string_view::npos) {
        agregar(o, v);
        return;
    }
    o += '"';
    for (const char c : v) {
        if (c == '"') o += '"';
        o += c;
    }
    o += '"';
}

// A stored moment "yyyy-MM-dd HH:mm:ss" (both engines give it so) with its
// numbers; false for any other text.
bool leer_momento(std::string_view v, int (&n)[6]) {
    if (v.size() != 19 || v[4] != '-' || v[7] != '-' || v[10] != ' ' || v[13] != ':' ||
        v[16] != ':')
        return false;
    const size_t inicio[6] = {0, 5, 8, 11, 14, 17};
    const size_t largo[6] = {4, 2, 2, 2, 2, 2};
    for (int i = 0; i < 6; ++i) {
        const char* p = v.data() + inicio[i];
        const auto r = std::from_chars(p, p + largo[i], n[i]);
        if (r.ec != std::errc() || r.ptr != p + largo[i]) return false;
    }
    return QDate::isValid(n[0], n[1], n[2]) && QTime::isValid(n[3], n[4], n[5]);
}

// The level and the origin as the operator's line reads them (consultar_historial):
// a whole number, and a number, blanks around them allowed.
bool leer_numeros(std::string_view nivelTexto, std::string_view origenTexto, qlonglong& nivel,
                  double& origen) {
    bool nivelOk = false, origenOk = false;
    nivel = QByteArray::fromRawData(nivelTexto.data(), static_cast<qsizetype>(nivelTexto.size()))
                .trimmed()
                .toLongLong(&nivelOk);
    origen = QByteArray::fromRawData(origenTexto.data(), static_cast<qsizetype>(origenTexto.size()))
                 .trimmed()
                 .toDouble(&origenOk);
    return nivelOk && origenOk;
}

// The texts that an event text brings, worked out once per distinct text.
struct TextosEvento {
    QByteArray csv;     // ",descripción,clase" for the end of a CSV row
    QByteArray detalle; // the class column and the description, cut, for the detailed line
};

class TextosDeEventos {
public:
    explicit TextosDeEventos(char separador) : separador_(separador) {}
    const TextosEvento& de(std::string_view evento) {
        const auto it = guardados_.find(std::string(evento));
        if (it != guardados_.end()) return it->second;
        if (guardados_.size() >= kEventosGuardados) guardados_.clear();
        const QString texto =
            QString::fromUtf8(evento.data(), static_cast<qsizetype>(evento.size()));
        const QByteArray descripcion = describir_evento(texto).toUtf8();
        const QByteArray clase = nombre_clase(clasificar_evento(texto).clase).toUtf8();
        TextosEvento t;
        t.csv += separador_;
        agregar_csv(t.csv, {descripcion.constData(), static_cast<size_t>(descripcion.size())},
                    separador_);
        t.csv += separador_;
        agregar_csv(t.csv, {clase.constData(), static_cast<size_t>(clase.size())}, separador_);
        agregar_ancho(t.detalle, {clase.constData(), static_cast<size_t>(clase.size())},
                      kAnchoClase);
        t.detalle += ' ';
        QString d = QString::fromUtf8(descripcion);
        const qsizetype sitio = kAnchoTerminal - kAntesDeDescripcion;
        if (d.size() > sitio) d = d.left(sitio - 1) + QStringLiteral("…");
        t.detalle += d.toUtf8();
        return guardados_.emplace(std::string(evento), std::move(t)).first->second;
    }

private:
    char separador_;
    std::unordered_map<std::string, TextosEvento> guardados_;
};

// What the register says of a row's account and zone, in each form's bytes.
class TextosDeAbonados {
public:
    explicit TextosDeAbonados(CatalogoAbonados* catalogo) : catalogo_(catalogo) {}
    // The name and the zone's description; empty without a catalogue.
    void de(std::string_view cuenta, std::string_view particion, std::string_view zona,
            QByteArray& nombre, QByteArray& descripcion) {
        nombre.clear();
        descripcion.clear();
        if (catalogo_ == nullptr) return;
        if (cuenta != cuenta_) {
            cuenta_.assign(cuenta);
            cuentaTexto_ = QString::fromUtf8(cuenta.data(), static_cast<qsizetype>(cuenta.size()));
            const std::optional<QString> n = catalogo_->nombre(cuentaTexto_);
            registrada_ = n.has_value();
            nombre_ = n.value_or(QString()).toUtf8();
        }
        nombre = nombre_;
        if (!registrada_) return;
        descripcion =
            catalogo_
                ->descripcionZona(
                    cuentaTexto_,
                    QString::fromUtf8(particion.data(), static_cast<qsizetype>(particion.size())),
                    QString::fromUtf8(zona.data(), static_cast<qsizetype>(zona.size())))
                .toUtf8();
    }

private:
    CatalogoAbonados* catalogo_;
    std::string cuenta_ = std::string(1, '\0'); // no account is a NUL
    QString cuentaTexto_;
    bool registrada_ = false;
    QByteArray nombre_;
};

class Escritor {
public:
    Escritor(FormaListado forma, const SalidaListado& salida, char separador,
             CatalogoAbonados* catalogo)
        : forma_(forma), salida_(salida), separador_(separador), textos_(separador),
          abonados_(catalogo) {
        bloque_.reserve(kBloqueSalida + 1024);
    }

    Fallo fila(const ValoresFila& v) {
        if (v.size() != esquema::kColumnas.size())
            return {fallos::kSentenciaRechazada,
                    QStringLiteral("la consulta no da las columnas de la tabla")};
        if (forma_ == FormaListado::Csv)
            csv(v);
        else if (Fallo f = operador(v))
            return f;
        if (forma_ == FormaListado::Detalle) detalle(v);
        ++filas_;
        return bloque_.size() >= kBloqueSalida ? vaciar() : Fallo{};
    }

    Fallo vaciar() {
        if (bloque_.isEmpty()) return {};
        Fallo f = salida_(bloque_);
        bloque_.clear();
        return f;
    }

    QByteArray& bloque() { return bloque_; }
    qint64 filas() const { return filas_; }

private:
    void csv(const ValoresFila& v) {
        for (size_t i = 0; i < v.size(); ++i) {
            if (i > 0) bloque_ += separador_;
            // The moment in ISO form: "2026-12-06T14:27:13".
            int n[6];
            if (i == p_.momento && leer_momento(v[i], n)) {
                agregar(bloque_, v[i].substr(0, 10));
                bloque_ += 'T';
                agregar(bloque_, v[i].substr(11));
            } else {
                agregar_csv(bloque_, v[i], separador_);
            }
        }
        bloque_ += textos_.de(v[p_.evento]).csv;
        abonados_.de(v[p_.abonado], v[p_.particion], v[p_.zona], nombre_, descripcion_);
        bloque_ += separador_;
        agregar_csv(bloque_, {nombre_.constData(), static_cast<size_t>(nombre_.size())},
                    separador_);
        bloque_ += separador_;
        agregar_csv(bloque_, {descripcion_.constData(), static_cast<size_t>(descripcion_.size())},
                    separador_);
        bloque_ += "\r\n";
    }

    // The account-day listing's line (linea_historial), built from the values as
    // stored.
    Fallo operador(const ValoresFila& v) {
        qlonglong nivel = 0;
        double origen = 0;
        if (!leer_numeros(v[p_.nivel], v[p_.origen], nivel, origen))
            return {fallos::kSentenciaRechazada,
                    QStringLiteral("nivel u origen que no es un número")};
        bloque_ += "Cuenta=";
        agregar(bloque_, v[p_.abonado]);
        bloque_ += "  Se\xc3\xb1"
                   "al=";
        bloque_ += QByteArray::number(nivel);
        bloque_ += "  Origen=";
        if (origen == 0) {
            bloque_ += "Dir     ";
        } else {
            bloque_ += "Rep ";
            agregar(bloque_, v[p_.origen]);
            bloque_ += "   ";
        }
        bloque_ += "Hora=";
        int n[6];
        const std::string_view m = v[p_.momento];
        if (leer_momento(m, n)) {
            agregar(bloque_, m.substr(8, 2));
            bloque_ += '/';
            agregar(bloque_, m.substr(5, 2));
            bloque_ += '/';
            agregar(bloque_, m.substr(0, 4));
            agregar(bloque_, m.substr(10));
        } else {
            agregar(bloque_, m);
        }
        bloque_ += "\r\n";
        return {};
    }

    void detalle(const ValoresFila& v) {
        bloque_ += "  Ev=";
        agregar_ancho(bloque_, v[p_.evento], kAnchoCodigos);
        bloque_ += " Part=";
        agregar_ancho(bloque_, v[p_.particion], kAnchoCodigos);
        bloque_ += " Zona=";
        agregar_ancho(bloque_, v[p_.zona], kAnchoCodigos);
        bloque_ += ' ';
        bloque_ += textos_.de(v[p_.evento]).detalle;
        bloque_ += "\r\n";
        // The register's name and zone, on a line of their own cut at 80 columns,
        // for a registered account only.
        abonados_.de(v[p_.abonado], v[p_.particion], v[p_.zona], nombre_, descripcion_);
        if (nombre_.isEmpty() && descripcion_.isEmpty()) return;
        QString l = QStringLiteral("  Abonado: ") + QString::fromUtf8(nombre_);
        if (!descripcion_.isEmpty())
            l += QStringLiteral("  Zona: ") + QString::fromUtf8(descripcion_);
        l.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
        if (l.size() > kAnchoTerminal) l = l.left(kAnchoTerminal - 1) + QStringLiteral("…");
        bloque_ += l.toUtf8();
        bloque_ += "\r\n";
    }

    FormaListado forma_;
    const SalidaListado& salida_;
    QByteArray bloque_;
    qint64 filas_ = 0;
    char separador_;
    Posiciones p_;
    TextosDeEventos textos_;
    TextosDeAbonados abonados_;
    QByteArray nombre_, descripcion_;
};

} // namespace

char separador_csv(FormatoCsv formato) {
    return formato == FormatoCsv::HojaDeCalculo ? ';' : ',';
}

QByteArray cabecera_csv(char separador) {
    QByteArray r;
    for (const esquema::Columna& c : esquema::kColumnas) r += c.nombre.toUtf8() + separador;
    return r + "descripcion" + separador + "clase" + separador + "nombre_abonado" + separador +
           "descripcion_zona\r\n";
}

Fallo escribir_listado(BaseDatos& base, const ConsultaIntervalo& c, FormaListado forma,
                       const SalidaListado& salida, qint64& filas, char separador,
                       CatalogoAbonados* catalogo) {
    Escritor escritor(forma, salida, separador, catalogo);
    if (forma == FormaListado::Csv) escritor.bloque() += cabecera_csv(separador);
    Fallo f = base.recorrer(sentencia_intervalo(c),
                            [&escritor](const ValoresFila& v) { return escritor.fila(v); });
    filas = escritor.filas();
    if (!f && filas == 0 && forma != FormaListado::Csv) escritor.bloque() += kSinRegistros.toUtf8();
    // A statement that fails before its first row lists nothing, not even the
    // CSV header: a header alone reads as a day without events.
    if (f && filas == 0) escritor.bloque().clear();
    // What was listed before a failure is still written.
    const Fallo escrito = escritor.vaciar();
    return f ? f : escrito;
}

Fallo exportar_csv(BaseDatos& base, const ConsultaIntervalo& c, const QString& ruta, qint64& filas,
                   FormatoCsv formato, CatalogoAbonados* catalogo) {
    QSaveFile archivo(ruta);
    const auto fallo_archivo = [&archivo] {
        return Fallo{fallos::kArchivoNoEncontrado, archivo.errorString()};
    };
    if (!archivo.open(QIODevice::WriteOnly)) return fallo_archivo();
    // The byte-order mark that tells a spreadsheet the text is UTF-8.
    if (formato == FormatoCsv::HojaDeCalculo && archivo.write("\xEF\xBB\xBF", 3) != 3) {
        archivo.cancelWriting();
        return fallo_archivo();
    }
    const Fallo f = escribir_listado(
        base, c, FormaListado::Csv,
        [&](const QByteArray& bytes) {
            return archivo.write(bytes) == bytes.size() ? Fallo{} : fallo_archivo();
        },
        filas, separador_csv(formato), catalogo);
    if (f) {
        archivo.cancelWriting();
        return f;
    }
    return archivo.commit() ? Fallo{} : fallo_archivo();
}

} // namespace corvane
