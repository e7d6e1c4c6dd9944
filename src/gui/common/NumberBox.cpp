#include "NumberBox.h"

#include <QKeyEvent>
#include <QStyle>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kArrowWidth = 14;

QToolButton *arrowButton(Qt::ArrowType arrow, const char *objectName, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QLatin1String(objectName));
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    // Clicking an arrow leaves the focus in the box.
    button->setFocusPolicy(Qt::NoFocus);
    button->setCursor(Qt::ArrowCursor);
    return button;
}
} // namespace

QValidator::State NumberBoxValidator::validate(QString &input, int &position) const
{
    Q_UNUSED(position);
    // A text being typed ("12.", ".", "1.2.3") is left to the conversion,
    // which reports it in words; only foreign characters are kept out.
    if (input.size() > MaxLength || !std::all_of(input.cbegin(), input.cend(), NumberBox::acceptsCharacter))
        return Invalid;
    return Acceptable;
}

NumberBox::NumberBox(Arrows arrows, QWidget *parent) : QLineEdit(parent)
{
    setValidator(new NumberBoxValidator(this));
    if (arrows == Arrows::UpDown) {
        m_up = arrowButton(Qt::UpArrow, "stepUpButton", this);
        m_down = arrowButton(Qt::DownArrow, "stepDownButton", this);
        connect(m_up, &QToolButton::clicked, this, [this] { step(+1); });
        connect(m_down, &QToolButton::clicked, this, [this] { step(-1); });
        setTextMargins(0, 0, kArrowWidth, 0);
    }
}

bool NumberBox::acceptsCharacter(QChar character)
{
    return (character >= u'0' && character <= u'9') || character == u'.';
}

void NumberBox::step(int direction)
{
    // The arrows count in whole numbers: a typed 3.5 steps to 4 or 2, text
    // that is no number steps from 0.
    bool ok = false;
    const double value = text().toDouble(&ok);
    const double whole = ok && std::isfinite(value) ? std::trunc(value) : 0.0;
    const double reached = std::clamp(whole + direction, double(StepMinimum), double(StepMaximum));
    setText(QString::number(qint64(reached)));
}

void NumberBox::keyPressEvent(QKeyEvent *event)
{
    if (m_up && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)) {
        step(event->key() == Qt::Key_Up ? +1 : -1);
        event->accept();
        return;
    }
    // Only typed characters are filtered: Backspace, Enter, Tab, the cursor
    // keys and the editing short-cuts do their usual work.
    const QString typed = event->text();
    const bool control = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (!control && !typed.isEmpty() && typed.front().isPrint()) {
        if (!std::all_of(typed.cbegin(), typed.cend(), acceptsCharacter)) {
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void NumberBox::resizeEvent(QResizeEvent *event)
{
    QLineEdit::resizeEvent(event);
    if (!m_up)
        return;
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    const int inner = height() - 2 * frame;
    const int half = inner / 2;
    const int x = width() - frame - kArrowWidth;
    m_up->setGeometry(x, frame, kArrowWidth, half);
    m_down->setGeometry(x, frame + half, kArrowWidth, inner - half);
}
