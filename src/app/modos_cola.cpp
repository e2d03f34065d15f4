// The local queues of a data folder seen and mended from the command line:
// --pendientes lists what waits and what the server refused, connecting
// nowhere and creating nothing; --reenviar-rechazadas sends the refused rows
// again, once the operator has mended the server's table.

#include <QDir>
#include <QFileInfo>

#include <atomic>

#include "app/cajas_consola.h"
#include "app/modos.h"
#include "cola/cola_pendientes.h"
#include "cola/reenvio.h"
#include "common/registro_errores.h"

namespace corvane {
namespace {

// "corvane: no hay ninguna cola de pendientes en «D»" on standard output; true
// when there is at least one queue file.
bool hay_colas(const QString& carpeta, const QStringList& colas) {
    if (!colas.isEmpty()) return true;
    escribir(stdout, QStringLiteral("No hay ninguna cola de pendientes en «%1»\n").arg(carpeta));
    return false;
}

QString motivo(const Fallo& f) {
    QString m = mensaje_de_error(f.numero);
    m[0] = m[0].toLower();
    return f.detalle.isEmpty() ? m : QStringLiteral("%1 (%2)").arg(m, f.detalle.simplified());
}

} // namespace

int modo_pendientes(const Opciones& o) {
    QString error;
    if (!preparar_carpeta(o, error)) return fallar(error);
    const QString carpeta = carpeta_datos(o);
    const QStringList colas = archivos_de_cola(carpeta);
    if (!hay_colas(carpeta, colas)) return kSalidaCorrecta;
    bool algo = false, ilegible = false;
    for (const QString& ruta : colas) {
        const QString nombre = QFileInfo(ruta).fileName();
        ColaPendientes cola;
        qint64 eventos = 0, alarmas = 0, auditoria = 0;
        std::vector<FilaRechazada> rechazadas;
        Fallo f = cola.abrir_lectura(ruta);
        if (!f) f = cola.contar(eventos);
        if (!f) f = cola.contar_alarmas(alarmas);
        if (!f) f = cola.contar_auditoria(auditoria);
        if (!f) f = cola.leer_rechazadas(rechazadas);
        if (f) {
            escribir(stderr, QStringLiteral("corvane: no se puede leer la cola «%1»: %2\n")
                                 .arg(ruta, motivo(f)));
            ilegible = true;
            continue;
        }
        escribir(stdout,
                 QStringLiteral("%1: %2 eventos pendientes, %3 escrituras de alarmas pendientes, "
                                "%4 entradas de auditoría pendientes, %5 filas rechazadas\n")
                     .arg(nombre)
                     .arg(eventos)
                     .arg(alarmas)
                     .arg(auditoria)
                     .arg(rechazadas.size()));
        for (const FilaRechazada& r : rechazadas)
            escribir(stdout,
                     QStringLiteral("  rechazada el %1: abonado %2, %3: %4 %5\n")
                         .arg(r.momento, r.fila.abonado, r.fila.momento, r.estado, r.mensaje));
        algo = algo || eventos > 0 || alarmas > 0 || auditoria > 0 || !rechazadas.empty();
    }
    return algo || ilegible ? kSalidaPendientes : kSalidaCorrecta;
}

int modo_reenviar_rechazadas(const Opciones& o) {
    QString error;
    if (!preparar_carpeta(o, error)) return fallar(error);
    const QString carpeta = carpeta_datos(o);
    const QStringList colas = archivos_de_cola(carpeta);
    if (!hay_colas(carpeta, colas)) return kSalidaCorrecta;
    const std::atomic<bool> parar{false};
    bool todas = true;
    for (const QString& ruta : colas) {
        ColaPendientes cola;
        ResultadoReenvio r;
        Fallo f = cola.abrir(ruta);
        if (!f) f = reenviar_rechazadas(cola, o.base, parar, r);
        escribir(stdout,
                 QStringLiteral("%1: %2 filas rechazadas guardadas, %3 rechazadas de nuevo\n")
                     .arg(QFileInfo(ruta).fileName())
                     .arg(r.guardadas)
                     .arg(r.rechazadas));
        if (f)
            escribir(stderr,
                     QStringLiteral(
                         "corvane: no se pudieron reenviar las filas rechazadas de «%1»: %2\n")
                         .arg(ruta, motivo(f)));
        todas = todas && !f && r.rechazadas == 0;
    }
    return todas ? kSalidaCorrecta : kSalidaPendientes;
}

} // namespace corvane
