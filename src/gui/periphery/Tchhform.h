#pragma once

#include <QDialog>
#include <QString>

class QPlainTextEdit;

// The help window ("使用帮助"): one page "快速使用" with the tips a new
// operator needs for receiving goods, selling, the stock list and the
// program's shortcuts. Opened without blocking the main window.
class Tchhform : public QDialog
{
    Q_OBJECT

public:
    explicit Tchhform(QWidget *parent = nullptr);

    // The text of the "快速使用" page.
    static QString quickStartText();
    QPlainTextEdit *textBox() const { return m_text; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    QPlainTextEdit *m_text = nullptr;
    bool m_placed = false;
};
