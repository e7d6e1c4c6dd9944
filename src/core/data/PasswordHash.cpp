#include "PasswordHash.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QList>
#include <QPasswordDigestor>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <sodium.h>

#include <array>
#include <new>

namespace {

const QLatin1String kPrefix("pbkdf2-sha256$");
const QLatin1String kArgonPrefix("$argon2id$");
// Far above anything this program writes; a larger number in a damaged row
// would only stall the login window.
constexpr int kMaxIterations = 10'000'000;
constexpr int kSaltBytes = 16;
constexpr int kHashBytes = 32;

struct Parsed
{
    int iterations = 0;
    QByteArray salt;
    QByteArray key;
};

bool parse(const QString &stored, Parsed *out)
{
    if (!stored.startsWith(kPrefix))
        return false;
    const QList<QStringView> parts = QStringView(stored).split(u'$');
    if (parts.size() != 4)
        return false;
    bool ok = false;
    const int iterations = parts.at(1).toInt(&ok);
    if (!ok || iterations < 1 || iterations > kMaxIterations)
        return false;
    const auto salt =
        QByteArray::fromBase64Encoding(parts.at(2).toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    const auto key =
        QByteArray::fromBase64Encoding(parts.at(3).toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!salt || !key || salt.decoded.isEmpty() || key.decoded.isEmpty())
        return false;
    out->iterations = iterations;
    out->salt = salt.decoded;
    out->key = key.decoded;
    return true;
}

QByteArray derive(const QString &password, const QByteArray &salt, int iterations, int length)
{
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt, iterations,
                                              quint64(length));
}

// Compares without stopping at the first difference, so the time taken tells
// nothing about how much of a guess was right.
bool sameBytes(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a.at(i) ^ b.at(i));
    return diff == 0;
}

bool sameText(const QString &a, const QString &b)
{
    return sameBytes(a.toUtf8(), b.toUtf8());
}

void initSodium()
{
    // Safe to call from any thread and more than once; it only fails when
    // the system cannot give random numbers, which hashing then reports.
    static const int ready = sodium_init();
    Q_UNUSED(ready);
}

// Factors far above anything this program writes; a damaged row asking for
// gigabytes would only stall or sink the login window.
bool argonFactorsAreSane(const QString &stored)
{
    static const QRegularExpression form(
        QStringLiteral("^\\$argon2id\\$v=19\\$m=(\\d{1,7}),t=(\\d{1,3}),p=(\\d{1,2})\\$"));
    const QRegularExpressionMatch match = form.match(stored);
    if (!match.hasMatch())
        return false;
    const int memoryKiB = match.captured(1).toInt();
    const int passes = match.captured(2).toInt();
    const int lanes = match.captured(3).toInt();
    return memoryKiB >= 8 && memoryKiB <= 256 * 1024 && passes >= 1 && passes <= 20 && lanes >= 1 &&
           lanes <= 8;
}

bool verifyArgon(const QString &password, const QString &stored)
{
    if (!argonFactorsAreSane(stored))
        return false;
    initSodium();
    const QByteArray text = stored.toLatin1();
    if (text.size() >= crypto_pwhash_STRBYTES || stored.size() != text.size())
        return false;
    const QByteArray utf8 = password.toUtf8();
    return crypto_pwhash_str_verify(text.constData(), utf8.constData(),
                                    static_cast<unsigned long long>(utf8.size())) == 0;
}

} // namespace

QString PasswordHash::hash(const QString &password)
{
    initSodium();
    const QByteArray utf8 = password.toUtf8();
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, utf8.constData(), static_cast<unsigned long long>(utf8.size()), kOpsLimit,
                              kMemLimit, crypto_pwhash_ALG_ARGON2ID13) != 0)
        throw std::bad_alloc();
    return QString::fromLatin1(out);
}

QString PasswordHash::legacyPbkdf2(const QString &password, int iterations)
{
    std::array<quint32, kSaltBytes / sizeof(quint32)> words{};
    QRandomGenerator::system()->fillRange(words.data(), qsizetype(words.size()));
    const QByteArray salt(reinterpret_cast<const char *>(words.data()), kSaltBytes);
    const QByteArray key = derive(password, salt, iterations, kHashBytes);
    return kPrefix + QString::number(iterations) + u'$' + QString::fromLatin1(salt.toBase64()) + u'$' +
           QString::fromLatin1(key.toBase64());
}

bool PasswordHash::isHashed(const QString &stored)
{
    return stored.startsWith(kPrefix) || stored.startsWith(kArgonPrefix);
}

bool PasswordHash::verify(const QString &password, const QString &stored)
{
    if (stored.isEmpty())
        return false;
    if (!isHashed(stored))
        return sameText(password, stored);
    if (stored.startsWith(kArgonPrefix))
        return verifyArgon(password, stored);
    Parsed parsed;
    if (!parse(stored, &parsed))
        return false;
    return sameBytes(derive(password, parsed.salt, parsed.iterations, int(parsed.key.size())), parsed.key);
}

bool PasswordHash::needsRehash(const QString &stored)
{
    if (!stored.startsWith(kArgonPrefix))
        return true;
    initSodium();
    // -1 (not a hash this libsodium knows) or 1 (other factors): write anew.
    return crypto_pwhash_str_needs_rehash(stored.toLatin1().constData(), kOpsLimit, kMemLimit) != 0;
}
