#include "consola/registro_alarmas.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <optional>
#include <utility>

#include "consola/acciones_alarma.h"
#include "consola/alarmas_recibidas.h"
#include "decoding/codigos_evento.h"
#include "store/alarmas.h"

namespace corvane {
namespace {

const QString kEtiquetaGuardar = QStringLiteral("guardar_alarma");
const QString kEtiquetaReconocer = QStringLiteral("reconocer_alarma");
const QString kEtiquetaLeer = QStringLiteral("leer_alarmas");

} // namespace

RegistroAlarmas::RegistroAlarmas(ConjuntoBases& bases, const Reloj& reloj, QString puesto)
    : bases_(bases), reloj_(reloj), puesto_(std::move(puesto)) {}

BaseDatos* RegistroAlarmas::base() const {
    return bases_.base[0].get();
}

EscrituraAlarmas* RegistroAlarmas::escritura() const {
    return escritura_alarmas(base());
}

qint64 RegistroAlarmas::esperando() const {
    const EscrituraAlarmas* e = escritura();
    return e != nullptr ? e->esperando() : 0;
}

void RegistroAlarmas::escribir(const std::vector<AlarmaPendiente>& escritos,
                               const QString& etiqueta) {
    const Fallo f = escribir_alarmas(escritura(), base(), escritos);
    if (f) anotar(f, etiqueta, fallandoEscritura_);
    revisarEspera();
}

void RegistroAlarmas::revisarEspera() {
    if (esperando() == 0) fallandoEscritura_ = false;
    if (!fallandoEscritura_ && !fallandoLectura_) anotadas_.clear();
}

QString RegistroAlarmas::ahora() const {
    QString fecha, hora;
    reloj_.textos(fecha, hora);
    return fecha + QLatin1Char(' ') + hora;
}

void RegistroAlarmas::anotar(const Fallo& f, const QString& etiqueta, bool& fallando) {
    fallando = static_cast<bool>(f);
    if (!f) {
        if (!fallandoEscritura_ && !fallandoLectura_) anotadas_.clear();
        return;
    }
    causa_ = causa_alarmas(f);
    if (bases_.errores != nullptr && !anotadas_.contains(etiqueta)) {
        anotadas_.insert(etiqueta);
        bases_.errores->registrar_error(f.numero, etiqueta);
    }
}

QString RegistroAlarmas::aviso() const {
    const qint64 n = esperando();
    if (n == 0 || !fallandoEscritura_) return {};
    return QStringLiteral("Alarmas sin guardar en la base de datos: %1 (%2)").arg(n).arg(causa_);
}

Alarma RegistroAlarmas::nueva(FilaAlarma fila) {
    Alarma a;
    a.descripcion = describir_evento(fila.evento);
    a.fila = std::move(fila);
    a.orden = ++orden_;
    a.enPruebas = esEnPruebas_ && esEnPruebas_(a.fila);
    return a;
}

void RegistroAlarmas::colocar(Alarma alarma) {
    if (alarma.estado() == EstadoAlarma::Cerrada) {
        cerradas_.push_front(std::move(alarma));
        if (cerradas_.size() > kReconocidasMostradas) cerradas_.pop_back();
        return;
    }
    std::deque<Alarma>& lista = alarma.reconocida() ? reconocidas_
                                : alarma.enPruebas  ? enPruebas_
                                                    : pendientes_;
    // Newest first: in front of the first one that arrived before it.
    const auto donde = std::find_if(lista.begin(), lista.end(),
                                    [&](const Alarma& a) { return a.orden < alarma.orden; });
    lista.insert(donde, std::move(alarma));
    if (&lista == &enPruebas_ && enPruebas_.size() > kReconocidasMostradas) enPruebas_.pop_back();
}

std::deque<Alarma>::iterator RegistroAlarmas::buscar(const QString& clave,
                                                     std::deque<Alarma>*& lista) {
    for (std::deque<Alarma>* l : {&pendientes_, &enPruebas_, &reconocidas_, &cerradas_}) {
        const auto it = std::find_if(l->begin(), l->end(),
                                     [&](const Alarma& a) { return a.fila.clave == clave; });
        if (it == l->end()) continue;
        lista = l;
        return it;
    }
    lista = nullptr;
    return {};
}

const Alarma* RegistroAlarmas::alarma(const QString& clave) const {
    for (const std::deque<Alarma>* l : {&pendientes_, &enPruebas_, &reconocidas_, &cerradas_})
        for (const Alarma& a : *l)
            if (a.fila.clave == clave) return &a;
    return nullptr;
}

bool RegistroAlarmas::compartido() const {
    return base() != nullptr && base()->dialecto() == Dialecto::PostgreSQL;
}

void RegistroAlarmas::ponerOperador(const QString& usuario, bool supervisor) {
    operador_ = usuario;
    supervisor_ = !usuario.isEmpty() && supervisor;
}

void RegistroAlarmas::cargar() {
    static_cast<void>(leer(true));
}

std::vector<Alarma> RegistroAlarmas::refrescar() {
    std::vector<Alarma> nuevas;
    if (!compartido()) return nuevas;
    QSet<QString> vistas;
    for (const std::deque<Alarma>* l : {&pendientes_, &enPruebas_, &reconocidas_, &cerradas_})
        for (const Alarma& a : *l) vistas.insert(a.fila.clave);
    if (leer(false)) return nuevas;
    for (const Alarma& a : pendientes_)
        if (!vistas.contains(a.fila.clave)) nuevas.push_back(a);
    return nuevas;
}

Fallo RegistroAlarmas::leer(bool inicio) {
    std::vector<FilaAlarma> filas;
    // With a central server every workstation lists every alarm.
    const bool todas = compartido();
    // The queue first, then the table: a write the drain loop moves in between
    // is then in the table (and applied again here, which changes nothing),
    // never in neither.
    std::vector<AlarmaPendiente> esperando;
    Fallo g;
    if (EscrituraAlarmas* e = escritura()) g = e->leerEsperando(esperando);
    FiltroAlarmas filtro;
    filtro.cerradas = static_cast<int>(kReconocidasMostradas);
    const Fallo f =
        base() != nullptr ? leer_alarmas_ciclo(*base(), filtro, filas) : kSinBaseAlarmas;
    anotar(f, kEtiquetaLeer, fallandoLectura_);
    // A refresh that cannot read the table keeps the lists as they are.
    if (f && !inicio) return f;
    if (g) anotar(g, kEtiquetaLeer, fallandoLectura_);
    // What still waits is newer than what the table holds, and is applied to it
    // as the table will apply it: a new alarm of this workstation joins, a step
    // changes its alarm where the table's statement would.
    // Each row by its key: a long outage leaves many writes waiting, each
    // looked up once rather than against every row.
    QHash<QString, std::size_t> porClave;
    for (std::size_t i = 0; i < filas.size(); ++i) porClave.insert(filas[i].clave, i);
    for (const AlarmaPendiente& a : esperando) {
        std::optional<AccionAlarma> paso;
        if (!a.ciclo.isEmpty()) {
            paso = accion_de_texto(a.ciclo);
        } else if (a.reconocimiento) {
            paso = nueva_accion(AccionAlarma::Tipo::Reconocer, a.fila.clave, a.fila.reconocida,
                                a.fila.reconocidaEn, {});
        } else if (!porClave.contains(a.fila.clave)) {
            porClave.insert(a.fila.clave, filas.size());
            filas.push_back(a.fila);
        }
        if (!paso) continue;
        // A restore names no alarm: it reaches every open one of its zone.
        if (paso->tipo == AccionAlarma::Tipo::Restaurar) {
            for (FilaAlarma& x : filas) aplicar_en_fila(x, *paso);
        } else if (const auto it = porClave.constFind(paso->clave); it != porClave.constEnd()) {
            aplicar_en_fila(filas[*it], *paso);
        }
    }
    std::vector<FilaAlarma> abiertas, cerradas;
    for (FilaAlarma& x : filas) {
        if (!todas && x.puesto != puesto_) continue;
        (estado_de(x) == EstadoAlarma::Cerrada ? cerradas : abiertas).push_back(std::move(x));
    }
    // Open ones by arrival, the oldest first; closed ones the latest closing first.
    std::stable_sort(
        abiertas.begin(), abiertas.end(),
        [](const FilaAlarma& x, const FilaAlarma& y) { return x.recibida < y.recibida; });
    std::stable_sort(
        cerradas.begin(), cerradas.end(),
        [](const FilaAlarma& x, const FilaAlarma& y) { return x.cerrada > y.cerrada; });
    pendientes_.clear();
    enPruebas_.clear();
    reconocidas_.clear();
    cerradas_.clear();
    for (FilaAlarma& x : abiertas) colocar(nueva(std::move(x)));
    for (FilaAlarma& x : cerradas) {
        if (cerradas_.size() >= kReconocidasMostradas) break;
        cerradas_.push_back(nueva(std::move(x)));
    }
    if (!f) revisarCierres();
    return f;
}

void RegistroAlarmas::revisarCierres() {
    for (auto it = cierresPropios_.begin(); it != cierresPropios_.end();) {
        const Alarma* a = alarma(it.key());
        // Open: its closing still waits (it would be shown closed), or a
        // supervisor reopened it since.
        if (a != nullptr && a->estado() != EstadoAlarma::Cerrada) {
            ++it;
            continue;
        }
        const AccionAlarma& propio = it.value();
        if (a != nullptr &&
            (a->fila.cerrada != propio.momento || a->fila.puestoCierre != propio.puesto ||
             a->fila.operadorCierre != propio.operador))
            avisos_.push_back(QStringLiteral("La alarma ya está cerrada: ") + quien_cerro(a->fila));
        it = cierresPropios_.erase(it);
    }
}

std::vector<QString> RegistroAlarmas::tomarAvisos() {
    return std::exchange(avisos_, {});
}

void RegistroAlarmas::reintentar() {
    EscrituraAlarmas* e = escritura();
    if (e == nullptr) return;
    for (const Fallo& f : e->fallos()) anotar(f, kEtiquetaGuardar, fallandoEscritura_);
    revisarEspera();
}

std::vector<Alarma> RegistroAlarmas::recibir(const std::vector<FilaEvento>& filas) {
    std::vector<AlarmaPendiente> escritos = alarmas_nuevas(filas, puesto_);
    escribir(escritos, kEtiquetaGuardar);
    std::vector<Alarma> nuevas;
    for (AlarmaPendiente& e : escritos) {
        Alarma a = nueva(std::move(e.fila));
        nuevas.insert(nuevas.begin(), a);
        colocar(std::move(a));
    }
    return nuevas;
}

QString RegistroAlarmas::reconocer(const QString& clave) {
    return tomar(nueva_accion(AccionAlarma::Tipo::Reconocer, clave, ahora(), puesto_, operador_));
}

QString RegistroAlarmas::anadirNota(const QString& clave, const QString& texto) {
    AccionAlarma a = nueva_accion(AccionAlarma::Tipo::Nota, clave, ahora(), puesto_, operador_);
    a.nota = texto.trimmed();
    return tomar(std::move(a));
}

QString RegistroAlarmas::cerrar(const QString& clave, const QString& resolucion,
                                const QString& nota) {
    AccionAlarma a = nueva_accion(AccionAlarma::Tipo::Cerrar, clave, ahora(), puesto_, operador_);
    a.resolucion = resolucion;
    a.nota = nota.trimmed();
    return tomar(std::move(a));
}

QString RegistroAlarmas::reabrir(const QString& clave, const QString& nota) {
    AccionAlarma a = nueva_accion(AccionAlarma::Tipo::Reabrir, clave, ahora(), puesto_, operador_);
    a.nota = nota.trimmed();
    return tomar(std::move(a));
}

QString RegistroAlarmas::tomar(AccionAlarma accion) {
    std::deque<Alarma>* lista = nullptr;
    const auto it = buscar(accion.clave, lista);
    if (lista == nullptr)
        return QStringLiteral("No hay ninguna alarma con la clave %1").arg(accion.clave);
    if (accion.tipo == AccionAlarma::Tipo::Reabrir) accion.cierreVisto = it->fila.cerrada;
    const QString no = rechazo(it->fila, accion, supervisor_);
    if (!no.isEmpty()) return no;
    const EstadoAlarma antes = it->estado();
    escribir({{0, false, {}, serializar(accion)}},
             accion.tipo == AccionAlarma::Tipo::Reconocer ? kEtiquetaReconocer : kEtiquetaGuardar);
    // A note changes no row: the alarm keeps its place.
    if (accion.tipo == AccionAlarma::Tipo::Nota) {
        auditar(accion, *it, antes);
        return {};
    }
    Alarma a = std::move(*it);
    lista->erase(it);
    aplicar_en_fila(a.fila, accion);
    if (accion.tipo == AccionAlarma::Tipo::Cerrar) cierresPropios_.insert(accion.clave, accion);
    if (accion.tipo == AccionAlarma::Tipo::Reabrir) cierresPropios_.remove(accion.clave);
    auditar(accion, a, antes);
    colocar(std::move(a));
    return {};
}

void RegistroAlarmas::auditar(const AccionAlarma& accion, const Alarma& alarma,
                              EstadoAlarma antes) {
    if (!auditoria_) return;
    const auto anotar = [&](AccionAuditoria que, const QString& detalle) {
        auditoria_(EntradaAuditoria{accion.momento, accion.puesto, accion.operador, que,
                                    alarma.fila.clave, detalle});
    };
    const QString descripcion =
        QStringLiteral("abonado %1, %2 %3")
            .arg(alarma.fila.abonado, alarma.fila.evento, alarma.descripcion);
    using T = AccionAlarma::Tipo;
    switch (accion.tipo) {
    case T::Reconocer:
        anotar(AccionAuditoria::Reconocimiento, descripcion);
        return;
    case T::Nota:
        anotar(AccionAuditoria::Nota, accion.nota);
        return;
    case T::Cerrar:
        if (antes == EstadoAlarma::Nueva) anotar(AccionAuditoria::Reconocimiento, descripcion);
        anotar(AccionAuditoria::Cierre,
               QStringLiteral("resolución %1%2")
                   .arg(accion.resolucion, accion.nota.isEmpty()
                                               ? QString()
                                               : QStringLiteral("; nota: ") + accion.nota));
        return;
    case T::Reabrir:
        anotar(AccionAuditoria::Reapertura, accion.nota);
        return;
    case T::Restaurar:
        anotar(AccionAuditoria::Restauracion,
               QStringLiteral("restaurada el %1; %2").arg(accion.momento, descripcion));
        return;
    }
}

std::size_t RegistroAlarmas::reconocerTodas(const std::vector<QString>& claves) {
    const QString momento = ahora();
    std::vector<AlarmaPendiente> escritos;
    std::vector<std::pair<AccionAlarma, Alarma>> hechas;
    std::deque<Alarma> quedan;
    for (Alarma& a : pendientes_) {
        if (std::find(claves.begin(), claves.end(), a.fila.clave) == claves.end()) {
            quedan.push_back(std::move(a));
            continue;
        }
        AccionAlarma paso =
            nueva_accion(AccionAlarma::Tipo::Reconocer, a.fila.clave, momento, puesto_, operador_);
        escritos.push_back({0, false, {}, serializar(paso)});
        hechas.emplace_back(std::move(paso), std::move(a));
    }
    pendientes_ = std::move(quedan);
    // Each by its key: a write that waits never reaches an alarm received after it.
    escribir(escritos, kEtiquetaReconocer);
    for (auto& [paso, a] : hechas) {
        aplicar_en_fila(a.fila, paso);
        auditar(paso, a, EstadoAlarma::Nueva);
        colocar(std::move(a));
    }
    return hechas.size();
}

std::size_t RegistroAlarmas::restaurar(const std::vector<FilaEvento>& filas) {
    const std::vector<AlarmaPendiente> escritos = restauraciones(filas, puesto_);
    if (escritos.empty()) return 0;
    escribir(escritos, kEtiquetaGuardar);
    std::size_t marcadas = 0;
    for (const AlarmaPendiente& e : escritos) {
        const std::optional<AccionAlarma> paso = accion_de_texto(e.ciclo);
        if (!paso) continue;
        for (std::deque<Alarma>* l : {&pendientes_, &enPruebas_, &reconocidas_})
            for (Alarma& a : *l)
                if (aplicar_en_fila(a.fila, *paso)) {
                    ++marcadas;
                    AccionAlarma suya = *paso;
                    suya.operador = operador_;
                    auditar(suya, a, a.estado());
                }
    }
    return marcadas;
}

Fallo RegistroAlarmas::notas(const QString& clave, std::vector<NotaAlarma>& notas) {
    notas.clear();
    // The queue first: a note the drain loop moves meanwhile is then in the table.
    std::vector<AlarmaPendiente> esperando;
    if (EscrituraAlarmas* e = escritura()) static_cast<void>(e->leerEsperando(esperando));
    const Fallo f = base() != nullptr ? leer_notas(*base(), clave, notas) : kSinBaseAlarmas;
    if (f) notas.clear();
    for (const AlarmaPendiente& e : esperando) {
        const std::optional<AccionAlarma> a =
            e.ciclo.isEmpty() ? std::nullopt : accion_de_texto(e.ciclo);
        if (!a || a->clave != clave || a->nota.isEmpty() ||
            a->tipo == AccionAlarma::Tipo::Reconocer)
            continue;
        if (std::any_of(notas.begin(), notas.end(),
                        [&](const NotaAlarma& n) { return n.id == a->idNota; }))
            continue;
        notas.push_back({a->idNota, a->clave, a->momento, a->puesto, a->operador, a->nota});
    }
    std::stable_sort(notas.begin(), notas.end(), [](const NotaAlarma& x, const NotaAlarma& y) {
        return x.momento < y.momento;
    });
    return f;
}

} // namespace corvane
