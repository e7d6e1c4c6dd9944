#include "ReceiptTexts.h"

#include "data/SettingsStore.h"

namespace {

using Keys = SettingsStore::Keys;

// The maker's site as the status bar shows it.
const QString kWebAddress = QStringLiteral("www.lanwei-xiangbao.cn");

} // namespace

QList<QLatin1String> ReceiptTexts::keys()
{
    return {Keys::ReceiptTitle,    Keys::ReceiptSlogan1,  Keys::ReceiptSlogan2,
            Keys::ReceiptClosing,  Keys::DocumentHeader,  Keys::DocumentContact,
            Keys::DocumentSlogan1, Keys::DocumentSlogan2, Keys::Company};
}

ReceiptTexts ReceiptTexts::defaults()
{
    ReceiptTexts texts;
    texts.receiptTitle = QStringLiteral("POS小票销售单");
    texts.receiptSlogan1 = QStringLiteral("岚蔚进销存软件提供技术支持");
    texts.receiptSlogan2 = QStringLiteral("官网：") + kWebAddress;
    texts.receiptClosing = QStringLiteral("欢迎下次惠顾！");
    texts.documentHeader = QStringLiteral("霁松阁软件销售单");
    texts.documentContact = QStringLiteral("客服电话：400-000-0000 客服QQ:800000000");
    texts.documentSlogan1 = QStringLiteral("品质箱包，诚信经营，售后无忧");
    texts.documentSlogan2 = QStringLiteral("官网：") + kWebAddress;
    texts.company = QStringLiteral("霁松阁软件");
    return texts;
}

ReceiptTexts ReceiptTexts::load(const SettingsStore &store)
{
    if (store.value(Keys::ReceiptTitle).isEmpty())
        return defaults();
    ReceiptTexts texts;
    for (const QLatin1String key : keys())
        texts.setValue(key, store.value(key));
    return texts;
}

bool ReceiptTexts::save(SettingsStore &store) const
{
    bool stored = true;
    for (const QLatin1String key : keys())
        stored = store.setValue(key, value(key)) && stored;
    return stored;
}

QString ReceiptTexts::value(QLatin1String key) const
{
    if (key == Keys::ReceiptTitle)
        return receiptTitle;
    if (key == Keys::ReceiptSlogan1)
        return receiptSlogan1;
    if (key == Keys::ReceiptSlogan2)
        return receiptSlogan2;
    if (key == Keys::ReceiptClosing)
        return receiptClosing;
    if (key == Keys::DocumentHeader)
        return documentHeader;
    if (key == Keys::DocumentContact)
        return documentContact;
    if (key == Keys::DocumentSlogan1)
        return documentSlogan1;
    if (key == Keys::DocumentSlogan2)
        return documentSlogan2;
    if (key == Keys::Company)
        return company;
    return QString();
}

void ReceiptTexts::setValue(QLatin1String key, const QString &text)
{
    if (key == Keys::ReceiptTitle)
        receiptTitle = text;
    else if (key == Keys::ReceiptSlogan1)
        receiptSlogan1 = text;
    else if (key == Keys::ReceiptSlogan2)
        receiptSlogan2 = text;
    else if (key == Keys::ReceiptClosing)
        receiptClosing = text;
    else if (key == Keys::DocumentHeader)
        documentHeader = text;
    else if (key == Keys::DocumentContact)
        documentContact = text;
    else if (key == Keys::DocumentSlogan1)
        documentSlogan1 = text;
    else if (key == Keys::DocumentSlogan2)
        documentSlogan2 = text;
    else if (key == Keys::Company)
        company = text;
}
