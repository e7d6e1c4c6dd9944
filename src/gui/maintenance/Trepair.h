#pragma once

#include <QWidget>

class Database;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTreeWidget;
class SettingsStore;

// "数据库备份": backs the shop database up to a file the operator names,
// restores it from such a file or from one of the automatic backups, and
// sets the automatic backups of every close. The program's connection is
// closed while the window is open and opened again when it closes; the
// window is destroyed when closed.
class Trepair : public QWidget
{
    Q_OBJECT
public:
    Trepair(Database &db, SettingsStore &settings, const QString &userDataFolder, QWidget *parent = nullptr);

    // "D:\beifen.mdb" on Windows; beifen.mdb in the documents folder elsewhere.
    static QString defaultTarget();

    void useDefaultTarget(); // "默认"
    void backUp();           // "备份数据库"
    void chooseSource();     // "打开备份文件"
    void restore();          // "恢复数据库"
    void restoreSelected();  // "恢复所选备份"
    void refreshAutomaticList();

signals:
    // The connection is open again; the main window lists its data afresh.
    void closed();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void restoreFrom(const QString &source);

    Database &m_db;
    SettingsStore &m_settings;
    QString m_automaticFolder;
    QString m_keepFolder;
    bool m_disconnected = false;

    QLineEdit *m_targetBox = nullptr;
    QLabel *m_defaultLabel = nullptr;
    QPushButton *m_backupButton = nullptr;
    QLineEdit *m_sourceBox = nullptr;
    QPushButton *m_openButton = nullptr;
    QPushButton *m_restoreButton = nullptr;
    QCheckBox *m_automaticBox = nullptr;
    QSpinBox *m_automaticCount = nullptr;
    QTreeWidget *m_automaticList = nullptr;
    QPushButton *m_restoreSelectedButton = nullptr;
};
