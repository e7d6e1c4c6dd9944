#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

// Every message box and file dialog of the program goes through here, so
// tests can answer them and read what the operator would have seen.
class Prompter
{
public:
    enum class Kind { Information, Warning, Error, Question };
    enum class Answer { Ok, Cancel, Yes, No };

    struct Shown
    {
        Kind kind;
        QString caption;
        QString text;
    };

    // One OK button.
    static void information(QWidget *parent, const QString &text, const QString &caption = QString());
    static void warning(QWidget *parent, const QString &text, const QString &caption = QString());
    static void error(QWidget *parent, const QString &text, const QString &caption = QString());

    // A destructive action asks first: OK and Cancel, Cancel the default.
    // True when the operator chose OK.
    static bool confirm(QWidget *parent, const QString &text,
                        const QString &caption = QStringLiteral("警告！"));

    // Yes / No, Yes the default unless defaultAnswer is Answer::No. True for Yes.
    static bool ask(QWidget *parent, const QString &text, const QString &caption = QStringLiteral("提示"),
                    Answer defaultAnswer = Answer::Yes);

    // Two buttons with the caller's own captions and the given icon; the first
    // is the default. True for the first. Tests answer Yes for the first.
    static bool choose(QWidget *parent, Kind icon, const QString &text, const QString &caption,
                       const QString &firstButton, const QString &secondButton);

    // Empty when cancelled. selectedFilter receives the filter the operator chose.
    static QString saveFileName(QWidget *parent, const QString &caption, const QString &suggestedPath,
                                const QString &filters, QString *selectedFilter = nullptr);
    static QString openFileName(QWidget *parent, const QString &caption, const QString &folder,
                                const QString &filters);

    // Test hooks. In test mode nothing is shown: answers and file names come
    // from the queues (an empty queue answers Cancel / no file) and every
    // message is recorded.
    static void setTestMode(bool on);
    static bool testMode();
    static void queueAnswer(Answer answer);
    static void queueFileName(const QString &path, const QString &selectedFilter = QString());
    static const QList<Shown> &shown();
    static QStringList shownTexts();
    static QString lastText();
    static void clearShown();

private:
    static void show(Kind kind, QWidget *parent, const QString &text, const QString &caption);
};
