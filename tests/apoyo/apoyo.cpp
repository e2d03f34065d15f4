#include "apoyo/apoyo.h"

#include <sys/mount.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QUuid>

#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <ostream>

#include "store/conexion_postgresql.h"
#include "store/motor.h"

namespace corvane::pruebas {

std::ostream& operator<<(std::ostream& os, const Fila& f) {
    return os << '{' << f.abonado.toStdString() << ',' << f.nivel.toStdString() << ','
              << f.indicador.toStdString() << ',' << f.momento.toStdString() << ','
              << f.origen.toStdString() << ',' << f.origenTodos.toStdString() << ','
              << f.evento.toStdString() << ',' << f.particion.toStdString() << ','
              << f.zona.toStdString() << '}';
}

namespace {

// The value of `campo` in the current row, a moment in the form both engines share.
QString texto_de(const Registros& rs, const QString& campo) {
    QVariant v;
    const Fallo f = rs.valor(campo, v);
    EXPECT_FALSE(f) << campo.toStdString() << ": " << f.detalle.toStdString();
    if (v.metaType().id() == QMetaType::QDateTime)
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return v.toString();
}

// Walks every row of `sentencia` on `base`, calling `fila` on each.
void recorrer(BaseDatos& base, const QString& sentencia,
              const std::function<void(const Registros&)>& fila) {
    std::unique_ptr<Registros> rs;
    const Fallo f = base.abrirRegistros(sentencia, rs);
    EXPECT_FALSE(f) << sentencia.toStdString() << ": " << f.detalle.toStdString();
    for (; rs && !rs->alFinal(); static_cast<void>(rs->siguiente())) fila(*rs);
}

} // namespace

QByteArray paquete_de_evento(char tipo, const char* codigo, const char* cuenta) {
    return QByteArray("\n123456000000100000f") + tipo + codigo + "01005" + cuenta + "\r";
}

QStringList valores_de(BaseDatos& base, const QString& sentencia, const QString& campo) {
    QStringList r;
    recorrer(base, sentencia, [&](const Registros& rs) { r << texto_de(rs, campo); });
    return r;
}

std::vector<QStringList> leer_csv(const QByteArray& csv, char separador) {
    QProcess python;
    python.start(
        QStringLiteral("python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import csv, io, json, sys\n"
                        "texto = io.TextIOWrapper(sys.stdin.buffer, encoding='utf-8', newline='')\n"
                        "json.dump(list(csv.reader(texto, strict=True, delimiter=sys.argv[1])), "
                        "sys.stdout)\n"),
         QString(QLatin1Char(separador))});
    EXPECT_TRUE(python.waitForStarted());
    python.write(csv);
    python.closeWriteChannel();
    EXPECT_TRUE(python.waitForFinished(30000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    std::vector<QStringList> registros;
    for (const QJsonValue& r : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        QStringList campos;
        for (const QJsonValue& c : r.toArray()) campos << c.toString();
        registros.push_back(campos);
    }
    return registros;
}

std::vector<Fila> leer_filas(const QString& base) {
    std::unique_ptr<BaseDatos> db;
    const Fallo fallo = abrir_motor(base, db);
    EXPECT_FALSE(fallo) << fallo.detalle.toStdString();
    std::vector<Fila> filas;
    if (!db) return filas;
    recorrer(*db, QStringLiteral("select * from TABLA_GENERAL order by gral_id"),
             [&](const Registros& rs) {
                 QStringList v;
                 for (const esquema::Columna& c : esquema::kColumnas) v << texto_de(rs, c.nombre);
                 filas.push_back({v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]});
             });
    return filas;
}

void ejecutar_directo(const QString& base, const QStringList& sentencias) {
    std::unique_ptr<BaseDatos> db;
    const Fallo fallo = abrir_motor(base, db);
    ASSERT_TRUE(db) << fallo.detalle.toStdString();
    for (const QString& s : sentencias) {
        const Fallo f = db->ejecutar(s);
        ASSERT_FALSE(f) << s.toStdString() << ": " << f.detalle.toStdString();
    }
}

bool tiene_texto_del_analizador(const QString& mensaje) {
    for (const char* t : {"Unknown option", "Missing value", "Unexpected value", "option"})
        if (mensaje.contains(QLatin1String(t), Qt::CaseInsensitive)) return true;
    return false;
}

QByteArray leer_archivo(const QString& ruta) {
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

QString leer_texto(const QString& ruta) {
    return QString::fromUtf8(leer_archivo(ruta));
}

QString url_postgresql() {
    return qEnvironmentVariable("CORVANE_PG_URL");
}

QString nueva_base_postgresql() {
    const QString url = url_postgresql();
    if (url.isEmpty()) return {};
    const QString nombre =
        QStringLiteral("p_") + QUuid::createUuid().toString(QUuid::Id128).left(20);
    const QString conexion = QStringLiteral("admin-") + nombre;
    {
        corvane::ConexionPostgreSQL parametros;
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), conexion);
        if (const corvane::Fallo f = corvane::ConexionPostgreSQL::leer(url, {}, parametros)) {
            ADD_FAILURE() << f.detalle.toStdString();
        } else if (parametros.ajustar(db); !db.open()) {
            ADD_FAILURE() << db.lastError().text().toStdString();
        } else {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("CREATE DATABASE ") + nombre))
                ADD_FAILURE() << q.lastError().text().toStdString();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(conexion);
    QUrl u(url);
    u.setPath(QLatin1Char('/') + nombre);
    return u.toString();
}

std::string nombre_motor(const testing::TestParamInfo<Motor>& info) {
    return info.param == Motor::SQLite ? "SQLite" : "PostgreSQL";
}

BasePrueba::BasePrueba(Motor motor) {
    if (motor == Motor::SQLite)
        ruta_ = QDir(dir_.path()).filePath(QStringLiteral("baseTolm.mdb"));
    else
        ruta_ = nueva_base_postgresql();
}

void BaseAbierta::SetUp() {
    if (GetParam() == Motor::PostgreSQL) CORVANE_REQUIERE_POSTGRESQL();
    base = std::make_unique<BasePrueba>(GetParam());
    ASSERT_TRUE(base->disponible());
    bases.errores = &errores;
    inic_base_de_datos(bases);
    abrir_base_de_datos(base->ruta(), 0, bases);
    ASSERT_EQ(bases.abierta[0], 1) << log().toStdString();
}

void BaseAbierta::guardar(const QString& abonado, const QString& momento, const QString& origen,
                          int nivel) {
    NuevoDato(FilaEvento({abonado, nivel, "00", momento, origen, "00", "E130", "01", "012"}), 0,
              bases);
}

Pty::Pty() {
    char nombre[256] = {};
    termios modo{};
    cfmakeraw(&modo);
    if (openpty(&maestro_, &esclavo_, nombre, &modo, nullptr) == 0)
        ruta_ = QString::fromLocal8Bit(nombre);
}

bool Pty::escribir(const QByteArray& datos) const {
    return ::write(maestro_, datos.constData(), static_cast<size_t>(datos.size())) == datos.size();
}

bool Pty::eco() const {
    termios modo{};
    return ::tcgetattr(esclavo_, &modo) == 0 && (modo.c_lflag & ECHO) != 0;
}

void Pty::ponerEco(bool eco) {
    termios modo{};
    if (::tcgetattr(esclavo_, &modo) != 0) return;
    if (eco)
        modo.c_lflag |= ECHO;
    else
        modo.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(esclavo_, TCSANOW, &modo);
}

void Pty::cerrar() {
    if (esclavo_ >= 0) ::close(esclavo_);
    if (maestro_ >= 0) ::close(maestro_);
    esclavo_ = maestro_ = -1;
}

bool esperar_que(const std::function<bool()>& condicion, int ms) {
    QElapsedTimer t;
    t.start();
    while (!condicion()) {
        if (t.elapsed() > ms) return false;
        // Without an application object there is no event loop to run: the
        // condition is only looked at again.
        if (QCoreApplication::instance() == nullptr) {
            QThread::msleep(10);
            continue;
        }
        QEventLoop bucle;
        QTimer::singleShot(10, &bucle, &QEventLoop::quit);
        bucle.exec();
    }
    return true;
}

QString sin_horas(QString t) {
    static const QRegularExpression kHora(QStringLiteral("\\b\\d{2}:\\d{2}:\\d{2}\\b"));
    return t.replace(kHora, QStringLiteral("hh:mm:ss"));
}

QDateTime momento(int anio, int mes, int dia, int h, int m, int s) {
    return QDateTime(QDate(anio, mes, dia), QTime(h, m, s));
}

CarpetaSoloLectura::CarpetaSoloLectura(const QString& dir) : dir_(QFile::encodeName(dir)) {
    if (::geteuid() != 0) {
        lista_ = QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner);
        return;
    }
    montada_ = ::mount(dir_.constData(), dir_.constData(), nullptr, MS_BIND, nullptr) == 0;
    lista_ = montada_ && ::mount(nullptr, dir_.constData(), nullptr,
                                 MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

CarpetaSoloLectura::~CarpetaSoloLectura() {
    if (montada_)
        ::umount2(dir_.constData(), MNT_DETACH);
    else
        QFile::setPermissions(QFile::decodeName(dir_),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace corvane::pruebas
