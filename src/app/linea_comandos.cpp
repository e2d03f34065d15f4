#include "app/linea_comandos.h"

#include <QRegularExpression>

namespace corvane {
namespace {

const QStringList kVelocidades = {QStringLiteral("1200"), QStringLiteral("4800"),
                                  QStringLiteral("9600"), QStringLiteral("19200")};

// Options that take a value, and the value's name in messages.
bool toma_valor(const QString& opcion) {
    static const QStringList kConValor = {
        QStringLiteral("--reproducir"), QStringLiteral("--carpeta"), QStringLiteral("--base"),
        QStringLiteral("--puerto"),     QStringLiteral("--velocidad"), QStringLiteral("--consultar"),
        QStringLiteral("--fecha"),      QStringLiteral("--origen")};
    return kConValor.contains(opcion);
}

int indice_origen(const QString& valor) {
    if (valor == QLatin1String("todos")) return 0;
    if (valor == QLatin1String("directo")) return 1;
    static const QRegularExpression kNumero(QStringLiteral("^(?:[1-9]|1[0-5])$"));
    if (kNumero.match(valor).hasMatch()) return valor.toInt() + 1;
    return -1;
}

} // namespace

bool cuenta_valida(const QString& cuenta) {
    static const QRegularExpression kCuenta(QStringLiteral("^[0-9b-f]{1,4}$"));
    return kCuenta.match(cuenta).hasMatch();
}

LineaComandos analizar_linea_comandos(const QStringList& argumentos) {
    LineaComandos r;
    Opciones& o = r.opciones;
    const auto fallar = [&r](const QString& mensaje) {
        r.error = mensaje;
        return r;
    };
    QStringList vistas;
    bool sinVentana = false;
    for (qsizetype i = 0; i < argumentos.size(); ++i) {
        const QString opcion = argumentos.at(i);
        if (opcion == QLatin1String("--ayuda") || opcion == QLatin1String("--help") ||
            opcion == QLatin1String("-h")) {
            o.modo = Modo::Ayuda;
            return r;
        }
        if (vistas.contains(opcion)) return fallar(QStringLiteral("la opción %1 está repetida").arg(opcion));
        vistas << opcion;
        if (opcion == QLatin1String("--sin-ventana")) {
            sinVentana = true;
            continue;
        }
        if (opcion == QLatin1String("--csv")) {
            o.csv = true;
            continue;
        }
        if (!toma_valor(opcion)) {
            if (opcion.startsWith(QLatin1Char('-')) && opcion != QLatin1String("-"))
                return fallar(QStringLiteral("opción desconocida: %1").arg(opcion));
            return fallar(QStringLiteral("argumento inesperado: %1").arg(opcion));
        }
        if (i + 1 >= argumentos.size() ||
            (argumentos.at(i + 1).startsWith(QLatin1String("--")))) {
            return fallar(QStringLiteral("falta el valor de la opción %1").arg(opcion));
        }
        const QString valor = argumentos.at(++i);
        if (valor.isEmpty()) return fallar(QStringLiteral("el valor de la opción %1 está vacío").arg(opcion));
        if (opcion == QLatin1String("--reproducir")) {
            o.archivo = valor;
        } else if (opcion == QLatin1String("--carpeta")) {
            o.carpeta = valor;
        } else if (opcion == QLatin1String("--base")) {
            if (!valor.startsWith(QLatin1String("postgresql://")) && !valor.startsWith(QLatin1String("postgres://")))
                return fallar(QStringLiteral("--base espera una dirección postgresql://usuario@servidor:puerto/base"));
            o.base = valor;
        } else if (opcion == QLatin1String("--puerto")) {
            static const QRegularExpression kNumero(QStringLiteral("^(?:[1-9]|1[0-9]|20)$"));
            if (!kNumero.match(valor).hasMatch() && !valor.startsWith(QLatin1Char('/')))
                return fallar(QStringLiteral("--puerto espera un número de 1 a 20 o la ruta de un dispositivo, no «%1»").arg(valor));
            o.puerto = valor;
        } else if (opcion == QLatin1String("--velocidad")) {
            if (!kVelocidades.contains(valor))
                return fallar(QStringLiteral("--velocidad espera 1200, 4800, 9600 o 19200, no «%1»").arg(valor));
            o.velocidad = valor.toInt();
        } else if (opcion == QLatin1String("--consultar")) {
            if (!cuenta_valida(valor))
                return fallar(QStringLiteral("cuenta no válida «%1»: de 1 a 4 caracteres entre 0-9 y b-f").arg(valor));
            o.cuenta = valor;
        } else if (opcion == QLatin1String("--fecha")) {
            o.fecha = QDate::fromString(valor, QStringLiteral("yyyy-MM-dd"));
            if (!o.fecha.isValid())
                return fallar(QStringLiteral("fecha no válida «%1»: se espera AAAA-MM-DD").arg(valor));
        } else if (opcion == QLatin1String("--origen")) {
            o.origen = indice_origen(valor);
            if (o.origen < 0)
                return fallar(QStringLiteral("origen no válido «%1»: se espera todos, directo o de 1 a 15").arg(valor));
        }
    }

    const int modos = (sinVentana ? 1 : 0) + (vistas.contains(QStringLiteral("--reproducir")) ? 1 : 0) +
                      (vistas.contains(QStringLiteral("--consultar")) ? 1 : 0);
    if (modos > 1) return fallar(QStringLiteral("--reproducir, --sin-ventana y --consultar no se combinan"));
    const bool deConsulta = vistas.contains(QStringLiteral("--fecha")) ||
                            vistas.contains(QStringLiteral("--origen")) || o.csv;
    const bool dePuerto = vistas.contains(QStringLiteral("--velocidad"));
    if (!o.archivo.isEmpty()) o.modo = Modo::Reproducir;
    else if (!o.cuenta.isEmpty()) o.modo = Modo::Consultar;
    else if (sinVentana) o.modo = Modo::SinVentana;
    if (deConsulta && o.modo != Modo::Consultar)
        return fallar(QStringLiteral("--fecha, --origen y --csv solo sirven con --consultar"));
    if (dePuerto && o.modo != Modo::SinVentana)
        return fallar(QStringLiteral("--velocidad solo sirve con --sin-ventana"));
    if (o.modo == Modo::SinVentana) {
        if (o.puerto.isEmpty()) return fallar(QStringLiteral("--sin-ventana necesita --puerto"));
        if (o.velocidad == 0) return fallar(QStringLiteral("--sin-ventana necesita --velocidad"));
    }
    if (!o.puerto.isEmpty() && o.modo != Modo::SinVentana && o.modo != Modo::Ventanas)
        return fallar(QStringLiteral("--puerto solo sirve con --sin-ventana o con las ventanas"));
    if (o.modo == Modo::Consultar && !o.fecha.isValid()) o.fecha = QDate::currentDate();
    return r;
}

QString texto_ayuda() {
    return QStringLiteral(
        "Corvane: consola del receptor de alarmas.\n"
        "\n"
        "Uso:\n"
        "  corvane                               abre las ventanas de la consola\n"
        "  corvane --reproducir ARCHIVO          pasa una captura (o - para la entrada\n"
        "                                        estándar) por la recepción completa\n"
        "  corvane --sin-ventana --puerto P --velocidad V\n"
        "                                        recibe de un puerto sin ventanas hasta\n"
        "                                        SIGINT o SIGTERM\n"
        "  corvane --consultar CUENTA --fecha AAAA-MM-DD [--origen todos|directo|1..15] [--csv]\n"
        "                                        lista los eventos de una cuenta en un día\n"
        "\n"
        "Opciones comunes:\n"
        "  --carpeta DIR    carpeta de datos (baseTolm.mdb y error.log); por omisión,\n"
        "                   la carpeta del programa\n"
        "  --base URL       base central postgresql://usuario@servidor:puerto/base; la\n"
        "                   clave va en la dirección o en las variables PG* habituales\n"
        "  --puerto P       número de 1 a 20 (COM1..COM20, /dev/ttyS0../dev/ttyS19) o\n"
        "                   la ruta de un dispositivo\n"
        "  --velocidad V    1200, 4800, 9600 o 19200 bit/s\n"
        "  --ayuda, --help  muestra este texto\n");
}

} // namespace corvane
