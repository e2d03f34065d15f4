#include "common/claves.h"

#include <sodium.h>

#include <mutex>

namespace corvane {

namespace {

// sodium_init once for the process; false when the library cannot work (no
// source of randomness).
bool sodio_listo() {
    static std::once_flag una;
    static bool listo = false;
    std::call_once(una, [] { listo = sodium_init() >= 0; });
    return listo;
}

} // namespace

QString hash_palabra_clave(const QString& clave) {
    if (clave.isEmpty() || !sodio_listo()) return {};
    const QByteArray texto = clave.toUtf8();
    char hash[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(hash, texto.constData(), static_cast<unsigned long long>(texto.size()),
                          crypto_pwhash_OPSLIMIT_INTERACTIVE,
                          crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
        return {};
    return QString::fromLatin1(hash);
}

bool palabra_clave_correcta(const QString& hash, const QString& dicha) {
    if (hash.isEmpty() || dicha.isEmpty() || !sodio_listo()) return false;
    const QByteArray h = hash.toLatin1();
    const QByteArray texto = dicha.toUtf8();
    return crypto_pwhash_str_verify(h.constData(), texto.constData(),
                                    static_cast<unsigned long long>(texto.size())) == 0;
}

bool parece_hash_clave(const QString& hash) {
    if (!hash.startsWith(QLatin1String("$argon2id$")) || hash.size() >= crypto_pwhash_STRBYTES)
        return false;
    for (const QChar c : hash)
        if (c.unicode() <= u' ' || c.unicode() > u'~') return false;
    return hash.count(QLatin1Char('$')) == 5;
}

} // namespace corvane
