// The command-line form of the alarm centre's report on the handling of alarms.

#include "app/cajas_consola.h"
#include "app/modos.h"
#include "consola/informe_atencion.h"
#include "store/motor.h"

namespace corvane {

int modo_informe_atencion(const Opciones& o) {
    std::unique_ptr<BaseDatos> base;
    if (const int r = abrir_para_listar(o, base)) return r;
    const QString ruta = ruta_base(o);
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
