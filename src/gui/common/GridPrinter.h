#pragma once

#include <QList>
#include <QMarginsF>
#include <QObject>
#include <QPageLayout>
#include <QPair>
#include <QPointer>
#include <QString>

#include <functional>

class DataGrid;
class QPainter;
class QPrinter;
class QWidget;

// How a window's list is printed: the texts above and below the grid, the
// page header and footer ("&[Page]" is the page number), margins in
// millimetres, the options and the font. Each list window fixes its own.
struct GridPrintSettings
{
    struct Text
    {
        QString text;
        Qt::Alignment alignment = Qt::AlignLeft;
        bool bold = false;
        qreal pointSize = 0; // 0: the print font's size
        int emptyLinesBefore = 0;
        int emptyLinesAfter = 0;
        // Blanks kept after the text (they push right-aligned text inwards).
        int trailingBlanks = 0;
    };

    Text before;
    Text after;
    QString headerCentre = QStringLiteral("Page. &[Page]");
    bool headerDoubleLine = true;
    QString footerCentre;
    QMarginsF marginsMillimetres{20, 20, 20, 20};
    bool fitToPageWidth = true;
    bool printColours = true;
    bool growRowsToFit = true;
    QString fontFamily = QStringLiteral("Arial");
    qreal fontPointSize = 9;
};

// Prints a list grid as shown: its titles (upper titles spanning their
// group), every record of the list in the visible columns with their display
// form and colours, and the footer row; page header on every page, the
// titles repeated on each page. Opens a print preview from which the
// operator prints, or prints straight to a PDF file.
class GridPrinter : public QObject
{
    Q_OBJECT

public:
    explicit GridPrinter(DataGrid *grid, QWidget *dialogParent = nullptr);

    void setSettings(const GridPrintSettings &settings) { m_settings = settings; }
    const GridPrintSettings &settings() const { return m_settings; }
    // Replaces key by value in the printed texts ("%[Today1]").
    void addSubstitution(const QString &key, const QString &value);
    // A text as printed on the given page.
    QString substituted(const QString &text, int page) const;

    // The preview window; printing starts from it.
    void preview();
    bool printToPdf(const QString &path);
    // Renders every page onto the printer (the preview's paint request).
    void render(QPrinter *printer);
    int lastPageCount() const { return m_pages; }
    // How the last rendering fitted the grid: the page's orientation and the
    // factor by which the print font was scaled to get every column on it.
    QPageLayout::Orientation lastOrientation() const { return m_orientation; }
    qreal lastScale() const { return m_scale; }

    // Tests see the preview through this instead of a window.
    using PreviewHook = std::function<void(GridPrinter &)>;
    static void setPreviewHook(PreviewHook hook);

private:
    void applyPageLayout(QPrinter *printer) const;

    QPointer<DataGrid> m_grid;
    QPointer<QWidget> m_dialogParent;
    GridPrintSettings m_settings;
    QList<QPair<QString, QString>> m_substitutions;
    int m_pages = 0;
    QPageLayout::Orientation m_orientation = QPageLayout::Portrait;
    qreal m_scale = 1;
};
