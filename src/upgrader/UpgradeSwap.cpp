#include "UpgradeSwap.h"

#include "periphery/UpgradeSignature.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

const QLatin1String kDownloadSuffix(".uTMP");
const QLatin1String kSignatureSuffix(".sig");
const QLatin1String kOldSuffix(".old");

// A file that starts like a program (ELF, a script, a Windows executable)
// gets the executable bits when it has no old file to take them from.
bool looksExecutable(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(4);
    return head.startsWith("\x7f"
                           "ELF") ||
           head.startsWith("#!") || head.startsWith("MZ");
}

QString readSignature(const QString &downloaded)
{
    QFile file(downloaded + kSignatureSuffix);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(file.readAll()).trimmed();
}

} // namespace

UpgradeSwap::UpgradeSwap(const QString &folder, const QByteArray &publicKey)
    : m_folder(folder), m_publicKey(publicKey)
{}

QStringList UpgradeSwap::pendingFiles() const
{
    QStringList files;
    const QFileInfoList entries = QDir(m_folder).entryInfoList({QStringLiteral("*") + kDownloadSuffix},
                                                               QDir::Files | QDir::Hidden, QDir::Name);
    for (const QFileInfo &entry : entries)
        files.append(entry.absoluteFilePath());
    return files;
}

bool UpgradeSwap::verifyAll()
{
    const QStringList files = pendingFiles();
    if (files.isEmpty()) {
        note(QStringLiteral("no downloaded files in ") + m_folder);
        return false;
    }
    bool allGood = true;
    for (const QString &file : files) {
        if (UpgradeSignature::verifyFile(file, readSignature(file), m_publicKey))
            continue;
        note(QStringLiteral("bad or missing signature, deleted: ") + file);
        QFile::remove(file);
        QFile::remove(file + kSignatureSuffix);
        allGood = false;
    }
    return allGood;
}

bool UpgradeSwap::swapOne(const QString &downloaded)
{
    const QString target = downloaded.chopped(kDownloadSuffix.size());
    const QString old = target + kOldSuffix;
    const QFileInfo targetInfo(target);
    if (targetInfo.isDir()) {
        note(QStringLiteral("a folder stands in the way: ") + target);
        return false;
    }
    if (QFileInfo(old).exists() && !QFile::remove(old)) {
        note(QStringLiteral("cannot remove the stale ") + old);
        return false;
    }
    const bool hadOld = targetInfo.exists();
    const QFileDevice::Permissions permissions = targetInfo.permissions();
    if (hadOld && !QFile::rename(target, old)) {
        note(QStringLiteral("cannot move aside ") + target);
        return false;
    }
    if (!QFile::rename(downloaded, target)) {
        note(QStringLiteral("cannot put in place ") + target);
        if (hadOld)
            QFile::rename(old, target);
        return false;
    }
    if (hadOld)
        QFile::setPermissions(target, permissions);
    else if (looksExecutable(target))
        QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::ExeOwner |
                                          QFileDevice::ExeGroup | QFileDevice::ExeOther |
                                          QFileDevice::ExeUser);
    QFile::remove(downloaded + kSignatureSuffix);
    m_swapped.append({target, hadOld});
    note(QStringLiteral("installed ") + target);
    return true;
}

bool UpgradeSwap::swapAll()
{
    for (const QString &file : pendingFiles()) {
        if (!swapOne(file)) {
            rollback();
            return false;
        }
    }
    return true;
}

void UpgradeSwap::rollback()
{
    while (!m_swapped.isEmpty()) {
        const Swapped done = m_swapped.takeLast();
        QFile::remove(done.target);
        if (done.hadOld && !QFile::rename(done.target + kOldSuffix, done.target))
            note(QStringLiteral("cannot put back ") + done.target);
        else
            note(QStringLiteral("put back ") + done.target);
    }
}

void UpgradeSwap::discardPending()
{
    for (const QString &file : pendingFiles()) {
        QFile::remove(file);
        QFile::remove(file + kSignatureSuffix);
    }
}
