#include "app/modos.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "abonados/registro_abonados.h"
#include "app/cajas_consola.h"
#include "app/camino.h"
#include "common/registro_errores.h"
#include "consola/boton_consulta.h"
#include "consola/exportacion.h"
#include "consola/listado.h"
#include "reception/manejador.h"
#include "store/archivo_base.h"
#include "store/consulta.h"
#include "store/motor.h"

namespace corvane {
namespace {

// Bytes read from a capture at a time: one batch, one commit. 256 KiB keeps the
// commits few (about 90 for a million packets) and the memory of a batch's
// pending reports and rows small.
constexpr qint64 kBloqueLectura = 256 * 1024;
// Not a number of error.log: a listing whose reader went away, which ends it
// without a message (as any write to standard output does).
constexpr qint32 kLectorAusente = -1;
// Milliseconds the end of a replay waits for a central server that takes no row.
constexpr int kEsperaFinalMs = 5000;

// The store of a query, opened without creating or changing anything: the
// SQLite file read-only, a server directly (not through the local queue). An
// event table with other columns fails here, whatever the listing.
Fallo abrir_consulta(const Opciones& o, std::unique_ptr<BaseDatos>& base) {
    if (const Fallo f =
            o.base.isEmpty() ? abrir_base_lectura(ruta_base(o), base) : abrir_motor(o.base, base))
        return f;
    return base->recorrer(sentencia_columnas(), [](const ValoresFila&) { return Fallo{}; });
}

// A listing's bytes straight to standard output, the buffer of escribir()
// emptied first. A reader that stopped reading ends the listing quietly.
Fallo escribir_salida(const QByteArray& bytes) {
    vaciar_salidas();
    const char* p = bytes.constData();
    qsizetype resto = bytes.size();
    while (resto > 0) {
        const ssize_t n = ::write(STDOUT_FILENO, p, static_cast<size_t>(resto));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EPIPE) return {kLectorAusente, {}};
        if (n < 0)
            return {fallos::kMotorGeneral, QStringLiteral("salida estándar: ") +
                                               QString::fromLocal8Bit(std::strerror(errno))};
        p += n;
        resto -= n;
    }
    return {};
}

// A listing of a range, of every account, detailed or CSV, of `base` on
// standard output.
int listar_intervalo(const Opciones& o, BaseDatos& base) {
    const FormaListado forma = o.csv       ? FormaListado::Csv
                               : o.detalle ? FormaListado::Detalle
                                           : FormaListado::Operador;
    qint64 filas = 0;
    Fallo escrito;
    // The register's names and zones are read through a second connection of
    // their own; a register that cannot be read leaves them empty.
    std::unique_ptr<BaseDatos> registro;
    std::unique_ptr<CatalogoAbonados> catalogo;
    if (forma != FormaListado::Operador && !abrir_consulta(o, registro))
        catalogo = std::make_unique<CatalogoAbonados>([&registro] { return registro.get(); });
    const Fallo f = escribir_listado(
        base, {o.todas ? QString() : o.cuenta, o.fecha, o.hasta, o.origen}, forma,
        [&escrito](const QByteArray& bytes) { return escrito = escribir_salida(bytes); }, filas,
        ',', catalogo.get());
    if (escrito.numero == kLectorAusente) return kSalidaCorrecta;
    if (escrito) {
        fallar(QStringLiteral("no se pudo escribir el listado: %1").arg(escrito.detalle));
        return kSalidaBaseIlegible;
    }
    if (f) return fallar_lectura(ruta_base(o), f);
    return kSalidaCorrecta;
}

} // namespace

QString motivo_de(const Fallo& f) {
    QString motivo = mensaje_de_error(f.numero);
    motivo[0] = motivo[0].toLower();
    const QString detalle = f.detalle.simplified();
    if (!detalle.isEmpty()) motivo += QStringLiteral(" (%1)").arg(detalle);
    return motivo;
}

int fallar_lectura(const QString& ruta, const Fallo& f) {
    fallar(QStringLiteral("no se puede leer la base de datos «%1»: %2")
               .arg(sin_clave(ruta), motivo_de(f)));
    return kSalidaBaseIlegible;
}

int abrir_para_listar(const Opciones& o, std::unique_ptr<BaseDatos>& base) {
    QString error;
    if (!preparar_carpeta(o, error)) return fallar(error);
    const QString ruta = ruta_base(o);
    if (const Fallo f =
            o.base.isEmpty() ? abrir_base_lectura(ruta, base) : abrir_motor(o.base, base))
        return fallar_lectura(ruta, f);
    return kSalidaCorrecta;
}

bool preparar_carpeta(const Opciones& o, QString& error) {
    const QString carpeta = carpeta_datos(o);
    if (QDir(carpeta).exists()) return true;
    const bool guarda =
        o.modo == Modo::Ventanas || o.modo == Modo::SinVentana || o.modo == Modo::Reproducir;
    if (o.carpeta.isEmpty() && guarda) {
        if (QDir().mkpath(carpeta)) return true;
        error = QStringLiteral("no se puede crear la carpeta de datos «%1»").arg(carpeta);
        return false;
    }
    error = QStringLiteral("la carpeta de datos «%1» no existe").arg(carpeta);
    return false;
}

QString carpeta_por_omision(Modo modo, const LugaresDatos& lugares) {
    if (!lugares.programa.startsWith(QLatin1String("/usr/"))) return lugares.programa;
    if (modo != Modo::SinVentana) return QDir(lugares.usuario).filePath(QStringLiteral("corvane"));
    const QString estado = lugares.estado.section(QLatin1Char(':'), 0, 0);
    return estado.startsWith(QLatin1Char('/')) ? estado : kCarpetaServicio;
}

QString carpeta_datos(const Opciones& o) {
    if (!o.carpeta.isEmpty()) return o.carpeta;
    return carpeta_por_omision(
        o.modo, {QCoreApplication::applicationDirPath(), qEnvironmentVariable("STATE_DIRECTORY"),
                 QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)});
}

int fallar(const QString& mensaje) {
    escribir(stderr, QStringLiteral("corvane: ") + mensaje + QLatin1Char('\n'));
    return kSalidaError;
}

QString ruta_base(const Opciones& o) {
    return o.base.isEmpty() ? QDir(carpeta_datos(o)).filePath(QStringLiteral("baseTolm.mdb"))
                            : o.base;
}

int modo_reproducir(const Opciones& o) {
    QFile archivo;
    const bool entrada = o.archivo == QLatin1String("-");
    const bool abierto =
        entrada ? archivo.open(STDIN_FILENO, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)
                : (archivo.setFileName(o.archivo), archivo.open(QIODevice::ReadOnly));
    if (!abierto || (!entrada && QFileInfo(o.archivo).isDir()))
        return fallar(QStringLiteral("no se puede leer el archivo «%1»: %2")
                          .arg(o.archivo, archivo.errorString()));
    QString error;
    if (!preparar_carpeta(o, error)) return fallar(error);

    CajaSalida text1(stdout);
    CajaLinea text4(stderr);
    Camino camino(o);
    camino.ponerCajas(&text1, &text4);
    if (const Fallo f = camino.abrirBase()) {
        fallar(f.detalle);
        return kSalidaBaseIlegible;
    }
    camino.guardarAlarmas();
    amortiguar_errores();
    // Each read takes what is there, up to kBloqueLectura: a whole block of a
    // file, or what a pipe has delivered so far, so that a capture piped in live
    // is shown as it arrives. Each read is one batch.
    QByteArray bloque(kBloqueLectura, Qt::Uninitialized);
    std::vector<Fallo> dichos; // what the store met off the receive road
    const int fd = archivo.handle();
    for (;;) {
        const ssize_t leidos = ::read(fd, bloque.data(), static_cast<size_t>(bloque.size()));
        if (leidos < 0 && errno == EINTR) continue;
        if (leidos < 0)
            return fallar(QStringLiteral("error al leer «%1»: %2")
                              .arg(o.archivo, QString::fromLocal8Bit(std::strerror(errno))));
        if (leidos == 0) break;
        camino.manejador().recibir(QByteArray::fromRawData(bloque.constData(), leidos));
        vaciar_salidas();
        revisar_pendientes(camino.estado().bases, 0, nullptr, &dichos);
    }
    // Rows for a central server leave the local queue while the server takes
    // them; what it does not take within kEsperaFinalMs of no progress stays
    // queued for the next start, or is counted lost if not even the queue took it.
    esperar_pendientes(camino.estado().bases, 0, kEsperaFinalMs, {}, &dichos);
    // Each row the server refused for good, once, with the server's words; the
    // replay then did not store all it showed.
    qint64 rechazadas = 0;
    Fallo causa; // the last failure that held the rows back
    for (const Fallo& f : dichos) {
        if (f.numero != fallos::kFilaRechazada) {
            causa = f;
            continue;
        }
        escribir(stderr, QStringLiteral("corvane: ") + f.detalle + QLatin1Char('\n'));
        ++rechazadas;
    }
    if (rechazadas > 0)
        escribir(stderr,
                 QStringLiteral(
                     "corvane: %1 filas rechazadas por el servidor quedan apartadas en la cola "
                     "local (corvane --pendientes las lista)\n")
                     .arg(rechazadas));
    const int salida = camino.terminar(causa ? motivo_de(causa) : QString());
    return salida != kSalidaCorrecta || rechazadas == 0 ? salida : kSalidaPendientes;
}

int modo_consultar(const Opciones& o) {
    QString error;
    if (!preparar_carpeta(o, error)) return fallar(error);
    const QString ruta = ruta_base(o);
    std::unique_ptr<BaseDatos> base;
    if (const Fallo f = abrir_consulta(o, base)) return fallar_lectura(ruta, f);
    // Every listing but one account's day in the operator's lines is written as
    // it is read, straight from the engine.
    if (o.csv || o.detalle || o.todas || o.hasta != o.fecha) return listar_intervalo(o, *base);
    // That one is the search button's listing, on a handle set with no error
    // log: the failure is told here instead, after what was listed before it.
    ConjuntoBases bases;
    bases.base[0] = std::move(base);
    bases.abierta[0] = 1;
    CajaMemoria text3, text2;
    text3.ponerTexto(o.cuenta);
    MensajesConsola mensajes;
    Fallo fallo;
    Command3_Click(text3, 0, o.origen, o.fecha, text2, mensajes, bases, &fallo);
    escribir(stdout, text2.texto());
    if (fallo) return fallar_lectura(ruta, fallo);
    return kSalidaCorrecta;
}

int modo_copia(const Opciones& o) {
    const QFileInfo destino(o.copia);
    if (destino.exists() || destino.isSymLink())
        return fallar(
            QStringLiteral("el destino «%1» ya existe: la copia no sobrescribe nada").arg(o.copia));
    if (!QFileInfo(destino.absolutePath()).isDir())
        return fallar(
            QStringLiteral("la carpeta del destino «%1» no existe").arg(destino.absolutePath()));
    QString error;
    if (!preparar_carpeta(o, error)) return fallar(error);
    const QString origen = ruta_base(o);
    if (const Fallo f = comprobar_base_legible(origen)) return fallar_lectura(origen, f);
    // Made here and only if it is still missing: a file that appeared since the
    // check above is not overwritten either.
    const int fd = ::open(QFile::encodeName(o.copia).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return fallar(QStringLiteral("no se puede crear la copia «%1»: %2")
                          .arg(o.copia, QString::fromLocal8Bit(std::strerror(errno))));
    ::close(fd);
    if (const Fallo f = copiar_base(origen, o.copia)) {
        QFile::remove(o.copia);
        fallar(QStringLiteral("no se pudo copiar «%1» en «%2»: %3")
                   .arg(origen, o.copia, motivo_de(f)));
        return kSalidaBaseIlegible;
    }
    escribir(stdout, QStringLiteral("Copia de «%1» escrita en «%2»\n").arg(origen, o.copia));
    return kSalidaCorrecta;
}

} // namespace corvane
