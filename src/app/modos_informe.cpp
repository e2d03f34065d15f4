// The command-line form of the alarm centre's report on the handling of alarms.

#include "app/cajas_consola.h"
#include "app/modos.h"
#include "consola/informe_atencion.h"
#include "store/archivo_base.h"
#include "store/motor.h"

namespace corvane {

int modo_informe_atencion(const Opciones& o) {
    QString error;
    if (!preparar_carpeta(o, error)) return fallar(error);
    const QString ruta = ruta_base(o);
    std::unique_ptr<BaseDatos> base;
    if (const Fallo f =
            o.base.isEmpty() ? abrir_base_lectura(ruta, base) : abrir_motor(o.base, base))
        return fallar_lectura(ruta, f);
    InformeAtencion informe;
    if (const Fallo f = informe_atencion(*base, o.fecha, o.hasta, informe))
        return fallar_lectura(ruta, f);
    if (o.csv) {
        const QByteArray csv = csv_informe(informe);
        std::fwrite(csv.constData(), 1, static_cast<std::size_t>(csv.size()), stdout);
        std::fflush(stdout);
    } else {
        escribir(stdout, texto_informe(informe));
    }
    return kSalidaCorrecta;
}

} // namespace corvane
