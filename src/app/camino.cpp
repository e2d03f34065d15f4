#include "app/camino.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>
#include <QThread>

#include "app/cajas_consola.h"
#include "app/modos.h"
#include "cola/almacen_cola.h"
#include "cola/bloqueo_cola.h"
#include "cola/cola_pendientes.h"
#include "cola/recuperacion.h"
#include "consola/alarmas_recibidas.h"
#include "reception/manejador.h"
#include "reception/puerto_serie.h"
#include "reception/seguimiento.h"
#include "store/funcionesBaseDatos.h"

namespace corvane {

Proceso::Proceso(const QString& carpeta, const Reloj* relojDado)
    : reloj(relojDado != nullptr ? *relojDado : relojSistema), errores(carpeta, this->reloj) {
    estado.bases.errores = &errores;
}

Camino::Camino(const Opciones& o, const Reloj* relojDado)
    : base_(ruta_base(o)), vista_(o.vista), proceso_(carpeta_datos(o), relojDado),
      vigilado_(o.vigilancia),
      manejador_(std::make_unique<ManejadorRx>(proceso_.estado, text1_, text4_, proceso_.reloj)) {
    proceso_.estado.puesto = o.puesto.isEmpty() ? QSysInfo::machineHostName() : o.puesto;
    // The modes that receive leave their start and stop in the audit trail.
    if (!o.vista) {
        if (o.modo == Modo::Ventanas)
            modoAuditado_ = QStringLiteral("ventanas");
        else if (o.modo == Modo::SinVentana)
            modoAuditado_ =
                QStringLiteral("servicio, puerto %1 a %2 bit/s").arg(o.puerto).arg(o.velocidad);
        else if (o.modo == Modo::Reproducir)
            modoAuditado_ =
                QStringLiteral("reproducción de %1")
                    .arg(o.archivo == QLatin1String("-") ? QStringLiteral("la entrada estándar")
                                                         : QStringLiteral("«%1»").arg(o.archivo));
    }
    // Rows the store cannot take yet wait in the data folder; for a central
    // server every row passes through there. A query stores nothing and reads
    // the database directly.
    if (o.modo != Modo::Consultar && o.modo != Modo::Copia) {
        carpetaCola_ = carpeta_datos(o);
        proceso_.estado.bases.abrirConCola = &abrir_almacen;
    }
    if (o.modo != Modo::Ventanas && o.modo != Modo::SinVentana) return;
    puerto_ = std::make_unique<PuertoSerie>(*manejador_);
    // The port's opening, closing, loss and recovery, and every arrival of
    // characters, feed the supervised states, at the clock's moment.
    PuertoSerie* p = puerto_.get();
    QObject::connect(p, &PuertoSerie::abiertoCambiado, p, [this](bool abierto) {
        if (abierto)
            vigilado_.abierto(proceso_.reloj.instante());
        else
            aplicar(vigilado_.cerrado());
    });
    QObject::connect(p, &PuertoSerie::llegada, p,
                     [this] { aplicar(vigilado_.llegada(proceso_.reloj.instante())); });
    QObject::connect(p, &PuertoSerie::cambio, p, [this](CambioPuerto que, const QString& causa) {
        const Instante ahora = proceso_.reloj.instante();
        switch (que) {
        case CambioPuerto::Perdido:
            aplicar(vigilado_.perdido(puerto_->nombre(), ahora, causa));
            break;
        case CambioPuerto::Reintento:
            aplicar(vigilado_.reintento(ahora, causa));
            break;
        case CambioPuerto::Recuperado:
            aplicar(vigilado_.recuperado(ahora));
            break;
        }
    });
}

void Camino::seguir(bool conEventos, std::function<void()> alarmas) {
    if (!es_url_postgresql(base_) || seguimiento_) return;
    seguimiento_ =
        std::make_unique<Seguimiento>(base_, conEventos ? kFilasIniciales : 0, conEventos);
    Seguimiento* s = seguimiento_.get();
    if (conEventos) {
        QObject::connect(s, &Seguimiento::filas, s, [this](const std::vector<FilaEvento>& filas) {
            manejador_->mostrar_filas(filas);
            vaciar_salidas(); // standard output of the modes without windows is buffered
        });
        QObject::connect(s, &Seguimiento::conexion, s, [this](bool disponible, qint32 causa) {
            estadoCentral(disponible, causa);
        });
    }
    if (alarmas) QObject::connect(s, &Seguimiento::alarmas, s, std::move(alarmas));
    s->iniciar();
}

void Camino::estadoCentral(bool disponible, qint32 causa) {
    const QString hora = proceso_.reloj.texto_hora();
    if (disponible == avisoCentral_.isEmpty()) return;
    // The cause in our words, whatever language the server speaks.
    avisoCentral_ =
        disponible
            ? QString()
            : QStringLiteral("Base central no disponible desde %1 (%2)")
                  .arg(hora, mensaje_de_error(causa != 0 ? causa : fallos::kConexionPerdida));
    text4_.ponerTexto(disponible ? QStringLiteral("Base central disponible de nuevo a las ") + hora
                                 : avisoCentral_);
    mostrarAvisos();
    vaciar_salidas(); // standard error of the modes without windows is buffered
}

Camino::~Camino() {
    // Whatever the port or the handler still do on their way out goes nowhere:
    // the boxes may be gone already.
    ponerCajas(nullptr, nullptr);
    ponerAviso(nullptr);
    ponerVigilancia(nullptr, nullptr, nullptr);
}

void Camino::aplicar(const CambioVigilado& c) {
    if (c.vacio()) return;
    if (!c.linea.isEmpty()) lineas_.anteponer(c.linea + QStringLiteral("\r\n"));
    if (c.estado) (c.alerta ? alertaVigilada_ : estadoVigilado_).ponerTexto(*c.estado);
    if (c.registrar)
        proceso_.errores.registrar_error(fallos::kReceptorSinActividad, kEtiquetaVigilancia);
    mostrarAvisos();
    vaciar_salidas(); // standard error of the modes without windows is buffered
}

void Camino::mostrarAvisos() {
    QStringList avisos = vigilado_.alertas();
    if (!avisoBase_.isEmpty()) avisos.prepend(avisoBase_);
    if (!avisoCentral_.isEmpty()) avisos.prepend(avisoCentral_);
    if (!avisoCola_.isEmpty()) avisos.prepend(avisoCola_);
    aviso_.ponerTexto(avisos.join(QStringLiteral("   |   ")));
}

void Camino::ponerCajas(CajaTexto* text1, CajaTexto* text4) {
    text1_.destino = text1;
    text4_.destino = text4;
}

void Camino::recuperarCola() {
    const ConjuntoBases& bases = proceso_.estado.bases;
    if (bases.colaPendientes.isEmpty() || bases.abrirConCola == nullptr || base_ == kBaseEnMemoria)
        return;
    // A queue that cannot be read or written for any other reason is the store's
    // failure, logged when it opens it.
    Recuperacion r;
    if (recuperar_cola(bases.colaPendientes, proceso_.reloj.ahora(), r) || r.apartada.isEmpty())
        return;
    proceso_.errores.registrar_error(fallos::kColaRecuperada, kEtiquetaRecuperacion);
    avisoRecuperada_ = QStringLiteral("%1 eventos recuperados de la cola dañada (apartada como %2)")
                           .arg(r.eventos)
                           .arg(QFileInfo(r.apartada).fileName());
    decirRecuperada();
}

void Camino::decirRecuperada() {
    if (avisoRecuperada_.isEmpty() || text4_.destino == nullptr) return;
    text4_.ponerTexto(avisoRecuperada_ + QStringLiteral("   ") + proceso_.reloj.texto_hora());
    vaciar_salidas(); // standard error of the modes without windows is buffered
    avisoRecuperada_.clear();
}

Fallo Camino::tomarCola() {
    ConjuntoBases& bases = proceso_.estado.bases;
    if (carpetaCola_.isEmpty() || !bases.colaPendientes.isEmpty()) return {};
    QString cola;
    if (Fallo f = bloqueoCola_.tomar(carpetaCola_, destino_de_cola(base_), cola)) return f;
    bases.colaPendientes = cola;
    return {};
}

Fallo Camino::abrirBase() {
    if (Fallo f = tomarCola()) return f;
    EstadoProceso& e = proceso_.estado;
    inic_base_de_datos(e.bases);
    recuperarCola();
    abrir_base_de_datos(base_, 0, e.bases);
    e.verCuentaOnline = false;
    e.estadoRx = kEstadoN;
    // Through the local queue's audit stream: stored at once in an event file
    // that takes it, else (and always for a central server) when the drain loop
    // reaches the database; never waiting on a network.
    if (!modoAuditado_.isEmpty() && !inicioAnotado_ && e.bases.base[0] != nullptr &&
        e.bases.abierta[0] != 0)
        inicioAnotado_ = anotar(AccionAuditoria::Inicio, modoAuditado_);
    // Where there is an event loop, rows waiting for the store are watched.
    if (!vigilancia_.isActive()) {
        vigilancia_.setInterval(kRevisionPendientesMs);
        QObject::connect(&vigilancia_, &QTimer::timeout, [this] { revisarPendientes(); });
        vigilancia_.start();
    }
    return {};
}

void Camino::revisarPendientes() {
    decirRecuperada();
    ConjuntoBases& bases = proceso_.estado.bases;
    bool conFallos = false;
    std::vector<Fallo> dichos;
    const qint64 quedan = revisar_pendientes(bases, 0, &conFallos, &dichos);
    const auto decir = [this](const QString& texto) {
        text4_.ponerTexto(texto + QStringLiteral("   ") + proceso_.reloj.texto_hora());
        vaciar_salidas(); // standard error of the modes without windows is buffered
        avisoPendientes_.start();
    };
    BaseDatos* base = bases.base[0].get();
    const bool fallando = conFallos || (base != nullptr && base->fallando());
    // Each row the server refused for good is told once, with the server's
    // words; the rows after it go on.
    for (const Fallo& f : dichos) {
        if (f.numero == fallos::kFilaRechazada) {
            QString texto = f.detalle;
            texto[0] = texto[0].toUpper();
            decir(texto);
        } else if (!f.estado.isEmpty()) {
            causaServidor_ = f.detalle;
        }
    }
    if (!fallando) causaServidor_.clear();
    const QString noDisponible =
        QStringLiteral("Base de datos no disponible: %1 eventos pendientes").arg(quedan);
    // The alert names the cause, the rows held only in memory, and the rows
    // dropped past the memory's bound.
    const qint32 causa = base != nullptr ? base->ultimoFallo() : 0;
    const qint64 descartadas = base != nullptr ? base->descartadas() : 0;
    const qint64 enMemoria = base != nullptr ? base->enMemoria() : 0;
    const QString servidor =
        causaServidor_.isEmpty() ? QString() : QStringLiteral("; ") + causaServidor_;
    const QString detalle =
        (causa != 0 ? QStringLiteral(" (%1%2)").arg(mensaje_de_error(causa), servidor)
                    : QString()) +
        (enMemoria > 0 ? QStringLiteral("; %1 solo en memoria").arg(enMemoria) : QString()) +
        (descartadas > 0 ? QStringLiteral("; %1 eventos descartados").arg(descartadas) : QString());
    if (!sinBase_ && fallando && quedan > 0) {
        sinBase_ = true;
        maximoPendientes_ = quedan;
        decir(noDisponible);
        if (!detalle.isEmpty()) decir(QStringLiteral("Causa:") + detalle);
    } else if (sinBase_ && quedan == 0) {
        sinBase_ = false;
        decir(QStringLiteral("Base de datos disponible: %1 eventos pendientes guardados")
                  .arg(maximoPendientes_));
    } else if (sinBase_) {
        maximoPendientes_ = std::max(maximoPendientes_, quedan);
        if (avisoPendientes_.elapsed() >= kRepetirAvisoMs) decir(noDisponible);
    }
    // The windows keep the alert in sight, its count current, until the last row
    // is stored; the receive line's states are looked at too.
    avisoBase_ = sinBase_ ? noDisponible + detalle : QString();
    // A queue that takes no rows is told even while every row reaches the
    // database straight from memory: the next outage would find no queue.
    const bool colaMal = base != nullptr && base->colaFallando();
    if (colaMal == avisoCola_.isEmpty()) {
        const QString hora = proceso_.reloj.texto_hora();
        avisoCola_ =
            colaMal
                ? QStringLiteral("Cola local no disponible desde %1 (%2)")
                      .arg(hora, mensaje_de_error(base->falloCola() != 0 ? base->falloCola()
                                                                         : fallos::kMotorGeneral))
                : QString();
        decir(colaMal ? avisoCola_
                      : QStringLiteral("Cola local disponible de nuevo a las ") + hora);
    }
    // A receiving console's central server is watched by the drain loop even
    // with no rows to move: its loss and its return are told as a viewer's are.
    if (base != nullptr && base->dialecto() == Dialecto::PostgreSQL && base->guardaSiempre() &&
        !vista_)
        estadoCentral(!base->servidorFallando(), base->ultimoFalloServidor());
    anotarFallosAuditoria();
    aplicar(vigilado_.revisar(proceso_.reloj.instante()));
    mostrarAvisos();
}

void Camino::anotarFallosAuditoria() {
    BaseDatos* base = proceso_.estado.bases.base[0].get();
    EscrituraAuditoria* a = escritura_auditoria(base);
    if (a == nullptr) return;
    // The entries go to the events' database: its outage is the store's, told
    // once by the store; only a failure of the audit table alone is told here.
    const bool comoLaBase = base->fallando();
    for (const Fallo& f : a->fallos())
        if (!comoLaBase) proceso_.errores.registrar_error(f.numero, kEtiquetaAuditoria);
}

int Camino::terminar(const QString& causaDada) {
    vigilancia_.stop();
    seguimiento_.reset();
    // The bytes in hand go through the handler into the store first.
    if (puerto_) puerto_->cerrar();
    ConjuntoBases& bases = proceso_.estado.bases;
    BaseDatos* base = bases.base[0].get();
    qint64 perdidos = 0;
    qint64 enCola = 0;
    qint32 causa = 0;
    qint64 auditoriaPerdida = 0;
    // The stop, after a start handed over, joins the audit stream before its
    // drain loop ends: stored now, or from the queue at the next start.
    if (inicioAnotado_) static_cast<void>(anotar(AccionAuditoria::Parada, QString()));
    inicioAnotado_ = false;
    // A database that takes every row gets the stop now; one with rows waiting
    // or a server failing is not waited on (the stop keeps its limit), and the
    // entries stay in the queue.
    if (EscrituraAuditoria* a = escritura_auditoria(base);
        a != nullptr && base->pendientes() == 0 && !base->servidorFallando()) {
        QElapsedTimer espera;
        espera.start();
        while (a->esperando() > 0 && !a->fallando() && espera.elapsed() < kEsperaAuditoriaMs)
            QThread::msleep(10);
    }
    if (base != nullptr) {
        revisar_pendientes(bases, 0);
        causa = base->ultimoFallo();
        const qint64 esperando = base->pendientes();
        const qint64 descartadas = base->descartadas();
        perdidos = base->cerrarYContarPerdidas();
        if (EscrituraAuditoria* a = escritura_auditoria(base)) {
            anotarFallosAuditoria();
            auditoriaPerdida = a->soloEnMemoria();
        }
        // What waited, less what only memory held, is in the queue.
        enCola = std::max<qint64>(0, esperando - (perdidos - descartadas));
        revisar_pendientes(bases, 0);
    }
    cerrar();
    if (auditoriaPerdida > 0) {
        const QString texto =
            QStringLiteral("%1 entradas de auditoría perdidas: la cola local no las tomó")
                .arg(auditoriaPerdida);
        escribir(stderr, QStringLiteral("corvane: ") + texto + QLatin1Char('\n'));
        // Lost with events, the one record of the lost events tells the outage.
        if (perdidos == 0) proceso_.errores.registrar_error(fallos::kEventosPerdidos, texto);
    }
    if (perdidos > 0) {
        const QString texto =
            QStringLiteral("%1 eventos perdidos: la cola local no los tomó (%2)")
                .arg(perdidos)
                .arg(mensaje_de_error(causa != 0 ? causa : fallos::kMotorGeneral));
        escribir(stderr, QStringLiteral("corvane: ") + texto + QLatin1Char('\n'));
        proceso_.errores.registrar_error(fallos::kEventosPerdidos, texto);
    }
    if (enCola > 0)
        escribir(
            stderr,
            QStringLiteral("corvane: quedan %1 eventos pendientes en la cola local; se guardarán "
                           "en la base al próximo inicio%2\n")
                .arg(enCola)
                .arg(causaDada.isEmpty() ? QString()
                                         : QStringLiteral(" (causa: %1)").arg(causaDada)));
    return perdidos > 0 || enCola > 0 ? kSalidaPendientes : kSalidaCorrecta;
}

void Camino::guardarAlarmas() {
    manejador_->ponerAvisoFilas([this](const std::vector<FilaEvento>& filas) {
        escribirAlarmas(escritos_recibidos(filas, proceso_.estado.puesto));
    });
}

void Camino::escribirAlarmas(const std::vector<AlarmaPendiente>& escritos) {
    if (escritos.empty()) return;
    BaseDatos* base = proceso_.estado.bases.base[0].get();
    const Fallo f = escribir_alarmas(escritura_alarmas(base), base, escritos);
    if (f && !alarmasFallidas_)
        proceso_.errores.registrar_error(f.numero, QStringLiteral("guardar_alarma"));
    alarmasFallidas_ = static_cast<bool>(f);
}

bool Camino::anotar(AccionAuditoria accion, const QString& detalle) {
    EntradaAuditoria e;
    e.momento = proceso_.reloj.ahora().toString(kFormatoMomento);
    e.puesto = proceso_.estado.puesto;
    e.accion = accion;
    e.detalle = detalle;
    ConjuntoBases& bases = proceso_.estado.bases;
    const Fallo f = anotar_en_auditoria(bases, e);
    // Through the queue the entry waits whatever failed; the drain loop's
    // failures are logged as it meets them.
    if (!f || escritura_auditoria(bases.base[0].get()) != nullptr) return true;
    if (!auditoriaFallida_) proceso_.errores.registrar_error(f.numero, kEtiquetaAuditoria);
    auditoriaFallida_ = true;
    return false;
}

void Camino::cerrar() {
    vigilancia_.stop();
    seguimiento_.reset();
    if (puerto_) puerto_->cerrar();
    ConjuntoBases& bases = proceso_.estado.bases;
    for (auto& registros : bases.registros) {
        if (registros) registros->cerrar();
        registros.reset();
    }
    for (auto& base : bases.base) base.reset();
    bases.abierta.fill(0);
    // The queue is free for the next console once its store is closed.
    bases.colaPendientes.clear();
    bloqueoCola_.soltar();
}

} // namespace corvane
