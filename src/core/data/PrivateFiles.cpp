#include "PrivateFiles.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

#ifdef Q_OS_UNIX
bool removeOthersAccess(const QString &path, bool folder)
{
    const QFileInfo info(path);
    if (!info.exists())
        return true;
    // A symbolic link's target may be somebody else's file: leave it.
    if (info.isSymLink() || info.isDir() != folder)
        return false;
    const QByteArray native = QFile::encodeName(path);
    struct stat st
    {};
    if (::stat(native.constData(), &st) != 0)
        return false;
    const mode_t wanted = st.st_mode & (S_IRWXU | S_ISVTX);
    if ((st.st_mode & 07777) == wanted)
        return true;
    return ::chmod(native.constData(), wanted) == 0;
}
#endif

} // namespace

namespace PrivateFiles {

void restrictNewFiles()
{
#ifdef Q_OS_UNIX
    ::umask(S_IRWXG | S_IRWXO);
#endif
}

bool restrictFile(const QString &path)
{
#ifdef Q_OS_UNIX
    return removeOthersAccess(path, false);
#else
    Q_UNUSED(path);
    return true;
#endif
}

bool restrictFolder(const QString &path)
{
#ifdef Q_OS_UNIX
    return removeOthersAccess(path, true);
#else
    Q_UNUSED(path);
    return true;
#endif
}

void restrictDatabaseFiles(const QString &databasePath)
{
    for (const QLatin1String suffix : {QLatin1String(""), QLatin1String("-wal"), QLatin1String("-shm")})
        restrictFile(databasePath + suffix);
}

} // namespace PrivateFiles
