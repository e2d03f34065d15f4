// corvane-simulador: a receiver that writes a realistic stream of its traffic to
// a new pseudo-terminal, a given device or a file, paced like a serial line at a
// chosen speed (10 bits per character: start, 8 data, stop) or as fast as possible.
// The stream comes from a seed and is repeated byte for byte by the same seed;
// pauses (--pausa) and the realistic mode's one item a second change only when
// the bytes go out.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/generador.h"
#include "tools/linea_simulador.h"
#include "tools/realista.h"

using namespace corvane::simulador;
using Reloj = std::chrono::steady_clock;

namespace {

constexpr int kSalidaCorrecta = 0;
constexpr int kSalidaFallo = 1;    // writing failed halfway
constexpr int kSalidaOpciones = 2; // bad options or a destination that cannot be opened

constexpr double kBitsPorCaracter = 10.0; // start bit, 8 data bits, stop bit

// A paced line that falls further behind its schedule than this (the reader
// stopped reading, the machine stalled) starts a new schedule instead of
// sending the backlog in a burst.
constexpr auto kHolgura = std::chrono::milliseconds(100);
// As fast as possible: bytes gathered before each write.
constexpr std::size_t kBloqueRapido = 64 * 1024;
// Pseudo-terminal: how long to wait for a reader that takes nothing, after the
// stream, before closing; and the moment left to the reader once all is taken.
constexpr auto kEsperaLectorParado = std::chrono::seconds(5);
constexpr auto kMomentoFinal = std::chrono::milliseconds(300);
constexpr auto kSondeoDrenado = std::chrono::milliseconds(10);

void escribir_error(const std::string& texto) {
    const std::string s = "corvane-simulador: " + texto + "\n";
    std::fwrite(s.data(), 1, s.size(), stderr);
    std::fflush(stderr);
}

speed_t velocidad_termios(std::uint32_t velocidad) {
    switch (velocidad) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B19200;
    }
}

// Raw line: every byte passes untouched (no CR to LF translation, no echo).
termios modo_crudo(std::uint32_t velocidad) {
    termios t{};
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    cfsetispeed(&t, velocidad_termios(velocidad));
    cfsetospeed(&t, velocidad_termios(velocidad));
    return t;
}

enum class Fin { Completo, Senal, LectorCerrado, Fallo };

// SIGINT and SIGTERM are blocked and read from a descriptor, so that every wait
// of the stream (pacing, a full line) can end when one arrives.
class Senales {
public:
    Senales() {
        // A stop must reach the stream even when the parent left these signals
        // ignored (a background job of a shell without job control).
        signal(SIGINT, SIG_DFL);
        signal(SIGTERM, SIG_DFL);
        sigemptyset(&conjunto_);
        sigaddset(&conjunto_, SIGINT);
        sigaddset(&conjunto_, SIGTERM);
        sigprocmask(SIG_BLOCK, &conjunto_, nullptr);
        fd_ = signalfd(-1, &conjunto_, SFD_CLOEXEC | SFD_NONBLOCK);
    }
    ~Senales() {
        if (fd_ >= 0) close(fd_);
    }
    Senales(const Senales&) = delete;
    Senales& operator=(const Senales&) = delete;

    int fd() const { return fd_; }
    bool llegada() const {
        pollfd p{fd_, POLLIN, 0};
        return poll(&p, 1, 0) > 0;
    }
    // Waits `espera` or until a signal arrives; false on a signal.
    bool dormir(std::chrono::nanoseconds espera) const {
        if (espera <= std::chrono::nanoseconds::zero()) return !llegada();
        const auto s = std::chrono::duration_cast<std::chrono::seconds>(espera);
        const timespec ts{static_cast<time_t>(s.count()), static_cast<long>((espera - s).count())};
        pollfd p{fd_, POLLIN, 0};
        int r = 0;
        do r = ppoll(&p, 1, &ts, nullptr);
        while (r < 0 && errno == EINTR);
        return r <= 0;
    }

private:
    sigset_t conjunto_{};
    int fd_ = -1;
};

class Linea {
public:
    Linea(int fd, const Senales& senales) : fd_(fd), senales_(senales) {}

    // Writes every byte, waiting while the line is full; a signal ends only that
    // wait, so that a line that takes bytes still gets the packet whole.
    Fin escribir(const char* datos, std::size_t n, std::string& error) {
        while (n > 0) {
            pollfd p[2] = {{fd_, POLLOUT, 0}, {senales_.fd(), POLLIN, 0}};
            if (poll(p, 2, -1) < 0) continue;
            const bool escribible = (p[0].revents & (POLLOUT | POLLERR | POLLHUP | POLLNVAL)) != 0;
            if (!escribible) {
                if (p[1].revents & POLLIN) return Fin::Senal;
                continue;
            }
            const ssize_t w = ::write(fd_, datos, n);
            if (w < 0) {
                if (errno == EINTR || errno == EAGAIN) continue;
                if (errno == EPIPE) return Fin::LectorCerrado;
                error = std::string("no se pudo escribir: ") + std::strerror(errno);
                return Fin::Fallo;
            }
            datos += w;
            n -= static_cast<std::size_t>(w);
        }
        return Fin::Completo;
    }

private:
    int fd_;
    const Senales& senales_;
};

// The packets of the stream: the mixed traffic, or the realistic one.
class Fuente {
public:
    explicit Fuente(const Opciones& o) : mixto_(o.semilla), realista_(o.semilla), esRealista_(o.realista) {
        mixto_.ponerCuentaSeguida(o.cuentaSeguida);
        realista_.ponerCuentaSeguida(o.cuentaSeguida);
    }
    Paquete siguiente() { return esRealista_ ? realista_.siguiente() : mixto_.siguiente(); }

private:
    Generador mixto_;
    GeneradorRealista realista_;
    bool esRealista_;
};

// Writes the packets of `o` to `fd`; what was written whole is counted in `resumen`.
Fin emitir(const Opciones& o, int fd, const Senales& senales, Resumen& resumen,
           std::string& error) {
    Fuente generador(o);
    Linea linea(fd, senales);
    const bool rapido = o.velocidad == 0;
    const double nsPorCaracter = rapido ? 0.0 : kBitsPorCaracter * 1e9 / o.velocidad;
    std::string enCola; // as fast as possible: bytes not yet written, and their count
    Resumen resumenEnCola;
    Reloj::time_point ancla = Reloj::now();
    std::uint64_t desdeAncla = 0; // characters written since `ancla`

    const auto vaciar_cola = [&]() {
        const Fin fin = linea.escribir(enCola.data(), enCola.size(), error);
        if (fin == Fin::Completo) resumen += resumenEnCola;
        enCola.clear();
        resumenEnCola = {};
        return fin;
    };
    // Waits until `hasta`; false when a signal came first.
    const auto esperar = [&senales](Reloj::time_point hasta) {
        for (auto ahora = Reloj::now(); ahora < hasta; ahora = Reloj::now())
            if (!senales.dormir(hasta - ahora)) return false;
        return true;
    };
    // --pausa: the line talks for CADA - SEGUNDOS seconds, then is silent.
    const auto hablar = std::chrono::seconds(o.cadaPausa - o.pausa);
    auto proximaPausa = Reloj::now() + hablar;
    // --realista on a paced line: one item a second.
    const bool unoPorSegundo = o.realista && !rapido;
    auto proximoItem = Reloj::now();

    for (std::uint64_t i = 0; !o.paquetes || i < *o.paquetes; ++i) {
        if (senales.llegada()) {
            if (!rapido) return Fin::Senal;
            const Fin fin = vaciar_cola();
            return fin == Fin::Completo ? Fin::Senal : fin;
        }
        if (o.pausa > 0 && Reloj::now() >= proximaPausa) {
            if (rapido) {
                const Fin fin = vaciar_cola();
                if (fin != Fin::Completo) return fin;
            }
            if (!esperar(Reloj::now() + std::chrono::seconds(o.pausa))) return Fin::Senal;
            proximaPausa = Reloj::now() + hablar;
            proximoItem = Reloj::now();
        }
        if (unoPorSegundo) {
            if (!esperar(proximoItem)) return Fin::Senal;
            // A line too slow for one item a second sends them back to back.
            proximoItem = std::max(proximoItem + std::chrono::seconds(1), Reloj::now());
        }
        const Paquete p = generador.siguiente();
        if (rapido) {
            enCola += p.bytes;
            resumenEnCola.contar(p);
            if (enCola.size() >= kBloqueRapido) {
                const Fin fin = vaciar_cola();
                if (fin != Fin::Completo) return fin;
            }
            continue;
        }
        // Paced: character k is due at ancla + k character times. Whatever is due
        // goes out at once (usually one character), then the line waits for the
        // next one, so the characters are spread evenly over time. After a signal
        // the rest of the packet goes out without waiting.
        std::size_t hecho = 0;
        while (hecho < p.bytes.size()) {
            const auto debido = [&] {
                return ancla + std::chrono::nanoseconds(
                                   std::llround(static_cast<double>(desdeAncla) * nsPorCaracter));
            };
            auto ahora = Reloj::now();
            if (ahora < debido()) {
                senales.dormir(debido() - ahora);
                ahora = Reloj::now();
            } else if (ahora - debido() > kHolgura) {
                ancla = ahora;
                desdeAncla = 0;
            }
            const auto transcurrido =
                static_cast<double>(std::chrono::nanoseconds(ahora - ancla).count());
            const auto vencidos = static_cast<std::uint64_t>(transcurrido / nsPorCaracter) + 1;
            const std::uint64_t n = std::min<std::uint64_t>(
                vencidos > desdeAncla ? vencidos - desdeAncla : 1, p.bytes.size() - hecho);
            const Fin fin = linea.escribir(p.bytes.data() + hecho, n, error);
            if (fin != Fin::Completo) return fin;
            hecho += n;
            desdeAncla += n;
        }
        resumen.contar(p);
    }
    return rapido ? vaciar_cola() : Fin::Completo;
}

// Waits until the reader of the pseudo-terminal has taken every byte (or has taken
// nothing for a while), then leaves it a moment before the line closes.
void esperar_lector(int esclavo, const Senales& senales) {
    int antes = -1;
    int vacios = 0;
    auto desde = Reloj::now();
    for (;;) {
        int pendientes = 0;
        if (ioctl(esclavo, FIONREAD, &pendientes) < 0) break;
        // Bytes just written may still be on their way into the queue: two empty
        // looks in a row mean the reader has them.
        vacios = pendientes == 0 ? vacios + 1 : 0;
        if (vacios >= 2) break;
        if (pendientes != antes) {
            antes = pendientes;
            desde = Reloj::now();
        } else if (Reloj::now() - desde > kEsperaLectorParado) {
            break;
        }
        if (!senales.dormir(kSondeoDrenado)) return;
    }
    senales.dormir(kMomentoFinal);
}

int terminar(Fin fin, const Opciones& o, const Resumen& resumen, const std::string& error) {
    if (o.resumen) {
        const std::string s = texto_resumen(resumen);
        std::fwrite(s.data(), 1, s.size(), stderr);
        std::fflush(stderr);
    }
    if (fin == Fin::Fallo) {
        escribir_error(error);
        return kSalidaFallo;
    }
    return kSalidaCorrecta;
}

int con_pseudoterminal(const Opciones& o, const Senales& senales) {
    termios t = modo_crudo(o.velocidad);
    int maestro = -1;
    int esclavo = -1;
    if (openpty(&maestro, &esclavo, nullptr, &t, nullptr) < 0) {
        escribir_error(std::string("no se pudo crear el pseudoterminal: ") + std::strerror(errno));
        return kSalidaOpciones;
    }
    fcntl(maestro, F_SETFD, FD_CLOEXEC);
    fcntl(esclavo, F_SETFD, FD_CLOEXEC);
    char nombre[256] = {};
    if (ttyname_r(esclavo, nombre, sizeof nombre) != 0) {
        escribir_error("no se pudo saber la ruta del pseudoterminal");
        close(maestro);
        close(esclavo);
        return kSalidaOpciones;
    }
    std::printf("%s\n", nombre);
    std::fflush(stdout);

    // The slave end stays open here as well, so the line lives until the stream
    // ends even when the reader closes and opens it again.
    Resumen resumen;
    std::string error;
    const Fin fin = emitir(o, maestro, senales, resumen, error);
    if (fin == Fin::Completo) esperar_lector(esclavo, senales);
    close(maestro);
    close(esclavo);
    return terminar(fin, o, resumen, error);
}

int con_descriptor(const Opciones& o, const Senales& senales) {
    int fd = STDOUT_FILENO;
    const bool salidaEstandar = o.destino == Destino::Salida && o.ruta == "-";
    if (!salidaEstandar) {
        fd = o.destino == Destino::Salida
                 ? open(o.ruta.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)
                 : open(o.ruta.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            escribir_error("no se puede abrir «" + o.ruta + "»: " + std::strerror(errno));
            return kSalidaOpciones;
        }
    }
    if (isatty(fd)) {
        termios t = modo_crudo(o.velocidad);
        termios actual{};
        // A speed outside the usual list keeps the device's own.
        if (tcgetattr(fd, &actual) == 0 && velocidad_termios(o.velocidad) == B19200 &&
            o.velocidad != 19200) {
            cfsetispeed(&t, cfgetispeed(&actual));
            cfsetospeed(&t, cfgetospeed(&actual));
        }
        tcsetattr(fd, TCSANOW, &t);
    }
    Resumen resumen;
    std::string error;
    const Fin fin = emitir(o, fd, senales, resumen, error);
    if (!salidaEstandar) close(fd);
    return terminar(fin, o, resumen, error);
}

} // namespace

int main(int argc, char* argv[]) {
    Opciones o;
    const std::string error = analizar(argc, argv, o);
    if (!error.empty()) {
        escribir_error(error + "\nUse «corvane-simulador --ayuda» para ver las opciones.");
        return kSalidaOpciones;
    }
    if (o.ayuda) {
        std::fputs(texto_ayuda(), stdout);
        return kSalidaCorrecta;
    }
    // A reader that goes away is the end of the stream, not a fatal signal.
    signal(SIGPIPE, SIG_IGN);
    const Senales senales;
    if (senales.fd() < 0) {
        escribir_error(std::string("no se pudieron preparar las señales: ") + std::strerror(errno));
        return kSalidaFallo;
    }
    return o.destino == Destino::Pseudoterminal ? con_pseudoterminal(o, senales)
                                                : con_descriptor(o, senales);
}
