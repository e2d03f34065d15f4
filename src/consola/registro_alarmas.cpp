#include "consola/registro_alarmas.h"

#include <QSet>
#include <QUuid>

#include <algorithm>

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

void RegistroAlarmas::anteponer(Alarma alarma) {
    if (!alarma.enPruebas) {
        pendientes_.push_front(std::move(alarma));
        return;
    }
    enPruebas_.push_front(std::move(alarma));
    if (enPruebas_.size() > kReconocidasMostradas) enPruebas_.pop_back();
}

void RegistroAlarmas::archivar(Alarma alarma) {
    const auto donde = std::find_if(reconocidas_.begin(), reconocidas_.end(),
                                    [&](const Alarma& a) { return a.orden < alarma.orden; });
    reconocidas_.insert(donde, std::move(alarma));
    if (reconocidas_.size() > kReconocidasMostradas) reconocidas_.pop_back();
}

bool RegistroAlarmas::compartido() const {
    return base() != nullptr && base()->dialecto() == Dialecto::PostgreSQL;
}

void RegistroAlarmas::cargar() {
    static_cast<void>(leer(true));
}

std::vector<Alarma> RegistroAlarmas::refrescar() {
    std::vector<Alarma> nuevas;
    if (!compartido()) return nuevas;
    QSet<QString> vistas;
    for (const Alarma& a : pendientes_) vistas.insert(a.fila.clave);
    for (const Alarma& a : enPruebas_) vistas.insert(a.fila.clave);
    for (const Alarma& a : reconocidas_) vistas.insert(a.fila.clave);
    if (leer(false)) return nuevas;
    for (const Alarma& a : pendientes_)
        if (!vistas.contains(a.fila.clave)) nuevas.push_back(a);
    return nuevas;
}

Fallo RegistroAlarmas::leer(bool inicio) {
    std::vector<FilaAlarma> filas;
    std::vector<FilaAlarma> reconocidas;
    // With a central server every workstation lists every alarm, and those
    // acknowledged lately by any of them.
    const bool todas = compartido();
    Fallo f = base() != nullptr
                  ? leer_alarmas_sin_reconocer(*base(), todas ? QString() : puesto_, filas)
                  : kSinBaseAlarmas;
    if (!f && todas)
        f = leer_alarmas_reconocidas(*base(), static_cast<int>(kReconocidasMostradas), reconocidas);
    anotar(f, kEtiquetaLeer, fallandoLectura_);
    // A refresh that cannot read the table keeps the list as it is.
    if (f && !inicio) return f;
    std::vector<AlarmaPendiente> esperando;
    if (EscrituraAlarmas* e = escritura()) {
        const Fallo g = e->leerEsperando(esperando);
        if (g) anotar(g, kEtiquetaLeer, fallandoLectura_);
    }
    // What still waits is newer than what the table holds: a new alarm of this
    // workstation goes in front, an acknowledgement takes its alarm out.
    for (const AlarmaPendiente& a : esperando) {
        const auto mismo = std::find_if(filas.begin(), filas.end(), [&](const FilaAlarma& x) {
            return x.clave == a.fila.clave;
        });
        if (a.reconocimiento && mismo != filas.end()) {
            reconocidas.insert(reconocidas.begin(), a.fila);
            filas.erase(mismo);
        } else if (!a.reconocimiento && mismo == filas.end() &&
                   (todas || a.fila.puesto == puesto_)) {
            filas.insert(filas.begin(), a.fila);
        }
    }
    pendientes_.clear();
    enPruebas_.clear();
    // Newest first; the oldest gets the first place in the order.
    for (auto it = filas.rbegin(); it != filas.rend(); ++it) anteponer(nueva(std::move(*it)));
    if (todas && !f) {
        reconocidas_.clear();
        for (auto it = reconocidas.rbegin(); it != reconocidas.rend(); ++it)
            archivar(nueva(std::move(*it)));
    }
    return f;
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
        anteponer(std::move(a));
    }
    return nuevas;
}

bool RegistroAlarmas::reconocer(const QString& clave) {
    for (std::deque<Alarma>* lista : {&pendientes_, &enPruebas_}) {
        const auto it = std::find_if(lista->begin(), lista->end(),
                                     [&](const Alarma& a) { return a.fila.clave == clave; });
        if (it == lista->end()) continue;
        std::vector<Alarma> una;
        una.push_back(std::move(*it));
        lista->erase(it);
        reconocerYa(std::move(una));
        return true;
    }
    return false;
}

std::size_t RegistroAlarmas::reconocerTodas(const std::vector<QString>& claves) {
    std::vector<Alarma> elegidas;
    std::deque<Alarma> quedan;
    // Oldest first, so that the newest stay when the list of acknowledged ones is full.
    for (auto it = pendientes_.rbegin(); it != pendientes_.rend(); ++it) {
        const bool elegida =
            std::find(claves.begin(), claves.end(), it->fila.clave) != claves.end();
        if (elegida)
            elegidas.push_back(std::move(*it));
        else
            quedan.push_front(std::move(*it));
    }
    pendientes_ = std::move(quedan);
    const std::size_t n = elegidas.size();
    if (n > 0) reconocerYa(std::move(elegidas));
    return n;
}

// Each alarm acknowledged now, by this workstation, by its key: a write that
// waits never reaches an alarm received after it.
void RegistroAlarmas::reconocerYa(std::vector<Alarma> alarmas) {
    const QString momento = ahora();
    std::vector<AlarmaPendiente> escritos;
    for (Alarma& a : alarmas) {
        a.fila.reconocida = momento;
        a.fila.reconocidaEn = puesto_;
        escritos.push_back({0, true, a.fila});
    }
    escribir(escritos, kEtiquetaReconocer);
    for (Alarma& a : alarmas) archivar(std::move(a));
}

} // namespace corvane
