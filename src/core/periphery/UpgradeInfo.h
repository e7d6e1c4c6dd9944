#pragma once

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QUrl>

// The information file the maker publishes next to a release: which date the
// newest version carries, which files make it up, what to tell the operator
// and how to install it. Values are found by key anywhere in the text
// ("#date=03/15/2014"), ignoring the key's case; the first match wins.
class UpgradeInfo
{
public:
    // One file of the release and the detached Ed25519 signature published
    // for it ("#sig=" belongs to "#url=", "#sig0=" to "#url0=", "#sig3=" to
    // "#url3=").
    struct File
    {
        QString address;
        QString signature;

        QUrl url() const;
        // The name the file is saved under: the last part of its address.
        // Empty when the address is not an http(s) address or the name could
        // leave the program folder.
        QString fileName() const;
    };

    // How the release wants to be installed.
    enum class Method { Replace = 0, Replace1 = 1, Browser = 2 };

    // Information files are a few hundred bytes; anything much larger is not one.
    static constexpr qsizetype MaxFileSize = 256 * 1024;
    // Numbered addresses beyond this are not read (a release of a thousand
    // files is a damaged information file).
    static constexpr int MaxNumberedFiles = 999;

    // Reads UTF-8, or GBK when the bytes are not valid UTF-8.
    static UpgradeInfo parse(const QByteArray &bytes);
    static UpgradeInfo parse(const QString &text);

    // The value stored under key in text, or a null string when the key is
    // absent. A value runs from after "=" to the end of its line; one that
    // starts with "{" runs to the first "}" and may span lines.
    static QString value(const QString &text, const QString &key);

    // month/day/year with a four-digit year; invalid when it is not one.
    static QDate parseDate(const QString &text);

    QString dateText;
    QDate date;
    QList<File> files;
    QString message;
    Method method = Method::Replace;

    int methodDigit() const { return static_cast<int>(method); }
    // Equal dates are not newer; a missing or broken date never is.
    bool isNewerThan(QDate releaseDate) const;
};
