#pragma once

#include <QDialog>
#include <QPixmap>
#include <QString>

class Database;
struct DatabaseLocation;
class QLabel;

// The about box ("关于软件..."): the product name, the maker's mail and web
// addresses as links, and what a support request needs: the program's
// version, where the data is (never a password) and the versions of Qt and
// of the database engine in use, selectable for copying. Shown modally.
class TAboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutBox(const Database &db, QWidget *parent = nullptr);

    static QString versionText();
    // The lines of the selectable support text: where the data is, the
    // engine (engineText()) and Qt.
    static QString systemInfoText(const DatabaseLocation &location, const QString &engine);
    // "SQLite 3.40.1" or "PostgreSQL 15.5"; "（无法读取）" when the database
    // does not answer.
    static QString engineText(const Database &db);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QLabel *linkLabel(const QString &url, const QString &text, const char *objectName);

    QPixmap m_background;
};
