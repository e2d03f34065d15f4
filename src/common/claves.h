#pragma once
// Secrets that people say or type (an account's spoken password, an
// operator's password) are kept only as libsodium's Argon2id hash, the text
// crypto_pwhash_str writes: "$argon2id$v=19$m=...,t=...,p=...$salt$hash".

#include <QString>

namespace corvane {

// Hashes `clave` (Argon2id, libsodium's interactive limits); empty for an
// empty text, or when libsodium cannot work (no source of randomness).
QString hash_palabra_clave(const QString& clave);
// True when `dicha` is the text whose hash is `hash`; false for an empty one.
bool palabra_clave_correcta(const QString& hash, const QString& dicha);
// True when `hash` has the form crypto_pwhash_str writes, printable ASCII, no blanks.
bool parece_hash_clave(const QString& hash);

} // namespace corvane
