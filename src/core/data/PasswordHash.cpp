#include "PasswordHash.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QList>
#include <QPasswordDigestor>
#include <QRandomGenerator>

#include <array>

namespace {

const QLatin1String kPrefix("pbkdf2-sha256$");
// Far above anything this program writes; a larger number in a damaged row
// would only stall the login window.
constexpr int kMaxIterations = 10'000'000;

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

} // namespace

QString PasswordHash::hash(const QString &password, int iterations)
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
    return stored.startsWith(kPrefix);
}

bool PasswordHash::verify(const QString &password, const QString &stored)
{
    if (stored.isEmpty())
        return false;
    if (!isHashed(stored))
        return sameText(password, stored);
    Parsed parsed;
    if (!parse(stored, &parsed))
        return false;
    return sameBytes(derive(password, parsed.salt, parsed.iterations, int(parsed.key.size())), parsed.key);
}

bool PasswordHash::needsRehash(const QString &stored)
{
    Parsed parsed;
    if (!parse(stored, &parsed))
        return !isHashed(stored);
    return parsed.iterations < kIterations;
}
