#pragma once
// What the window tests share: a main window over a temporary data folder with a
// fixed clock and recorded messages, lookups of controls by name, and polling.

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "apoyo/apoyo.h"
#include "common/registro_errores.h"
#include "reception/estado_proceso.h"
#include "ui/form1.h"

namespace corvane::pruebas {

// The control `nombre` under `w`; fails the test when it is missing.
template <class T> T* control(const QWidget* w, const char* nombre) {
    T* c = w->findChild<T*>(QLatin1String(nombre));
    EXPECT_NE(c, nullptr) << "falta el control " << nombre;
    return c;
}

// Runs the event loop until `condicion` holds or `ms` pass.
inline bool esperar(const std::function<bool()>& condicion, int ms = 5000) {
    return QTest::qWaitFor(condicion, ms);
}

// Lets windows closed with deleteLater go.
inline void borrar_diferidos() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// How the log boxes show CR LF on screen: one line break.
inline QString en_pantalla(QString texto) {
    texto.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return texto;
}

class ConVentana : public testing::Test {
protected:
    QString base() const { return QDir(dir.path()).filePath(QStringLiteral("baseTolm.mdb")); }
    Form1& ventana(const QString& puerto = {}) {
        if (!form) {
            estado.bases.errores = &errores;
            form = std::make_unique<Form1>(estado, reloj, ArranqueForm1{base(), puerto}, &mensajes);
        }
        return *form;
    }
    void TearDown() override {
        form.reset();
        borrar_diferidos();
    }

    QTemporaryDir dir;
    RelojFijo reloj{momento(2026, 12, 6, 14, 27, 13)};
    RegistroErrores errores{dir.path(), reloj};
    EstadoProceso estado;
    MensajesGrabados mensajes;
    std::unique_ptr<Form1> form;
};

} // namespace corvane::pruebas
