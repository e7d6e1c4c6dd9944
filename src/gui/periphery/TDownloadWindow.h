#pragma once

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;
class QUrl;

// The download window of the online upgrade: the file being fetched with its
// address, size, rate and time left, the progress over all files, and at the
// end the finished state whose "[&O]确定" hands over to the upgrader.
class TDownloadWindow : public QDialog
{
    Q_OBJECT
public:
    explicit TDownloadWindow(QWidget *parent = nullptr);

    void startFile(int index, int count, const QUrl &url, const QString &fileName);
    // size and secondsLeft are -1 while unknown.
    void showProgress(qint64 received, qint64 size, double bytesPerSecond, int secondsLeft);
    // Every file is in: the window waits for "[&O]确定".
    void showFinished(const QString &programTitle);
    bool isFinished() const { return m_finished; }

    static QString sizeText(qint64 bytes);
    static QString timeText(int seconds);

    void reject() override;

signals:
    // The operator cancelled while files were still coming.
    void cancelRequested();

private:
    QLabel *m_overallLabel;
    QLabel *m_fileLabel;
    QLabel *m_addressLabel;
    QLabel *m_sizeLabel;
    QLabel *m_rateLabel;
    QLabel *m_timeLeftLabel;
    QProgressBar *m_progress;
    QLabel *m_messageLabel;
    QPushButton *m_finishButton;
    QPushButton *m_cancelButton;
    bool m_finished = false;
};
