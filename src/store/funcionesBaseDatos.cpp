#include "store/funcionesBaseDatos.h"

#include <QDateTime>

#include <algorithm>

#include "common/reloj.h"

namespace corvane {
namespace {

const QString kEtiquetaAbrir = QStringLiteral("abrir_base_de_datos");
const QString kEtiquetaNuevoDato = QStringLiteral("NuevoDato");
const QString kEtiquetaConsulta = QStringLiteral("buscar_ultima_pos_Error");

void registrar(const ConjuntoBases& bases, qint32 numero, const QString& etiqueta) {
    if (bases.errores != nullptr) bases.errores->registrar_error(numero, etiqueta);
}

bool indice_valido(qint16 indice, int cantidad) { return indice >= 0 && indice < cantidad; }

void guardar_hecha(LoteSentencias& lote, const QString& sentencia) {
    const QStringView texto(sentencia);
    const qsizetype corte = std::max<qsizetype>(0, texto.indexOf(QLatin1String("values(")));
    const QStringView cabecera = texto.left(corte);
    LoteSentencias::Hecha h;
    if (!lote.hechas.empty() && lote.hechas.back().cabecera == cabecera) h.cabecera = lote.hechas.back().cabecera;
    else h.cabecera = cabecera.toString();
    h.resto = texto.mid(corte).toString();
    lote.hechas.push_back(std::move(h));
}

// Undoes the open transaction and runs again, one at a time, the statements it
// held; each failure is logged once. The rest of the batch runs one by one.
void rehacer_sin_transaccion(ConjuntoBases& bases, BaseDatos& base) {
    LoteSentencias& lote = bases.lote;
    base.deshacerLote();
    lote.enTransaccion = false;
    std::vector<LoteSentencias::Hecha> pendientes;
    pendientes.swap(lote.hechas);
    for (const LoteSentencias::Hecha& h : pendientes) {
        if (const Fallo f = base.ejecutar(h.cabecera + h.resto)) registrar(bases, f.numero, kEtiquetaNuevoDato);
    }
}

} // namespace

void inic_base_de_datos(ConjuntoBases& bases) { bases.abierta.fill(0); }

void abrir_base_de_datos(const QString& ruta, qint16 indice, ConjuntoBases& bases) {
    // The slot is tested before the engine opens anything, so that a bad slot
    // never creates a database file that nobody would hold.
    if (!indice_valido(indice, kBasesDatos)) {
        registrar(bases, fallos::kIndiceFueraDeRango, kEtiquetaAbrir);
        return;
    }
    Fallo fallo;
    std::unique_ptr<BaseDatos> base = abrir_motor(ruta, fallo);
    if (fallo || !base) {
        registrar(bases, fallo ? fallo.numero : fallos::kMotorGeneral, kEtiquetaAbrir);
        return;
    }
    bases.base[static_cast<size_t>(indice)] = std::move(base);
    bases.abierta[static_cast<size_t>(indice)] = 1;
}

void NuevoDato(const QString& sentencia, qint16 indice, ConjuntoBases& bases) {
    if (!indice_valido(indice, kBasesDatos)) {
        registrar(bases, fallos::kIndiceFueraDeRango, kEtiquetaNuevoDato);
        return;
    }
    BaseDatos* base = bases.base[static_cast<size_t>(indice)].get();
    if (base == nullptr) {
        registrar(bases, fallos::kSinObjeto, kEtiquetaNuevoDato);
        return;
    }
    LoteSentencias& lote = bases.lote;
    // A read that stores nothing (most reads of a serial line carry a character
    // or two) costs the engine nothing: the transaction begins with the first row.
    if (lote.activo && !lote.iniciado && lote.indice == indice) {
        lote.iniciado = true;
        lote.enTransaccion = !base->comenzarLote();
    }
    const bool enLote = lote.activo && lote.enTransaccion && lote.indice == indice;
    const Fallo fallo = base->ejecutar(sentencia);
    if (!fallo) {
        if (enLote) guardar_hecha(lote, sentencia);
        return;
    }
    registrar(bases, fallo.numero, kEtiquetaNuevoDato);
    if (enLote) rehacer_sin_transaccion(bases, *base);
}

void comenzar_lote(ConjuntoBases& bases, qint16 indice) {
    bases.lote = LoteSentencias{};
    // Without a valid slot the statements simply run (and fail) one by one.
    bases.lote.activo = indice_valido(indice, kBasesDatos);
    bases.lote.indice = indice;
}

void terminar_lote(ConjuntoBases& bases) {
    LoteSentencias& lote = bases.lote;
    if (lote.activo && lote.enTransaccion) {
        BaseDatos* base = bases.base[static_cast<size_t>(lote.indice)].get();
        if (base->confirmarLote()) rehacer_sin_transaccion(bases, *base);
    }
    lote = LoteSentencias{};
}

QDateTime momento_guardado(const QVariant& valor) {
    if (valor.metaType().id() == QMetaType::QDateTime) return valor.toDateTime();
    return QDateTime::fromString(valor.toString(), kFormatoMomento);
}

QString consultar_historial(const QString& sentencia, qint16 indice, qint16 indiceRegistros,
                            ConjuntoBases& bases,
                            const std::function<QString(const FilaHistorial&)>& linea,
                            const QString& sinFilas) {
    QString resultado;
    Registros* rs = nullptr;
    const auto fallar = [&](qint32 numero) {
        if (rs != nullptr && rs->abierto()) rs->cerrar();
        registrar(bases, numero, kEtiquetaConsulta);
        return resultado;
    };

    if (!indice_valido(indice, kBasesDatos)) return fallar(fallos::kIndiceFueraDeRango);
    BaseDatos* base = bases.base[static_cast<size_t>(indice)].get();
    if (base == nullptr) return fallar(fallos::kSinObjeto);
    Fallo fallo;
    std::unique_ptr<Registros> abiertos = base->abrirRegistros(sentencia, fallo);
    if (fallo || !abiertos) return fallar(fallo ? fallo.numero : fallos::kMotorGeneral);
    if (!indice_valido(indiceRegistros, kRegistros)) {
        abiertos->cerrar();
        return fallar(fallos::kIndiceFueraDeRango);
    }
    auto& ranura = bases.registros[static_cast<size_t>(indiceRegistros)];
    ranura = std::move(abiertos);
    rs = ranura.get();

    if (rs->cantidad() == 0) {
        resultado = sinFilas;
    } else {
        while (!rs->alFinal()) {
            QVariant abonado, nivel, origen, momento;
            if (Fallo f = rs->valor(QStringLiteral("gral_numero_abonado"), abonado)) return fallar(f.numero);
            if (Fallo f = rs->valor(QStringLiteral("gral_nivel_señal"), nivel)) return fallar(f.numero);
            if (Fallo f = rs->valor(QStringLiteral("gral_origen"), origen)) return fallar(f.numero);
            if (Fallo f = rs->valor(QStringLiteral("gral_hora_fecha"), momento)) return fallar(f.numero);
            FilaHistorial fila;
            bool nivelOk = false, origenOk = false;
            fila.abonado = abonado.toString();
            fila.nivel = nivel.toString().trimmed().toLongLong(&nivelOk);
            fila.origen = origen.toString();
            fila.origenNumero = fila.origen.trimmed().toDouble(&origenOk);
            // A level that is not a number or an origin that cannot be compared
            // with 0 is a conversion failure, as the engine would report it.
            if (!nivelOk || !origenOk) return fallar(fallos::kSentenciaRechazada);
            fila.momento = momento_guardado(momento);
            fila.momentoTexto = momento.toString();
            resultado += linea(fila);
            if (Fallo f = rs->siguiente()) return fallar(f.numero);
        }
    }
    rs->cerrar();
    return resultado;
}

} // namespace corvane
