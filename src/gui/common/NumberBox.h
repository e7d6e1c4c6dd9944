#pragma once

#include <QLineEdit>
#include <QValidator>

class QToolButton;

// What a number box takes, however the text arrives: typed, pasted, dropped
// or composed by an input method. The same characters as the key filter
// and no more than MaxLength of them; the program's own texts are not checked.
class NumberBoxValidator : public QValidator
{
    Q_OBJECT
public:
    using QValidator::QValidator;
    static constexpr int MaxLength = 20;
    State validate(QString &input, int &position) const override;
};

// A box for quantities and prices: it takes only digits, "." and the editing
// keys, and the optional arrows (and the Up and Down keys) step its value by
// one between 0 and 100.
class NumberBox : public QLineEdit
{
    Q_OBJECT
public:
    enum class Arrows { None, UpDown };

    explicit NumberBox(Arrows arrows = Arrows::None, QWidget *parent = nullptr);

    static constexpr int StepMinimum = 0;
    static constexpr int StepMaximum = 100;

    // +1 or -1: the whole number of the box's value moved by one and kept
    // within the step range replaces the text.
    void step(int direction);

    // Whether a typed character may enter a number box.
    static bool acceptsCharacter(QChar character);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QToolButton *m_up = nullptr;
    QToolButton *m_down = nullptr;
};
