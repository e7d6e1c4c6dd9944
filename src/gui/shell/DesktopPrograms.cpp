#include "DesktopPrograms.h"

#include "common/Prompter.h"

#include <QProcess>
#include <QStandardPaths>

namespace DesktopPrograms {

QStringList calculatorCandidates()
{
#ifdef Q_OS_WIN
    return {QStringLiteral("calc.exe")};
#else
    return {QStringLiteral("gnome-calculator"), QStringLiteral("kcalc"),         QStringLiteral("galculator"),
            QStringLiteral("mate-calc"),        QStringLiteral("qalculate-gtk"), QStringLiteral("xcalc")};
#endif
}

QStringList textEditorCandidates()
{
#ifdef Q_OS_WIN
    return {QStringLiteral("notepad.exe")};
#else
    return {QStringLiteral("gedit"),  QStringLiteral("gnome-text-editor"), QStringLiteral("kate"),
            QStringLiteral("kwrite"), QStringLiteral("mousepad"),          QStringLiteral("pluma"),
            QStringLiteral("xed"),    QStringLiteral("featherpad"),        QStringLiteral("leafpad")};
#endif
}

QString startFirstAvailable(const QStringList &candidates)
{
    for (const QString &name : candidates) {
        const QString path = QStandardPaths::findExecutable(name);
        if (path.isEmpty())
            continue;
        if (QProcess::startDetached(path, {}))
            return name;
    }
    return {};
}

void startCalculator(QWidget *parent)
{
    if (startFirstAvailable(calculatorCandidates()).isEmpty())
        Prompter::warning(parent, QStringLiteral("没有找到计算器程序，请先安装系统的计算器（例如 %1）。")
                                      .arg(calculatorCandidates().mid(0, 3).join(QStringLiteral("、"))));
}

void startTextEditor(QWidget *parent)
{
    if (startFirstAvailable(textEditorCandidates()).isEmpty())
        Prompter::warning(parent, QStringLiteral("没有找到记事本程序，请先安装系统的文本编辑器（例如 %1）。")
                                      .arg(textEditorCandidates().mid(0, 3).join(QStringLiteral("、"))));
}

} // namespace DesktopPrograms
