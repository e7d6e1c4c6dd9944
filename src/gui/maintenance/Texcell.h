#pragma once

#include "maintenance/StockImport.h"

#include <QDialog>

#include <functional>

class Database;
class QCheckBox;
class QLineEdit;
class QPushButton;
class SettingsStore;
class ShopContext;

// "Excel导入数据库": appends the stock records of a workbook's sheet
// "qmzrtk" to the stock table of the database in use or of another of our
// database files. Shows what it will add before it writes, shows progress,
// and on success lists all records on the main window.
class Texcell : public QDialog
{
    Q_OBJECT
public:
    Texcell(ShopContext &context, QWidget *parent);

    // Runs the preview of the rows to be added; true means "导入". The
    // program's own runs the preview dialog modally; tests put in their own.
    using PreviewRunner = std::function<bool(QDialog &preview)>;
    void setPreviewRunner(PreviewRunner runner) { m_previewRunner = std::move(runner); }

    QLineEdit *excelPathBox() const { return m_excelPath; }
    QLineEdit *databasePathBox() const { return m_databasePath; }
    QCheckBox *fillInitialsBox() const { return m_fillInitials; }
    QPushButton *importButton() const { return m_importButton; }

    // The import picture's click.
    void runImport();
    // "导出模板".
    void exportTemplate();

    // The contact text the failure messages end with.
    static QString connectionFailedText();
    static QString importFailedText();

    // The preview lists this many rows.
    static constexpr int PreviewRows = 20;

private:
    void chooseExcelFile();
    void chooseDatabase();
    bool preview(const QList<ImportedStock> &rows);
    void warn(const QString &text);

    ShopContext &m_context;
    Database &m_db;
    SettingsStore &m_settings;
    QLineEdit *m_excelPath = nullptr;
    QLineEdit *m_databasePath = nullptr;
    QCheckBox *m_fillInitials = nullptr;
    QPushButton *m_importButton = nullptr;
    PreviewRunner m_previewRunner;
};
