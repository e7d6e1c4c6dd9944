#include "UpgradeSignature.h"

#include "UpgradePublicKey.h"

#include <QFile>

#include <sodium.h>

namespace {

bool sodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

const unsigned char *bytes(const QByteArray &data)
{
    return reinterpret_cast<const unsigned char *>(data.constData());
}

} // namespace

static_assert(UpgradeSignature::PublicKeyBytes == crypto_sign_PUBLICKEYBYTES);
static_assert(UpgradeSignature::SecretKeyBytes == crypto_sign_SECRETKEYBYTES);
static_assert(UpgradeSignature::SignatureBytes == crypto_sign_BYTES);

QByteArray UpgradeSignature::builtInPublicKey()
{
    return decode(QLatin1String(kUpgradePublicKey), PublicKeyBytes);
}

QByteArray UpgradeSignature::decode(const QString &base64, int expectedBytes)
{
    const auto result =
        QByteArray::fromBase64Encoding(base64.trimmed().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!result || result.decoded.size() != expectedBytes)
        return QByteArray();
    return result.decoded;
}

bool UpgradeSignature::verify(const QByteArray &data, const QString &signatureBase64,
                              const QByteArray &publicKey)
{
    const QByteArray signature = decode(signatureBase64, SignatureBytes);
    if (!sodiumReady() || signature.isEmpty() || publicKey.size() != PublicKeyBytes)
        return false;
    return crypto_sign_verify_detached(bytes(signature), bytes(data),
                                       static_cast<unsigned long long>(data.size()), bytes(publicKey)) == 0;
}

bool UpgradeSignature::verifyFile(const QString &path, const QString &signatureBase64,
                                  const QByteArray &publicKey)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return verify(file.readAll(), signatureBase64, publicKey);
}

bool UpgradeSignature::generateKeyPair(QByteArray *publicKey, QByteArray *secretKey)
{
    if (!sodiumReady())
        return false;
    publicKey->resize(PublicKeyBytes);
    secretKey->resize(SecretKeyBytes);
    return crypto_sign_keypair(reinterpret_cast<unsigned char *>(publicKey->data()),
                               reinterpret_cast<unsigned char *>(secretKey->data())) == 0;
}

QString UpgradeSignature::sign(const QByteArray &data, const QByteArray &secretKey)
{
    if (!sodiumReady() || secretKey.size() != SecretKeyBytes)
        return QString();
    QByteArray signature(SignatureBytes, '\0');
    if (crypto_sign_detached(reinterpret_cast<unsigned char *>(signature.data()), nullptr, bytes(data),
                             static_cast<unsigned long long>(data.size()), bytes(secretKey)) != 0)
        return QString();
    return QString::fromLatin1(signature.toBase64());
}
