#pragma once

#include <QString>
#include <QStringList>

// The interface skins of the program: five style sheets chosen by index and
// the built-in look (no sheet at all).
namespace Skins {

// Menu captions in index order: "黑色经典(皮肤)" ... "梦想成真(皮肤)".
QStringList menuCaptions();

// Number of skins in the store (indices 0 to count() - 1).
int count();

// The style sheet of one skin; empty for an index the store does not have.
QString styleSheet(int index);

// Puts the skin on the whole application. An index without a skin (the
// stored "5", or anything else) leaves the built-in look and returns false.
bool apply(int index);

// Removes any skin.
void applyBuiltIn();

// The index of the skin on the application now; -1 for the built-in look.
int current();

} // namespace Skins
