#include "app/modos.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/cajas_consola.h"
#include "common/reloj.h"
#include "reception/manejador.h"
#include "store/consulta.h"
#include "store/funcionesBaseDatos.h"

namespace corvane {
namespace {

// Bytes read from a capture at a time: one batch, one commit. 256 KiB keeps the
// commits few (about 90 for a million packets) and the memory of a batch's
// pending reports and rows small.
constexpr qint64 kBloqueLectura = 256 * 1024;
// Milliseconds the end of a replay waits for a central server that takes no row.
constexpr int kEsperaFinalMs = 5000;

} // namespace

// Opens the event database as the main window does when it loads.
void abrir_como_ventana(EstadoProceso& estado, const Opciones& o) {
    inic_base_de_datos(estado.bases);
    abrir_base_de_datos(ruta_base(o), 0, estado.bases);
    estado.verCuentaOnline = false;
    estado.estadoRx = kEstadoN;
}

namespace {


} // namespace

bool preparar_carpeta(const Opciones& o, QString& error) {
    const QString carpeta = carpeta_datos(o);
    if (!QDir(carpeta).exists()) {
        error = QStringLiteral("la carpeta de datos «%1» no existe").arg(carpeta);
        return false;
    }
    return true;
}

namespace {

QString campo_csv(const QString& valor) {
    if (!valor.contains(QLatin1Char(',')) && !valor.contains(QLatin1Char('"'))) return valor;
    QString r = valor;
    r.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + r + QLatin1Char('"');
}

} // namespace

QString carpeta_datos(const Opciones& o) {
    return o.carpeta.isEmpty() ? QCoreApplication::applicationDirPath() : o.carpeta;
}

int fallar(const QString& mensaje) {
    escribir(stderr, QStringLiteral("corvane: ") + mensaje + QLatin1Char('\n'));
    return kSalidaError;
}

QString ruta_base(const Opciones& o) {
    return o.base.isEmpty() ? QDir(carpeta_datos(o)).filePath(QStringLiteral("baseTolm.mdb")) : o.base;
}

int modo_reproducir(const Opciones& o) {
    QFile archivo;
    const bool entrada = o.archivo == QLatin1String("-");
    const bool abierto = entrada ? archivo.open(STDIN_FILENO, QIODevice::ReadOnly, QFileDevice::DontCloseHandle)
                                 : (archivo.setFileName(o.archivo), archivo.open(QIODevice::ReadOnly));
    if (!abierto || (!entrada && QFileInfo(o.archivo).isDir()))
        return fallar(QStringLiteral("no se puede leer el archivo «%1»: %2").arg(o.archivo, archivo.errorString()));
    QString error;
    if (!preparar_carpeta(o, error)) return fallar(error);

    Proceso p(o);
    abrir_como_ventana(p.estado, o);
    CajaSalida text1(stdout);
    CajaLinea text4(stderr);
    ManejadorRx manejador(p.estado, text1, text4, p.reloj);
    amortiguar_errores();
    // Each read takes what is there, up to kBloqueLectura: a whole block of a
    // file, or what a pipe has delivered so far, so that a capture piped in live
    // is shown as it arrives. Each read is one batch.
    QByteArray bloque(kBloqueLectura, Qt::Uninitialized);
    const int fd = archivo.handle();
    for (;;) {
        const ssize_t leidos = ::read(fd, bloque.data(), static_cast<size_t>(bloque.size()));
        if (leidos < 0 && errno == EINTR) continue;
        if (leidos < 0)
            return fallar(QStringLiteral("error al leer «%1»: %2")
                              .arg(o.archivo, QString::fromLocal8Bit(std::strerror(errno))));
        if (leidos == 0) break;
        manejador.recibir(QByteArray::fromRawData(bloque.constData(), leidos));
        vaciar_salidas();
        revisar_pendientes(p.estado.bases, 0);
    }
    // Rows for a central server leave the local queue while the server takes
    // them; what it does not take within kEsperaFinalMs of no progress stays
    // queued for the next start.
    const qint64 quedan = esperar_pendientes(p.estado.bases, 0, kEsperaFinalMs);
    if (quedan > 0) {
        escribir(stderr, QStringLiteral("corvane: quedan %1 eventos pendientes en la cola local; se guardarán "
                                        "en la base al próximo inicio\n")
                             .arg(quedan));
        return kSalidaPendientes;
    }
    return kSalidaCorrecta;
}

int modo_consultar(const Opciones& o) {
    QString error;
    if (!preparar_carpeta(o, error)) return fallar(error);
    Proceso p(o);
    EstadoProceso& estado = p.estado;
    abrir_como_ventana(estado, o);
    if (!o.csv) {
        CajaMemoria text3, text2;
        text3.ponerTexto(o.cuenta);
        MensajesConsola mensajes;
        Command3_Click(text3, 0, o.origen, o.fecha, text2, mensajes, estado.bases);
        escribir(stdout, text2.texto());
        return kSalidaCorrecta;
    }
    // CSV for auditors and spreadsheets: the same rows, the moment in ISO form,
    // a header line and nothing more when there are none.
    const auto fila_csv = [](const FilaHistorial& f) -> QString {
        return campo_csv(f.abonado) + QLatin1Char(',') + QString::number(f.nivel) + QLatin1Char(',') +
               campo_csv(f.origen) + QLatin1Char(',') +
               (f.momento.isValid() ? f.momento.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
                                    : campo_csv(f.momentoTexto)) +
               QStringLiteral("\r\n");
    };
    escribir(stdout, QStringLiteral("cuenta,nivel,origen,momento\r\n") +
                         consultar_historial(sentencia_historial(o.cuenta, 0, o.origen, o.fecha), 0, 0,
                                             estado.bases, fila_csv, QString()));
    return kSalidaCorrecta;
}

} // namespace corvane
