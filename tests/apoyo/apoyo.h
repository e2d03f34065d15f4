#pragma once
// What the tests share: recorded messages, temporary data folders, the stored
// rows read back, and the PostgreSQL server of the test run.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "common/mensajes.h"
#include "common/registro_errores.h"
#include "common/reloj.h"
#include "store/funcionesBaseDatos.h"
#include "store/motor.h"

// Texts print as text in gtest's failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace corvane::pruebas {

// What QCommandLineParser says of a bad command line, in English: none of it may
// reach the user, whose messages are Spanish.
bool tiene_texto_del_analizador(const QString& mensaje);

class MensajesGrabados : public CajaMensajes {
public:
    struct Mensaje {
        QString texto;
        QString titulo;
        IconoMensaje icono;
    };
    void mostrar(const QString& texto, const QString& titulo, IconoMensaje icono) override {
        mensajes.push_back({texto, titulo, icono});
    }
    // Recorded as a message with no icon of its own; `antesDeResponder` runs
    // while the question is open, then `respuesta` is the answer.
    bool preguntar(const QString& texto, const QString& titulo) override {
        preguntas.push_back({texto, titulo, IconoMensaje::Informacion});
        if (antesDeResponder) antesDeResponder();
        return respuesta;
    }
    std::vector<Mensaje> mensajes;
    std::vector<Mensaje> preguntas;
    bool respuesta = false;
    std::function<void()> antesDeResponder;
};

struct Fila {
    QString abonado;
    QString nivel;
    QString indicador;
    QString momento; // "yyyy-MM-dd HH:mm:ss" on both engines
    QString origen;
    QString origenTodos;
    QString evento;
    QString particion;
    QString zona;

    bool operator==(const Fila&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Fila& f);

// Rows of TABLA_GENERAL in insertion order; `base` as abrir_base_de_datos takes it.
std::vector<Fila> leer_filas(const QString& base);
// The values of column `campo` of every row `sentencia` selects on `base`, in
// order; a moment as "yyyy-MM-dd HH:mm:ss" on both engines. A failure to open or
// walk the recordset fails the test.
QStringList valores_de(BaseDatos& base, const QString& sentencia, const QString& campo);
// Runs statements straight on a database, outside the code under test.
void ejecutar_directo(const QString& base, const QStringList& sentencias);

QByteArray leer_archivo(const QString& ruta);
// The records of a CSV text as Python's csv module reads them (RFC 4180, UTF-8),
// values separated by `separador`.
std::vector<QStringList> leer_csv(const QByteArray& csv, char separador = ',');
QString leer_texto(const QString& ruta);

// The URL of the test run's PostgreSQL server (CORVANE_PG_URL), or empty.
QString url_postgresql();
// A new empty database on that server; its URL. Empty when there is no server.
QString nueva_base_postgresql();
// Skips the test with a visible reason when there is no server; under CI a
// missing server fails instead.
#define CORVANE_REQUIERE_POSTGRESQL()                                                              \
    do {                                                                                           \
        if (::corvane::pruebas::url_postgresql().isEmpty()) {                                      \
            if (qEnvironmentVariableIsSet("CI"))                                                   \
                FAIL() << "CI sin servidor PostgreSQL (CORVANE_PG_URL vacío)";                     \
            GTEST_SKIP() << "sin servidor PostgreSQL de prueba (CORVANE_PG_URL vacío)";            \
        }                                                                                          \
    } while (0)

// A moment of the test clock.
QDateTime momento(int anio, int mes, int dia, int h, int m, int s);

// The two engines, for table-driven storage tests.
enum class Motor { SQLite, PostgreSQL };
std::string nombre_motor(const testing::TestParamInfo<Motor>& info);

// A fresh event database for one test: a file in a temporary folder, or a new
// database on the PostgreSQL server.
class BasePrueba {
public:
    explicit BasePrueba(Motor motor);
    QString ruta() const { return ruta_; } // what abrir_base_de_datos takes
    QString carpeta() const { return dir_.path(); }
    bool disponible() const { return !ruta_.isEmpty(); }

private:
    QTemporaryDir dir_;
    QString ruta_;
};

// A fresh event database of the engine under test opened on slot 0, its errors
// recorded in a temporary folder by the test clock; skipped on PostgreSQL when
// there is no server.
class BaseAbierta : public testing::TestWithParam<Motor> {
protected:
    void SetUp() override;
    QString log() const { return leer_texto(errores.ruta()); }
    // Stores one event row on slot 0; `momento` as "yyyy-MM-dd HH:mm:ss".
    void guardar(const QString& abonado, const QString& momento,
                 const QString& origen = QStringLiteral("0"), int nivel = 5);

    QTemporaryDir carpetaLog;
    RelojFijo reloj{momento(2026, 12, 6, 14, 27, 13)};
    RegistroErrores errores{carpetaLog.path(), reloj};
    std::unique_ptr<BasePrueba> base;
    ConjuntoBases bases;
};

// A pseudo-terminal pair; the slave side stands for the serial port, the test
// writes the receiver's traffic on the master side.
class Pty {
public:
    Pty();
    ~Pty() { cerrar(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
    QString ruta() const { return ruta_; }
    bool escribir(const QByteArray& datos) const;
    // The slave side's echo, as a shell at this terminal would find it.
    bool eco() const;
    void ponerEco(bool eco);
    // Closes both sides: to the console, an adapter pulled out.
    void cerrar();

private:
    int maestro_ = -1;
    int esclavo_ = -1;
    QString ruta_;
};

// Runs the event loop until `condicion` holds or `ms` pass; it sleeps in the
// loop between checks, so waiting costs no CPU. Needs a QCoreApplication.
bool esperar_que(const std::function<bool()>& condicion, int ms = 5000);

// The framed long packet (LF ... CR) of one event: its type digit, code and
// account; partition 01, zone 005, repeater 1, signal 16/16.
QByteArray paquete_de_evento(char tipo, const char* codigo, const char* cuenta);

// Times of day written by the real clock, each as "hh:mm:ss": a comparison then
// looks at their form only.
QString sin_horas(QString t);

// The data folder `dir` made read-only while this lives: by its permissions, or,
// for root, whom permissions do not stop, by a read-only bind mount of it onto
// itself. Descriptors opened before keep writing through it.
class CarpetaSoloLectura {
public:
    explicit CarpetaSoloLectura(const QString& dir);
    ~CarpetaSoloLectura();
    CarpetaSoloLectura(const CarpetaSoloLectura&) = delete;
    CarpetaSoloLectura& operator=(const CarpetaSoloLectura&) = delete;
    bool lista() const { return lista_; }

private:
    QByteArray dir_;
    bool montada_ = false;
    bool lista_ = false;
};

} // namespace corvane::pruebas
