#include "Prompter.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QQueue>

namespace {
struct TestState
{
    bool on = false;
    QQueue<Prompter::Answer> answers;
    QQueue<QPair<QString, QString>> files;
    QList<Prompter::Shown> shown;
};

TestState &state()
{
    static TestState s;
    return s;
}

QString defaultCaption(Prompter::Kind kind)
{
    switch (kind) {
    case Prompter::Kind::Information:
        return QStringLiteral("提示");
    case Prompter::Kind::Warning:
        return QStringLiteral("警告");
    case Prompter::Kind::Error:
        return QStringLiteral("错误");
    case Prompter::Kind::Question:
        return QStringLiteral("请确认");
    }
    return QString();
}

Prompter::Answer nextAnswer(Prompter::Answer fallback)
{
    return state().answers.isEmpty() ? fallback : state().answers.dequeue();
}
} // namespace

void Prompter::show(Kind kind, QWidget *parent, const QString &text, const QString &caption)
{
    const QString title = caption.isEmpty() ? defaultCaption(kind) : caption;
    if (state().on) {
        state().shown.append({kind, title, text});
        return;
    }
    switch (kind) {
    case Kind::Information:
        QMessageBox::information(parent, title, text, QMessageBox::Ok);
        break;
    case Kind::Warning:
        QMessageBox::warning(parent, title, text, QMessageBox::Ok);
        break;
    case Kind::Error:
    case Kind::Question:
        QMessageBox::critical(parent, title, text, QMessageBox::Ok);
        break;
    }
}

void Prompter::information(QWidget *parent, const QString &text, const QString &caption)
{
    show(Kind::Information, parent, text, caption);
}

void Prompter::warning(QWidget *parent, const QString &text, const QString &caption)
{
    show(Kind::Warning, parent, text, caption);
}

void Prompter::error(QWidget *parent, const QString &text, const QString &caption)
{
    show(Kind::Error, parent, text, caption);
}

bool Prompter::confirm(QWidget *parent, const QString &text, const QString &caption)
{
    if (state().on) {
        state().shown.append({Kind::Question, caption, text});
        return nextAnswer(Answer::Cancel) == Answer::Ok;
    }
    return QMessageBox::warning(parent, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                                QMessageBox::Cancel) == QMessageBox::Ok;
}

bool Prompter::ask(QWidget *parent, const QString &text, const QString &caption, Answer defaultAnswer)
{
    if (state().on) {
        state().shown.append({Kind::Question, caption, text});
        return nextAnswer(Answer::No) == Answer::Yes;
    }
    return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No,
                                 defaultAnswer == Answer::No ? QMessageBox::No : QMessageBox::Yes) ==
           QMessageBox::Yes;
}

bool Prompter::choose(QWidget *parent, Kind icon, const QString &text, const QString &caption,
                      const QString &firstButton, const QString &secondButton)
{
    if (state().on) {
        state().shown.append({icon, caption, text});
        return nextAnswer(Answer::No) == Answer::Yes;
    }
    QMessageBox box(parent);
    box.setIcon(icon == Kind::Information ? QMessageBox::Information
                : icon == Kind::Warning   ? QMessageBox::Warning
                : icon == Kind::Error     ? QMessageBox::Critical
                                          : QMessageBox::Question);
    box.setWindowTitle(caption);
    box.setText(text);
    QPushButton *first = box.addButton(firstButton, QMessageBox::YesRole);
    QPushButton *second = box.addButton(secondButton, QMessageBox::NoRole);
    box.setDefaultButton(first);
    box.setEscapeButton(second);
    box.exec();
    return box.clickedButton() == first;
}

QString Prompter::saveFileName(QWidget *parent, const QString &caption, const QString &suggestedPath,
                               const QString &filters, QString *selectedFilter)
{
    if (state().on) {
        if (state().files.isEmpty())
            return QString();
        const auto [path, filter] = state().files.dequeue();
        // No filter queued: the operator kept the one the dialog offered.
        if (selectedFilter && !filter.isEmpty())
            *selectedFilter = filter;
        return path;
    }
    // The overwrite question is the caller's, with the program's own words.
    return QFileDialog::getSaveFileName(parent, caption, suggestedPath, filters, selectedFilter,
                                        QFileDialog::DontConfirmOverwrite);
}

QString Prompter::openFileName(QWidget *parent, const QString &caption, const QString &folder,
                               const QString &filters)
{
    if (state().on)
        return state().files.isEmpty() ? QString() : state().files.dequeue().first;
    return QFileDialog::getOpenFileName(parent, caption, folder, filters);
}

void Prompter::setTestMode(bool on)
{
    state() = TestState();
    state().on = on;
}

bool Prompter::testMode()
{
    return state().on;
}

void Prompter::queueAnswer(Answer answer)
{
    state().answers.enqueue(answer);
}

void Prompter::queueFileName(const QString &path, const QString &selectedFilter)
{
    state().files.enqueue({path, selectedFilter});
}

const QList<Prompter::Shown> &Prompter::shown()
{
    return state().shown;
}

QStringList Prompter::shownTexts()
{
    QStringList texts;
    for (const Shown &s : state().shown)
        texts << s.text;
    return texts;
}

QString Prompter::lastText()
{
    return state().shown.isEmpty() ? QString() : state().shown.constLast().text;
}

void Prompter::clearShown()
{
    state().shown.clear();
}
