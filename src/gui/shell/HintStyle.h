#pragma once

#include <QProxyStyle>

// Hints appear at once when the pointer rests on a control (the main window
// hides them again after two seconds).
class HintStyle : public QProxyStyle
{
    Q_OBJECT
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption *option = nullptr, const QWidget *widget = nullptr,
                  QStyleHintReturn *returnData = nullptr) const override;
};
