#include "store/alarmas.h"

#include <QDateTime>
#include <QFile>

#include <algorithm>

#include "common/registro_errores.h"
#include "common/reloj.h"
#include "store/funcionesBaseDatos.h"

namespace corvane {
namespace {

// Waiting writes moved to the database at one attempt.
constexpr int kAlarmasPorMovida = 500;
constexpr int kPausaInicialMs = 2000;
constexpr int kPausaMaximaMs = 30000;


// A text value of a statement: between single quotes, a quote inside doubled.
QString citar(QString valor) {
    valor.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + valor + QLatin1Char('\'');
}

QString valor(const FilaAlarma& fila, const esquema::ColumnaAlarma& c) {
    const QString& v = fila.*c.texto;
    if (c.reconocimiento && v.isEmpty()) return QStringLiteral("NULL");
    return citar(v);
}

Fallo existe_tabla(BaseDatos& base, bool& existe) {
    const QString consulta =
        base.dialecto() == Dialecto::PostgreSQL
            ? QStringLiteral(
                  "SELECT CASE WHEN to_regclass('%1') IS NULL THEN 0 ELSE 1 END AS existe")
                  .arg(esquema::kTablaAlarmas)
            : QStringLiteral("SELECT count(*) AS existe FROM sqlite_master "
                             "WHERE type='table' AND name='%1'")
                  .arg(esquema::kTablaAlarmas);
    std::unique_ptr<Registros> rs;
    if (Fallo f = base.abrirRegistros(consulta, rs)) return f;
    QVariant v;
    const Fallo f = rs->valor(QStringLiteral("existe"), v);
    rs->cerrar();
    if (f) return f;
    existe = v.toInt() > 0;
    return {};
}

Fallo crear_tabla(BaseDatos& base) {
    if (base.dialecto() == Dialecto::SQLite) {
        if (Fallo f = base.ejecutar(esquema::crear_tabla_alarmas_sqlite())) return f;
        return base.ejecutar(esquema::kCrearIndiceAlarmas);
    }
    // One statement is one transaction: consoles that find the table missing
    // together create it one at a time, under the schema's advisory lock.
    QString bloqueo = esquema::kBloqueoEsquema;
    bloqueo.replace(QStringLiteral("SELECT "), QStringLiteral("PERFORM "));
    if (Fallo f = base.ejecutar(QStringLiteral("DO $$BEGIN ") + bloqueo + QStringLiteral("; ") +
                                esquema::crear_tabla_alarmas_postgresql() + QStringLiteral("; ") +
                                esquema::kCrearIndiceAlarmas + QStringLiteral("; END$$")))
        return f;
    // Workstations that follow the server hear of every change of the table.
    return base.ejecutar(esquema::avisos_postgresql());
}

// Runs `sentencia`, a write on the alarm table; when it fails because the table
// is missing, the table is created and the statement runs again.
Fallo escribir(BaseDatos& base, const QString& sentencia) {
    const Fallo f = base.ejecutar(sentencia);
    if (!f) return {};
    bool existe = true;
    if (existe_tabla(base, existe) || existe) return f;
    if (Fallo g = crear_tabla(base)) return g;
    return base.ejecutar(sentencia);
}

Fallo marcar_reconocidas(BaseDatos& base, const QString& condicion, const QString& momento,
                         const QString& puesto) {
    return escribir(base, QStringLiteral("UPDATE ") + esquema::kTablaAlarmas +
                              QStringLiteral(" SET alar_reconocida=") + citar(momento) +
                              QStringLiteral(",alar_puesto_reconocimiento=") + citar(puesto) +
                              QStringLiteral(" WHERE alar_reconocida IS NULL AND ") + condicion);
}

} // namespace

Fallo guardar_alarmas(BaseDatos& base, const std::vector<FilaAlarma>& alarmas) {
    if (alarmas.empty()) return {};
    QString s = QStringLiteral("INSERT INTO ") + esquema::kTablaAlarmas + QStringLiteral(" (") +
                esquema::lista_columnas_alarma() + QStringLiteral(") VALUES ");
    for (std::size_t i = 0; i < alarmas.size(); ++i) {
        s += i == 0 ? QStringLiteral("(") : QStringLiteral(",(");
        for (std::size_t k = 0; k < esquema::kColumnasAlarma.size(); ++k)
            s += (k == 0 ? QString() : QStringLiteral(",")) +
                 valor(alarmas[i], esquema::kColumnasAlarma[k]);
        s += QLatin1Char(')');
    }
    return escribir(base, s + QStringLiteral(" ON CONFLICT (alar_clave) DO NOTHING"));
}

Fallo reconocer_alarmas(BaseDatos& base, const QStringList& claves, const QString& momento,
                        const QString& puesto) {
    if (claves.isEmpty()) return {};
    QStringList citadas;
    for (const QString& c : claves) citadas << citar(c);
    return marcar_reconocidas(
        base, QStringLiteral("alar_clave IN (") + citadas.join(QLatin1Char(',')) + QLatin1Char(')'),
        momento, puesto);
}

namespace {

Fallo leer_alarmas(BaseDatos& base, const QString& condicion, std::vector<FilaAlarma>& alarmas) {
    alarmas.clear();
    std::unique_ptr<Registros> rs;
    const QString consulta = QStringLiteral("SELECT ") + esquema::lista_columnas_alarma() +
                             QStringLiteral(" FROM ") + esquema::kTablaAlarmas +
                             QStringLiteral(" WHERE ") + condicion;
    if (const Fallo f = base.abrirRegistros(consulta, rs)) {
        bool existe = true;
        if (existe_tabla(base, existe) || existe) return f;
        return {};
    }
    while (!rs->alFinal()) {
        FilaAlarma fila;
        for (const esquema::ColumnaAlarma& c : esquema::kColumnasAlarma) {
            QVariant v;
            if (Fallo f = rs->valor(c.nombre, v)) {
                rs->cerrar();
                return f;
            }
            const QDateTime momento = c.momento ? momento_guardado(v) : QDateTime();
            fila.*c.texto = momento.isValid() ? momento.toString(kFormatoMomento) : v.toString();
        }
        alarmas.push_back(std::move(fila));
        if (Fallo f = rs->siguiente()) {
            rs->cerrar();
            return f;
        }
    }
    rs->cerrar();
    return {};
}

} // namespace

Fallo leer_alarmas_sin_reconocer(BaseDatos& base, const QString& receptor,
                                 std::vector<FilaAlarma>& alarmas) {
    return leer_alarmas(base,
                        (receptor.isEmpty() ? QString() : QStringLiteral("alar_puesto=") + citar(receptor) +
                                                              QStringLiteral(" AND ")) +
                            QStringLiteral("alar_reconocida IS NULL ORDER BY alar_recibida DESC, alar_id DESC"),
                        alarmas);
}

Fallo leer_alarmas_reconocidas(BaseDatos& base, int maximo, std::vector<FilaAlarma>& alarmas) {
    return leer_alarmas(base,
                        QStringLiteral("alar_reconocida IS NOT NULL ORDER BY alar_reconocida DESC, alar_id DESC "
                                       "LIMIT %1")
                            .arg(maximo),
                        alarmas);
}

} // namespace corvane

namespace corvane {
namespace {

// Applies `alarmas` to `base` in order, a run of new alarms, or of
// acknowledgements of one moment and workstation, in one statement; `hechas`
// tells how many the table holds when it stops at a failure.
template <typename Lista>
Fallo aplicar(BaseDatos& base, const Lista& alarmas, std::size_t& hechas) {
    hechas = 0;
    while (hechas < alarmas.size()) {
        const AlarmaPendiente& primera = alarmas[hechas];
        std::size_t fin = hechas + 1;
        const auto igual = [&](const AlarmaPendiente& a) {
            return a.reconocimiento == primera.reconocimiento &&
                   (!a.reconocimiento || (a.fila.reconocida == primera.fila.reconocida &&
                                          a.fila.reconocidaEn == primera.fila.reconocidaEn));
        };
        while (fin < alarmas.size() && fin - hechas < static_cast<std::size_t>(kAlarmasPorMovida) &&
               igual(alarmas[fin]))
            ++fin;
        Fallo f;
        if (primera.reconocimiento) {
            QStringList claves;
            for (std::size_t i = hechas; i < fin; ++i) claves << alarmas[i].fila.clave;
            f = reconocer_alarmas(base, claves, primera.fila.reconocida, primera.fila.reconocidaEn);
        } else {
            std::vector<FilaAlarma> filas;
            for (std::size_t i = hechas; i < fin; ++i) filas.push_back(alarmas[i].fila);
            f = guardar_alarmas(base, filas);
        }
        if (f) return f;
        hechas = fin;
    }
    return {};
}

} // namespace

EscrituraAlarmas::EscrituraAlarmas(QString cola) : rutaCola_(std::move(cola)) {
    // Writes left waiting by an earlier run go before any new one.
    if (!rutaCola_.isEmpty() && QFile::exists(rutaCola_)) static_cast<void>(abrirCola());
}

Fallo EscrituraAlarmas::abrirCola() {
    if (cola_.abierta()) return {};
    if (rutaCola_.isEmpty()) return {fallos::kSinObjeto, QStringLiteral("sin cola local")};
    if (Fallo f = cola_.abrir(rutaCola_)) return f;
    return cola_.contar_alarmas(enCola_);
}

void EscrituraAlarmas::fallar() {
    pausaMs_ = pausaMs_ == 0 ? kPausaInicialMs : std::min(pausaMs_ * 2, kPausaMaximaMs);
    intento_.start();
}

Fallo EscrituraAlarmas::escribir(BaseDatos* base, const std::vector<AlarmaPendiente>& alarmas) {
    if (alarmas.empty()) return {};
    if (esperando() == 0) {
        std::size_t hechas = 0;
        const Fallo f = base == nullptr ? kSinBaseAlarmas : aplicar(*base, alarmas, hechas);
        if (!f) return {};
        fallar();
        static_cast<void>(guardarEsperando({alarmas.begin() + static_cast<std::ptrdiff_t>(hechas), alarmas.end()}));
        return f;
    }
    return guardarEsperando(alarmas);
}

// Behind the writes waiting already: in the queue while memory holds none (the
// order is kept), else in memory.
Fallo EscrituraAlarmas::guardarEsperando(const std::vector<AlarmaPendiente>& alarmas) {
    Fallo f;
    if (memoria_.empty() && !(f = abrirCola()) && !(f = cola_.encolar_alarmas(alarmas))) {
        enCola_ += static_cast<qint64>(alarmas.size());
        return {};
    }
    memoria_.insert(memoria_.end(), alarmas.begin(), alarmas.end());
    return f;
}

Fallo EscrituraAlarmas::reintentar(BaseDatos* base, bool yaMismo) {
    if (esperando() == 0) return {};
    if (!yaMismo && intento_.isValid() && intento_.elapsed() < pausaMs_) return {};
    Fallo f = base == nullptr ? kSinBaseAlarmas : Fallo{};
    if (!f && enCola_ > 0) f = moverCola(*base);
    if (!f && enCola_ == 0) f = moverMemoria(*base);
    if (f) fallar();
    else pausaMs_ = 0;
    return f;
}

Fallo EscrituraAlarmas::moverCola(BaseDatos& base) {
    while (enCola_ > 0) {
        std::vector<AlarmaPendiente> tanda;
        if (Fallo f = abrirCola()) return f;
        if (Fallo f = cola_.leer_alarmas(kAlarmasPorMovida, tanda)) return f;
        if (tanda.empty()) {
            enCola_ = 0;
            break;
        }
        std::size_t hechas = 0;
        const Fallo f = aplicar(base, tanda, hechas);
        if (hechas > 0) {
            if (Fallo g = cola_.borrar_alarmas_hasta(tanda[hechas - 1].secuencia)) return g;
            static_cast<void>(cola_.contar_alarmas(enCola_));
        }
        if (f) return f;
    }
    return {};
}

Fallo EscrituraAlarmas::moverMemoria(BaseDatos& base) {
    std::size_t hechas = 0;
    const Fallo f = aplicar(base, memoria_, hechas);
    memoria_.erase(memoria_.begin(), memoria_.begin() + static_cast<std::ptrdiff_t>(hechas));
    return f;
}

Fallo EscrituraAlarmas::leerEsperando(std::vector<AlarmaPendiente>& alarmas) {
    alarmas.clear();
    Fallo f;
    if ((enCola_ > 0 || QFile::exists(rutaCola_)) && !(f = abrirCola()) && enCola_ > 0)
        f = cola_.leer_alarmas(static_cast<int>(enCola_), alarmas);
    alarmas.insert(alarmas.end(), memoria_.begin(), memoria_.end());
    return f;
}

} // namespace corvane
