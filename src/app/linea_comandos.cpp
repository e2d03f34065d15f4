#include "app/linea_comandos.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "app/tabla_opciones.h"
#include "common/reglas.h"
#include "consola/informe_atencion.h"
#include "operadores/operadores.h"
#include "reception/puerto_serie.h"
#include "store/ciclo_alarmas.h"
#include "store/conexion_postgresql.h"

namespace corvane {
namespace {

int indice_origen(const QString& valor) {
    if (valor == QLatin1String("todos")) return kOrigenesTodos;
    if (valor == QLatin1String("directo")) return kOrigenDirecto;
    // A repeater's number, written plainly.
    if (valor.isEmpty() || valor.size() > 2 || valor.startsWith(QLatin1Char('0'))) return -1;
    for (const QChar c : valor)
        if (c.unicode() < u'0' || c.unicode() > u'9') return -1;
    const int n = valor.toInt();
    return n <= kRepetidoras ? indice_filtro_origen(n) : -1;
}

// An `aplicar` for a day, AAAA-MM-DD.
std::function<QString(const QString&)> leer_fecha(QDate& destino) {
    return [&destino](const QString& v) -> QString {
        destino = QDate::fromString(v, QStringLiteral("yyyy-MM-dd"));
        if (!destino.isValid())
            return QStringLiteral("fecha no válida «%1»: se espera AAAA-MM-DD").arg(v);
        return {};
    };
}

// Writes 'x' over `texto`'s bytes [desde, hasta).
void tapar(char* texto, size_t desde, size_t hasta) {
    if (desde < hasta) std::memset(texto + desde, 'x', hasta - desde);
}

// The passwords of one argument of `largo` bytes: a postgresql:// URL alone or
// after "--base=" / "-base=". The user information ends at the last "@" before
// the path, the query or the fragment, and its password after its first ":", so
// that the whole of it is covered however a reader splits a raw "@" (QUrl at the
// last one, libpq at the first). In the query, every "password=" value.
void tapar_claves(char* texto, size_t largo) {
    const std::string_view argumento(texto, largo);
    size_t inicio = 0;
    for (const std::string_view prefijo : {std::string_view("--base="), std::string_view("-base=")})
        if (argumento.substr(0, prefijo.size()) == prefijo) inicio = prefijo.size();
    const std::string_view url = argumento.substr(inicio);
    if (!es_url_postgresql(QString::fromUtf8(url.data(), static_cast<qsizetype>(url.size()))))
        return;
    const size_t autoridad = inicio + url.find("://") + 3;
    const size_t finAutoridad = std::min(argumento.find_first_of("/?#", autoridad), largo);
    const size_t arroba = argumento.substr(0, finAutoridad).rfind('@');
    if (arroba != std::string_view::npos && arroba >= autoridad) {
        const size_t dosPuntos = argumento.find(':', autoridad);
        if (dosPuntos < arroba) tapar(texto, dosPuntos + 1, arroba);
    }
    if (finAutoridad == largo || argumento[finAutoridad] == '#') return;
    const size_t pregunta = argumento.find('?', finAutoridad);
    if (pregunta == std::string_view::npos) return;
    const size_t finConsulta = std::min(argumento.find('#', pregunta), largo);
    const std::string_view clave = "password=";
    for (size_t parametro = pregunta + 1; parametro < finConsulta;) {
        const size_t fin = std::min(argumento.find('&', parametro), finConsulta);
        if (argumento.substr(parametro, clave.size()) == clave && parametro + clave.size() <= fin)
            tapar(texto, parametro + clave.size(), fin);
        parametro = fin + 1;
    }
}

// An `aplicar` for a user name.
std::function<QString(const QString&)> leer_usuario(QString& destino) {
    return [&destino](const QString& v) -> QString {
        if (!usuario_valido(v))
            return QStringLiteral("usuario no válido «%1»: de 1 a %2 caracteres entre a-z, 0-9, "
                                  "«.», «_» y «-»")
                .arg(v, QString::number(kLargoUsuario));
        destino = v;
        return {};
    };
}

// "1200, 4800, 9600 o 19200"
QString texto_velocidades() {
    QStringList v = textos_velocidades();
    const QString ultima = v.takeLast();
    return v.join(QLatin1String(", ")) + QLatin1String(" o ") + ultima;
}

} // namespace

LineaComandos analizar_linea_comandos(const QStringList& argumentos) {
    LineaComandos r;
    Opciones& o = r.opciones;
    const auto fallar = [&r](const QString& mensaje) {
        r.error = mensaje;
        return r;
    };
    const std::vector<OpcionLinea> tabla = {
        {"reproducir", kConValor, guardar_en(o.archivo)},
        {"carpeta", kConValor, guardar_en(o.carpeta)},
        {"base", kConValor,
         [&o](const QString& v) -> QString {
             if (!es_url_postgresql(v))
                 return QStringLiteral(
                     "--base espera una dirección postgresql://usuario@servidor:puerto/base");
             ConexionPostgreSQL c;
             if (const Fallo f = ConexionPostgreSQL::leer(v, {}, c))
                 return QStringLiteral("--base: ") + f.detalle;
             o.base = v;
             return {};
         }},
        {"sin-ventana", kInterruptor, {}},
        {"puerto", kConValor,
         [&o](const QString& v) -> QString {
             if (!es_puerto_numerado(v) && !v.startsWith(QLatin1Char('/')))
                 return QStringLiteral("--puerto espera un número de 1 a %1 o la ruta de un "
                                       "dispositivo, no «%2»")
                     .arg(QString::number(kPuertosNumerados), v);
             o.puerto = v;
             return {};
         }},
        {"velocidad", kConValor,
         [&o](const QString& v) -> QString {
             if (!textos_velocidades().contains(v))
                 return QStringLiteral("--velocidad espera %1, no «%2»")
                     .arg(texto_velocidades(), v);
             o.velocidad = v.toInt();
             return {};
         }},
        {"consultar", kConValor,
         [&o](const QString& v) -> QString {
             if (!cuenta_valida(v))
                 return QStringLiteral(
                            "cuenta no válida «%1»: de 1 a %2 caracteres entre 0-9 y b-f")
                     .arg(v, QString::number(kLargoCuenta));
             o.cuenta = v;
             return {};
         }},
        {"importar-abonados", kConValor, guardar_en(o.carpetaAbonados)},
        {"exportar-abonados", kConValor, guardar_en(o.carpetaAbonados)},
        {"abonado", kConValor,
         [&o](const QString& v) -> QString {
             if (!cuenta_valida(v))
                 return QStringLiteral(
                            "cuenta no válida «%1»: de 1 a %2 caracteres entre 0-9 y b-f")
                     .arg(v, QString::number(kLargoCuenta));
             o.abonado = v;
             return {};
         }},
        {"operador-alta", kConValor, leer_usuario(o.operador)},
        {"operador-baja", kConValor, leer_usuario(o.operador)},
        {"operador-clave", kConValor, leer_usuario(o.operador)},
        {"operadores", kInterruptor, {}},
        {"operador", kConValor, leer_usuario(o.operador)},
        {"alarmas", kInterruptor, {}},
        {"reconocer", kConValor, guardar_en(o.claveAlarma)},
        {"nota", kConValor, guardar_en(o.textoNota)},
        {"cerrar", kConValor, guardar_en(o.claveAlarma)},
        {"reabrir", kConValor, guardar_en(o.claveAlarma)},
        {"resolucion", kConValor,
         [&o](const QString& v) -> QString {
             if (!resolucion_de(v))
                 return QStringLiteral("resolución no válida «%1»: se espera una de %2")
                     .arg(v, codigos_resolucion());
             o.resolucion = v;
             return {};
         }},
        {"nombre", kConValor, guardar_en(o.nombreOperador)},
        {"rol", kConValor,
         [&o](const QString& v) -> QString {
             if (!rol_de_texto(v))
                 return QStringLiteral("rol no válido «%1»: se espera operador o supervisor")
                     .arg(v);
             o.rol = v;
             return {};
         }},
        {"fecha", kConValor, leer_fecha(o.fecha)},
        {"desde", kConValor, leer_fecha(o.fecha)},
        {"hasta", kConValor, leer_fecha(o.hasta)},
        {"todas", kInterruptor, marcar(o.todas)},
        {"detalle", kInterruptor, marcar(o.detalle)},
        {"origen", kConValor,
         [&o](const QString& v) -> QString {
             o.origen = indice_origen(v);
             if (o.origen < 0)
                 return QStringLiteral(
                            "origen no válido «%1»: se espera todos, directo o de 1 a %2")
                     .arg(v)
                     .arg(kRepetidoras);
             return {};
         }},
        {"csv", kInterruptor, marcar(o.csv)},
        {"copia", kConValor, guardar_en(o.copia)},
        {"esperar-puerto", kInterruptor, marcar(o.esperarPuerto)},
        {"vigilancia", kConValor,
         [&o](const QString& v) -> QString {
             bool numero = !v.isEmpty() && v.size() <= 4;
             for (const QChar c : v) numero = numero && c.unicode() >= u'0' && c.unicode() <= u'9';
             if (!numero || !vigilancia_valida(v.toInt()))
                 return QStringLiteral(
                            "--vigilancia espera segundos de %1 a %2, o 0 para no vigilar, no «%3»")
                     .arg(QString::number(kVigilanciaMinima), QString::number(kVigilanciaMaxima),
                          v);
             o.vigilancia = v.toInt();
             return {};
         }},
        {"vista", kInterruptor, marcar(o.vista)},
        {"verificar-auditoria", kInterruptor, {}},
        {"informe-atencion", kInterruptor, {}},
        {"pendientes", kInterruptor, {}},
        {"reenviar-rechazadas", kInterruptor, {}},
        {"puesto", kConValor,
         [&o](const QString& v) -> QString {
             if (v.size() > kLargoPuesto || v.trimmed() != v)
                 return QStringLiteral(
                            "--puesto espera un nombre de hasta %1 caracteres, sin blancos "
                            "al principio ni al final, no «%2»")
                     .arg(QString::number(kLargoPuesto), v);
             o.puesto = v;
             return {};
         }},
    };
    // One argument that is no option: the text after --nota CLAVE.
    const LecturaLinea linea = leer_linea(argumentos, tabla, 1);
    if (!linea.error.isEmpty()) return fallar(linea.error);
    if (linea.ayuda) {
        o.modo = Modo::Ayuda;
        return r;
    }

    const auto dada = [&linea](const char* nombre) {
        return linea.dadas.contains(QLatin1String(nombre));
    };
    const bool sinVentana = dada("sin-ventana");
    // --alarmas --todas lists the latest closed alarms too; --todas alone
    // lists every account's events.
    const bool alarmas = dada("alarmas"), reconocer = dada("reconocer"), cerrar = dada("cerrar"),
               reabrir = dada("reabrir");
    const bool nota = dada("nota") && !cerrar && !reabrir;
    const bool consultarTodas = o.todas && !alarmas;
    if (dada("consultar") && o.todas)
        return fallar(QStringLiteral(
            "--consultar CUENTA y --todas no se combinan: --todas lista todas las cuentas"));
    const bool pendientes = dada("pendientes"), reenviar = dada("reenviar-rechazadas");
    const bool importar = dada("importar-abonados"), exportar = dada("exportar-abonados"),
               ficha = dada("abonado"), verificar = dada("verificar-auditoria"),
               informe = dada("informe-atencion");
    const bool alta = dada("operador-alta"), baja = dada("operador-baja"),
               clave = dada("operador-clave"), operadores = dada("operadores");
    const int modos = (sinVentana ? 1 : 0) + (dada("reproducir") ? 1 : 0) +
                      (dada("consultar") || consultarTodas ? 1 : 0) + (dada("copia") ? 1 : 0) +
                      (pendientes ? 1 : 0) + (reenviar ? 1 : 0) + (importar ? 1 : 0) +
                      (exportar ? 1 : 0) + (ficha ? 1 : 0) + (alta ? 1 : 0) + (baja ? 1 : 0) +
                      (clave ? 1 : 0) + (operadores ? 1 : 0) + (verificar ? 1 : 0) +
                      (alarmas ? 1 : 0) + (reconocer ? 1 : 0) + (nota ? 1 : 0) + (cerrar ? 1 : 0) +
                      (reabrir ? 1 : 0) + (informe ? 1 : 0);
    if (modos > 1)
        return fallar(
            QStringLiteral("--reproducir, --sin-ventana, --consultar, --copia, --pendientes, "
                           "--reenviar-rechazadas, --importar-abonados, --exportar-abonados, "
                           "--abonado, --operador-alta, --operador-baja, --operador-clave, "
                           "--operadores, --verificar-auditoria, --alarmas, --reconocer, "
                           "--nota, --cerrar, --reabrir y --informe-atencion no se combinan"));
    const bool deConsulta = dada("fecha") || dada("origen") || (o.csv && !informe);
    const bool deIntervalo = dada("desde") || dada("hasta") || o.detalle;
    // --verificar-auditoria and --informe-atencion take a range of days too, and
    // nothing else of a listing (the report also --csv).
    const bool deAuditoria = verificar || informe;
    const bool dePuerto = dada("velocidad");
    if (!o.archivo.isEmpty())
        o.modo = Modo::Reproducir;
    else if (!o.cuenta.isEmpty() || consultarTodas)
        o.modo = Modo::Consultar;
    else if (sinVentana)
        o.modo = Modo::SinVentana;
    else if (!o.copia.isEmpty())
        o.modo = Modo::Copia;
    else if (pendientes)
        o.modo = Modo::Pendientes;
    else if (reenviar)
        o.modo = Modo::ReenviarRechazadas;
    else if (importar)
        o.modo = Modo::ImportarAbonados;
    else if (exportar)
        o.modo = Modo::ExportarAbonados;
    else if (ficha)
        o.modo = Modo::Abonado;
    else if (alta)
        o.modo = Modo::OperadorAlta;
    else if (baja)
        o.modo = Modo::OperadorBaja;
    else if (clave)
        o.modo = Modo::OperadorClave;
    else if (operadores)
        o.modo = Modo::Operadores;
    else if (verificar)
        o.modo = Modo::VerificarAuditoria;
    else if (informe)
        o.modo = Modo::InformeAtencion;
    else if (alarmas)
        o.modo = Modo::Alarmas;
    else if (reconocer)
        o.modo = Modo::ReconocerAlarma;
    else if (nota)
        o.modo = Modo::NotaAlarma;
    else if (cerrar)
        o.modo = Modo::CerrarAlarma;
    else if (reabrir)
        o.modo = Modo::ReabrirAlarma;
    const bool accionAlarma = reconocer || nota || cerrar || reabrir;
    if (nota) {
        // --nota CLAVE "texto": the value is the key, the text comes after it.
        if (linea.sueltos.isEmpty())
            return fallar(QStringLiteral(
                "--nota CLAVE necesita el texto de la nota: --nota CLAVE \"texto\""));
        o.claveAlarma = o.textoNota;
        o.textoNota = linea.sueltos.first();
    } else if (!linea.sueltos.isEmpty()) {
        return fallar(QStringLiteral("argumento inesperado: %1").arg(linea.sueltos.first()));
    }
    if (o.textoNota.trimmed().isEmpty() && dada("nota"))
        return fallar(QStringLiteral("la nota está vacía"));
    if (dada("operador") && !accionAlarma)
        return fallar(
            QStringLiteral("--operador solo sirve con --reconocer, --nota, --cerrar y --reabrir"));
    if (accionAlarma && !dada("operador"))
        return fallar(QStringLiteral(
            "--reconocer, --nota, --cerrar y --reabrir necesitan --operador USUARIO; "
            "la contraseña se lee de la entrada estándar"));
    if (dada("resolucion") && !cerrar)
        return fallar(QStringLiteral("--resolucion solo sirve con --cerrar"));
    if (cerrar && !dada("resolucion"))
        return fallar(
            QStringLiteral("--cerrar necesita --resolucion: una de %1").arg(codigos_resolucion()));
    if (reabrir && !dada("nota"))
        return fallar(
            QStringLiteral("--reabrir necesita --nota \"texto\": el motivo de la reapertura"));
    if ((dada("nombre") || dada("rol")) && !alta)
        return fallar(QStringLiteral("--nombre y --rol solo sirven con --operador-alta"));
    if (alta && !dada("nombre"))
        return fallar(
            QStringLiteral("--operador-alta necesita --nombre: el nombre completo del operador"));
    if (o.modo == Modo::Pendientes && !o.base.isEmpty())
        return fallar(
            QStringLiteral("--pendientes no se conecta a ninguna base: no se combina con --base"));
    if (o.modo == Modo::ReenviarRechazadas && o.base.isEmpty())
        return fallar(QStringLiteral(
            "--reenviar-rechazadas necesita --base: el servidor al que se reenvían"));
    if (o.modo == Modo::Copia && !o.base.isEmpty())
        return fallar(QStringLiteral(
            "--copia copia baseTolm.mdb de la carpeta de datos; no se combina con --base"));
    if (deConsulta && o.modo != Modo::Consultar)
        return fallar(QStringLiteral("--fecha y --origen solo sirven con --consultar, --csv con "
                                     "--consultar o con --informe-atencion"));
    if (deAuditoria && o.detalle)
        return fallar(QStringLiteral("--detalle solo sirve con --consultar CUENTA o con --todas"));
    if (deIntervalo && o.modo != Modo::Consultar && !deAuditoria)
        return fallar(QStringLiteral(
            "--desde, --hasta y --detalle solo sirven con --consultar CUENTA o con --todas"));
    if (dada("fecha") && dada("desde"))
        return fallar(QStringLiteral(
            "--fecha y --desde no se combinan: --fecha D es lo mismo que --desde D"));
    if (dada("hasta") && !dada("fecha") && !dada("desde"))
        return fallar(QStringLiteral("--hasta necesita --desde"));
    if (o.csv && o.detalle) return fallar(QStringLiteral("--csv y --detalle no se combinan"));
    if (o.hasta.isValid() && o.hasta < o.fecha)
        return fallar(
            QStringLiteral("el intervalo no es válido: --hasta %1 es anterior a --desde %2")
                .arg(o.hasta.toString(QStringLiteral("yyyy-MM-dd")),
                     o.fecha.toString(QStringLiteral("yyyy-MM-dd"))));
    if (dePuerto && o.modo != Modo::SinVentana && o.modo != Modo::Ventanas)
        return fallar(
            QStringLiteral("--velocidad solo sirve con --sin-ventana o con las ventanas"));
    // With the windows, --puerto alone chooses the port in its list; with
    // --velocidad too the port is opened at start.
    if (dePuerto && o.modo == Modo::Ventanas && !o.vista && o.puerto.isEmpty())
        return fallar(QStringLiteral(
            "--velocidad con las ventanas necesita --puerto: el puerto que se abre al arrancar"));
    if (!o.puerto.isEmpty() && o.modo != Modo::SinVentana && o.modo != Modo::Ventanas)
        return fallar(QStringLiteral("--puerto solo sirve con --sin-ventana o con las ventanas"));
    if (o.esperarPuerto && o.modo != Modo::SinVentana)
        return fallar(QStringLiteral("--esperar-puerto solo sirve con --sin-ventana"));
    if (dada("vigilancia") && o.modo != Modo::SinVentana && o.modo != Modo::Ventanas)
        return fallar(
            QStringLiteral("--vigilancia solo sirve con --sin-ventana o con las ventanas"));
    if (o.vista) {
        if (o.modo != Modo::SinVentana && o.modo != Modo::Ventanas)
            return fallar(
                QStringLiteral("--vista solo sirve con las ventanas o con --sin-ventana"));
        if (o.base.isEmpty())
            return fallar(
                QStringLiteral("--vista necesita --base: muestra lo que guarda la base central"));
        if (!o.puerto.isEmpty() || dePuerto || o.esperarPuerto)
            return fallar(QStringLiteral("--vista no usa puerto: no se combina con --puerto, "
                                         "--velocidad ni --esperar-puerto"));
    } else if (o.modo == Modo::SinVentana) {
        if (o.puerto.isEmpty()) return fallar(QStringLiteral("--sin-ventana necesita --puerto"));
        if (o.velocidad == 0) return fallar(QStringLiteral("--sin-ventana necesita --velocidad"));
    }
    // The operators' changes and the alarm actions name the workstation in the
    // audit trail too.
    if (dada("puesto") && o.modo != Modo::Ventanas && o.modo != Modo::OperadorAlta &&
        o.modo != Modo::OperadorBaja && o.modo != Modo::OperadorClave && !accionAlarma)
        return fallar(QStringLiteral("--puesto solo sirve con las ventanas, con --operador-alta, "
                                     "--operador-baja u --operador-clave y con las acciones sobre "
                                     "alarmas"));
    if (o.modo == Modo::Consultar && !o.fecha.isValid()) o.fecha = QDate::currentDate();
    if (o.modo == Modo::Consultar && !o.hasta.isValid()) o.hasta = o.fecha;
    // The report: by default the last seven days, today among them; from --desde
    // alone, to today.
    if (o.modo == Modo::InformeAtencion && !o.fecha.isValid())
        o.fecha = QDate::currentDate().addDays(-(kDiasInforme - 1));
    if (o.modo == Modo::InformeAtencion && !o.hasta.isValid())
        o.hasta = std::max(o.fecha, QDate::currentDate());
    return r;
}

QString texto_ayuda() {
    return QStringLiteral(
               "Corvane: consola del receptor de alarmas.\n"
               "\n"
               "Uso:\n"
               "  corvane                               abre las ventanas de la consola\n"
               "  corvane --reproducir ARCHIVO          pasa una captura (o - para la entrada\n"
               "                                        estándar) por la recepción completa\n"
               "  corvane --sin-ventana --puerto P --velocidad V\n"
               "                                        recibe de un puerto sin ventanas hasta\n"
               "                                        SIGINT o SIGTERM\n"
               "  corvane --consultar CUENTA --fecha AAAA-MM-DD [--origen todos|directo|1..15] "
               "[--csv]\n"
               "                                        lista los eventos de una cuenta en un día\n"
               "  corvane --consultar CUENTA|--todas --desde AAAA-MM-DD [--hasta AAAA-MM-DD]\n"
               "          [--origen ...] [--detalle|--csv]\n"
               "                                        los eventos de una cuenta, o de todas, de\n"
               "                                        --desde a --hasta (ambos incluidos; por\n"
               "                                        omisión --hasta es --desde); --detalle "
               "añade\n"
               "                                        evento, descripción, clase, partición y "
               "zona;\n"
               "                                        --csv da todas las columnas en CSV\n"
               "  corvane --copia DESTINO               copia baseTolm.mdb en DESTINO (archivo\n"
               "                                        nuevo), coherente aun con la consola en\n"
               "                                        marcha\n"
               "  corvane --pendientes                  lo que espera en las colas locales de la\n"
               "                                        carpeta de datos (eventos, alarmas) y "
               "cada\n"
               "                                        fila que el servidor rechazó, sin\n"
               "                                        conectarse ni crear nada; estado 0 si no\n"
               "                                        queda nada, 3 si algo espera o fue "
               "rechazado\n"
               "  corvane --reenviar-rechazadas --base URL\n"
               "                                        reenvía al servidor, una vez cada una, "
               "las\n"
               "                                        filas rechazadas (tras corregir la "
               "tabla);\n"
               "                                        estado 0 si todas entraron, 3 si no\n"
               "  corvane --importar-abonados CARPETA   lee de CARPETA abonados.csv, zonas.csv,\n"
               "                                        contactos.csv e instrucciones.csv (los "
               "que\n"
               "                                        haya) y los guarda en el registro de\n"
               "                                        abonados, todo o nada; estado 2 si algo "
               "no\n"
               "                                        vale (ARCHIVO, línea N: motivo)\n"
               "  corvane --exportar-abonados CARPETA   escribe esos cuatro archivos (las "
               "palabras\n"
               "                                        clave, solo como hash)\n"
               "  corvane --abonado CUENTA              la ficha del abonado; estado 1 si no está\n"
               "                                        registrado\n"
               "  corvane --operador-alta USUARIO --nombre \"NOMBRE\" [--rol operador|supervisor]\n"
               "                                        da de alta un operador (por omisión con "
               "el\n"
               "                                        rol operador); pide la contraseña dos "
               "veces\n"
               "                                        sin mostrarla, o la lee una vez de la\n"
               "                                        entrada estándar si no es un terminal\n"
               "  corvane --operador-baja USUARIO       da de baja un operador: ya no puede "
               "entrar\n"
               "  corvane --operador-clave USUARIO      cambia la contraseña de un operador (como\n"
               "                                        --operador-alta) y levanta su bloqueo\n"
               "  corvane --operadores                  lista los operadores: usuario, nombre, "
               "rol\n"
               "                                        y si está activo\n"
               "  corvane --verificar-auditoria [--desde AAAA-MM-DD [--hasta AAAA-MM-DD]]\n"
               "                                        recalcula la cadena de la auditoría (de\n"
               "                                        baseTolm.mdb o de --base), toda o la de "
               "esos\n"
               "                                        días; estado 0 si está íntegra, 4 si una\n"
               "                                        entrada fue modificada, falta o está "
               "fuera\n"
               "                                        de orden (la primera, nombrada)\n"
               "  corvane --informe-atencion [--desde AAAA-MM-DD [--hasta AAAA-MM-DD]] [--csv]\n"
               "                                        las cifras de atención de las alarmas\n"
               "                                        recibidas esos días (por omisión, los últimos\n"
               "                                        7; sin --hasta, hasta hoy), de baseTolm.mdb o\n"
               "                                        de --base: por operador y clase, atendidas,\n"
               "                                        mediana y P90 del tiempo hasta reconocer y\n"
               "                                        hasta cerrar; abiertas por clase; los abonados\n"
               "                                        con más falsas alarmas; --csv da un CSV cuya\n"
               "                                        primera columna nombra la sección\n"
               "  corvane --alarmas [--todas]           lista las alarmas abiertas (con --todas,\n"
               "                                        también las últimas cerradas): clave,\n"
               "                                        recibida, abonado, nombre, evento,\n"
               "                                        descripción, zona, estado y operador\n"
               "  corvane --reconocer CLAVE --operador USUARIO\n"
               "  corvane --nota CLAVE \"TEXTO\" --operador USUARIO\n"
               "  corvane --cerrar CLAVE --resolucion CODIGO [--nota \"TEXTO\"] --operador USUARIO\n"
               "  corvane --reabrir CLAVE --nota \"TEXTO\" --operador USUARIO\n"
               "                                        reconoce, anota, cierra o (un supervisor)\n"
               "                                        reabre la alarma CLAVE (la primera columna\n"
               "                                        de --alarmas, o sus primeros 8 caracteres o\n"
               "                                        más) como el operador USUARIO, cuya\n"
               "                                        contraseña se lee de la entrada estándar;\n"
               "                                        CODIGO: policia, bomberos, ambulancia,\n"
               "                                        seguridad, error_usuario, averia, entorno,\n"
               "                                        prueba, cancelada_clave u otra (fuego,\n"
               "                                        pánico y médica se cierran con nota);\n"
               "                                        estado 2 si se rechaza\n"
               "  corvane --puerto P --velocidad V      abre las ventanas recibiendo ya de P a V\n"
               "                                        bit/s, como tras pulsar \"Abrir Com\"\n"
               "  corvane --base URL --vista [--sin-ventana]\n"
               "                                        muestra, sin puerto, lo que las consolas\n"
               "                                        que reciben guardan en la base central\n"
               "                                        (sin ventanas: las líneas en la salida)\n"
               "\n"
               "Opciones comunes:\n"
               "  --carpeta DIR    carpeta de datos (baseTolm.mdb y error.log); por omisión,\n"
               "                   la carpeta del programa\n"
               "                   (instalado bajo /usr: ~/.local/share/corvane, que se crea\n"
               "                   al arrancar; con --sin-ventana, /var/lib/corvane, o la\n"
               "                   de STATE_DIRECTORY cuando lo arranca systemd)\n"
               "  --base URL       base central postgresql://usuario@servidor:puerto/base; la\n"
               "                   clave, mejor en PGPASSWORD o en ~/.pgpass (la que va en la\n"
               "                   dirección se borra de la lista de procesos al arrancar)\n"
               "                   primario y reserva: postgresql://usuario@servidor1:puerto,\n"
               "                   servidor2:puerto/base?target_session_attrs=read-write\n"
               "  --puerto P       número de 1 a %1 (COM1..COM%1, /dev/ttyS0../dev/ttyS%2) o\n"
               "                   la ruta de un dispositivo\n"
               "  --velocidad V    %3 bit/s\n"
               "  --vigilancia S   segundos sin ningún carácter del receptor tras los que se\n"
               "                   avisa, de %4 a %5, o 0 para no vigilar (por omisión %6)\n"
               "  --puesto NOMBRE  nombre de este puesto en las alarmas que recibe y reconoce\n"
               "                   y en la auditoría de los operadores (por omisión, el\n"
               "                   nombre del equipo)\n"
               "  --esperar-puerto con --sin-ventana, un puerto que no está al arrancar se\n"
               "                   espera como uno perdido (reintento cada %7 s) en lugar\n"
               "                   de terminar con estado 2\n"
               "  --ayuda, --help  muestra este texto\n")
        .arg(QString::number(kPuertosNumerados), QString::number(kPuertosNumerados - 1),
             texto_velocidades(), QString::number(kVigilanciaMinima),
             QString::number(kVigilanciaMaxima), QString::number(kVigilanciaPorOmision),
             QString::number(kReintentoPuertoS));
}

void ocultar_claves(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) tapar_claves(argv[i], std::strlen(argv[i]));
}

QString sin_clave(const QString& url) {
    QByteArray bytes = url.toUtf8();
    tapar_claves(bytes.data(), static_cast<size_t>(bytes.size()));
    return QString::fromUtf8(bytes);
}

} // namespace corvane
