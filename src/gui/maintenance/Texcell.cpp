#include "Texcell.h"

#include "common/Prompter.h"
#include "common/ShopContext.h"
#include "data/Database.h"
#include "data/NumberFormat.h"
#include "data/QueryHelpers.h"
#include "data/SettingsStore.h"
#include "shell/MakerInfo.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QTableWidget>
#include <QVBoxLayout>

#include <memory>

namespace {

// The import picture: a worksheet whose rows flow into the stock table.
QPixmap importPicture()
{
    QPixmap pixmap(120, 72);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(30, 110, 60), 1.5));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6, 10, 44, 52));
    p.setBrush(QColor(60, 160, 90));
    p.drawRect(QRectF(6, 10, 44, 10));
    p.setPen(QPen(QColor(30, 110, 60), 1));
    for (int y = 30; y < 62; y += 10)
        p.drawLine(QPointF(6, y), QPointF(50, y));
    p.drawLine(QPointF(24, 20), QPointF(24, 62));
    p.setPen(QPen(QColor(200, 80, 20), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(56, 36), QPointF(74, 36));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 80, 20));
    p.drawPolygon(QPolygonF({QPointF(72, 28), QPointF(82, 36), QPointF(72, 44)}));
    p.setPen(QPen(QColor(40, 70, 140), 1.5));
    p.setBrush(QColor(90, 130, 210));
    p.drawRect(QRectF(88, 18, 26, 40));
    p.setBrush(QColor(140, 175, 235));
    p.drawEllipse(QRectF(88, 12, 26, 12));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(88, 28, 26, 12), 180 * 16, 180 * 16);
    p.drawArc(QRectF(88, 40, 26, 12), 180 * 16, 180 * 16);
    p.drawArc(QRectF(88, 52, 26, 12), 180 * 16, 180 * 16);
    return pixmap;
}

// The preview's column titles, in the order of StockImport::columnNames().
const QStringList &previewTitles()
{
    static const QStringList titles{
        QStringLiteral("名称"),     QStringLiteral("规格型号"), QStringLiteral("编码"),
        QStringLiteral("类别"),     QStringLiteral("名称拼音"), QStringLiteral("规格拼音"),
        QStringLiteral("供货商"),   QStringLiteral("进货单价"), QStringLiteral("进货数量"),
        QStringLiteral("进货金额"), QStringLiteral("销售单价"), QStringLiteral("销售数量"),
        QStringLiteral("销售金额"), QStringLiteral("库存数量"), QStringLiteral("库存金额"),
        QStringLiteral("备注"),     QStringLiteral("入库日期")};
    return titles;
}

QStringList previewCells(const ImportedStock &stock)
{
    QStringList cells;
    for (int i = 0; i < 7; ++i)
        cells.append(stock.texts.at(static_cast<size_t>(i)));
    for (const std::optional<double> &number : stock.numbers)
        cells.append(number ? NumberFormat::general(*number) : QString());
    cells.append(stock.texts.at(7));
    cells.append(stock.stockInDate.isValid() ? stock.stockInDate.toString(ShopContext::dateFormat())
                                             : QString());
    return cells;
}

} // namespace

QString Texcell::connectionFailedText()
{
    return QStringLiteral("连接ACCESS失败！请联系技术客服QQ:") + MakerInfo::supportQQ();
}

QString Texcell::importFailedText()
{
    return QStringLiteral("批量EXCEL导入失败！请联系技术客服QQ:") + MakerInfo::supportQQ();
}

Texcell::Texcell(ShopContext &context, QWidget *parent)
    : QDialog(parent), m_context(context), m_db(context.database()), m_settings(context.settings())
{
    setObjectName(QStringLiteral("Texcell"));
    setWindowTitle(QStringLiteral("Excel导入数据库"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(true);

    auto *layout = new QGridLayout(this);
    auto *warning = new QLabel(QStringLiteral("警告：导入前请您务必先备份数据库"), this);
    warning->setObjectName(QStringLiteral("Label3"));
    warning->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0); font-weight: bold;"));
    layout->addWidget(warning, 0, 0, 1, 3);

    layout->addWidget(new QLabel(QStringLiteral("Execl路径："), this), 1, 0);
    m_excelPath = new QLineEdit(this);
    m_excelPath->setObjectName(QStringLiteral("Edit1"));
    m_excelPath->setMinimumWidth(320);
    layout->addWidget(m_excelPath, 1, 1);
    auto *excelButton = new QPushButton(QStringLiteral("打开Excel文件"), this);
    excelButton->setObjectName(QStringLiteral("Button1"));
    connect(excelButton, &QPushButton::clicked, this, &Texcell::chooseExcelFile);
    layout->addWidget(excelButton, 1, 2);

    layout->addWidget(new QLabel(QStringLiteral("数据库路径："), this), 2, 0);
    // The database in use: its file, or the server and database without
    // the password.
    m_databasePath = new QLineEdit(m_db.location().displayName(), this);
    m_databasePath->setObjectName(QStringLiteral("Edit2"));
    layout->addWidget(m_databasePath, 2, 1);
    auto *databaseButton = new QPushButton(QStringLiteral("选择数据库"), this);
    databaseButton->setObjectName(QStringLiteral("Button2"));
    connect(databaseButton, &QPushButton::clicked, this, &Texcell::chooseDatabase);
    layout->addWidget(databaseButton, 2, 2);

    m_fillInitials = new QCheckBox(QStringLiteral("空白拼音码自动生成"), this);
    m_fillInitials->setObjectName(QStringLiteral("fillInitialsBox"));
    m_fillInitials->setToolTip(
        QStringLiteral("名称或规格的拼音码（e、f 列）为空时，按名称、规格生成拼音首字母，便于快速查询"));
    m_fillInitials->setChecked(m_settings.value(SettingsStore::Keys::ImportFillInitials) ==
                               QLatin1String("yes"));
    connect(m_fillInitials, &QCheckBox::toggled, this, [this](bool on) {
        m_settings.setValue(SettingsStore::Keys::ImportFillInitials,
                            on ? QStringLiteral("yes") : QStringLiteral("no"));
    });
    layout->addWidget(m_fillInitials, 3, 1);

    auto *templateButton = new QPushButton(QStringLiteral("导出模板"), this);
    templateButton->setObjectName(QStringLiteral("templateButton"));
    templateButton->setToolTip(
        QStringLiteral("保存一个空白的导入工作簿（工作表 qmzrtk 和 17 个列名），填好后再导入"));
    connect(templateButton, &QPushButton::clicked, this, &Texcell::exportTemplate);
    layout->addWidget(templateButton, 3, 2);

    m_importButton = new QPushButton(this);
    m_importButton->setObjectName(QStringLiteral("Image1"));
    m_importButton->setIcon(importPicture());
    m_importButton->setIconSize(QSize(120, 72));
    m_importButton->setFlat(true);
    m_importButton->setCursor(Qt::PointingHandCursor);
    m_importButton->setToolTip(QStringLiteral("开始导入"));
    // Enter in a path box starts the import rather than a file dialog.
    m_importButton->setDefault(true);
    connect(m_importButton, &QPushButton::clicked, this, &Texcell::runImport);
    layout->addWidget(m_importButton, 4, 0, 1, 3, Qt::AlignHCenter);

    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_previewRunner = [](QDialog &dialog) { return dialog.exec() == QDialog::Accepted; };
}

void Texcell::warn(const QString &text)
{
    Prompter::warning(this, text, QStringLiteral("警告"));
}

void Texcell::chooseExcelFile()
{
    const QString folder = m_excelPath->text().trimmed().isEmpty()
                               ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                               : QFileInfo(m_excelPath->text().trimmed()).absolutePath();
    // The old filter first; the other kinds this window reads after it.
    const QString file =
        Prompter::openFileName(this, QStringLiteral("请选择相应的Excel文件"), folder,
                               QStringLiteral("Excel(*.xls);;Excel 2007(*.xlsx);;CSV(*.csv);;所有文件(*)"));
    if (!file.isEmpty())
        m_excelPath->setText(QDir::toNativeSeparators(file));
}

void Texcell::chooseDatabase()
{
    const QString file = Prompter::openFileName(this, QStringLiteral("请选择相应的MDB文件"),
                                                QFileInfo(m_databasePath->text().trimmed()).absolutePath(),
                                                QStringLiteral("access (*.mdb)"));
    if (!file.isEmpty())
        m_databasePath->setText(QDir::toNativeSeparators(file));
}

void Texcell::exportTemplate()
{
    const QString folder = m_excelPath->text().trimmed().isEmpty()
                               ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                               : QFileInfo(m_excelPath->text().trimmed()).absolutePath();
    const QString file = Prompter::saveFileName(this, QStringLiteral("导出模板"),
                                                QDir(folder).filePath(QStringLiteral("商品导入模板.xls")),
                                                QStringLiteral("Excel(*.xls)"));
    if (file.isEmpty())
        return;
    QString error;
    if (!StockImport::writeTemplate(file, &error)) {
        warn(QStringLiteral("模板未能保存：%1").arg(error));
        return;
    }
    m_excelPath->setText(QDir::toNativeSeparators(file));
    Prompter::information(
        this, QStringLiteral("模板已保存：%1\n在工作表 qmzrtk 的第二行起填写商品，每行一条入库记录。")
                  .arg(QDir::toNativeSeparators(file)));
}

bool Texcell::preview(const QList<ImportedStock> &rows)
{
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("importPreview"));
    dialog.setWindowTitle(QStringLiteral("导入预览"));
    auto *layout = new QVBoxLayout(&dialog);
    auto *summary =
        new QLabel(QStringLiteral("将向库存表添加 %1 条记录。下面是前 %2 条（按导入后保存的样子显示）：")
                       .arg(rows.size())
                       .arg(qMin<qsizetype>(rows.size(), PreviewRows)),
                   &dialog);
    summary->setObjectName(QStringLiteral("previewSummary"));
    layout->addWidget(summary);
    auto *table = new QTableWidget(static_cast<int>(qMin<qsizetype>(rows.size(), PreviewRows)),
                                   static_cast<int>(previewTitles().size()), &dialog);
    table->setObjectName(QStringLiteral("previewTable"));
    table->setHorizontalHeaderLabels(previewTitles());
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    QStringList rowTitles;
    for (int r = 0; r < table->rowCount(); ++r) {
        const QStringList cells = previewCells(rows.at(r));
        for (int c = 0; c < cells.size(); ++c) {
            auto *item = new QTableWidgetItem(cells.at(c));
            if (c >= 7 && c < 15)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(r, c, item);
        }
        rowTitles.append(QStringLiteral("第%1行").arg(rows.at(r).sheetRow));
    }
    table->setVerticalHeaderLabels(rowTitles);
    table->resizeColumnsToContents();
    layout->addWidget(table, 1);
    auto *buttons = new QDialogButtonBox(&dialog);
    auto *importButton = buttons->addButton(QStringLiteral("导入"), QDialogButtonBox::AcceptRole);
    importButton->setObjectName(QStringLiteral("previewImportButton"));
    auto *cancelButton = buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    cancelButton->setObjectName(QStringLiteral("previewCancelButton"));
    importButton->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect(0, 0, 1280, 800);
    dialog.resize(qMin(1100, screen.width() - 40), qMin(560, screen.height() - 60));
    return m_previewRunner(dialog);
}

void Texcell::runImport()
{
    const QString excelPath = m_excelPath->text().trimmed();
    const QString databasePath = m_databasePath->text().trimmed();
    if (excelPath.isEmpty() || databasePath.isEmpty()) {
        warn(QStringLiteral("请正确选择相关路径！"));
        return;
    }

    // The database in use, or another of our database files opened on its
    // own connection for this import.
    std::unique_ptr<Database> other;
    const Database *target = &m_db;
    if (databasePath != m_db.location().displayName()) {
        DatabaseLocation location = DatabaseLocation::fromArgument(QDir::fromNativeSeparators(databasePath));
        location.explicitlyNamed = true;
        const QFileInfo file(location.path);
        // An empty file would be taken for a new database and get our tables.
        if (!location.errorText.isEmpty() ||
            (!location.isPostgreSQL() && (!file.isFile() || file.size() == 0))) {
            warn(connectionFailedText());
            return;
        }
        other = std::make_unique<Database>(location, QStringLiteral("texcell"));
        if (!other->isOpen()) {
            warn(connectionFailedText() + QStringLiteral("\n") + other->errorText());
            return;
        }
        target = other.get();
    }

    QProgressDialog progress(QStringLiteral("正在读取工作簿……"), QStringLiteral("取消"), 0, 0, this);
    progress.setObjectName(QStringLiteral("importProgress"));
    progress.setWindowTitle(QStringLiteral("Excel导入"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    const auto onProgress = [&progress](int done, int total) {
        if (total > 0) {
            progress.setMaximum(total);
            progress.setLabelText(QStringLiteral("正在导入 %1 / %2 条……").arg(done).arg(total));
            progress.setValue(done);
        } else {
            progress.setLabelText(QStringLiteral("正在读取工作簿……已读 %1 行").arg(done));
            progress.setValue(0);
        }
        QApplication::processEvents();
        return !progress.wasCanceled();
    };

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const StockImport::Reading reading = StockImport::read(
        QDir::fromNativeSeparators(excelPath), {.fillInitials = m_fillInitials->isChecked()}, onProgress);
    QApplication::restoreOverrideCursor();
    progress.hide();
    if (reading.cancelled)
        return;
    if (!reading.ok) {
        warn(importFailedText() + QStringLiteral("\n\n") + reading.failure);
        return;
    }
    if (!reading.rows.isEmpty() && !preview(reading.rows))
        return;

    progress.setLabelText(QStringLiteral("正在导入……"));
    progress.setMaximum(static_cast<int>(reading.rows.size()));
    progress.setValue(0);
    progress.show();
    QString error;
    StockImport::Outcome outcome = StockImport::Outcome::Failed;
    try {
        outcome = StockImport::write(*target, m_context.session(), reading.rows, onProgress, &error);
    } catch (const DatabaseError &e) {
        error = e.message();
    }
    progress.hide();
    if (outcome == StockImport::Outcome::Cancelled) {
        Prompter::information(this, QStringLiteral("导入已取消，没有添加任何记录。"));
        return;
    }
    if (outcome == StockImport::Outcome::Failed) {
        warn(importFailedText() + QStringLiteral("\n\n") + error);
        return;
    }
    warn(QStringLiteral("批量EXCEL导入成功！请退出在主界面中点全部记录查看"));
    m_context.requestAllRecords();
}
