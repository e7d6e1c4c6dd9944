#include "DataGrid.h"

#include "DataGridFooter.h"
#include "GroupedHeaderView.h"
#include "data/Money.h"
#include "data/NumberFormat.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

DataGrid::DataGrid(QWidget *parent)
    : QWidget(parent), m_model(new DataGridModel(this)), m_view(new QTableView(this)),
      m_header(new GroupedHeaderView(m_view)), m_footer(new DataGridFooter(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_view);
    layout->addWidget(m_footer);

    QFont titleFont = font();
    titleFont.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"), titleFont.family()});
    titleFont.setPixelSize(14);
    m_header->setFont(titleFont);
    m_footer->setFont(titleFont);

    m_view->setHorizontalHeader(m_header);
    m_view->setModel(m_model);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setShowGrid(true);
    m_view->setWordWrap(false);
    m_view->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_view->installEventFilter(this);
    m_view->viewport()->installEventFilter(this);
    setRowBackground(QColor(238, 238, 238));

    connect(m_header, &QHeaderView::sectionClicked, this, &DataGrid::onTitleClicked);
    connect(m_header, &QHeaderView::sectionResized, this, [this] {
        // An operator's drag sets new proportions for the next fit.
        if (!m_fitting) {
            for (int c = 0; c < m_widths.size(); ++c) {
                if (!m_header->isSectionHidden(c) && m_header->sectionSize(c) > 0)
                    m_widths[c] = m_header->sectionSize(c);
            }
        }
        m_footer->update();
    });
    connect(m_header, &QHeaderView::sectionMoved, m_footer, qOverload<>(&QWidget::update));
    connect(m_header, &QHeaderView::geometriesChanged, m_footer, qOverload<>(&QWidget::update));
    connect(m_view->horizontalScrollBar(), &QScrollBar::valueChanged, m_footer,
            qOverload<>(&QWidget::update));
    connect(m_view, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &index) { emit rowActivated(index.row()); });
    connect(m_view, &QAbstractItemView::clicked, this,
            [this](const QModelIndex &index) { emit rowClicked(index.row()); });
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                emit currentRowChanged(current.isValid() ? current.row() : -1);
            });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        // A new result starts on its first row, as the list always did.
        if (m_model->rowCount() > 0)
            setCurrentRow(0);
        else
            emit currentRowChanged(-1);
    });
}

void DataGrid::setColumns(const QList<DataGridColumn> &columns)
{
    m_model->setColumns(columns);
    m_widths.clear();
    m_wanted.clear();
    m_forcedHidden.clear();
    m_fitting = true;
    for (int c = 0; c < columns.size(); ++c) {
        m_widths << std::max(columns.at(c).width, 1);
        m_wanted << columns.at(c).visible;
        m_header->resizeSection(c, m_widths.last());
        m_header->setSectionHidden(c, !columns.at(c).visible);
    }
    m_fitting = false;
    if (SqlListModel *list = listModel())
        list->setSumFields(sumFields());
    fitColumns();
    m_footer->update();
}

void DataGrid::setListModel(SqlListModel *model)
{
    if (SqlListModel *old = listModel())
        disconnect(old, nullptr, this, nullptr);
    m_model->setSource(model);
    if (model) {
        model->setSumFields(sumFields());
        connect(model, &SqlListModel::totalsChanged, this, &DataGrid::updateFooter);
    }
    updateFooter();
}

QStringList DataGrid::sumFields() const
{
    QStringList fields;
    for (const DataGridColumn &column : columns()) {
        if (column.footer == DataGridColumn::Footer::Sum && !fields.contains(column.field))
            fields << column.field;
    }
    return fields;
}

void DataGrid::setGroupColours(const QString &upperTitle, const QColor &background, const QColor &text)
{
    m_model->setGroupColours(upperTitle, background, text);
    m_header->viewport()->update();
}

void DataGrid::useShopGroupColours()
{
    const QColor skyBlue(166, 202, 240);
    const QColor teal(0, 128, 128);
    const QColor maroon(128, 0, 0);
    m_model->setTitleColours(skyBlue, Qt::black);
    setGroupColours(QStringLiteral("商 品 信 息"), skyBlue, Qt::black);
    setGroupColours(QStringLiteral("进 货"), teal, Qt::white);
    setGroupColours(QStringLiteral("销 售"), skyBlue, Qt::black);
    setGroupColours(QStringLiteral("存 货"), maroon, Qt::white);
    setGroupColours(QStringLiteral("备 注"), skyBlue, Qt::black);
}

void DataGrid::setRowColourRule(RowColourRule rule)
{
    m_model->setRowColourRule(std::move(rule));
    m_view->viewport()->update();
}

void DataGrid::setRowBackground(const QColor &colour)
{
    m_model->setRowBackground(colour);
    m_view->viewport()->update();
}

void DataGrid::setFooterBackground(const QColor &colour)
{
    m_footer->setBackground(colour);
}

void DataGrid::setHint(const QString &hint)
{
    m_hint = hint;
    m_view->viewport()->setToolTip(hint);
    m_header->setToolTip(hint);
}

void DataGrid::setColumnVisible(int column, bool visible)
{
    if (column < 0 || column >= m_header->count() || column >= m_wanted.size())
        return;
    m_wanted[column] = visible;
    applyVisibility(column);
}

void DataGrid::setColumnForcedHidden(int column, bool forced)
{
    if (column < 0 || column >= m_header->count() || column >= m_wanted.size())
        return;
    if (forced)
        m_forcedHidden.insert(column);
    else
        m_forcedHidden.remove(column);
    applyVisibility(column);
}

void DataGrid::applyVisibility(int column)
{
    const bool visible = m_wanted.at(column) && !m_forcedHidden.contains(column);
    if (isColumnVisible(column) == visible)
        return;
    m_fitting = true;
    m_header->setSectionHidden(column, !visible);
    m_fitting = false;
    fitColumns();
    m_header->viewport()->update(); // groups may join or split
    m_footer->update();
}

bool DataGrid::isColumnVisible(int column) const
{
    return column >= 0 && column < m_header->count() && !m_header->isSectionHidden(column);
}

void DataGrid::setFieldVisible(const QString &field, bool visible)
{
    setColumnVisible(columnOfField(field), visible);
}

int DataGrid::columnOfField(const QString &field) const
{
    const QList<DataGridColumn> &all = columns();
    for (int c = 0; c < all.size(); ++c) {
        if (all.at(c).field.compare(field, Qt::CaseInsensitive) == 0)
            return c;
    }
    return -1;
}

void DataGrid::onTitleClicked(int column)
{
    clickTitle(column, m_header->lastClickModifiers());
}

void DataGrid::clickTitle(int column, Qt::KeyboardModifiers modifiers)
{
    if (column < 0 || column >= columns().size())
        return;
    emit aboutToSort(column);
    const int before = m_model->sortMarker(column);
    const bool ascending = before == ColumnLayout::Descending;
    if (SqlListModel *list = listModel())
        list->sortBy(columns().at(column).field, ascending);
    m_model->setSortMarker(column, ascending ? ColumnLayout::Ascending : ColumnLayout::Descending);
    if (!modifiers.testFlag(Qt::ControlModifier)) {
        for (int other = 0; other < columns().size(); ++other) {
            if (other != column)
                m_model->setSortMarker(other, ColumnLayout::NoSort);
        }
    }
    m_header->viewport()->update();
    emit sorted(column, ascending);
}

QString DataGrid::footerText(int column) const
{
    if (column < 0 || column >= columns().size())
        return QString();
    const DataGridColumn &c = columns().at(column);
    switch (c.footer) {
    case DataGridColumn::Footer::Text:
        return c.footerText;
    case DataGridColumn::Footer::Sum: {
        // An empty list, or one without values, totals 0.
        const SqlListModel *list = listModel();
        const QVariant sum = list ? list->sum(c.field) : QVariant();
        const double total = sum.isNull() ? 0.0 : sum.toDouble();
        return NumberFormat::format(c.money ? Money::roundToCents(total) : total, c.pattern);
    }
    case DataGridColumn::Footer::None:
        break;
    }
    return QString();
}

void DataGrid::updateFooter()
{
    m_footer->update();
}

int DataGrid::currentRow() const
{
    const QModelIndex current = m_view->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void DataGrid::setCurrentRow(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    int column = 0;
    while (column < m_header->count() - 1 && m_header->isSectionHidden(column))
        ++column;
    m_view->setCurrentIndex(m_model->index(row, column));
}

bool DataGrid::goToLastRow()
{
    SqlListModel *list = listModel();
    if (!list || !list->loadRow(list->totalCount() - 1))
        return false;
    setCurrentRow(list->totalCount() - 1);
    m_view->scrollToBottom();
    return true;
}

QVariant DataGrid::currentValue(const QString &field) const
{
    const SqlListModel *list = listModel();
    return list ? list->value(currentRow(), field) : QVariant();
}

QList<ColumnLayout> DataGrid::columnLayout() const
{
    QList<ColumnLayout> layout;
    const QList<DataGridColumn> &all = columns();
    for (int c = 0; c < all.size(); ++c) {
        ColumnLayout column;
        column.field = all.at(c).field;
        column.position = m_header->visualIndex(c);
        column.visible = !m_header->isSectionHidden(c);
        // Shown columns as drawn; hidden ones as they will come back.
        column.width = column.visible || c >= m_widths.size() ? m_header->sectionSize(c) : m_widths.at(c);
        // A forced-hidden column is saved as it is wished, not as it is drawn.
        if (m_forcedHidden.contains(c) && c < m_wanted.size())
            column.visible = m_wanted.at(c);
        column.sortMarker = m_model->sortMarker(c);
        layout << column;
    }
    return layout;
}

void DataGrid::applyColumnLayout(const QList<ColumnLayout> &layout)
{
    QList<ColumnLayout> ordered = layout;
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const ColumnLayout &a, const ColumnLayout &b) { return a.position < b.position; });
    m_fitting = true; // one fit at the end, over the restored widths
    for (const ColumnLayout &saved : std::as_const(ordered)) {
        const int column = columnOfField(saved.field);
        if (column < 0)
            continue;
        const int target = std::clamp(saved.position, 0, m_header->count() - 1);
        m_header->moveSection(m_header->visualIndex(column), target);
        if (saved.width > 0)
            m_widths[column] = saved.width;
        if (column < m_wanted.size())
            m_wanted[column] = saved.visible;
        m_header->setSectionHidden(column, !saved.visible || m_forcedHidden.contains(column));
        m_model->setSortMarker(column, saved.sortMarker);
    }
    m_fitting = false;
    fitColumns();
    m_header->viewport()->update();
    m_footer->update();
}

bool DataGrid::saveLayout(GridLayoutStore &store, const QString &section) const
{
    QList<ColumnLayout> layout = columnLayout();
    if (!m_forcedHidden.isEmpty()) {
        // Columns this session may not see keep what the store says of them.
        const QList<ColumnLayout> stored = store.restore(section);
        for (ColumnLayout &column : layout) {
            if (!m_forcedHidden.contains(columnOfField(column.field)))
                continue;
            for (const ColumnLayout &before : stored) {
                if (before.field == column.field)
                    column.visible = before.visible;
            }
        }
    }
    return store.save(section, layout);
}

bool DataGrid::restoreLayout(const GridLayoutStore &store, const QString &section)
{
    const QList<ColumnLayout> saved = store.restore(section);
    if (saved.isEmpty())
        return false;
    applyColumnLayout(saved);
    return true;
}

void DataGrid::fitColumns()
{
    if (m_fitting)
        return;
    const int available = m_view->viewport()->width();
    QList<int> visible;
    long long total = 0;
    for (int c = 0; c < m_header->count() && c < m_widths.size(); ++c) {
        if (!m_header->isSectionHidden(c)) {
            visible << c;
            total += m_widths.at(c);
        }
    }
    if (visible.isEmpty() || available <= 0 || total <= 0)
        return;
    // The weights are the design (or the operator's) widths, not the fitted
    // ones, so fitting a narrow grid loses no proportions.
    m_fitting = true;
    int used = 0;
    long long weightSoFar = 0;
    for (const int c : std::as_const(visible)) {
        weightSoFar += m_widths.at(c);
        // Cumulative rounding: the widths add up to exactly the available width.
        const int edge = static_cast<int>(weightSoFar * available / total);
        m_header->resizeSection(c, std::max(1, edge - used));
        used = edge;
    }
    m_fitting = false;
}

bool DataGrid::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && currentRow() >= 0) {
            emit rowActivated(currentRow());
            return true;
        }
    }
    if (watched == m_view->viewport() && event->type() == QEvent::Resize)
        fitColumns();
    return QWidget::eventFilter(watched, event);
}
