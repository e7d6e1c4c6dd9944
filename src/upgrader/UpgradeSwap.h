#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Puts the downloaded files of an upgrade in place: every "name.uTMP" of the
// program folder whose signature ("name.uTMP.sig") verifies replaces "name",
// the old file kept as "name.old". All files go in or none do.
class UpgradeSwap
{
public:
    UpgradeSwap(const QString &folder, const QByteArray &publicKey);

    // The downloaded files, sorted by name.
    QStringList pendingFiles() const;
    // False when there is nothing to install or any file fails its
    // signature; the files that fail are deleted.
    bool verifyAll();
    // False when a file could not be put in place; everything swapped so far
    // is then put back.
    bool swapAll();
    // Puts back the old files after a swap (the new program did not start).
    void rollback();
    // Deletes the downloaded files still waiting, so a failed upgrade leaves
    // nothing behind for the next one to install by mistake.
    void discardPending();

    const QStringList &log() const { return m_log; }

private:
    struct Swapped
    {
        QString target;
        bool hadOld = false;
    };
    bool swapOne(const QString &downloaded);
    void note(const QString &line) { m_log.append(line); }

    QString m_folder;
    QByteArray m_publicKey;
    QList<Swapped> m_swapped;
    QStringList m_log;
};
