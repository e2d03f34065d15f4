#include "consola/registro_alarmas.h"

#include <QUuid>

#include <algorithm>

#include "decoding/codigos_evento.h"
#include "store/alarmas.h"

namespace corvane {
namespace {

const QString kEtiquetaGuardar = QStringLiteral("guardar_alarma");
const QString kEtiquetaReconocer = QStringLiteral("reconocer_alarma");
const QString kEtiquetaLeer = QStringLiteral("leer_alarmas");

const Fallo kSinBase{fallos::kSinObjeto, QStringLiteral("no hay base de datos abierta")};

} // namespace

RegistroAlarmas::RegistroAlarmas(ConjuntoBases& bases, const Reloj& reloj, QString puesto)
    : bases_(bases), reloj_(reloj), puesto_(std::move(puesto)) {}

BaseDatos* RegistroAlarmas::base() const {
    return bases_.base[0].get();
}

QString RegistroAlarmas::ahora() const {
    return reloj_.texto_fecha() + QLatin1Char(' ') + reloj_.texto_hora();
}

void RegistroAlarmas::anotar(const Fallo& f, const QString& etiqueta, bool& fallando) {
    if (f && !fallando && bases_.errores != nullptr)
        bases_.errores->registrar_error(f.numero, etiqueta);
    fallando = static_cast<bool>(f);
}

Alarma RegistroAlarmas::nueva(FilaAlarma fila) {
    Alarma a;
    a.descripcion = describir_evento(fila.evento);
    a.fila = std::move(fila);
    a.orden = ++orden_;
    return a;
}

void RegistroAlarmas::archivar(Alarma alarma) {
    const auto donde = std::find_if(reconocidas_.begin(), reconocidas_.end(),
                                    [&](const Alarma& a) { return a.orden < alarma.orden; });
    reconocidas_.insert(donde, std::move(alarma));
    if (reconocidas_.size() > kReconocidasMostradas) reconocidas_.pop_back();
}

void RegistroAlarmas::cargar() {
    pendientes_.clear();
    std::vector<FilaAlarma> filas;
    bool fallando = false;
    anotar(base() != nullptr ? leer_alarmas_sin_reconocer(*base(), puesto_, filas) : kSinBase,
           kEtiquetaLeer, fallando);
    // Newest first in the table; the oldest gets the first place in the order.
    for (auto it = filas.rbegin(); it != filas.rend(); ++it)
        pendientes_.push_front(nueva(std::move(*it)));
}

std::vector<Alarma> RegistroAlarmas::recibir(const std::vector<FilaEvento>& filas) {
    std::vector<FilaAlarma> guardar;
    for (const FilaEvento& f : filas) {
        FilaAlarma a;
        a.clave = QUuid::createUuid().toString(QUuid::WithoutBraces);
        a.abonado = f.abonado;
        a.evento = f.evento;
        a.particion = f.particion;
        a.zona = f.zona;
        a.origen = f.origen;
        a.recibida = f.momento;
        a.puesto = puesto_;
        guardar.push_back(std::move(a));
    }
    anotar(base() != nullptr ? guardar_alarmas(*base(), guardar) : kSinBase, kEtiquetaGuardar,
           fallandoGuardar_);
    std::vector<Alarma> nuevas;
    for (FilaAlarma& f : guardar) {
        pendientes_.push_front(nueva(std::move(f)));
        nuevas.insert(nuevas.begin(), pendientes_.front());
    }
    return nuevas;
}

bool RegistroAlarmas::reconocer(const QString& clave) {
    const auto it = std::find_if(pendientes_.begin(), pendientes_.end(),
                                 [&](const Alarma& a) { return a.fila.clave == clave; });
    if (it == pendientes_.end()) return false;
    Alarma a = std::move(*it);
    pendientes_.erase(it);
    a.fila.reconocida = ahora();
    a.fila.reconocidaEn = puesto_;
    anotar(base() != nullptr ? reconocer_alarmas(*base(), {clave}, a.fila.reconocida, puesto_)
                             : kSinBase,
           kEtiquetaReconocer, fallandoReconocer_);
    archivar(std::move(a));
    return true;
}

std::size_t RegistroAlarmas::reconocerTodas() {
    const std::size_t n = pendientes_.size();
    if (n == 0) return 0;
    const QString momento = ahora();
    // The list holds every alarm of this workstation that is still unacknowledged.
    anotar(base() != nullptr ? reconocer_alarmas_de(*base(), puesto_, momento, puesto_) : kSinBase,
           kEtiquetaReconocer, fallandoReconocer_);
    std::deque<Alarma> todas;
    todas.swap(pendientes_);
    // Oldest first, so that the newest stay when the list of acknowledged ones is full.
    for (auto it = todas.rbegin(); it != todas.rend(); ++it) {
        it->fila.reconocida = momento;
        it->fila.reconocidaEn = puesto_;
        archivar(std::move(*it));
    }
    return n;
}

} // namespace corvane
