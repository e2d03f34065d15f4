#include "store/funcionesBaseDatos.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QThread>


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

// Undoes the open transaction and stores again, one at a time, the rows it held;
// each failure is logged once. The rest of the batch runs one row at a time.
void rehacer_sin_transaccion(ConjuntoBases& bases, BaseDatos& base) {
    LoteFilas& lote = bases.lote;
    base.deshacerLote();
    lote.estado = LoteFilas::Estado::Suelto;
    FilasCompactas pendientes;
    std::swap(pendientes, lote.hechas);
    for (size_t i = 0; i < pendientes.size(); ++i) {
        if (const Fallo f = base.guardar(pendientes.fila(i))) registrar(bases, f.numero, kEtiquetaNuevoDato);
    }
}

// Commits the batch's open transaction; when the commit fails its rows are stored
// again one by one.
void confirmar(ConjuntoBases& bases) {
    LoteFilas& lote = bases.lote;
    if (lote.estado != LoteFilas::Estado::EnTransaccion) return;
    BaseDatos* base = bases.base[static_cast<size_t>(lote.indice)].get();
    if (base->confirmarLote()) {
        rehacer_sin_transaccion(bases, *base);
        return;
    }
    lote.hechas.clear();
    lote.estado = LoteFilas::Estado::Esperando;
}

// The database of slot `indice`, or null after logging why there is none.
BaseDatos* base_de(ConjuntoBases& bases, qint16 indice, const QString& etiqueta) {
    if (!indice_valido(indice, kBasesDatos)) {
        registrar(bases, fallos::kIndiceFueraDeRango, etiqueta);
        return nullptr;
    }
    BaseDatos* base = bases.base[static_cast<size_t>(indice)].get();
    if (base == nullptr) registrar(bases, fallos::kSinObjeto, etiqueta);
    return base;
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
    std::unique_ptr<BaseDatos> base;
    const bool conCola = !bases.colaPendientes.isEmpty() && bases.abrirConCola != nullptr;
    if (const Fallo f = conCola ? bases.abrirConCola(ruta, bases.colaPendientes, base) : abrir_motor(ruta, base))
        registrar(bases, f.numero, kEtiquetaAbrir);
    // A store with a queue behind it exists even when its database does not open yet.
    if (!base) return;
    bases.base[static_cast<size_t>(indice)] = std::move(base);
    bases.abierta[static_cast<size_t>(indice)] = 1;
}

void NuevoDato(const FilaEvento& fila, qint16 indice, ConjuntoBases& bases) {
    BaseDatos* base = base_de(bases, indice, kEtiquetaNuevoDato);
    if (base == nullptr) return;
    LoteFilas& lote = bases.lote;
    const bool deLote = lote.estado != LoteFilas::Estado::Inactivo && lote.indice == indice;
    // A read that stores nothing (most reads of a serial line carry a character
    // or two) costs the engine nothing: the transaction begins with the first row.
    if (deLote && lote.estado == LoteFilas::Estado::Esperando)
        lote.estado = base->comenzarLote() ? LoteFilas::Estado::Suelto : LoteFilas::Estado::EnTransaccion;
    const bool enTransaccion = deLote && lote.estado == LoteFilas::Estado::EnTransaccion;
    const Fallo fallo = base->guardar(fila);
    if (!fallo) {
        if (enTransaccion && !base->guardaSiempre()) lote.hechas.agregar(fila);
        return;
    }
    registrar(bases, fallo.numero, kEtiquetaNuevoDato);
    if (enTransaccion) rehacer_sin_transaccion(bases, *base);
}

void NuevoDato(const QString& sentencia, qint16 indice, ConjuntoBases& bases) {
    BaseDatos* base = base_de(bases, indice, kEtiquetaNuevoDato);
    if (base == nullptr) return;
    // A statement text runs alone: the rows of an open batch are committed first,
    // and the batch's next row begins a new transaction.
    if (bases.lote.indice == indice) confirmar(bases);
    if (const Fallo f = base->ejecutar(sentencia)) registrar(bases, f.numero, kEtiquetaNuevoDato);
}

void comenzar_lote(ConjuntoBases& bases, qint16 indice) {
    bases.lote = LoteFilas{};
    // Without a valid slot the rows simply run (and fail) one by one.
    if (indice_valido(indice, kBasesDatos)) bases.lote.estado = LoteFilas::Estado::Esperando;
    bases.lote.indice = indice;
}

void terminar_lote(ConjuntoBases& bases) {
    confirmar(bases);
    bases.lote = LoteFilas{};
}

qint64 revisar_pendientes(ConjuntoBases& bases, qint16 indice, bool* huboFallos,
                          std::vector<Fallo>* dichos) {
    if (huboFallos != nullptr) *huboFallos = false;
    if (!indice_valido(indice, kBasesDatos) || !bases.base[static_cast<size_t>(indice)]) return 0;
    BaseDatos& base = *bases.base[static_cast<size_t>(indice)];
    for (Fallo& f : base.fallosDiferidos()) {
        registrar(bases, f.numero, kEtiquetaNuevoDato);
        if (huboFallos != nullptr && f.numero != fallos::kFilaRechazada) *huboFallos = true;
        if (dichos != nullptr) dichos->push_back(std::move(f));
    }
    return base.pendientes();
}

qint64 esperar_pendientes(ConjuntoBases& bases, qint16 indice, int sinProgresoMs,
                          const std::function<bool()>& parar, std::vector<Fallo>* dichos) {
    qint64 quedan = revisar_pendientes(bases, indice, nullptr, dichos);
    QElapsedTimer quieto;
    quieto.start();
    while (quedan > 0 && quieto.elapsed() < sinProgresoMs && !(parar && parar())) {
        QThread::msleep(50);
        const qint64 ahora = revisar_pendientes(bases, indice, nullptr, dichos);
        if (ahora < quedan) quieto.restart();
        quedan = ahora;
    }
    return quedan;
}

QDateTime momento_guardado(const QVariant& valor) {
    if (valor.metaType().id() == QMetaType::QDateTime) return valor.toDateTime();
    return QDateTime::fromString(valor.toString(), kFormatoMomento);
}

QString consultar_historial(const QString& sentencia, qint16 indice, qint16 indiceRegistros,
                            ConjuntoBases& bases,
                            const std::function<QString(const FilaHistorial&)>& linea,
                            const QString& sinFilas, Fallo* fallo) {
    QString resultado;
    Registros* rs = nullptr;
    if (fallo != nullptr) *fallo = {};
    const auto fallar = [&](const Fallo& f) {
        if (rs != nullptr && rs->abierto()) rs->cerrar();
        registrar(bases, f.numero, kEtiquetaConsulta);
        if (fallo != nullptr) *fallo = f;
        return resultado;
    };

    if (!indice_valido(indice, kBasesDatos))
        return fallar({fallos::kIndiceFueraDeRango,
                       QStringLiteral("no hay base de datos en la posición %1").arg(indice)});
    BaseDatos* base = bases.base[static_cast<size_t>(indice)].get();
    if (base == nullptr)
        return fallar({fallos::kSinObjeto, QStringLiteral("la base de datos no está abierta")});
    std::unique_ptr<Registros> abiertos;
    if (const Fallo f = base->abrirRegistros(sentencia, abiertos)) return fallar(f);
    if (!indice_valido(indiceRegistros, kRegistros)) {
        abiertos->cerrar();
        return fallar({fallos::kIndiceFueraDeRango,
                       QStringLiteral("no hay consulta en la posición %1").arg(indiceRegistros)});
    }
    auto& ranura = bases.registros[static_cast<size_t>(indiceRegistros)];
    ranura = std::move(abiertos);
    rs = ranura.get();

    if (rs->cantidad() == 0) {
        resultado = sinFilas;
    } else {
        while (!rs->alFinal()) {
            QVariant abonado, nivel, origen, momento;
            if (Fallo f = rs->valor(QStringLiteral("gral_numero_abonado"), abonado))
                return fallar(f);
            if (Fallo f = rs->valor(QStringLiteral("gral_nivel_señal"), nivel)) return fallar(f);
            if (Fallo f = rs->valor(QStringLiteral("gral_origen"), origen)) return fallar(f);
            if (Fallo f = rs->valor(QStringLiteral("gral_hora_fecha"), momento)) return fallar(f);
            FilaHistorial fila;
            bool nivelOk = false, origenOk = false;
            fila.abonado = abonado.toString();
            fila.nivel = nivel.toString().trimmed().toLongLong(&nivelOk);
            fila.origen = origen.toString();
            fila.origenNumero = fila.origen.trimmed().toDouble(&origenOk);
            // A level that is not a number or an origin that cannot be compared
            // with 0 is a conversion failure, as the engine would report it.
            if (!nivelOk || !origenOk)
                return fallar({fallos::kSentenciaRechazada,
                               QStringLiteral("nivel u origen que no es un número")});
            fila.momento = momento_guardado(momento);
            fila.momentoTexto = momento.toString();
            resultado += linea(fila);
            if (Fallo f = rs->siguiente()) return fallar(f);
        }
    }
    rs->cerrar();
    return resultado;
}

} // namespace corvane
