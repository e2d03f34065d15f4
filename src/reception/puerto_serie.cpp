#include "reception/puerto_serie.h"

#include <QSerialPort>
#include <QSerialPortInfo>

#include "common/reglas.h"
#include "common/registro_errores.h"
#include "reception/manejador.h"

namespace corvane {

namespace {

const QString kTresBlancos = QStringLiteral("   ");

// The failure of a port that did not open or refused a setting; the detail is
// the system's reason.
Fallo fallo_de(const QSerialPort& p) {
    qint32 numero = fallos::kPuertoRechazado;
    if (p.error() == QSerialPort::DeviceNotFoundError) numero = fallos::kPuertoInexistente;
    else if (p.error() == QSerialPort::PermissionError || p.error() == QSerialPort::OpenError)
        numero = fallos::kPuertoOcupado;
    return {numero, p.errorString()};
}

} // namespace

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

PuertoSerie::PuertoSerie(ManejadorRx& manejador, const Reloj& reloj, QObject* parent)
    : QObject(parent), manejador_(manejador), reloj_(reloj) {
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
    if (!f) abiertoParaOperador_ = true;
    return f;
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
    if (bytes.isEmpty()) return;
    manejador_.recibir(bytes);
    Q_EMIT actividad();
}

void PuertoSerie::alFallar() {
    if (!puerto_) return;
    // Closing from inside the port's own signal would destroy it under its feet.
    QSerialPort* viejo = puerto_.release();
    viejo->disconnect(this);
    lectura_.stop();
    // Bytes that arrived before the failure still go through the handler.
    const QByteArray resto = viejo->readAll();
    viejo->close();
    viejo->deleteLater();
    if (!resto.isEmpty()) manejador_.recibir(resto);
    reintento_.start();
    avisar(CambioPuerto::Perdido, QStringLiteral("Se perdió el puerto %1; se reintenta abrirlo cada %2 s")
                                      .arg(nombre_)
                                      .arg(kReintentoPuertoS));
}

void PuertoSerie::reintentar() {
    if (const Fallo f = abrirDispositivo()) {
        avisar(CambioPuerto::Reintento,
               QStringLiteral("Puerto %1 sin respuesta (%2); reintentando").arg(nombre_, f.detalle));
        return;
    }
    reintento_.stop();
    avisar(CambioPuerto::Recuperado, QStringLiteral("Puerto %1 recuperado").arg(nombre_));
}

void PuertoSerie::cerrar() {
    reintento_.stop();
    abiertoParaOperador_ = false;
    if (!puerto_) return;
    leer();
    puerto_->close();
    puerto_.reset();
}

void PuertoSerie::avisar(CambioPuerto que, const QString& texto) {
    Q_EMIT cambio(que, texto + kTresBlancos + reloj_.texto_hora());
    Q_EMIT actividad();
}

} // namespace corvane
