#include "app/tabla_opciones.h"

#include <QCommandLineParser>

namespace corvane {

namespace {

const QString kAyuda = QStringLiteral("ayuda");

// The option's name in an argument: without its one or two dashes and its "=valor".
QString nombre_en(const QString& argumento) {
    const qsizetype guiones = argumento.startsWith(QLatin1String("--")) ? 2 : 1;
    return argumento.mid(guiones).section(QLatin1Char('='), 0, 0);
}

// An unknown option as the user wrote it ("-volar", "--volar"), without its value.
QString como_se_escribio(const QStringList& argumentos, const QString& nombre) {
    for (const QString& a : argumentos)
        if (a.size() > 1 && a.startsWith(QLatin1Char('-')) && nombre_en(a) == nombre)
            return a.section(QLatin1Char('='), 0, 0);
    return QLatin1String("--") + nombre;
}

// True when some argument gives option `nombre` its value after "=" (`valor`, or
// any value when `valor` is null).
bool con_igual(const QStringList& argumentos, const QString& nombre, const QString& valor = {}) {
    for (const QString& a : argumentos) {
        if (!a.startsWith(QLatin1Char('-')) || !a.contains(QLatin1Char('=')) ||
            nombre_en(a) != nombre)
            continue;
        if (valor.isNull() || a.section(QLatin1Char('='), 1) == valor) return true;
    }
    return false;
}

} // namespace

std::function<QString(const QString&)> guardar_en(QString& destino) {
    return [&destino](const QString& valor) {
        destino = valor;
        return QString();
    };
}

std::function<QString(const QString&)> marcar(bool& destino) {
    return [&destino](const QString&) {
        destino = true;
        return QString();
    };
}

LecturaLinea leer_linea(const QStringList& argumentos, const std::vector<OpcionLinea>& tabla,
                        int sueltos) {
    QCommandLineParser lector;
    // "-carpeta" is the option carpeta, not -c -a -r -p -e -t -a.
    lector.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    lector.addOption(
        QCommandLineOption(QStringList{kAyuda, QStringLiteral("help"), QStringLiteral("h")}));
    const auto opcion = [&tabla](const QString& nombre) -> const OpcionLinea& {
        for (const OpcionLinea& o : tabla)
            if (nombre == QLatin1String(o.nombre)) return o;
        Q_UNREACHABLE();
    };
    for (const OpcionLinea& o : tabla) {
        const QString nombre = QLatin1String(o.nombre);
        lector.addOption(o.conValor ? QCommandLineOption(nombre, QString(), QStringLiteral("valor"))
                                    : QCommandLineOption(nombre));
    }
    // The first argument is taken as the program's name. The parser's verdict and
    // its English errorText() are left aside: every fault is named below from
    // what it read.
    const bool sintaxisBuena = lector.parse(QStringList{QStringLiteral("corvane")} + argumentos);

    LecturaLinea r;
    if (lector.isSet(kAyuda)) {
        r.ayuda = true;
        return r;
    }
    const auto fallar = [&r](const QString& mensaje) {
        r.error = mensaje;
        return r;
    };
    const auto desconocida = [&fallar](const QString& escrita) {
        return fallar(QStringLiteral("opción desconocida: %1").arg(escrita));
    };
    const QStringList desconocidas = lector.unknownOptionNames();
    if (!desconocidas.isEmpty())
        return desconocida(como_se_escribio(argumentos, desconocidas.first()));
    const QStringList dadas = lector.optionNames();
    for (qsizetype i = 0; i < dadas.size(); ++i)
        if (dadas.indexOf(dadas.at(i)) < i)
            return fallar(QStringLiteral("la opción --%1 está repetida").arg(dadas.at(i)));
    for (const QString& nombre : dadas) {
        if (!opcion(nombre).conValor) continue;
        const QStringList valores = lector.values(nombre);
        if (valores.isEmpty() || (valores.first().startsWith(QLatin1String("--")) &&
                                  !con_igual(argumentos, nombre, valores.first())))
            return fallar(QStringLiteral("falta el valor de la opción --%1").arg(nombre));
    }
    if (!sintaxisBuena) {
        // What the parser still refuses is a value given to a switch ("--csv=1").
        for (const QString& nombre : dadas)
            if (!opcion(nombre).conValor && con_igual(argumentos, nombre))
                return fallar(QStringLiteral("la opción --%1 no lleva valor").arg(nombre));
    }
    // A "--" that no option took as its value: the parser reads it as the end of
    // the options.
    if (argumentos.contains(QLatin1String("--"))) return desconocida(QStringLiteral("--"));
    if (lector.positionalArguments().size() > sueltos)
        return fallar(QStringLiteral("argumento inesperado: %1")
                          .arg(lector.positionalArguments().at(sueltos)));
    r.sueltos = lector.positionalArguments();
    for (const QString& nombre : dadas)
        if (opcion(nombre).conValor && lector.value(nombre).isEmpty())
            return fallar(QStringLiteral("el valor de la opción --%1 está vacío").arg(nombre));

    for (const QString& nombre : dadas) {
        const OpcionLinea& o = opcion(nombre);
        if (!o.aplicar) continue;
        const QString error = o.aplicar(o.conValor ? lector.value(nombre) : QString());
        if (!error.isEmpty()) return fallar(error);
    }
    r.dadas = dadas;
    return r;
}

} // namespace corvane
