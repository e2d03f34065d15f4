#pragma once
// The console's modes without windows. Each returns the process's exit status:
// 0 done, 2 bad input (with a Spanish message on standard error).

#include <QDir>
#include <QString>

#include "app/linea_comandos.h"

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

// False, with the Spanish reason, when the data folder does not exist.
bool preparar_carpeta(const Opciones& o, QString& error);
// Writes "corvane: " and `mensaje` on standard error; returns kSalidaError.
int fallar(const QString& mensaje);

int modo_reproducir(const Opciones& o);
int modo_consultar(const Opciones& o);

} // namespace corvane
