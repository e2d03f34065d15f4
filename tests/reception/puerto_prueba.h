#pragma once
// The serial adapter over a real pseudo-terminal, as the port tests and the port
// button's tests share it: a database in a temporary folder, the receive handler
// writing in-memory boxes, and the port's changes recorded with their reasons.

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <vector>

#include "apoyo/apoyo.h"
#include "apoyo/procesos.h"
#include "common/registro_errores.h"
#include "reception/manejador.h"
#include "reception/puerto_serie.h"
#include "store/funcionesBaseDatos.h"

namespace corvane::pruebas {

class PuertoPrueba : public testing::Test {
protected:
    static void SetUpTestSuite() { asegurar_aplicacion(); }
    void SetUp() override {
        estado.bases.errores = &errores;
        abrir_base_de_datos(base(), 0, estado.bases);
        QObject::connect(&puerto, &PuertoSerie::cambio, &puerto, [this](CambioPuerto que, const QString& causa) {
            cambios.push_back(que);
            causas.push_back(causa);
        });
    }
    QString base() const { return QDir(dir.path()).filePath(QStringLiteral("baseTolm.mdb")); }

    QTemporaryDir dir;
    RelojFijo reloj{momento(2026, 12, 6, 14, 27, 13)};
    RegistroErrores errores{dir.path(), reloj};
    EstadoProceso estado;
    CajaMemoria text1, text4;
    ManejadorRx manejador{estado, text1, text4, reloj};
    PuertoSerie puerto{manejador};
    std::vector<CambioPuerto> cambios;
    std::vector<QString> causas;
};

} // namespace corvane::pruebas
