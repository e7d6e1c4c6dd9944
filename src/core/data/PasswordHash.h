#pragma once

#include <QString>

// Salted, slow password hashes for userdb.passwd. The stored text names its
// algorithm, work factor and salt, so the factor can be raised later without
// locking anybody out:
//   pbkdf2-sha256$<iterations>$<salt, base64>$<hash, base64>
// A stored value not in that form is a password kept in plain text by an
// older version of the program.
class PasswordHash
{
public:
    // The work factor of new hashes: one check stays well under 100 ms.
    static constexpr int kIterations = 20000;
    static constexpr int kSaltBytes = 16;
    static constexpr int kHashBytes = 32;

    // A new hash with a fresh random salt.
    static QString hash(const QString &password, int iterations = kIterations);

    // True when the stored text is in the hashed form (it may still be damaged).
    static bool isHashed(const QString &stored);

    // True when the password matches. A hashed value is checked by deriving
    // the key again; a legacy plain value is compared as text. A damaged
    // hash or an empty stored value never matches.
    static bool verify(const QString &password, const QString &stored);

    // True when a successful check should store a fresh hash: the value is
    // plain text or hashed with a weaker work factor than today's.
    static bool needsRehash(const QString &stored);
};
