#include "cola/bloqueo_cola.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "cola/cola_pendientes.h"
#include "common/registro_errores.h"
#include "store/direccion_postgresql.h"
#include "store/motor_postgresql.h"

namespace corvane {
namespace {

QString nombre_de_cola(int i) {
    return i == 1 ? QStringLiteral("pendientes") : QStringLiteral("pendientes-%1").arg(i);
}

// True when the queue at `ruta` holds nothing that waits: no file, or no row.
bool cola_vacia(const QString& ruta) {
    if (!QFileInfo::exists(ruta)) return true;
    ColaPendientes cola;
    if (cola.abrir_lectura(ruta)) return false;
    qint64 eventos = 0, alarmas = 0;
    std::vector<FilaRechazada> rechazadas;
    return !cola.contar(eventos) && eventos == 0 && !cola.contar_alarmas(alarmas) && alarmas == 0 &&
           !cola.leer_rechazadas(rechazadas) && rechazadas.empty();
}

QByteArray leer_todo(int fd) {
    QByteArray r;
    char bloque[512];
    ::lseek(fd, 0, SEEK_SET);
    for (ssize_t n; (n = ::read(fd, bloque, sizeof bloque)) > 0;) r.append(bloque, n);
    return r;
}

} // namespace

QString destino_de_cola(const QString& base) {
    if (!es_url_postgresql(base)) return QFileInfo(base).absoluteFilePath();
    DireccionPostgreSQL d;
    if (leer_direccion_postgresql(base, d)) return QStringLiteral("postgresql");
    QStringList partes;
    for (size_t i = 0; i < d.servidores.size(); ++i) {
        const QString& puerto = d.puertos.size() == d.servidores.size() ? d.puertos[i]
                                : d.puertos.empty()                     ? QString()
                                                                        : d.puertos.front();
        partes << d.servidores[i] + QLatin1Char(':') + puerto;
    }
    return QStringLiteral("postgresql %1/%2 %3")
        .arg(partes.join(QLatin1Char(',')), d.base, d.usuario);
}

BloqueoCola::~BloqueoCola() {
    soltar();
}

void BloqueoCola::soltar() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

Fallo BloqueoCola::tomar(const QString& carpeta, const QString& destino, QString& cola) {
    const QDir dir(carpeta);
    const QByteArray nuestro = destino.toUtf8() + '\n';
    // The free queues found, locked meanwhile, best first: one that names this
    // target; else one that holds rows (a target's address changed: its rows go
    // where this console stores); else an empty one.
    struct Libre {
        int fd;
        int rango;
        QString ruta;
    };
    std::vector<Libre> libres;
    bool algunCierre = false;
    for (int i = 1; i <= kColasPorCarpeta; ++i) {
        const QString nombre = nombre_de_cola(i);
        const QString ruta = dir.filePath(nombre + QStringLiteral(".db"));
        const QString cerrojo = dir.filePath(nombre + QStringLiteral(".bloqueo"));
        const bool nueva = !QFileInfo::exists(cerrojo) && !QFileInfo::exists(ruta);
        // The first slot never used ends the look, once a free queue was found.
        if (nueva && !libres.empty()) break;
        const int fd =
            ::open(QFile::encodeName(cerrojo).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            // Nothing can be created in the folder: nor can any console write a
            // queue there.
            if (!algunCierre) {
                cola = ruta;
                return {};
            }
            break;
        }
        algunCierre = true;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            continue;
        }
        const QByteArray suyo = leer_todo(fd);
        const int rango = suyo == nuestro ? 0 : !cola_vacia(ruta) ? 1 : 2;
        libres.push_back({fd, rango, ruta});
        if (rango == 0) break;
    }
    if (libres.empty())
        return {fallos::kBloqueada,
                QStringLiteral(
                    "las %1 colas de la carpeta de datos «%2» están en uso por otras consolas")
                    .arg(kColasPorCarpeta)
                    .arg(QDir::toNativeSeparators(carpeta))};
    const auto mejor =
        std::min_element(libres.begin(), libres.end(),
                         [](const Libre& a, const Libre& b) { return a.rango < b.rango; });
    for (const Libre& l : libres)
        if (&l != &*mejor) ::close(l.fd);
    fd_ = mejor->fd;
    cola = mejor->ruta;
    if (mejor->rango != 0) {
        const bool escrito = ::ftruncate(fd_, 0) == 0 &&
                             ::pwrite(fd_, nuestro.constData(), static_cast<size_t>(nuestro.size()),
                                      0) == static_cast<ssize_t>(nuestro.size());
        static_cast<void>(escrito); // a full disk: the lock holds all the same
    }
    return {};
}

} // namespace corvane
