#pragma once

#include <QList>
#include <QString>

// One initial letter and the less common characters whose pinyin begins with it.
struct RareInitialGroup
{
    char letter = '!';
    // The characters in their stored order, without separators; a character may
    // appear twice in one group and also in another group (polyphones).
    QString characters;
};

// Initial letters of the characters the GB2312 level-1 ranges do not cover, so
// that rare and polyphone characters in article names still get a letter.
class RareInitialTable
{
public:
    RareInitialTable() = delete;

    // The 23 groups in letter order "abcdefghjklmnopqrstwxyz".
    static const QList<RareInitialGroup> &groups();

    // The letter of the first group, in letter order, that lists the character
    // with this two-byte GBK code (first byte * 256 + second byte), or '!' when
    // no group lists it.
    static char initialOf(quint16 gbkCode);
};
