// The account register's command-line modes: import, export and an account's card.

#include <QDateTime>
#include <QSysInfo>

#include "abonados/archivos_abonados.h"
#include "app/cajas_consola.h"
#include "app/modos.h"
#include "auditoria/auditoria.h"
#include "common/registro_errores.h"
#include "store/archivo_base.h"
#include "store/motor.h"

namespace corvane {
namespace {

// The store that the export and the card read: the SQLite file read-only (a
// file of an older version without the register's tables lists an empty
// register), or the server.
Fallo abrir_lectura(const Opciones& o, std::unique_ptr<BaseDatos>& base) {
    return o.base.isEmpty() ? abrir_base_lectura(ruta_base(o), base) : abrir_motor(o.base, base);
}

} // namespace

int modo_importar_abonados(const Opciones& o) {
    // The files are looked at before the store is opened: a folder that is not
    // there creates nothing.
    if (!QFileInfo(o.carpetaAbonados).isDir())
        return fallar(QStringLiteral("la carpeta «%1» no existe").arg(o.carpetaAbonados));
    QString error;
    if (!preparar_carpeta(o, error)) return fallar(error);
    const QString ruta = ruta_base(o);
    std::unique_ptr<BaseDatos> base;
    if (const Fallo f = abrir_motor(ruta, base)) return fallar_lectura(ruta, f);
    QString rechazo;
    ResumenImportacion r;
    const QString momento =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const Fallo f = importar_abonados(*base, o.carpetaAbonados, momento,
                                      QSysInfo::machineHostName(), rechazo, r);
    if (!rechazo.isEmpty()) return fallar(rechazo);
    if (f) {
        fallar(QStringLiteral("no se pudo guardar el registro de abonados en «%1»: %2")
                   .arg(sin_clave(ruta), motivo_de(f)));
        return kSalidaBaseIlegible;
    }
    // The import is stored: an audit entry that cannot be written is told and
    // logged, and leaves the import as it is.
    EntradaAuditoria e;
    e.momento = momento;
    e.puesto = QSysInfo::machineHostName();
    e.accion = AccionAuditoria::Importacion;
    e.objeto = QFileInfo(o.carpetaAbonados).absoluteFilePath();
    e.detalle = QStringLiteral("%1 abonados, %2 zonas, %3 contactos, %4 instrucciones")
                    .arg(r.abonados)
                    .arg(r.zonas)
                    .arg(r.contactos)
                    .arg(r.instrucciones);
    if (const Fallo a = anotar_auditoria(*base, e)) {
        escribir(stderr, QStringLiteral("corvane: la importación no quedó en la auditoría: %1\n")
                             .arg(motivo_de(a)));
        RelojSistema reloj;
        RegistroErrores(carpeta_datos(o), reloj)
            .registrar_error(a.numero, QStringLiteral("auditoria"));
    }
    escribir(stdout,
             QStringLiteral("Importados: %1 abonados, %2 zonas, %3 contactos, %4 instrucciones\n")
                 .arg(r.abonados)
                 .arg(r.zonas)
                 .arg(r.contactos)
                 .arg(r.instrucciones));
    return kSalidaCorrecta;
}

int modo_exportar_abonados(const Opciones& o) {
    QString error;
    if (!preparar_carpeta(o, error)) return fallar(error);
    const QString ruta = ruta_base(o);
    std::unique_ptr<BaseDatos> base;
    if (const Fallo f = abrir_lectura(o, base)) return fallar_lectura(ruta, f);
    QString rechazo;
    ResumenImportacion r;
    const Fallo f = exportar_abonados(*base, o.carpetaAbonados, rechazo, r);
    if (!rechazo.isEmpty()) return fallar(rechazo);
    if (f) return fallar_lectura(ruta, f);
    escribir(stdout,
             QStringLiteral("Exportados: %1 abonados, %2 zonas, %3 contactos, %4 instrucciones\n")
                 .arg(r.abonados)
                 .arg(r.zonas)
                 .arg(r.contactos)
                 .arg(r.instrucciones));
    return kSalidaCorrecta;
}

int modo_abonado(const Opciones& o) {
    QString error;
    if (!preparar_carpeta(o, error)) return fallar(error);
    const QString ruta = ruta_base(o);
    std::unique_ptr<BaseDatos> base;
    if (const Fallo f = abrir_lectura(o, base)) return fallar_lectura(ruta, f);
    bool registrado = false;
    QString ficha;
    if (const Fallo f = ficha_abonado(*base, o.abonado, registrado, ficha))
        return fallar_lectura(ruta, f);
    if (!registrado) {
        escribir(stderr,
                 QStringLiteral("corvane: El abonado %1 no está registrado\n").arg(o.abonado));
        return kSalidaNoRegistrado;
    }
    escribir(stdout, ficha);
    return kSalidaCorrecta;
}

} // namespace corvane
