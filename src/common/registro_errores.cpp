#include "common/registro_errores.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace corvane {

QString mensaje_de_error(qint32 numero) {
    switch (numero) {
    case fallos::kIndiceFueraDeRango:
        return QStringLiteral("Subíndice fuera del intervalo");
    case fallos::kSinObjeto:
        return QStringLiteral("No hay base de datos ni consulta abierta en esa posición");
    case fallos::kMotorGeneral:
        return QStringLiteral("Error del motor de base de datos");
    case fallos::kArchivoNoEncontrado:
        return QStringLiteral("No se encuentra o no se puede abrir el archivo de base de datos");
    case fallos::kAccesoRechazado:
        return QStringLiteral("El servidor rechazó el usuario o la contraseña");
    case fallos::kDiscoLleno:
        return QStringLiteral("No hay espacio suficiente en el disco");
    case fallos::kSoloLectura:
        return QStringLiteral("La base de datos es de solo lectura");
    case fallos::kSentenciaRechazada:
        return QStringLiteral("El motor de base de datos rechazó la sentencia");
    case fallos::kFilaRechazada:
        return QStringLiteral("El servidor rechazó una fila; quedó apartada en la cola local");
    case fallos::kConexionPerdida:
        return QStringLiteral("Se perdió la conexión con el servidor de base de datos");
    case fallos::kBloqueada:
        return QStringLiteral("La base de datos está bloqueada por otro proceso");
    case fallos::kNoEsBaseDeDatos:
        return QStringLiteral("El archivo no es una base de datos reconocible");
    case fallos::kColaRecuperada:
        return QStringLiteral(
            "La cola de pendientes estaba dañada: se apartó y se recuperaron sus filas legibles");
    case fallos::kPuertoInexistente:
        return QStringLiteral("No hay un puerto serie con ese nombre");
    case fallos::kPuertoOcupado:
        return QStringLiteral("El puerto serie está en uso o no hay permiso para abrirlo");
    case fallos::kPuertoRechazado:
        return QStringLiteral("El puerto serie rechazó la configuración o falló");
    case fallos::kReceptorSinActividad:
        return QStringLiteral("El receptor no envió ningún carácter en el tiempo de vigilancia");
    case fallos::kEventosPerdidos:
        return QStringLiteral("Eventos mostrados que no se guardaron ni quedaron en la cola local");
    default:
        return QStringLiteral("Error definido por la aplicación o el objeto");
    }
}

QString registro_de_error(qint32 numero, const QString& etiqueta, const Reloj& reloj) {
    const QString fin = QStringLiteral("\r\n");
    // Date and time from two readings of the clock, date first.
    const QString fecha = reloj.ahora().toString(QStringLiteral("dd/MM/yyyy"));
    const QString hora = reloj.ahora().toString(QStringLiteral("HH:mm:ss"));
    QString r = QStringLiteral("****** Error *******") + fin;
    r += QStringLiteral("Fecha: ") + fecha + QStringLiteral(" Hora: ") + hora + fin;
    r += QStringLiteral("Error: ") + QString::number(numero) + QLatin1Char(' ') +
         mensaje_de_error(numero) + fin;
    if (!etiqueta.isEmpty()) r += etiqueta + fin;
    return r;
}

RegistroErrores::RegistroErrores(QString carpeta, const Reloj& reloj)
    : carpeta_(std::move(carpeta)), reloj_(reloj) {}

QString RegistroErrores::ruta() const { return QDir(carpeta_).filePath(QStringLiteral("error.log")); }

void RegistroErrores::registrar_error(qint32 numero, const QString& etiqueta) const {
    const QByteArray registro = registro_de_error(numero, etiqueta, reloj_).toUtf8();
    QFile archivo(ruta());
    if (archivo.open(QIODevice::WriteOnly | QIODevice::Append) &&
        archivo.write(registro) == registro.size() && archivo.flush()) {
        return;
    }
    std::fwrite(registro.constData(), 1, static_cast<size_t>(registro.size()), stderr);
}

} // namespace corvane
