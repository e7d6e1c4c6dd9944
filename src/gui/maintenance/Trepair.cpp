#include "Trepair.h"

#include "BackupProgress.h"

#include "common/Prompter.h"
#include "data/Clock.h"
#include "data/Database.h"
#include "data/SettingsStore.h"
#include "maintenance/AutomaticBackups.h"
#include "maintenance/BackupService.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QLabel *label(const QString &text, QWidget *parent, const char *objectName = nullptr)
{
    auto *l = new QLabel(text, parent);
    if (objectName)
        l->setObjectName(QLatin1String(objectName));
    return l;
}

QPushButton *button(const QString &text, QWidget *parent, const char *objectName)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(objectName));
    b->setAutoDefault(false);
    return b;
}

} // namespace

Trepair::Trepair(Database &db, SettingsStore &settings, const QString &userDataFolder, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_db(db), m_settings(settings),
      m_automaticFolder(AutomaticBackups::folderFor(db.location(), userDataFolder)),
      m_keepFolder(m_automaticFolder)
{
    setObjectName(QStringLiteral("Trepair"));
    setWindowTitle(QStringLiteral("数据库备份"));
    setAttribute(Qt::WA_DeleteOnClose);
    // Nothing else may reach the database while its connection is closed.
    setWindowModality(Qt::ApplicationModal);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 10);
    layout->setSpacing(8);

    auto *title = label(QStringLiteral("数据库维护备份"), this, "titleBand");
    QFont titleFont(QStringLiteral("宋体"));
    titleFont.setPointSize(15);
    titleFont.setBold(true);
    title->setFont(titleFont);
    title->setAlignment(Qt::AlignCenter);
    title->setFixedHeight(44);
    title->setAutoFillBackground(true);
    title->setStyleSheet(QStringLiteral("QLabel { color: #800000; background-color: #C0DCC0; }"));
    layout->addWidget(title);
    auto *sections = new QVBoxLayout;
    sections->setContentsMargins(10, 0, 10, 0);
    sections->setSpacing(8);
    layout->addLayout(sections);

    // Backup.
    auto *backupGroup = new QGroupBox(QStringLiteral("备份"), this);
    backupGroup->setObjectName(QStringLiteral("backupSection"));
    auto *backupLayout = new QGridLayout(backupGroup);
    backupLayout->addWidget(label(QStringLiteral("备份数据的目录:"), backupGroup), 0, 0);
    m_defaultLabel = label(QStringLiteral("默认"), backupGroup, "defaultLabel");
    m_defaultLabel->setStyleSheet(QStringLiteral("QLabel { color: #0000FF; text-decoration: underline; }"));
    m_defaultLabel->setCursor(Qt::PointingHandCursor);
    m_defaultLabel->setFocusPolicy(Qt::StrongFocus);
    m_defaultLabel->setToolTip(
        QStringLiteral("使用默认的备份文件：%1").arg(QDir::toNativeSeparators(defaultTarget())));
    m_defaultLabel->installEventFilter(this);
    backupLayout->addWidget(m_defaultLabel, 0, 1, Qt::AlignRight);
    m_targetBox = new QLineEdit(defaultTarget(), backupGroup);
    m_targetBox->setObjectName(QStringLiteral("targetBox"));
    backupLayout->addWidget(m_targetBox, 1, 0, 1, 2);
    m_backupButton = button(QStringLiteral("备份数据库"), backupGroup, "backupButton");
    backupLayout->addWidget(m_backupButton, 1, 2);
    auto *tip = label(QStringLiteral("温馨提示：定期备份数据，维护数据安全！"), backupGroup, "backupTip");
    tip->setStyleSheet(QStringLiteral("QLabel { color: #008000; }"));
    backupLayout->addWidget(tip, 2, 0, 1, 3);
    backupLayout->setColumnStretch(0, 1);
    sections->addWidget(backupGroup);

    // Restore.
    auto *restoreGroup = new QGroupBox(QStringLiteral("恢复"), this);
    restoreGroup->setObjectName(QStringLiteral("restoreSection"));
    auto *restoreLayout = new QGridLayout(restoreGroup);
    m_sourceBox = new QLineEdit(QStringLiteral("beifen.mdb"), restoreGroup);
    m_sourceBox->setObjectName(QStringLiteral("sourceBox"));
    restoreLayout->addWidget(m_sourceBox, 0, 0);
    m_openButton = button(QStringLiteral("打开备份文件"), restoreGroup, "openBackupButton");
    restoreLayout->addWidget(m_openButton, 0, 1);
    m_restoreButton = button(QStringLiteral("恢复数据库"), restoreGroup, "restoreButton");
    restoreLayout->addWidget(m_restoreButton, 0, 2);
    auto *warning =
        label(QStringLiteral("警告：恢复数据库功能，只有当目前使用的数据库损坏或丢失时才使用，否则旧数据库会"
                             "覆盖当前的最新数据库，造成信息丢失。"),
              restoreGroup, "restoreWarning");
    warning->setWordWrap(true);
    warning->setStyleSheet(QStringLiteral("QLabel { color: #C00000; }"));
    restoreLayout->addWidget(warning, 1, 0, 1, 3);
    restoreLayout->setColumnStretch(0, 1);
    sections->addWidget(restoreGroup);

    // Automatic backups.
    auto *automaticGroup = new QGroupBox(QStringLiteral("自动备份"), this);
    automaticGroup->setObjectName(QStringLiteral("automaticSection"));
    auto *automaticLayout = new QVBoxLayout(automaticGroup);
    auto *settingsRow = new QHBoxLayout;
    m_automaticBox = new QCheckBox(QStringLiteral("每次关闭程序时自动备份数据"), automaticGroup);
    m_automaticBox->setObjectName(QStringLiteral("automaticBox"));
    m_automaticBox->setChecked(AutomaticBackups::enabled(m_settings));
    settingsRow->addWidget(m_automaticBox);
    settingsRow->addStretch();
    settingsRow->addWidget(label(QStringLiteral("保留最近"), automaticGroup));
    m_automaticCount = new QSpinBox(automaticGroup);
    m_automaticCount->setObjectName(QStringLiteral("automaticCount"));
    m_automaticCount->setRange(1, AutomaticBackups::MaximumCount);
    m_automaticCount->setValue(AutomaticBackups::count(m_settings));
    settingsRow->addWidget(m_automaticCount);
    settingsRow->addWidget(label(QStringLiteral("份"), automaticGroup));
    automaticLayout->addLayout(settingsRow);
    m_automaticList = new QTreeWidget(automaticGroup);
    m_automaticList->setObjectName(QStringLiteral("automaticList"));
    m_automaticList->setHeaderLabels(
        {QStringLiteral("备份时间"), QStringLiteral("大小"), QStringLiteral("文件")});
    m_automaticList->setRootIsDecorated(false);
    m_automaticList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_automaticList->setFixedHeight(150);
    m_automaticList->header()->resizeSection(0, 150);
    m_automaticList->header()->resizeSection(1, 80);
    automaticLayout->addWidget(m_automaticList);
    auto *listRow = new QHBoxLayout;
    auto *folderLabel = label(QStringLiteral("保存在：%1").arg(QDir::toNativeSeparators(m_automaticFolder)),
                              automaticGroup, "automaticFolder");
    folderLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    folderLabel->setWordWrap(true);
    listRow->addWidget(folderLabel, 1);
    m_restoreSelectedButton = button(QStringLiteral("恢复所选备份"), automaticGroup, "restoreSelectedButton");
    listRow->addWidget(m_restoreSelectedButton);
    automaticLayout->addLayout(listRow);
    sections->addWidget(automaticGroup);

    connect(m_targetBox, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_settings.setBackupPath(text); });
    connect(m_backupButton, &QPushButton::clicked, this, &Trepair::backUp);
    connect(m_openButton, &QPushButton::clicked, this, &Trepair::chooseSource);
    connect(m_restoreButton, &QPushButton::clicked, this, &Trepair::restore);
    connect(m_restoreSelectedButton, &QPushButton::clicked, this, &Trepair::restoreSelected);
    connect(m_automaticList, &QTreeWidget::itemDoubleClicked, this, &Trepair::restoreSelected);
    connect(m_automaticBox, &QCheckBox::toggled, this,
            [this](bool on) { AutomaticBackups::setEnabled(m_settings, on); });
    connect(m_automaticCount, &QSpinBox::valueChanged, this,
            [this](int count) { AutomaticBackups::setCount(m_settings, count); });

    refreshAutomaticList();
    setFixedSize(QSize(600, sizeHint().height()));
}

QString Trepair::defaultTarget()
{
    return SettingsStore::defaultBackupPath();
}

void Trepair::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_disconnected)
        return;
    if (const QScreen *shown = screen())
        move(shown->availableGeometry().center() - rect().center());
    // The backup reads the file with connections of its own; the program's
    // stays closed until the window closes.
    m_db.close();
    m_disconnected = true;
    const QString stored = m_settings.value(SettingsStore::Keys::BackupPath);
    if (!stored.isEmpty())
        m_targetBox->setText(stored);
}

void Trepair::closeEvent(QCloseEvent *event)
{
    if (m_disconnected && !m_db.reopen())
        Prompter::error(this, QStringLiteral("无法重新打开数据库：%1").arg(m_db.errorText()));
    m_disconnected = false;
    emit closed();
    QWidget::closeEvent(event);
}

bool Trepair::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_defaultLabel) {
        const bool clicked = event->type() == QEvent::MouseButtonRelease;
        const bool pressed =
            event->type() == QEvent::KeyPress && (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Space ||
                                                  static_cast<QKeyEvent *>(event)->key() == Qt::Key_Return);
        if (clicked || pressed) {
            useDefaultTarget();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Trepair::useDefaultTarget()
{
    m_targetBox->setText(defaultTarget());
}

void Trepair::backUp()
{
    const QString target = m_targetBox->text().trimmed();
    const QString failed = QStringLiteral("数据库备份失败！");
    if (QFileInfo::exists(target) &&
        !Prompter::confirm(this, QStringLiteral("文件“%1”已经存在，要用这次的备份替换它吗？")
                                     .arg(QDir::toNativeSeparators(target)))) {
        Prompter::warning(this, failed);
        return;
    }
    BackupService service(m_db.location());
    const BackupService::Result result = BackupProgress::run(this, QStringLiteral("正在备份数据库……"),
                                                             [&](const BackupService::Progress &progress) {
                                                                 service.setProgress(progress);
                                                                 return service.backupTo(target);
                                                             });
    if (result.ok)
        Prompter::information(this, QStringLiteral("数据库备份成功！"));
    else
        Prompter::warning(this, failed + u'\n' + result.error);
}

void Trepair::chooseSource()
{
    const QFileInfo current(m_sourceBox->text());
    const QString chosen =
        Prompter::openFileName(this, QStringLiteral("打开备份文件"),
                               current.exists() ? current.absolutePath() : QString(), QString());
    if (!chosen.isEmpty())
        m_sourceBox->setText(QDir::toNativeSeparators(chosen));
}

void Trepair::restore()
{
    const QString source = m_sourceBox->text().trimmed();
    if (source.isEmpty() || !QFileInfo(source).isFile()) {
        Prompter::warning(this, QStringLiteral("备份数据库没找到!"));
        return;
    }
    restoreFrom(source);
}

void Trepair::restoreSelected()
{
    const QTreeWidgetItem *item = m_automaticList->currentItem();
    if (!item) {
        Prompter::warning(this, QStringLiteral("请先在列表中选择一份自动备份。"));
        return;
    }
    restoreFrom(item->data(0, Qt::UserRole).toString());
}

void Trepair::restoreFrom(const QString &source)
{
    if (!Prompter::confirm(
            this,
            QStringLiteral("恢复后，当前数据库中的全部数据将被备份“%1”中的数据替换（当前数据会另存一份）。"
                           "\n确定要恢复数据库吗？")
                .arg(QDir::toNativeSeparators(source))))
        return;
    BackupService service(m_db.location());
    const QDateTime now = Clock::current().now();
    const BackupService::Result result = BackupProgress::run(
        this, QStringLiteral("正在恢复数据库……"), [&](const BackupService::Progress &progress) {
            service.setProgress(progress);
            return service.restoreFrom(source, now, m_keepFolder);
        });
    if (!result.ok) {
        Prompter::warning(this, QStringLiteral("数据库恢复失败！\n%1").arg(result.error));
        return;
    }
    QString text = QStringLiteral("数据库恢复成功！");
    if (!result.keptPath.isEmpty())
        text += QStringLiteral("\n恢复前的数据已保存为：%1").arg(QDir::toNativeSeparators(result.keptPath));
    Prompter::information(this, text);
    refreshAutomaticList();
}

void Trepair::refreshAutomaticList()
{
    m_automaticList->clear();
    const QLocale locale(QLocale::Chinese, QLocale::China);
    for (const AutomaticBackups::Entry &entry : AutomaticBackups::list(m_automaticFolder)) {
        auto *item = new QTreeWidgetItem(m_automaticList);
        item->setText(0, entry.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
        item->setText(1, locale.formattedDataSize(entry.size, 1, QLocale::DataSizeTraditionalFormat));
        item->setText(2, QFileInfo(entry.path).fileName());
        item->setData(0, Qt::UserRole, entry.path);
        item->setToolTip(2, QDir::toNativeSeparators(entry.path));
    }
    m_restoreSelectedButton->setEnabled(m_automaticList->topLevelItemCount() > 0);
}
