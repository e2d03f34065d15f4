#include "tools/linea_simulador.h"

#include <QStringList>

#include "app/tabla_opciones.h"

namespace corvane::simulador {

namespace {

// Decimal digits only, no sign, up to `maximo`.
bool leer_numero(const QString& texto, std::uint64_t maximo, std::uint64_t& valor) {
    if (texto.isEmpty() || texto.size() > 20) return false;
    std::uint64_t v = 0;
    for (const QChar c : texto) {
        if (c.unicode() < u'0' || c.unicode() > u'9') return false;
        const auto digito = static_cast<std::uint64_t>(c.unicode() - u'0');
        if (v > (maximo - digito) / 10) return false;
        v = v * 10 + digito;
    }
    valor = v;
    return true;
}

} // namespace

const char* texto_ayuda() {
    return "corvane-simulador: simula un receptor de alarmas que escribe su tráfico en una\n"
           "línea serie, para probar la consola sin el receptor.\n"
           "\n"
           "Uso:\n"
           "  corvane-simulador [opciones]\n"
           "\n"
           "Sin --dispositivo ni --salida crea un pseudoterminal, escribe en la salida\n"
           "estándar la ruta de su lado esclavo (una línea, por ejemplo /dev/pts/3) y\n"
           "escribe el flujo en él. En otra terminal la consola lo recibe con\n"
           "  corvane --sin-ventana --puerto /dev/pts/3 --velocidad 19200\n"
           "El pseudoterminal queda abierto hasta el final del flujo; después el simulador\n"
           "espera a que el lector haya tomado todo y lo cierra.\n"
           "\n"
           "El flujo mezcla paquetes largos de eventos (LF, dígitos hexadecimales, CR, con\n"
           "0 a 3 subbloques), paquetes de diez caracteres (letra de inicio A-H o m-t y\n"
           "nueve dígitos), informes de señal de cuatro caracteres (LF, cuatro dígitos,\n"
           "CR), letras de estado (I a Y) y, de vez en cuando, un paquete malformado que la\n"
           "consola debe descartar. La misma semilla da siempre los mismos bytes.\n"
           "\n"
           "Opciones:\n"
           "  --semilla N         semilla del flujo, de 0 a 4294967295 (por omisión 1)\n"
           "  --paquetes N        cuántos paquetes escribir, letras de estado y paquetes\n"
           "                      malformados incluidos; sin esta opción, sin fin\n"
           "  --velocidad V       bit/s de la línea simulada, 10 bits por carácter: 19200\n"
           "                      da 1920 caracteres por segundo, repartidos por igual en\n"
           "                      el tiempo; 0 escribe tan rápido como se pueda (por\n"
           "                      omisión 19200; como mucho 4000000)\n"
           "  --rapido            lo mismo que --velocidad 0\n"
           "  --dispositivo RUTA  escribe en un dispositivo que ya existe (un puerto serie,\n"
           "                      el lado esclavo de otro pseudoterminal)\n"
           "  --salida ARCHIVO    escribe en un archivo, o en la salida estándar con -\n"
           "  --cuenta-seguida C  una de cada diez cuentas informadas es C (cuatro cifras\n"
           "                      decimales, de 0000 a 4095), en los paquetes largos y en\n"
           "                      los de diez caracteres, para seguirla en la ventana ONLINE\n"
           "  --realista          tráfico de un receptor real, un elemento por segundo:\n"
           "                      sobre todo pruebas periódicas (602) y aperturas y\n"
           "                      cierres (4xx), de vez en cuando averías (3xx), alarmas\n"
           "                      de incendio, pánico, médicas y de robo (1xx) y sus\n"
           "                      restauraciones, y la letra de prueba de enlace I cada\n"
           "                      30 s; con --rapido, sin esperar entre elementos\n"
           "  --pausa S@C         cada C segundos la línea calla S segundos (S menor que\n"
           "                      C; por ejemplo 120@600), para probar la vigilancia del\n"
           "                      receptor\n"
           "  --resumen           al terminar, escribe en la salida de errores cuántos\n"
           "                      paquetes de cada clase se escribieron y cuántas filas\n"
           "                      debe guardar una consola correcta por ellos\n"
           "  --ayuda, --help     muestra este texto\n"
           "\n"
           "SIGINT (Ctrl+C) o SIGTERM terminan el flujo al final del paquete en curso.\n"
           "Estado de salida: 0 bien; 1 fallo al escribir; 2 opciones no válidas o un\n"
           "destino que no se puede abrir.\n";
}

std::string analizar(int argc, char** argv, Opciones& o) {
    QStringList argumentos;
    for (int i = 1; i < argc; ++i) argumentos << QString::fromLocal8Bit(argv[i]);
    const auto destino = [&o](Destino d, const QString& v) {
        o.destino = d;
        o.ruta = v.toStdString();
        return QString();
    };
    const std::vector<OpcionLinea> tabla = {
        {"semilla", kConValor,
         [&o](const QString& v) -> QString {
             std::uint64_t n = 0;
             if (!leer_numero(v, 4294967295u, n))
                 return QStringLiteral("--semilla espera un número de 0 a 4294967295, no «%1»")
                     .arg(v);
             o.semilla = static_cast<std::uint32_t>(n);
             return {};
         }},
        {"paquetes", kConValor,
         [&o](const QString& v) -> QString {
             std::uint64_t n = 0;
             if (!leer_numero(v, UINT64_MAX, n))
                 return QStringLiteral("--paquetes espera un número entero no negativo, no «%1»")
                     .arg(v);
             o.paquetes = n;
             return {};
         }},
        {"velocidad", kConValor,
         [&o](const QString& v) -> QString {
             std::uint64_t n = 0;
             if (!leer_numero(v, kVelocidadMaxima, n))
                 return QStringLiteral("--velocidad espera bit/s de 0 a %1 (0: tan rápido como se "
                                       "pueda), no «%2»")
                     .arg(QString::number(kVelocidadMaxima), v);
             o.velocidad = static_cast<std::uint32_t>(n);
             return {};
         }},
        {"rapido", kInterruptor, {}},
        {"dispositivo", kConValor,
         [&](const QString& v) { return destino(Destino::Dispositivo, v); }},
        {"salida", kConValor, [&](const QString& v) { return destino(Destino::Salida, v); }},
        {"cuenta-seguida", kConValor,
         [&o](const QString& v) -> QString {
             std::uint64_t n = 0;
             if (v.size() != 4 || !leer_numero(v, 4095, n))
                 return QStringLiteral(
                            "--cuenta-seguida espera cuatro cifras de 0000 a 4095, no «%1»")
                     .arg(v);
             o.cuentaSeguida = v.toStdString();
             return {};
         }},
        {"resumen", kInterruptor, marcar(o.resumen)},
        {"realista", kInterruptor, marcar(o.realista)},
        {"pausa", kConValor,
         [&o](const QString& v) -> QString {
             const QStringList partes = v.split(QLatin1Char('@'));
             std::uint64_t segundos = 0, cada = 0;
             if (partes.size() != 2 || !leer_numero(partes[0], kPausaMaxima, segundos) ||
                 !leer_numero(partes[1], kPausaMaxima, cada) || segundos == 0 || segundos >= cada)
                 return QStringLiteral("--pausa espera SEGUNDOS@CADA, con 0 < SEGUNDOS < CADA <= %1 "
                                       "(por ejemplo 120@600), no «%2»")
                     .arg(QString::number(kPausaMaxima), v);
             o.pausa = static_cast<std::uint32_t>(segundos);
             o.cadaPausa = static_cast<std::uint32_t>(cada);
             return {};
         }},
    };
    const LecturaLinea linea = leer_linea(argumentos, tabla);
    if (!linea.error.isEmpty()) return linea.error.toStdString();
    if (linea.ayuda) {
        o.ayuda = true;
        return {};
    }
    const auto dada = [&linea](const char* nombre) {
        return linea.dadas.contains(QLatin1String(nombre));
    };
    if (dada("dispositivo") && dada("salida")) return "--dispositivo y --salida no se combinan";
    if (dada("rapido")) {
        if (dada("velocidad") && o.velocidad != 0)
            return "--rapido y --velocidad " + std::to_string(o.velocidad) + " se contradicen";
        o.velocidad = 0;
    }
    return {};
}

} // namespace corvane::simulador
