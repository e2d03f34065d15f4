#include "reception/manejador.h"

#include "decoding/codigos_evento.h"
#include "store/funcionesBaseDatos.h"

namespace corvane {

namespace {
const QString kTresBlancos = QStringLiteral("   ");
}

ManejadorRx::ManejadorRx(EstadoProceso& estado, CajaTexto& text1, CajaTexto& text4,
                         const Reloj& reloj)
    : e_(estado), reloj_(reloj), text1_(text1, diferidas_), text4_(text4, diferidas_) {}

void ManejadorRx::ponerVentanaOnline(CajaTexto* cuenta, CajaTexto* registro) {
    cuentaOnline_ = cuenta;
    registroOnline_ = registro ? std::make_unique<CajaDiferida>(*registro, diferidas_) : nullptr;
}

CuentaOnline ManejadorRx::cuenta_online() {
    return {e_.verCuentaOnline, cuentaOnline_, registroOnline_.get()};
}

void ManejadorRx::MSComm1_OnComm(int commEvent, const QByteArray& input) {
    if (commEvent != kEventoRecepcion || input.isEmpty()) return;
    recibir(input.left(1));
}

void ManejadorRx::recibir(const QByteArray& bytes) {
    comenzar_lote(e_.bases, 0);
    for (const char c : bytes) procesar_caracter(c);
    terminar_lote(e_.bases);
    diferidas_.soltar();
    if (alarmas_.empty()) return;
    std::vector<FilaEvento> nuevas;
    nuevas.swap(alarmas_);
    if (avisoAlarmas_) avisoAlarmas_(nuevas);
}

void ManejadorRx::mostrar_filas(const std::vector<FilaEvento>& filas) {
    if (filas.empty()) return;
    QString lineas;
    Tonos tonos;
    tonos.reserve(filas.size());
    // The followed account's log gets each line in front, oldest first; the
    // online log one text, newest first, as a read's reports come.
    QStringList cortas;
    for (const FilaEvento& f : filas) cortas << informar_fila(f, cuenta_online());
    for (qsizetype i = cortas.size() - 1; i >= 0; --i) {
        lineas += cortas[i];
        tonos.push_back(clasificar_evento(filas[static_cast<std::size_t>(i)].evento).tono());
    }
    text1_.anteponerConTonos(lineas, tonos);
    diferidas_.soltar();
}

void ManejadorRx::procesar_caracter(char c) {
    const ItemRx item = recibir_caracter(c, e_.bufferRx, e_.estadoRx);
    switch (item.tipo) {
    case TipoItem::Ninguno:
        return;
    case TipoItem::LetraEstado:
        mostrar_estado(item.texto);
        return;
    case TipoItem::PaqueteLargo:
        procesar_largo(item.texto);
        return;
    case TipoItem::PaqueteCuatro:
        mostrar_estado(procesar_paquete_rx(item.texto, reloj_));
        return;
    case TipoItem::PaqueteDiez:
        procesar_diez(item.texto);
        return;
    }
}

void ManejadorRx::procesar_largo(const QString& paquete) {
    decodificar_largo(paquete, e_.eventosCid);
    filas_.clear();
    anteponer_informes(
        procesar_eventos_cid(paquete, e_.eventosCid, cuenta_online(), e_.bases, reloj_, &filas_));
    mostrar_estado(paquete);
}

void ManejadorRx::procesar_diez(const QString& paquete) {
    filas_.clear();
    anteponer_informes(procesar_paquete_corto(paquete, cuenta_online(), e_.bases, reloj_, &filas_));
    mostrar_estado(paquete);
}

void ManejadorRx::anteponer_informes(const QString& lineas) {
    // The lines come newest row first.
    Tonos tonos(filas_.size(), Tono::Normal);
    bool conColor = false;
    for (std::size_t i = 0; i < filas_.size(); ++i) {
        const ClasificacionEvento c = clasificar_evento(filas_[i].evento);
        tonos[filas_.size() - 1 - i] = c.tono();
        conColor = conColor || c.tono() != Tono::Normal;
        if (c.alarma() && avisoAlarmas_) alarmas_.push_back(std::move(filas_[i]));
    }
    if (conColor) text1_.anteponerConTonos(lineas, tonos);
    else text1_.anteponer(lineas);
}

void ManejadorRx::mostrar_estado(const QString& texto) {
    text4_.ponerTexto(texto + kTresBlancos + reloj_.texto_hora());
}

} // namespace corvane
