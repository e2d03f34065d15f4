// Replays every saved fuzz input, the seed corpus and each input that once broke a
// rule, through the same checks as the fuzz targets: every input through both the
// framer checks and the whole receive road.

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include "invariantes.h"

using namespace corvane::invariantes;

namespace {

struct Entrada {
    QString ruta;
    QByteArray bytes;
};

// The files of corpus/<objetivo> and regresion/<objetivo> for both targets.
std::vector<Entrada> entradas_guardadas() {
    std::vector<Entrada> r;
    const QDir raiz(QStringLiteral(CORVANE_FUZZ_DATOS));
    for (const char* grupo : {"corpus", "regresion"}) {
        for (const char* objetivo : {"fuzz_tramas", "fuzz_recepcion"}) {
            const QDir dir(raiz.filePath(QString::fromLatin1(grupo) + QLatin1Char('/') +
                                         QString::fromLatin1(objetivo)));
            for (const QString& nombre : dir.entryList(QDir::Files, QDir::Name)) {
                QFile f(dir.filePath(nombre));
                if (!f.open(QIODevice::ReadOnly)) continue;
                r.push_back({dir.filePath(nombre), f.readAll()});
            }
        }
    }
    return r;
}

class RegresionFuzz : public testing::Test {
protected:
    void SetUp() override {
        entradas = entradas_guardadas();
        // A wrong folder must not pass silently.
        ASSERT_GE(entradas.size(), 6u) << CORVANE_FUZZ_DATOS;
    }
    std::vector<Entrada> entradas;
};

TEST_F(RegresionFuzz, EnmarcadorYCampos) {
    for (const Entrada& e : entradas) {
        SCOPED_TRACE(e.ruta.toStdString());
        EXPECT_EQ(revisar_tramas(e.bytes), QString());
    }
}

TEST_F(RegresionFuzz, RecorridoCompletoHastaLasFilas) {
    const RecorridoRecepcion recorrido;
    for (const Entrada& e : entradas) {
        SCOPED_TRACE(e.ruta.toStdString());
        EXPECT_EQ(recorrido.revisar(e.bytes), QString());
    }
}

} // namespace
