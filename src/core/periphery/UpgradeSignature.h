#pragma once

#include <QByteArray>
#include <QString>

// Detached Ed25519 signatures of release files. The maker signs each file
// with the secret key kept off-line; the program and the upgrader accept a
// file only when its signature verifies against the public key built in.
// Keys and signatures travel as base64 text.
namespace UpgradeSignature {

constexpr int PublicKeyBytes = 32;
constexpr int SecretKeyBytes = 64;
constexpr int SignatureBytes = 64;

// The maker's public key, built into every release.
QByteArray builtInPublicKey();

// Decodes base64 text of exactly expectedBytes bytes; empty otherwise.
QByteArray decode(const QString &base64, int expectedBytes);

// True only for a well-formed signature of data made with the secret key
// that belongs to publicKey (raw bytes).
bool verify(const QByteArray &data, const QString &signatureBase64, const QByteArray &publicKey);
// The same for a file's bytes; false when it cannot be read.
bool verifyFile(const QString &path, const QString &signatureBase64, const QByteArray &publicKey);

// For the release tool: a fresh key pair (raw bytes) and a signature.
bool generateKeyPair(QByteArray *publicKey, QByteArray *secretKey);
QString sign(const QByteArray &data, const QByteArray &secretKey);

} // namespace UpgradeSignature
