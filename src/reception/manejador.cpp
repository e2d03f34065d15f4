#include "reception/manejador.h"

#include "common/comun.h"
#include "decoding/codigos_evento.h"
#include "evento/informe.h"
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

bool ManejadorRx::seguida(const QString& cuenta) const {
    if (!e_.verCuentaOnline || cuentaOnline_ == nullptr || !registroOnline_) return false;
    return convertir_base_con_ceros(cuentaOnline_->texto(), 16, 16, 4) == cuenta;
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
    // The new alarms first: a restore among the rows finds its alarm in the
    // alarm table already, also when both came in the same read.
    if (!alarmas_.empty()) {
        std::vector<FilaEvento> nuevas;
        nuevas.swap(alarmas_);
        if (avisoAlarmas_) avisoAlarmas_(nuevas);
    }
    if (mostradas_.empty()) return;
    std::vector<FilaEvento> filas;
    filas.swap(mostradas_);
    if (avisoFilas_) avisoFilas_(filas);
}

void ManejadorRx::mostrar_filas(const std::vector<FilaEvento>& filas) {
    if (filas.empty()) return;
    informar(filas, false);
    diferidas_.soltar();
    if (avisoFilas_) avisoFilas_(filas);
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
    informar(procesar_eventos_cid(paquete, e_.eventosCid, reloj_), true);
    mostrar_estado(paquete);
}

void ManejadorRx::procesar_diez(const QString& paquete) {
    informar({procesar_paquete_corto(paquete, reloj_)}, true);
    mostrar_estado(paquete);
}

void ManejadorRx::informar(const std::vector<FilaEvento>& filas, bool guardar) {
    // Every row shown is a row handed to the store: both happen in one step.
    // The rows go into the read's batch; the boxes' writes wait for its commit.
    QString cortas;
    Tonos tonos(filas.size(), Tono::Normal);
    bool conColor = false;
    for (std::size_t i = 0; i < filas.size(); ++i) {
        const FilaEvento& fila = filas[i];
        const LineasInforme lineas = lineas_informe(fila);
        const ClasificacionEvento c = clasificar_evento(fila.evento);
        if (seguida(fila.abonado)) registroOnline_->anteponerConTonos(lineas.detallada, {c.tono()});
        // Newest first; the first line is taken as it is, without a copy.
        if (cortas.isEmpty())
            cortas = lineas.corta;
        else
            cortas.prepend(lineas.corta);
        tonos[filas.size() - 1 - i] = c.tono();
        conColor = conColor || c.tono() != Tono::Normal;
        if (!guardar) continue;
        if (avisoFilas_) mostradas_.push_back(fila);
        NuevoDato(fila, 0, e_.bases);
        if (c.alarma() && avisoAlarmas_) alarmas_.push_back(fila);
    }
    if (conColor)
        text1_.anteponerConTonos(cortas, tonos);
    else
        text1_.anteponer(cortas);
}

void ManejadorRx::mostrar_estado(const QString& texto) {
    text4_.ponerTexto(texto + kTresBlancos + reloj_.texto_hora());
}

} // namespace corvane
