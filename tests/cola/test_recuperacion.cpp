// A queue file damaged in each way a disk or another program leaves one: every
// row whose bytes are still whole in the file (or in its write-ahead log) comes
// back, with its values, its sequence number and in order, into a fresh queue at
// the same path; the damaged file is set aside unchanged. A healthy queue, or one
// in a folder that cannot take a new file, is left as it is.

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "apoyo/apoyo.h"
#include "apoyo/procesos.h"
#include "cola/cola_pendientes.h"
#include "cola/recuperacion.h"

using namespace corvane;
using namespace corvane::pruebas;

namespace {

constexpr int kFilas = 600; // some fifteen pages of 4096 bytes
constexpr int kAlarmas = 5;
constexpr qint64 kPrimera = 5000; // the first row's sequence: earlier ones were moved
const QDateTime kMomento = momento(2026, 12, 7, 21, 53, 0);

// Row k: its moment, unique, is what finds its bytes in a file.
FilaEvento fila(int k) {
    FilaEvento f;
    f.abonado = QStringLiteral("%1").arg(1000 + k % 9000);
    f.nivel = k % 16 + 1;
    f.indicador = QStringLiteral("18");
    f.momento = QDateTime(QDate(2026, 12, 7), QTime(0, 0)).addSecs(k).toString(kFormatoMomento);
    f.origen = QString::number(k % 16);
    f.origenTodos = k % 3 == 0 ? kRelleno : QStringLiteral("0%1").arg(k % 10);
    f.evento = QStringLiteral("E%1").arg(100 + k % 700);
    f.particion = QStringLiteral("01");
    f.zona = QStringLiteral("%1").arg(k % 1000, 3, 10, QLatin1Char('0'));
    return f;
}

AlarmaPendiente alarma(int k) {
    AlarmaPendiente a;
    a.reconocimiento = k % 2 == 1;
    a.fila = {QStringLiteral("clave-%1").arg(k),
              QStringLiteral("1234"),
              QStringLiteral("E130"),
              QStringLiteral("01"),
              QStringLiteral("005"),
              QStringLiteral("0"),
              QStringLiteral("2026-12-07 10:00:0%1").arg(k),
              QStringLiteral("puesto"),
              a.reconocimiento ? QStringLiteral("2026-12-07 11:00:00") : QString(),
              a.reconocimiento ? QStringLiteral("otro") : QString()};
    return a;
}

// A queue of kFilas rows from sequence kPrimera on and kAlarmas alarm writes.
// `abierta`: the second half of the rows and the alarms are written by a
// connection left open, and are in the write-ahead log only.
struct ColaPrueba {
    QTemporaryDir dir;
    QString ruta = QDir(dir.path()).filePath(kArchivoPendientes);
    QString identidad;
    std::unique_ptr<ColaPendientes> cola = std::make_unique<ColaPendientes>();

    explicit ColaPrueba(bool abierta = false) {
        EXPECT_FALSE(cola->abrir(ruta));
        identidad = cola->identidad();
        cola->cerrar();
        ejecutar(QStringLiteral("sqlite3"),
                 {ruta, QStringLiteral("INSERT INTO sqlite_sequence (name,seq) VALUES "
                                       "('pendientes',%1)")
                            .arg(kPrimera - 1)});
        EXPECT_FALSE(cola->abrir(ruta));
        for (const auto& [desde, hasta] :
             {std::pair{0, kFilas / 2}, std::pair{kFilas / 2, kFilas}}) {
            if (abierta) {
                EXPECT_FALSE(cola->abrir(ruta));
            }
            EXPECT_FALSE(cola->comenzar());
            for (int k = desde; k < hasta; ++k) EXPECT_FALSE(cola->encolar(fila(k)));
            EXPECT_FALSE(cola->confirmar());
            if (abierta && desde == 0) cola->cerrar();
        }
        std::vector<AlarmaPendiente> alarmas;
        for (int k = 0; k < kAlarmas; ++k) alarmas.push_back(alarma(k));
        EXPECT_FALSE(cola->encolar_alarmas(alarmas));
        if (!abierta) cola->cerrar();
    }
};

// The bytes of `marca` whole in a page of `archivo` kept to its end, or in `log`.
bool entera(const QByteArray& archivo, const QByteArray& log, const QString& marca) {
    const QByteArray m = marca.toUtf8();
    return archivo.left(archivo.size() / 4096 * 4096).contains(m) || log.contains(m);
}

QByteArray azar(qsizetype n, quint32 semilla) {
    QRandomGenerator g(semilla);
    QByteArray b(n, Qt::Uninitialized);
    for (char& c : b) c = static_cast<char>(g.bounded(256));
    return b;
}

struct CasoDano {
    const char* nombre;
    bool abierta;                               // rows only in the write-ahead log
    std::function<void(QByteArray&)> estropear; // the file's bytes
};

class ColaDanada : public testing::TestWithParam<CasoDano> {};

TEST_P(ColaDanada, CadaFilaLegibleVuelveEnOrdenConSuSecuencia) {
    const CasoDano& c = GetParam();
    ColaPrueba p(c.abierta);
    // A write-ahead log is copied as a crash leaves it, before the connection ends.
    const QByteArray log = leer_archivo(p.ruta + QStringLiteral("-wal"));
    QByteArray bytes = leer_archivo(p.ruta);
    p.cola.reset();
    c.estropear(bytes);
    {
        QFile f(p.ruta);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    if (c.abierta) {
        QFile f(p.ruta + QStringLiteral("-wal"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(log);
    }

    std::vector<EventoRecuperado> esperados;
    for (int k = 0; k < kFilas; ++k)
        if (entera(bytes, log, fila(k).momento)) esperados.push_back({kPrimera + k, fila(k), {}});
    std::vector<AlarmaPendiente> alarmas;
    for (int k = 0; k < kAlarmas; ++k) {
        AlarmaPendiente a = alarma(k);
        a.secuencia = k + 1;
        if (entera(bytes, log, a.fila.clave)) alarmas.push_back(a);
    }
    const bool identidad = entera(bytes, log, p.identidad);

    Recuperacion r;
    const Fallo f = recuperar_cola(p.ruta, kMomento, r);
    ASSERT_FALSE(f) << f.detalle.toStdString();
    EXPECT_EQ(r.apartada, p.ruta + QStringLiteral(".dañada-20261207-215300"));
    EXPECT_EQ(leer_archivo(r.apartada), bytes);
    EXPECT_EQ(leer_archivo(r.apartada + QStringLiteral("-wal")), log);
    EXPECT_EQ(r.eventos, static_cast<qint64>(esperados.size()));
    EXPECT_EQ(r.alarmas, static_cast<qint64>(alarmas.size()));
    EXPECT_EQ(r.identidadNueva, !identidad);

    ColaPendientes nueva;
    ASSERT_FALSE(nueva.abrir(p.ruta));
    EXPECT_EQ(nueva.identidad() == p.identidad, identidad);
    FilasPendientes leidas;
    ASSERT_FALSE(nueva.leer(0, kFilas * 2, leidas));
    std::vector<EventoRecuperado> vueltas;
    const std::vector<FilaEvento> filas = leidas.filas();
    for (size_t i = 0; i < filas.size(); ++i) vueltas.push_back({leidas.secuencias[i], filas[i], {}});
    EXPECT_EQ(vueltas, esperados);
    std::vector<AlarmaPendiente> alarmasLeidas;
    ASSERT_FALSE(nueva.leer_alarmas(kAlarmas * 2, alarmasLeidas));
    EXPECT_EQ(alarmasLeidas, alarmas);
    // A new row goes after every row the old queue ever numbered.
    ASSERT_FALSE(nueva.encolar(fila(kFilas)));
    ASSERT_FALSE(nueva.leer(0, kFilas * 2, leidas));
    EXPECT_GE(leidas.secuencias.back(), kPrimera + kFilas);
}

INSTANTIATE_TEST_SUITE_P(
    Casos, ColaDanada,
    testing::Values(
        CasoDano{"BytesAlAzar", false, [](QByteArray& b) { b = azar(b.size(), 1); }},
        CasoDano{"CabeceraSobrescrita", false,
                 [](QByteArray& b) { b.replace(0, 100, azar(100, 2)); }},
        CasoDano{"CortadaEnLaCabecera", false, [](QByteArray& b) { b.truncate(60); }},
        CasoDano{"CortadaEnUnaPagina", false, [](QByteArray& b) { b.truncate(7 * 4096); }},
        CasoDano{"CortadaEnMedioDeUnaPagina", false,
                 [](QByteArray& b) { b.truncate(b.size() / 2 + 1000); }},
        CasoDano{"CortadaAntesDeLaUltimaPagina", false,
                 [](QByteArray& b) { b.truncate(b.size() - 10); }},
        CasoDano{"PaginasSobrescritas", false,
                 [](QByteArray& b) {
                     for (const int pagina : {1, 4, 9})
                         b.replace(pagina * 4096, 4096, azar(4096, static_cast<quint32>(pagina)));
                 }},
        // The header says pages of 512 bytes.
        CasoDano{"TamanoDePaginaFalso", false, [](QByteArray& b) { b[16] = 2, b[17] = 0; }},
        CasoDano{"CabeceraYUnaPaginaSobrescritas", false,
                 [](QByteArray& b) {
                     b.replace(0, 100, QByteArray(100, '\xff'));
                     b.replace(6 * 4096, 4096, QByteArray(4096, '\0'));
                 }},
        // SQLite reads the pages that its write-ahead log holds from there, the
        // others from the file: those are garbage.
        CasoDano{"BytesAlAzarYFilasEnElRegistro", true,
                 [](QByteArray& b) { b = azar(b.size(), 3); }}),
    [](const auto& caso) { return std::string(caso.param.nombre); });

// Not damaged: nothing moved, nothing written.
struct CasoSinDano {
    const char* nombre;
    bool estropear;   // random bytes in place of the file
    bool soloLectura; // the data folder read-only
    bool fallo;       // recuperar_cola returns a failure
};

class ColaNoApartada : public testing::TestWithParam<CasoSinDano> {};

TEST_P(ColaNoApartada, NadaSeMueve) {
    const CasoSinDano& c = GetParam();
    ColaPrueba p;
    if (c.estropear) {
        QFile f(p.ruta);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.write(azar(f.size(), 4));
    }
    const QByteArray antes = leer_archivo(p.ruta);
    const QStringList archivos = QDir(p.dir.path()).entryList(QDir::Files);
    Recuperacion r;
    {
        std::unique_ptr<CarpetaSoloLectura> soloLectura;
        if (c.soloLectura) {
            soloLectura = std::make_unique<CarpetaSoloLectura>(p.dir.path());
            ASSERT_TRUE(soloLectura->lista());
        }
        EXPECT_EQ(static_cast<bool>(recuperar_cola(p.ruta, kMomento, r)), c.fallo);
    }
    EXPECT_TRUE(r.apartada.isEmpty());
    EXPECT_EQ(leer_archivo(p.ruta), antes);
    EXPECT_EQ(QDir(p.dir.path()).entryList(QDir::Files), archivos);
}

INSTANTIATE_TEST_SUITE_P(
    Casos, ColaNoApartada,
    testing::Values(CasoSinDano{"Sana", false, false, false},
                    CasoSinDano{"SanaEnCarpetaDeSoloLectura", false, true, false},
                    // The fresh queue cannot be written beside it.
                    CasoSinDano{"DanadaEnCarpetaDeSoloLectura", true, true, true}),
    [](const auto& caso) { return std::string(caso.param.nombre); });

// Each row keeps the key it was queued under, set apart as well: the key, not
// the sequence number, is what a copy of the queue never repeats. A row of a
// version without keys belongs to the queue's identity. Batches never mix keys.
TEST(ClavesDeLaCola, CadaFilaConservaSuClaveTambienApartada) {
    QTemporaryDir dir;
    ColaPendientes cola;
    ASSERT_FALSE(cola.abrir(QDir(dir.path()).filePath(QStringLiteral("pendientes.db"))));
    const std::vector<QString> claves{QString(), QStringLiteral("uno"), QStringLiteral("uno"), QStringLiteral("dos")};
    for (size_t k = 0; k < claves.size(); ++k) {
        cola.ponerIdentidadEnvio(claves[k]);
        ASSERT_FALSE(cola.encolar(fila(static_cast<int>(k))));
    }
    std::vector<QString> lotes;
    for (qint64 desde = 0;;) {
        FilasPendientes f;
        ASSERT_FALSE(cola.leer(desde, 100, f));
        if (f.secuencias.empty()) break;
        lotes.push_back(f.identidad + QStringLiteral(":%1").arg(f.secuencias.size()));
        desde = f.secuencias.back();
    }
    EXPECT_EQ(lotes, (std::vector<QString>{cola.identidad() + ":1", "uno:2", "dos:1"}));
    ASSERT_FALSE(cola.rechazar(1, QStringLiteral("23514"), QStringLiteral("m"), QStringLiteral("t")));
    ASSERT_FALSE(cola.rechazar(4, QStringLiteral("23514"), QStringLiteral("m"), QStringLiteral("t")));
    std::vector<FilaRechazada> apartadas;
    ASSERT_FALSE(cola.leer_rechazadas(apartadas));
    ASSERT_EQ(apartadas.size(), 2u);
    EXPECT_EQ(apartadas[0].identidad, cola.identidad());
    EXPECT_EQ(apartadas[1].identidad, QStringLiteral("dos"));
}

} // namespace
