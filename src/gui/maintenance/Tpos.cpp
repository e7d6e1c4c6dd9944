#include "Tpos.h"

#include "common/Prompter.h"
#include "data/SettingsStore.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace {
using Keys = SettingsStore::Keys;

struct Row
{
    QLatin1String key;
    const char16_t *caption;
};
} // namespace

Tpos::Tpos(SettingsStore &settings, QWidget *parent) : QWidget(parent), m_settings(settings)
{
    setObjectName(QStringLiteral("Tpos"));
    setWindowTitle(QStringLiteral("销售单小票设置"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(398, 474);

    const ReceiptTexts defaults = ReceiptTexts::defaults();
    auto addRows = [this, &defaults](QFormLayout *form, std::initializer_list<Row> rows) {
        for (const Row &row : rows) {
            auto *edit = new QLineEdit(defaults.value(row.key), this);
            edit->setObjectName(QString(row.key));
            form->addRow(QString::fromUtf16(row.caption), edit);
            m_boxes.insert(QString(row.key), edit);
        }
    };

    auto *layout = new QVBoxLayout(this);
    auto *posGroup = new QGroupBox(QStringLiteral("POS小票设置"), this);
    posGroup->setObjectName(QStringLiteral("posGroup"));
    auto *posForm = new QFormLayout(posGroup);
    addRows(posForm, {{Keys::ReceiptTitle, u"小票标题："},
                      {Keys::ReceiptSlogan1, u"宣传语1："},
                      {Keys::ReceiptSlogan2, u"宣传语2："},
                      {Keys::ReceiptClosing, u"结束语："}});
    layout->addWidget(posGroup);

    auto *documentGroup = new QGroupBox(QStringLiteral("销售单设置"), this);
    documentGroup->setObjectName(QStringLiteral("documentGroup"));
    auto *documentForm = new QFormLayout(documentGroup);
    addRows(documentForm, {{Keys::DocumentHeader, u"销售单表头："},
                           {Keys::DocumentContact, u"联系地址电话："},
                           {Keys::DocumentSlogan1, u"宣传语1："},
                           {Keys::DocumentSlogan2, u"宣传语2："}});
    auto *note = new QLabel(QStringLiteral("说明：宣传语1不填写，销售单可以不打印此项"), documentGroup);
    note->setWordWrap(true);
    documentForm->addRow(note);
    layout->addWidget(documentGroup);

    auto *companyForm = new QFormLayout;
    addRows(companyForm, {{Keys::Company, u"公司(店铺)名称："}});
    layout->addLayout(companyForm);
    layout->addStretch(1);

    m_saveButton =
        new QPushButton(style()->standardIcon(QStyle::SP_DialogSaveButton), QStringLiteral("保存"), this);
    m_saveButton->setObjectName(QStringLiteral("saveButton"));
    connect(m_saveButton, &QPushButton::clicked, this, &Tpos::save);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_saveButton);
    buttonRow->addStretch(1);
    layout->addLayout(buttonRow);

    load();
}

void Tpos::load()
{
    // Without a stored receipt title the boxes keep what they show.
    if (m_settings.value(Keys::ReceiptTitle).isEmpty())
        return;
    const ReceiptTexts stored = ReceiptTexts::load(m_settings);
    for (const QLatin1String key : ReceiptTexts::keys())
        box(key)->setText(stored.value(key));
}

void Tpos::save()
{
    if (!texts().save(m_settings)) {
        Prompter::error(this, QStringLiteral("设置未能保存，请检查能否写入：%1").arg(m_settings.location()));
        return;
    }
    Prompter::information(this, QStringLiteral("已保存成功！"));
    close();
}

ReceiptTexts Tpos::texts() const
{
    ReceiptTexts result;
    for (const QLatin1String key : ReceiptTexts::keys())
        result.setValue(key, box(key)->text());
    return result;
}

void Tpos::showOver(QWidget *window)
{
    if (window && !isVisible()) {
        QRect frame = geometry();
        frame.moveCenter(window->geometry().center());
        move(frame.topLeft());
    }
    show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}
