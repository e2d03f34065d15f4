#pragma once
// Alarms with a known handling, written with the store's own routines, for the
// tests of the handling report (the command line and the window). The figures
// they give for 2026-12-01 to 2026-12-07, worked out by hand (nearest-rank:
// the value at rank ceil(p/100 * n) of the sorted times; the median is the
// lower middle one):
//
//   ana  Fuego   A1 A2 A3   acknowledged after 30, 60, 90 s -> median 60, P90 90;
//                           closed A1 after 600 s -> 10:00, 10:00
//   ana  Pánico  C1         15 s; closed after 45 s
//   luis Fuego   A2         closed only (ana acknowledged it) after 1200 s
//   luis Robo    B1 B2 B3   10, 20, 40 s -> 0:20, 0:40; closed after 300, 3700,
//                           100 s -> sorted 100, 300, 3700: median 5:00, P90 1:01:40
//   (sin operador) Robo B5  5 s; closed after 50 s
//   every operator: Fuego 3 alarms, acknowledged after 30, 60, 90 s -> 1:00,
//                   1:30; closed after 600, 1200 s -> 10:00, 20:00;
//                   Pánico 1: 0:15 0:15 0:45 0:45;
//                   Robo 4 (B4 never acknowledged): 5, 10, 20, 40 -> rank 2 = 0:10,
//                   rank 4 = 0:40; 50, 100, 300, 3700 -> 1:40, 1:01:40
//   open: Fuego 1 (A3), Robo 1 (B4)
//   false alarms: 0100 two (A2 error_usuario, B5 averia), 0300 two (B1 averia,
//                 B2 entorno; B3 was a test, X1 falls before the days)
//   per hour: 08 two, 09 three, 10 one, 22 one, 23 two (B4 and C1 at 23:59:59)
//   9 alarms received (X1 at 2026-11-30 23:59:59 and X2 at 2026-12-08 00:00:00
//   are outside).

#include <QDateTime>

#include <gtest/gtest.h>

#include "store/alarmas.h"
#include "store/ciclo_alarmas.h"
#include "store/motor.h"

namespace corvane::pruebas {

inline void escribir_alarmas_informe(BaseDatos& base) {
    struct Alarma {
        const char* clave;
        const char* abonado;
        const char* evento;
        const char* recibida;
        const char* reconoce; // operator; nullptr: not acknowledged
        int aReconocer;       // seconds after reception
        const char* cierra;   // operator; nullptr: not closed
        int aCerrar;
        const char* resolucion;
    };
    const Alarma alarmas[] = {
        {"A1", "0100", "E110", "2026-12-01 08:00:00", "ana", 30, "ana", 600, "bomberos"},
        {"A2", "0100", "E110", "2026-12-02 08:10:00", "ana", 60, "luis", 1200, "error_usuario"},
        {"A3", "0200", "E110", "2026-12-03 22:00:00", "ana", 90, nullptr, 0, ""},
        {"B1", "0300", "E130", "2026-12-01 09:00:00", "luis", 10, "luis", 300, "averia"},
        {"B2", "0300", "E130", "2026-12-02 09:30:00", "luis", 20, "luis", 3700, "entorno"},
        {"B3", "0300", "E130", "2026-12-03 09:45:00", "luis", 40, "luis", 100, "prueba"},
        {"B4", "0400", "E130", "2026-12-04 23:59:59", nullptr, 0, nullptr, 0, ""},
        {"B5", "0100", "E130", "2026-12-05 10:00:00", "", 5, "", 50, "averia"},
        {"C1", "0500", "E120", "2026-12-07 23:59:59", "ana", 15, "ana", 45, "policia"},
        {"X1", "0300", "E130", "2026-11-30 23:59:59", "ana", 10, "ana", 20, "error_usuario"},
        {"X2", "0300", "E130", "2026-12-08 00:00:00", "ana", 10, "ana", 20, "error_usuario"},
    };
    ASSERT_FALSE(asegurar_tabla_alarmas(base).numero);
    ASSERT_FALSE(asegurar_ciclo_alarmas(base).numero);
    std::vector<FilaAlarma> filas;
    for (const Alarma& a : alarmas) {
        FilaAlarma f;
        f.clave = QLatin1String(a.clave);
        f.abonado = QLatin1String(a.abonado);
        f.evento = QLatin1String(a.evento);
        f.particion = QStringLiteral("01");
        f.zona = QStringLiteral("001");
        f.origen = QStringLiteral("0");
        f.recibida = QLatin1String(a.recibida);
        f.puesto = QStringLiteral("puesto1");
        filas.push_back(f);
    }
    ASSERT_FALSE(guardar_alarmas(base, filas).numero);
    const auto despues = [](const char* recibida, int s) {
        return QDateTime::fromString(QLatin1String(recibida), QStringLiteral("yyyy-MM-dd HH:mm:ss"))
            .addSecs(s)
            .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    };
    for (const Alarma& a : alarmas) {
        AccionAlarma paso;
        paso.clave = QLatin1String(a.clave);
        paso.puesto = QStringLiteral("puesto2");
        if (a.reconoce != nullptr) {
            paso.tipo = AccionAlarma::Tipo::Reconocer;
            paso.momento = despues(a.recibida, a.aReconocer);
            paso.operador = QLatin1String(a.reconoce);
            ASSERT_FALSE(aplicar_accion(base, paso).numero) << a.clave;
        }
        if (a.cierra != nullptr) {
            paso.tipo = AccionAlarma::Tipo::Cerrar;
            paso.momento = despues(a.recibida, a.aCerrar);
            paso.operador = QLatin1String(a.cierra);
            paso.resolucion = QLatin1String(a.resolucion);
            ASSERT_FALSE(aplicar_accion(base, paso).numero) << a.clave;
        }
    }
}

} // namespace corvane::pruebas
