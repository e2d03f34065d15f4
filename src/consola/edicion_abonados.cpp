#include "consola/edicion_abonados.h"

#include <QDateTime>
#include <QSet>

#include "common/reglas.h"
#include "common/reloj.h"
#include "decoding/codigos_evento.h"

namespace corvane {

namespace {

bool hexadecimal(const QString& texto, qsizetype largo) {
    if (texto.size() != largo) return false;
    for (const QChar c : texto)
        if (!(c.isDigit() && c.unicode() < 128) &&
            !(c >= QLatin1Char('a') && c <= QLatin1Char('f')))
            return false;
    return true;
}

// The packets carry a partition in two hex digits and a zone in three.
constexpr qsizetype kLargoParticion = 2;
constexpr qsizetype kLargoZona = 3;

bool clase_conocida(const QString& clase) {
    for (int c = 0; c <= static_cast<int>(ClaseEvento::Otro); ++c)
        if (nombre_clase(static_cast<ClaseEvento>(c)) == clase) return true;
    return false;
}

} // namespace

QString momento_de_fin_pruebas(const QString& texto) {
    const QDateTime m = QDateTime::fromString(texto.trimmed(), kFormatoFinPruebas);
    return m.isValid() ? m.toString(kFormatoMomento) : QString();
}

QString fin_pruebas_de_momento(const QString& momento) {
    const QDateTime m = QDateTime::fromString(momento, kFormatoMomento);
    return m.isValid() ? m.toString(kFormatoFinPruebas) : momento;
}

QString revisar_abonado(Abonado& a) {
    a.cuenta = a.cuenta.trimmed().toLower();
    for (QString* t : {&a.nombre, &a.direccion, &a.localidad, &a.telefono}) *t = t->trimmed();
    // As the event table stores it: four characters from a long packet, three
    // from a ten-character packet.
    if (!cuenta_valida(a.cuenta))
        return QStringLiteral(
                   "La cuenta debe tener de uno a cuatro dígitos hexadecimales, como los guarda "
                   "la base de eventos (0-9 y b-f, p. ej. 0b2c): «%1» no lo es.")
            .arg(a.cuenta);
    if (a.nombre.isEmpty()) return QStringLiteral("Falta el nombre del abonado.");
    if (a.estado == EstadoAbonado::EnPruebas) {
        if (a.enPruebasHasta.isEmpty())
            return QStringLiteral("Una cuenta en pruebas necesita el momento en que terminan "
                                  "(dd/MM/aaaa HH:mm).");
        if (!QDateTime::fromString(a.enPruebasHasta, kFormatoMomento).isValid())
            return QStringLiteral("El fin de las pruebas no es un momento válido: escríbalo "
                                  "dd/MM/aaaa HH:mm.");
    } else {
        a.enPruebasHasta.clear();
    }
    if (a.pruebaCadaMin < 0)
        return QStringLiteral("El intervalo de la prueba periódica es un número entero de "
                              "minutos, 0 o más (0: sin prueba periódica).");

    QSet<QString> zonas;
    for (ZonaAbonado& z : a.zonas) {
        z.particion = z.particion.trimmed().toLower();
        z.zona = z.zona.trimmed().toLower();
        z.descripcion = z.descripcion.trimmed();
        if (!z.particion.isEmpty() && !hexadecimal(z.particion, kLargoParticion))
            return QStringLiteral("Partición «%1»: se escribe con dos dígitos hexadecimales, "
                                  "como la guarda el receptor (01), o vacía para cualquiera.")
                .arg(z.particion);
        if (!hexadecimal(z.zona, kLargoZona))
            return QStringLiteral("Zona «%1»: se escribe con tres dígitos hexadecimales, como la "
                                  "guarda el receptor (005).")
                .arg(z.zona);
        if (z.descripcion.isEmpty())
            return QStringLiteral("La zona %1 no tiene descripción.").arg(z.zona);
        if (zonas.contains(z.particion + QLatin1Char('/') + z.zona))
            return QStringLiteral("La zona %1 está dos veces en la misma partición.").arg(z.zona);
        zonas.insert(z.particion + QLatin1Char('/') + z.zona);
    }
    int orden = 0;
    for (ContactoAbonado& c : a.contactos) {
        c.orden = ++orden;
        c.nombre = c.nombre.trimmed();
        c.telefono = c.telefono.trimmed();
        c.relacion = c.relacion.trimmed();
        if (c.nombre.isEmpty())
            return QStringLiteral("El contacto %1 no tiene nombre.").arg(c.orden);
        if (c.telefono.isEmpty())
            return QStringLiteral("El contacto %1 (%2) no tiene teléfono.")
                .arg(c.orden)
                .arg(c.nombre);
    }
    QSet<QString> clases;
    for (InstruccionAbonado& i : a.instrucciones) {
        i.clase = i.clase.trimmed();
        i.texto = i.texto.trimmed();
        if (i.clase.isEmpty() || i.texto.isEmpty())
            return QStringLiteral("Cada instrucción necesita su clase de evento y su texto.");
        if (!clase_conocida(i.clase))
            return QStringLiteral("«%1» no es una clase de evento.").arg(i.clase);
        if (clases.contains(i.clase))
            return QStringLiteral("La clase %1 tiene dos instrucciones.").arg(i.clase);
        clases.insert(i.clase);
    }
    return {};
}

QString texto_modificado(const Abonado& actual) {
    const QDateTime m = QDateTime::fromString(actual.modificado, kFormatoMomento);
    return QStringLiteral("Modificado por %1 a las %2 del %3")
        .arg(actual.modificadoPor, m.toString(kFormatoHora),
             m.toString(QStringLiteral("dd/MM/yyyy")));
}

} // namespace corvane
