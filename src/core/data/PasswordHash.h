#pragma once

#include <QString>

#include <cstddef>

// Salted, slow password hashes for userdb.passwd. The stored text names its
// algorithm and work factors, so they can be raised later without locking
// anybody out. New hashes are Argon2id in libsodium's own text form:
//   $argon2id$v=19$m=<KiB>,t=<passes>,p=1$<salt>$<hash>
// Values written by earlier versions are still read and replaced at the next
// successful sign-in:
//   pbkdf2-sha256$<iterations>$<salt, base64>$<hash, base64>
//   any other text: a password kept in plain text.
class PasswordHash
{
public:
    // OWASP's minimum for Argon2id: 19 MiB of memory, two passes, one lane.
    // One check stays well under a tenth of a second.
    static constexpr unsigned long long kOpsLimit = 2;
    static constexpr std::size_t kMemLimit = std::size_t(19) * 1024 * 1024;

    // A new Argon2id hash with a fresh random salt. Throws std::bad_alloc
    // when the memory for the hash cannot be had.
    static QString hash(const QString &password);

    // The PBKDF2-SHA256 form earlier versions wrote; tests use it to plant
    // old accounts.
    static QString legacyPbkdf2(const QString &password, int iterations);

    // True when the stored text is in one of the hashed forms (it may still
    // be damaged).
    static bool isHashed(const QString &stored);

    // True when the password matches. A hashed value is checked by deriving
    // the key again; a legacy plain value is compared as text. A damaged
    // hash or an empty stored value never matches.
    static bool verify(const QString &password, const QString &stored);

    // True when a successful check should store a fresh hash: the value is
    // plain text, PBKDF2, or Argon2id with weaker factors than today's.
    static bool needsRehash(const QString &stored);
};
