#pragma once
// The console's modes without windows. Each returns the process's exit status:
// 0 done, 2 bad input (with a Spanish message on standard error).

#include <QDir>
#include <QString>

#include "app/linea_comandos.h"
#include "common/registro_errores.h"
#include "common/reloj.h"
#include "reception/estado_proceso.h"
#include "store/cola_pendientes.h"

namespace corvane {

inline constexpr int kSalidaCorrecta = 0;
inline constexpr int kSalidaError = 2;
// Done, but rows wait in the local queue for the central server.
inline constexpr int kSalidaPendientes = 3;

// The data folder: --carpeta, or the program's folder.
QString carpeta_datos(const Opciones& o);
// The event database as abrir_base_de_datos takes it: the --base URL, or
// baseTolm.mdb in the data folder.
QString ruta_base(const Opciones& o);

// Opens the event database as the main window does when it loads.
void abrir_como_ventana(EstadoProceso& estado, const Opciones& o);
// False, with the Spanish reason, when the data folder does not exist.
bool preparar_carpeta(const Opciones& o, QString& error);
// Writes "corvane: " and `mensaje` on standard error; returns kSalidaError.
int fallar(const QString& mensaje);

// What every mode owns: the clock, the error log of the data folder, and the
// process-wide state whose database routines log there.
struct Proceso {
    explicit Proceso(const Opciones& o) : errores(carpeta_datos(o), reloj) {
        estado.bases.errores = &errores;
        // Rows for a central server wait in the data folder until it has them.
        if (!o.base.isEmpty()) estado.bases.colaPendientes = QDir(carpeta_datos(o)).filePath(kArchivoPendientes);
    }
    Proceso(const Proceso&) = delete;
    Proceso& operator=(const Proceso&) = delete;

    RelojSistema reloj;
    RegistroErrores errores;
    EstadoProceso estado;
};

int modo_reproducir(const Opciones& o);
int modo_consultar(const Opciones& o);

} // namespace corvane
