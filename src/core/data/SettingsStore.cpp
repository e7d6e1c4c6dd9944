#include "SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <limits>

namespace {

const QString Organization = QStringLiteral("Velmora");
const QString Application = QStringLiteral("jxc");
const QString Yes = QStringLiteral("yes");
const QString No = QStringLiteral("no");

// A hand-edited INI line such as "company=A, B" comes back as a list; the
// operator meant the text.
QString toText(const QVariant &stored)
{
    if (stored.typeId() == QMetaType::QStringList)
        return stored.toStringList().join(QStringLiteral(", "));
    return stored.toString();
}

std::optional<bool> yesNo(const QString &text)
{
    if (text == Yes)
        return true;
    if (text == No)
        return false;
    return std::nullopt;
}

} // namespace

SettingsStore::SettingsStore() = default;

SettingsStore::SettingsStore(const QString &filePath) : m_filePath(filePath) {}

SettingsStore::~SettingsStore() = default;

std::unique_ptr<QSettings> SettingsStore::open(bool forWriting) const
{
    // On Windows, merely reading through QSettings creates the registry key,
    // so the key's existence is checked first.
    if (!forWriting && !keyExists())
        return nullptr;
    std::unique_ptr<QSettings> settings;
    if (m_filePath.isEmpty())
        settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, Organization,
                                               Application);
    else
        settings = std::make_unique<QSettings>(m_filePath, QSettings::IniFormat);
    // Only this program's own values count, not organisation-wide or
    // system-wide ones.
    settings->setFallbacksEnabled(false);
    return settings;
}

QString SettingsStore::location() const
{
    if (!m_filePath.isEmpty())
        return QDir::toNativeSeparators(QFileInfo(m_filePath).absoluteFilePath());
#ifdef Q_OS_WIN
    return QStringLiteral("HKEY_CURRENT_USER\\Software\\") + Organization + u'\\' + Application;
#else
    // Constructing QSettings on a file neither reads nor creates it.
    const QSettings settings(QSettings::NativeFormat, QSettings::UserScope, Organization, Application);
    return settings.fileName();
#endif
}

bool SettingsStore::keyExists() const
{
    if (!m_filePath.isEmpty())
        return QFileInfo::exists(m_filePath);
#ifdef Q_OS_WIN
    // Look from the parent down with read-only lookups: opening a registry
    // path through QSettings would create it.
    QSettings software(QStringLiteral("HKEY_CURRENT_USER\\Software"), QSettings::NativeFormat);
    if (!software.childGroups().contains(Organization, Qt::CaseInsensitive))
        return false;
    software.beginGroup(Organization);
    return software.childGroups().contains(Application, Qt::CaseInsensitive);
#else
    return QFileInfo::exists(location());
#endif
}

QString SettingsStore::value(const QString &name) const
{
    const auto settings = open(false);
    if (!settings)
        return {};
    return toText(settings->value(name));
}

bool SettingsStore::setValue(const QString &name, const QString &value)
{
    const auto settings = open(true);
    settings->setValue(name, value);
    settings->sync();
    return settings->status() == QSettings::NoError;
}

std::optional<int> SettingsStore::skinIndex() const
{
    const QString text = value(Keys::Skin);
    if (text.size() == 1 && text.at(0) >= u'0' && text.at(0) <= u'5')
        return text.at(0).unicode() - u'0';
    return std::nullopt;
}

bool SettingsStore::setSkinIndex(int index)
{
    return setValue(Keys::Skin, QString::number(index));
}

QString SettingsStore::alarmQuantity() const
{
    const QString text = value(Keys::AlarmQuantity);
    return text.isEmpty() ? QString(DefaultAlarmQuantity) : text;
}

bool SettingsStore::setAlarmQuantity(const QString &quantity)
{
    return setValue(Keys::AlarmQuantity, quantity.isEmpty() ? QStringLiteral("0") : quantity);
}

std::optional<bool> SettingsStore::hideZeroStock() const
{
    // The stored word answers "are zero-stock rows shown?".
    const std::optional<bool> shown = yesNo(value(Keys::ZeroStock));
    if (!shown)
        return std::nullopt;
    return !*shown;
}

bool SettingsStore::setHideZeroStock(bool hide)
{
    return setValue(Keys::ZeroStock, hide ? No : Yes);
}

qint64 SettingsStore::nextOrderCounter() const
{
    bool ok = false;
    const qint64 stored = value(Keys::OrderCounter).toLongLong(&ok);
    if (!ok || stored < 0 || stored == std::numeric_limits<qint64>::max())
        return 1;
    return stored + 1;
}

bool SettingsStore::setOrderCounter(qint64 counter)
{
    return setValue(Keys::OrderCounter, QString::number(counter));
}

QString SettingsStore::lastSaleDate() const
{
    return value(Keys::LastSaleDate);
}

bool SettingsStore::setLastSaleDate(const QString &date)
{
    return setValue(Keys::LastSaleDate, date);
}

QString SettingsStore::backupPath() const
{
    const QString path = value(Keys::BackupPath);
    return path.isEmpty() ? defaultBackupPath() : path;
}

bool SettingsStore::setBackupPath(const QString &path)
{
    return setValue(Keys::BackupPath, path);
}

QString SettingsStore::defaultBackupPath()
{
#ifdef Q_OS_WIN
    return QStringLiteral("D:\\beifen.mdb");
#else
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QDir(documents.isEmpty() ? QDir::homePath() : documents).filePath(QStringLiteral("beifen.mdb"));
#endif
}

std::optional<bool> SettingsStore::columnHidden(const QString &flag) const
{
    const std::optional<bool> yes = yesNo(value(flag));
    if (!yes)
        return std::nullopt;
    return flag == Keys::ShowSalesOrderNumber ? !*yes : *yes;
}

bool SettingsStore::setColumnHidden(const QString &flag, bool hidden)
{
    const bool yes = flag == Keys::ShowSalesOrderNumber ? !hidden : hidden;
    return setValue(flag, yes ? Yes : No);
}

bool SettingsStore::orderNumberColumnShown() const
{
    return value(Keys::ShowSalesOrderNumber) == Yes;
}

bool SettingsStore::setOrderNumberColumnShown(bool shown)
{
    return setValue(Keys::ShowSalesOrderNumber, shown ? Yes : No);
}

QList<QLatin1String> SettingsStore::stockColumnFlags()
{
    return {Keys::HideStockPurchasePrice, Keys::HideStockAmounts, Keys::HideStockInDate,
            Keys::HideStockSupplier,      Keys::HideStockRemark,  Keys::HideStockSalePrice};
}

QList<QLatin1String> SettingsStore::salesColumnFlags()
{
    return {Keys::HideSalesUnitPrice,
            Keys::HideSalesDate,
            Keys::HideSalesDebt,
            Keys::HideSalesProfit,
            Keys::HideSalesCustomer,
            Keys::HideSalesCustomerName,
            Keys::HideSalesCustomerContact,
            Keys::HideSalesCustomerAddress,
            Keys::HideSalesCustomerRemark};
}
