// lwjxc-sign: makes the release-signing key pair and the lines of the
// information file that name and sign each release file.
//
//   lwjxc-sign keygen KEYFILE                 new key pair; the secret key goes to KEYFILE
//   lwjxc-sign sign KEYFILE BASEURL FILE...   "#url=" / "#sig=" lines for the files, in order
//   lwjxc-sign verify FILE SIGNATURE          checks a signature against the built-in key

#include "periphery/UpgradeSignature.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace {

QTextStream &out()
{
    static QTextStream stream(stdout);
    return stream;
}

QTextStream &err()
{
    static QTextStream stream(stderr);
    return stream;
}

int usage()
{
    err() << "usage: lwjxc-sign keygen KEYFILE\n"
             "       lwjxc-sign sign KEYFILE BASEURL FILE...\n"
             "       lwjxc-sign verify FILE SIGNATURE\n";
    return 2;
}

int keygen(const QString &keyFile)
{
    if (QFileInfo::exists(keyFile)) {
        err() << "lwjxc-sign: " << keyFile << " exists; a key is never overwritten\n";
        return 1;
    }
    QByteArray publicKey;
    QByteArray secretKey;
    if (!UpgradeSignature::generateKeyPair(&publicKey, &secretKey)) {
        err() << "lwjxc-sign: cannot make a key pair\n";
        return 1;
    }
    QFile file(keyFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(secretKey.toBase64() + '\n') < 0 || !file.flush()) {
        err() << "lwjxc-sign: cannot write " << keyFile << ": " << file.errorString() << '\n';
        return 1;
    }
    out() << "public key: " << publicKey.toBase64() << '\n';
    return 0;
}

int sign(const QString &keyFile, QString baseUrl, const QStringList &files)
{
    QFile key(keyFile);
    if (!key.open(QIODevice::ReadOnly)) {
        err() << "lwjxc-sign: cannot read " << keyFile << '\n';
        return 1;
    }
    const QByteArray secretKey =
        UpgradeSignature::decode(QString::fromLatin1(key.readAll()), UpgradeSignature::SecretKeyBytes);
    if (secretKey.isEmpty()) {
        err() << "lwjxc-sign: " << keyFile << " holds no secret key\n";
        return 1;
    }
    // An Ed25519 secret key ends with its public key.
    if (secretKey.right(UpgradeSignature::PublicKeyBytes) != UpgradeSignature::builtInPublicKey())
        err() << "lwjxc-sign: warning: this key is not the one built into this program\n";
    if (!baseUrl.endsWith(QLatin1Char('/')))
        baseUrl.append(QLatin1Char('/'));
    // With "#url" present the numbered addresses continue at 2.
    for (qsizetype i = 0; i < files.size(); ++i) {
        QFile file(files.at(i));
        if (!file.open(QIODevice::ReadOnly)) {
            err() << "lwjxc-sign: cannot read " << files.at(i) << '\n';
            return 1;
        }
        const QString signature = UpgradeSignature::sign(file.readAll(), secretKey);
        if (signature.isEmpty()) {
            err() << "lwjxc-sign: cannot sign " << files.at(i) << '\n';
            return 1;
        }
        const QString suffix = i == 0 ? QString() : QString::number(i + 1);
        out() << "#url" << suffix << '=' << baseUrl << QFileInfo(files.at(i)).fileName() << '\n'
              << "#sig" << suffix << '=' << signature << '\n';
    }
    return 0;
}

int verify(const QString &path, const QString &signature)
{
    if (UpgradeSignature::verifyFile(path, signature, UpgradeSignature::builtInPublicKey())) {
        out() << "good signature\n";
        return 0;
    }
    err() << "lwjxc-sign: BAD signature for " << path << '\n';
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.size() == 2 && args.at(0) == QLatin1String("keygen"))
        return keygen(args.at(1));
    if (args.size() >= 4 && args.at(0) == QLatin1String("sign"))
        return sign(args.at(1), args.at(2), args.mid(3));
    if (args.size() == 3 && args.at(0) == QLatin1String("verify"))
        return verify(args.at(1), args.at(2));
    return usage();
}
