#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// Pinyin initials let the operator find an article by typing the first letters
// of its name without a Chinese input method. Every stock record and sale line
// stores them for the article name and for its model (规格型号).

// GBK bytes in, initials out: letters, digits and the kept punctuation stay as
// they are; every other byte forms a two-byte character with the byte after it
// (0 past the end) and gives one letter, or '!' when none is known.
QByteArray PinyinInitials(QByteArrayView gbkText);

// The same for text as typed: encoded to GBK first; the result is ASCII.
QString PinyinInitials(const QString &text);

// The initial of a GB2312 level-1 character, decided by its code alone, or none
// for a code outside B0A1..D7F9.
std::optional<char> GB2312Initial(quint8 first, quint8 second);
