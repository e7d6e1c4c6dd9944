#pragma once

#include "periphery/UpgradeSignature.h"

#include <QFile>

// The tests' own release-signing key pair (tests/data/upgrade); the test
// upgrader is built to trust its public half.
namespace UpgradeTestKey {

inline QString dataFile(const char *name)
{
    return qEnvironmentVariable("LWJXC_TEST_DATA") + QStringLiteral("/upgrade/") + QLatin1String(name);
}

inline QByteArray read(const char *name, int bytes)
{
    QFile file(dataFile(name));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return UpgradeSignature::decode(QString::fromLatin1(file.readAll()), bytes);
}

inline QByteArray publicKey()
{
    return read("test-signing.pub", UpgradeSignature::PublicKeyBytes);
}

inline QString sign(const QByteArray &data)
{
    return UpgradeSignature::sign(data, read("test-signing.key", UpgradeSignature::SecretKeyBytes));
}

} // namespace UpgradeTestKey
