#include "app/entrada_clave.h"

#include <csignal>
#include <termios.h>
#include <unistd.h>

#include <array>

#include "app/cajas_consola.h"

namespace corvane {
namespace {
// The terminal's settings before its echo was turned off, for a signal that
// ends the program at the prompt (Ctrl-C, a closed terminal): the handler puts
// them back before the program ends, or the shell would go on without echo.
// Written before the handler is installed, read only by it.
termios terminal_con_eco{};
constexpr std::array kSenalesDeFin = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void devolver_eco_y_terminar(int senal) {
    ::tcsetattr(STDIN_FILENO, TCSANOW, &terminal_con_eco); // async-signal-safe
    ::signal(senal, SIG_DFL);
    ::raise(senal);
}

} // namespace

bool leer_linea_entrada(QByteArray& linea) {
    linea.clear();
    char c = 0;
    bool algo = false;
    while (::read(STDIN_FILENO, &c, 1) == 1) {
        algo = true;
        if (c == '\n') break;
        linea.append(c);
    }
    if (linea.endsWith('\r')) linea.chop(1);
    return algo;
}

QByteArray leer_sin_eco(const QString& invitacion) {
    escribir(stderr, invitacion);
    const bool terminal = ::tcgetattr(STDIN_FILENO, &terminal_con_eco) == 0;
    std::array<struct sigaction, kSenalesDeFin.size()> previas{};
    if (terminal) {
        struct sigaction accion {};
        accion.sa_handler = devolver_eco_y_terminar;
        sigemptyset(&accion.sa_mask);
        for (std::size_t i = 0; i < kSenalesDeFin.size(); ++i)
            ::sigaction(kSenalesDeFin[i], &accion, &previas[i]);
        termios sinEco = terminal_con_eco;
        sinEco.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        sinEco.c_lflag |= ECHONL;
        ::tcsetattr(STDIN_FILENO, TCSANOW, &sinEco);
    }
    QByteArray linea;
    leer_linea_entrada(linea);
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &terminal_con_eco);
        for (std::size_t i = 0; i < kSenalesDeFin.size(); ++i)
            ::sigaction(kSenalesDeFin[i], &previas[i], nullptr);
    }
    return linea;
}

} // namespace corvane
