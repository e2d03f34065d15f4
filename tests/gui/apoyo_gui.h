#pragma once
// What the window tests share: a main window over the windows' receive road, on a
// temporary data folder with a fixed clock and recorded messages, and lookups of
// controls by name.

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

#include "apoyo/apoyo.h"
#include "app/camino.h"
#include "app/modo_ventanas.h"
#include "reception/estado_proceso.h"
#include "ui/form1.h"
#include "ui/sirena.h"

namespace corvane::pruebas {

// The control `nombre` under `w`; fails the test when it is missing.
template <class T> T* control(const QWidget* w, const char* nombre) {
    T* c = w->findChild<T*>(QLatin1String(nombre));
    EXPECT_NE(c, nullptr) << "falta el control " << nombre;
    return c;
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

// A sound that records what the alarm window tells it, in place of audio.
class SirenaGrabada : public Sirena {
public:
    void sonar() override {
        ++veces;
        sonando = true;
    }
    void callar() override { sonando = false; }
    void faltar(const QString& falla) { ponerFalla(falla); }
    int veces = 0;
    bool sonando = false;
};

// The road is built with the fixture; the window, on first use, as the program
// builds it (the event database is opened then).
// Each test keeps the windows' settings (QSettings "corvane") in its own folder.
class ConVentana : public testing::Test {
protected:
    ConVentana() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path()); }
    QString base() const { return QDir(dir.path()).filePath(QStringLiteral("baseTolm.mdb")); }
    Form1& ventana(const QString& puerto = {}, int velocidad = 0) {
        if (!form) form = abrir_ventana(camino, puerto, &mensajes, velocidad);
        return *form;
    }
    void TearDown() override {
        form.reset();
        borrar_diferidos();
    }
    static Opciones opciones(const QTemporaryDir& carpeta) {
        Opciones o;
        o.carpeta = carpeta.path();
        return o;
    }

    QTemporaryDir dir;
    RelojFijo reloj{momento(2026, 12, 6, 14, 27, 13)};
    Camino camino{opciones(dir), &reloj};
    EstadoProceso& estado = camino.estado();
    MensajesGrabados mensajes;
    std::unique_ptr<Form1> form;
};

} // namespace corvane::pruebas
