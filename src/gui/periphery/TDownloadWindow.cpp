#include "TDownloadWindow.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QLabel *valueLabel(QWidget *parent, const char *objectName)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(objectName));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

TDownloadWindow::TDownloadWindow(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TDownloadWindow"));
    setWindowTitle(QStringLiteral("软件升级精灵"));
    setModal(true);
    setMinimumWidth(460);

    m_overallLabel = valueLabel(this, "overallLabel");
    QFont bold = m_overallLabel->font();
    bold.setBold(true);
    m_overallLabel->setFont(bold);
    m_fileLabel = valueLabel(this, "fileLabel");
    m_addressLabel = valueLabel(this, "addressLabel");
    m_addressLabel->setWordWrap(true);
    m_sizeLabel = valueLabel(this, "sizeLabel");
    m_rateLabel = valueLabel(this, "rateLabel");
    m_timeLeftLabel = valueLabel(this, "timeLeftLabel");
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("fileProgress"));
    m_progress->setRange(0, 0);
    m_messageLabel = valueLabel(this, "messageLabel");
    m_messageLabel->setWordWrap(true);
    m_messageLabel->hide();

    m_finishButton = new QPushButton(QStringLiteral("完成"), this);
    m_finishButton->setObjectName(QStringLiteral("finishButton"));
    m_finishButton->setEnabled(false);
    m_cancelButton = new QPushButton(QStringLiteral("取消"), this);
    m_cancelButton->setObjectName(QStringLiteral("cancelButton"));
    m_cancelButton->setDefault(true);
    connect(m_finishButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancelButton, &QPushButton::clicked, this, &TDownloadWindow::reject);

    auto *details = new QFormLayout;
    details->addRow(QStringLiteral("当前文件："), m_fileLabel);
    details->addRow(QStringLiteral("下载地址："), m_addressLabel);
    details->addRow(QStringLiteral("文件大小："), m_sizeLabel);
    details->addRow(QStringLiteral("传输速率："), m_rateLabel);
    details->addRow(QStringLiteral("剩余时间："), m_timeLeftLabel);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_finishButton);
    buttons->addWidget(m_cancelButton);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_overallLabel);
    layout->addLayout(details);
    layout->addWidget(m_progress);
    layout->addWidget(m_messageLabel);
    layout->addStretch();
    layout->addLayout(buttons);
}

QString TDownloadWindow::sizeText(qint64 bytes)
{
    if (bytes < 0)
        return QStringLiteral("未知");
    if (bytes < 1024)
        return QStringLiteral("%1 字节").arg(bytes);
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(double(bytes) / 1024, 0, 'f', 1);
    return QStringLiteral("%1 MB").arg(double(bytes) / (1024 * 1024), 0, 'f', 1);
}

QString TDownloadWindow::timeText(int seconds)
{
    if (seconds < 0)
        return QStringLiteral("未知");
    if (seconds < 60)
        return QStringLiteral("%1 秒").arg(seconds);
    if (seconds < 3600)
        return QStringLiteral("%1 分 %2 秒").arg(seconds / 60).arg(seconds % 60);
    return QStringLiteral("%1 小时 %2 分").arg(seconds / 3600).arg(seconds % 3600 / 60);
}

void TDownloadWindow::startFile(int index, int count, const QUrl &url, const QString &fileName)
{
    m_overallLabel->setText(QStringLiteral("当前正在下载:%1 of %2").arg(index + 1).arg(count));
    m_fileLabel->setText(fileName);
    m_addressLabel->setText(url.toDisplayString());
    m_sizeLabel->setText(sizeText(-1));
    m_rateLabel->setText(sizeText(0) + QStringLiteral("/秒"));
    m_timeLeftLabel->setText(timeText(-1));
    m_progress->setRange(0, 0);
}

void TDownloadWindow::showProgress(qint64 received, qint64 size, double bytesPerSecond, int secondsLeft)
{
    m_sizeLabel->setText(size >= 0 ? QStringLiteral("%1 / %2").arg(sizeText(received), sizeText(size))
                                   : sizeText(received));
    m_rateLabel->setText(sizeText(qint64(bytesPerSecond)) + QStringLiteral("/秒"));
    m_timeLeftLabel->setText(timeText(secondsLeft));
    if (size > 0) {
        m_progress->setRange(0, 1000);
        m_progress->setValue(int(received * 1000 / size));
    }
}

void TDownloadWindow::showFinished(const QString &programTitle)
{
    m_finished = true;
    setWindowTitle(QStringLiteral("升级完成！"));
    m_progress->setRange(0, 1);
    m_progress->setValue(1);
    m_timeLeftLabel->setText(timeText(0));
    m_messageLabel->setText(
        QStringLiteral("%1 已经升级完成，\n\n请按[确定]键重新启动程序").arg(programTitle));
    m_messageLabel->show();
    m_finishButton->setText(QStringLiteral("[&O]确定"));
    m_finishButton->setEnabled(true);
    m_finishButton->setDefault(true);
    m_finishButton->setFocus();
    m_cancelButton->setEnabled(false);
}

void TDownloadWindow::reject()
{
    // Once finished, only "[&O]确定" leaves the window.
    if (m_finished)
        return;
    emit cancelRequested();
    QDialog::reject();
}
