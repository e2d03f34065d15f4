#pragma once
// The message-box seam: modal messages to the operator, titled "Brisca".
// Windows show a real box; tests record the messages; headless modes print them.

#include <QString>

namespace corvane {

inline const QString kTituloMensajes = QStringLiteral("Brisca");

enum class IconoMensaje { Informacion, Exclamacion };

class CajaMensajes {
public:
    virtual ~CajaMensajes() = default;
    virtual void mostrar(const QString& texto, const QString& titulo, IconoMensaje icono) = 0;
    // A yes/no question; true: yes. Where nobody can answer, no.
    virtual bool preguntar(const QString& texto, const QString& titulo) {
        static_cast<void>(texto);
        static_cast<void>(titulo);
        return false;
    }
};

} // namespace corvane
