#include "reception/puerto_serie.h"

#include <QSerialPort>
#include <QSerialPortInfo>

#include <cerrno>

#include "common/reglas.h"
#include "common/registro_errores.h"
#include "reception/manejador.h"

namespace corvane {

namespace {

// The highest system error number looked for behind a port's failure text.
constexpr int kUltimoErrno = 200;

// The Spanish reason of the port's last failure. The port tells the system's
// error number only through its text (the system's message for that number), so
// the number is found again by that message; a failure of the port's own (its
// lock file) has no number and is told by its kind.
QString causa_de(const QSerialPort& p) {
    const QString texto = p.errorString();
    for (int n = 1; n <= kUltimoErrno; ++n)
        if (qt_error_string(n) == texto) return causa_de_errno(n);
    switch (p.error()) {
    case QSerialPort::DeviceNotFoundError:
        return causa_de_errno(ENOENT);
    case QSerialPort::PermissionError:
        return causa_de_errno(EBUSY);
    default:
        return QStringLiteral("error %1").arg(static_cast<int>(p.error()));
    }
}

// The reason of a port lost while open. A read that finds the line hung up gets
// nothing and no system error, and the port's text is then an older error's: only
// the kinds of failure that the port tells for sure are named.
QString causa_de_perdida(const QSerialPort& p) {
    switch (p.error()) {
    case QSerialPort::ResourceError: // the device went away or stopped answering
        return causa_de_errno(ENODEV);
    case QSerialPort::PermissionError:
        return causa_de_errno(EACCES);
    case QSerialPort::DeviceNotFoundError:
        return causa_de_errno(ENOENT);
    default:
        return {};
    }
}

// The failure of a port that did not open or refused a setting.
Fallo fallo_de(const QSerialPort& p) {
    qint32 numero = fallos::kPuertoRechazado;
    if (p.error() == QSerialPort::DeviceNotFoundError) numero = fallos::kPuertoInexistente;
    else if (p.error() == QSerialPort::PermissionError || p.error() == QSerialPort::OpenError)
        numero = fallos::kPuertoOcupado;
    return {numero, causa_de(p)};
}

} // namespace

QString causa_de_errno(int numero) {
    switch (numero) {
    case ENOENT:
        return QStringLiteral("no existe el dispositivo");
    case EACCES:
    case EPERM:
        return QStringLiteral("sin permiso");
    case EBUSY:
        return QStringLiteral("ocupado por otro programa");
    case EIO:
        return QStringLiteral("error de entrada/salida");
    case ENODEV:
    case ENXIO:
        return QStringLiteral("el dispositivo desapareció");
    default:
        return QStringLiteral("error %1").arg(numero);
    }
}

QString nombre_dispositivo(const QString& puerto) {
    if (!es_puerto_numerado(puerto)) return puerto;
    const int n = puerto.toInt();
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(n);
#else
    return QStringLiteral("/dev/ttyS%1").arg(n - 1);
#endif
}

QStringList puertos_del_sistema() {
    QStringList r;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString ruta = info.systemLocation();
        // The numbered list already names the built-in ports.
        if (ruta.startsWith(QLatin1String("/dev/ttyS"))) continue;
        r << ruta;
    }
    r.sort();
    return r;
}

PuertoSerie::PuertoSerie(ManejadorRx& manejador, QObject* parent)
    : QObject(parent), manejador_(manejador) {
    reintento_.setInterval(kReintentoPuertoS * 1000);
    connect(&reintento_, &QTimer::timeout, this, &PuertoSerie::reintentar);
    lectura_.setSingleShot(true);
    lectura_.setInterval(kReunirLecturaMs);
    connect(&lectura_, &QTimer::timeout, this, &PuertoSerie::leer);
}

PuertoSerie::~PuertoSerie() = default;

bool PuertoSerie::PortOpen() const { return abiertoParaOperador_; }
bool PuertoSerie::reintentando() const { return reintento_.isActive(); }

Fallo PuertoSerie::abrir(const QString& puerto, qint32 velocidad) {
    nombre_ = nombre_dispositivo(puerto);
    velocidad_ = velocidad;
    Fallo f = abrirDispositivo();
    if (f) return f;
    abiertoParaOperador_ = true;
    Q_EMIT abiertoCambiado(true);
    return f;
}

void PuertoSerie::abrirOEsperar(const QString& puerto, qint32 velocidad) {
    const Fallo f = abrir(puerto, velocidad);
    if (!f) return;
    abiertoParaOperador_ = true;
    Q_EMIT abiertoCambiado(true);
    reintento_.start();
    avisar(CambioPuerto::Perdido, f.detalle);
}

Fallo PuertoSerie::abrirDispositivo() {
    auto p = std::make_unique<QSerialPort>();
    p->setPortName(nombre_);
    // A one-byte read buffer stops the port's own reading at the first byte of a
    // burst; leer() then takes everything the device holds. No byte is dropped:
    // the rest waits in the device.
    p->setReadBufferSize(1);
    if (!p->setBaudRate(velocidad_) || !p->setDataBits(QSerialPort::Data8) ||
        !p->setParity(QSerialPort::NoParity) || !p->setStopBits(QSerialPort::OneStop) ||
        !p->setFlowControl(QSerialPort::NoFlowControl)) {
        return fallo_de(*p);
    }
    // Opening applies the settings; a device that refuses one does not open.
    if (!p->open(QIODevice::ReadOnly)) return fallo_de(*p);
    // RTS off. A device without modem lines (a pseudo-terminal) cannot set it,
    // and that is not an error.
    p->setRequestToSend(false);
    p->clearError();
    connect(p.get(), &QSerialPort::readyRead, this, &PuertoSerie::alLlegar);
    connect(p.get(), &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        if (e == QSerialPort::ReadError || e == QSerialPort::ResourceError ||
            e == QSerialPort::PermissionError || e == QSerialPort::DeviceNotFoundError)
            alFallar();
    });
    puerto_ = std::move(p);
    return {};
}

void PuertoSerie::alLlegar() {
    if (!leyendo_ && !lectura_.isActive()) lectura_.start(lineaRapida_ ? 0 : kReunirLecturaMs);
}

void PuertoSerie::leer() {
    lectura_.stop();
    if (!puerto_ || leyendo_) return;
    // Everything the device holds now, after the byte already taken, in order.
    leyendo_ = true;
    puerto_->setReadBufferSize(0);
    while (puerto_ && puerto_->bytesAvailable() < kLecturaMaxima && puerto_->waitForReadyRead(0)) {
    }
    QByteArray bytes;
    if (puerto_) {
        bytes = puerto_->readAll();
        if (puerto_->error() == QSerialPort::TimeoutError) puerto_->clearError();
        puerto_->setReadBufferSize(1);
    }
    leyendo_ = false;
    lineaRapida_ = bytes.size() >= kLecturaGrande;
    // Each read goes through the handler whole, in arrival order.
    entregar(bytes);
}

void PuertoSerie::entregar(const QByteArray& bytes) {
    if (bytes.isEmpty()) return;
    Q_EMIT llegada();
    manejador_.recibir(bytes);
    Q_EMIT actividad();
}

void PuertoSerie::alFallar() {
    if (!puerto_) return;
    // Closing from inside the port's own signal would destroy it under its feet.
    QSerialPort* viejo = puerto_.release();
    viejo->disconnect(this);
    lectura_.stop();
    const QString causa = causa_de_perdida(*viejo);
    // Bytes that arrived before the failure still go through the handler.
    const QByteArray resto = viejo->readAll();
    viejo->close();
    viejo->deleteLater();
    entregar(resto);
    reintento_.start();
    avisar(CambioPuerto::Perdido, causa);
}

void PuertoSerie::reintentar() {
    if (const Fallo f = abrirDispositivo()) {
        avisar(CambioPuerto::Reintento, f.detalle);
        return;
    }
    reintento_.stop();
    avisar(CambioPuerto::Recuperado, QString());
}

void PuertoSerie::cerrar() {
    reintento_.stop();
    const bool estaba = abiertoParaOperador_;
    abiertoParaOperador_ = false;
    if (puerto_) {
        leer();
        puerto_->close();
        puerto_.reset();
    }
    if (estaba) Q_EMIT abiertoCambiado(false);
}

void PuertoSerie::avisar(CambioPuerto que, const QString& causa) {
    Q_EMIT cambio(que, causa);
    Q_EMIT actividad();
}

} // namespace corvane
