#include "consola/boton_consulta.h"

#include "abonados/registro_abonados.h"

#include "consola/exportacion.h"
#include "consola/listado.h"
#include "store/consulta.h"

namespace corvane {

void Command3_Click(const CajaTexto& text3, int senal, int origen, const QDate& dia,
                    CajaTexto& text2, CajaMensajes& mensajes, ConjuntoBases& bases, Fallo* fallo) {
    if (fallo != nullptr) *fallo = {};
    const QString cuenta = text3.texto();
    if (cuenta.isEmpty()) {
        mensajes.mostrar(kMensajeCuentaVacia, kTituloMensajes, IconoMensaje::Informacion);
        return;
    }
    text2.ponerTexto(
        consultar_historial(sentencia_historial(cuenta, senal, origen, dia), 0, 0, bases, fallo));
}

void Exportar_Click(const CajaTexto& text3, int origen, const QDate& dia,
                    const std::function<QString(const QString& propuesto)>& elegir,
                    CajaMensajes& mensajes, ConjuntoBases& bases) {
    const QString cuenta = text3.texto();
    if (cuenta.isEmpty()) {
        mensajes.mostrar(kMensajeCuentaVacia, kTituloMensajes, IconoMensaje::Informacion);
        return;
    }
    exportar_consulta(
        {cuenta, 0, origen, dia}, [&elegir](const QString& p) { return ArchivoElegido{elegir(p)}; },
        mensajes, bases);
}

void exportar_consulta(const ConsultaCuenta& c, const ElegirExportacion& elegir,
                       CajaMensajes& mensajes, ConjuntoBases& bases, CatalogoAbonados* catalogo) {
    const ArchivoElegido archivo =
        elegir(QStringLiteral("cuenta_%1_%2.csv")
                   .arg(c.cuenta, c.dia.toString(QStringLiteral("yyyy-MM-dd"))));
    const QString& ruta = archivo.ruta;
    if (ruta.isEmpty()) return;
    qint64 filas = 0;
    if (catalogo != nullptr) {
        catalogo->olvidar(c.cuenta); // read afresh: the file writes what the register says now
        static_cast<void>(catalogo->nombre(c.cuenta));
    }
    const ConsultaIntervalo intervalo{c.cuenta, c.dia, c.dia, c.origen, c.senal};
    Fallo f = bases.base[0]
                  ? exportar_csv(*bases.base[0], intervalo, ruta, filas, archivo.formato, catalogo)
                  : Fallo{fallos::kSinObjeto, QStringLiteral("la base de datos no está abierta")};
    if (f) {
        mensajes.mostrar(QStringLiteral("No se pudo exportar a «%1»: %2").arg(ruta, f.detalle),
                         kTituloMensajes, IconoMensaje::Exclamacion);
        return;
    }
    mensajes.mostrar(QStringLiteral("%1 eventos exportados a «%2»").arg(filas).arg(ruta),
                     kTituloMensajes, IconoMensaje::Informacion);
}

void HistorialMostrado::buscar(const ConsultaCuenta& c, CajaMensajes& mensajes,
                               ConjuntoBases& bases) {
    CajaMemoria text3;
    text3.ponerTexto(c.cuenta);
    Fallo fallo;
    Command3_Click(text3, c.senal, c.origen, c.dia, text2_, mensajes, bases, &fallo);
    if (c.cuenta.isEmpty()) return; // a message only; the box is unchanged
    // A failed search leaves in the box the lines it read before the failure:
    // not a listing to export.
    if (fallo)
        mostrada_.reset();
    else
        mostrada_ = c;
}

void HistorialMostrado::cambio() {
    if (!mostrada_ && text2_.texto().isEmpty()) return;
    mostrada_.reset();
    text2_.ponerTexto(QString());
}

void HistorialMostrado::exportar(const ElegirExportacion& elegir, CajaMensajes& mensajes,
                                 ConjuntoBases& bases, CatalogoAbonados* catalogo) {
    if (!mostrada_) return;
    const ConsultaCuenta c = *mostrada_;
    buscar(c, mensajes, bases);
    exportar_consulta(c, elegir, mensajes, bases, catalogo);
}

} // namespace corvane
