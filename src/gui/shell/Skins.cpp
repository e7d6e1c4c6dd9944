#include "Skins.h"

#include <QApplication>
#include <QFile>

#include <array>

// The style sheets sit in the resources of the widget library; a static
// library only keeps them when something refers to them.
static void loadSkinResources()
{
    static const bool loaded = [] {
        Q_INIT_RESOURCE(lwjxc);
        return true;
    }();
    Q_UNUSED(loaded);
}

namespace {

struct Skin
{
    const char16_t *caption;
    const char16_t *resource;
};

constexpr std::array<Skin, 5> kSkins{{
    {u"黑色经典(皮肤)", u":/skins/classic-black.qss"},
    {u"蓝色幻想(皮肤)", u":/skins/blue-fantasy.qss"},
    {u"梦幻天空(皮肤)", u":/skins/dreamy-sky.qss"},
    {u"黑色遐想(皮肤)", u":/skins/black-reverie.qss"},
    {u"梦想成真(皮肤)", u":/skins/dream-come-true.qss"},
}};

int &currentIndex()
{
    static int index = -1;
    return index;
}

} // namespace

namespace Skins {

QStringList menuCaptions()
{
    QStringList captions;
    for (const Skin &skin : kSkins)
        captions.append(QString::fromUtf16(skin.caption));
    return captions;
}

int count()
{
    return int(kSkins.size());
}

QString styleSheet(int index)
{
    if (index < 0 || index >= count())
        return {};
    loadSkinResources();
    QFile file(QString::fromUtf16(kSkins[size_t(index)].resource));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

bool apply(int index)
{
    const QString sheet = styleSheet(index);
    if (sheet.isEmpty())
        return false;
    qApp->setStyleSheet(sheet);
    currentIndex() = index;
    return true;
}

void applyBuiltIn()
{
    qApp->setStyleSheet(QString());
    currentIndex() = -1;
}

int current()
{
    return currentIndex();
}

} // namespace Skins
