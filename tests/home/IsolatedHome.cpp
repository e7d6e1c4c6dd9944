// Linked into every test executable: before main() runs, the process gets a
// home folder of its own in a temporary folder, removed again at exit. Every
// file a test reads or writes through the user's folders (preferences, grid
// layouts, QStandardPaths' test-mode folders under ~/.qttest, the desktop)
// then lives there, so neither an earlier run nor a test running beside it
// under ctest -j can leave anything behind for another test to read.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace {

class IsolatedHome
{
public:
    IsolatedHome() : m_dir(QDir::tempPath() + QStringLiteral("/lwjxc-test-home.XXXXXX"))
    {
        if (!m_dir.isValid()) {
            std::fprintf(stderr, "test set-up: no temporary home folder could be made\n");
            std::exit(1);
        }
        // Font caches are no data of ours; sharing them keeps start-up fast.
        const QByteArray realHome = qgetenv("HOME");
        if (qEnvironmentVariableIsEmpty("XDG_CACHE_HOME") && !realHome.isEmpty())
            qputenv("XDG_CACHE_HOME", realHome + "/.cache");
        const QByteArray home = QFile::encodeName(m_dir.path());
        qputenv("HOME", home);
        qputenv("XDG_CONFIG_HOME", home + "/.config");
        qputenv("XDG_DATA_HOME", home + "/.local/share");
        qputenv("XDG_STATE_HOME", home + "/.local/state");
    }

private:
    QTemporaryDir m_dir;
};

const IsolatedHome isolatedHome;

} // namespace
