#pragma once

#include <QLabel>

class QTimer;

// The small panel at the top left of the main window that confirms a
// successful save for two seconds instead of a message box.
class SuccessNotice : public QLabel
{
    Q_OBJECT
public:
    explicit SuccessNotice(QWidget *parent = nullptr);

    // How long the notice stays, in milliseconds.
    static constexpr int DisplayMilliseconds = 2000;

    // Shows the text in the highlight colour and restarts the two seconds.
    void showNotice(const QString &text);

private:
    void expire();

    QTimer *m_timer;
};
