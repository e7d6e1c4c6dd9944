#pragma once

#include "maintenance/ReceiptTexts.h"

#include <QHash>
#include <QWidget>

class QLineEdit;
class QPushButton;
class SettingsStore;

// "销售单小票设置": the texts printed on the POS receipt and the order
// document, and the shop's name. Made once at start-up and kept until the
// program ends; the printing reads its boxes, so an edited text is printed
// even before it is saved.
class Tpos : public QWidget
{
    Q_OBJECT
public:
    // Loads the stored texts at once (see load()).
    explicit Tpos(SettingsStore &settings, QWidget *parent = nullptr);

    // Puts the stored texts into the boxes when a receipt title is stored;
    // otherwise the boxes keep their default texts.
    void load();
    // Stores the nine texts, confirms with "已保存成功！" and closes the window.
    void save();

    // The texts as the boxes show them now.
    ReceiptTexts texts() const;
    // The box of one stored value ("pos1" ... "company").
    QLineEdit *box(QLatin1String key) const { return m_boxes.value(QString(key)); }
    QPushButton *saveButton() const { return m_saveButton; }

    // Shows the window centred on the given one and brings it to the front.
    void showOver(QWidget *window);

private:
    SettingsStore &m_settings;
    QHash<QString, QLineEdit *> m_boxes;
    QPushButton *m_saveButton = nullptr;
};
