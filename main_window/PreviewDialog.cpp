// The "Preview" window: its table over the plan's entries, the filter, and copying rows.

#include "main_window/PreviewDialog.h"

#include "engine/Paths.h"
#include "platform/AppIcon.h"
#include "platform/NameCodec.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace orvel {

// The plan's entries as a table, one row each: name (with a file or folder icon), new
// name, folder, reason. It holds no copy of them: rows are read from the entries as they
// are drawn. Entries added since the last catch-up are not rows yet.
class PlanModel final : public QAbstractTableModel {
public:
    enum Column { Name, NewName, Folder, Reason, Columns };

    PlanModel(const PlanEntries& entries, const QStringList& openFolder, const QStyle* style, QObject* parent)
        : QAbstractTableModel(parent)
        , m_entries(entries)
        , m_openFolder(openFolder)
        , m_fileIcon(style->standardIcon(QStyle::SP_FileIcon))
        , m_folderIcon(style->standardIcon(QStyle::SP_DirIcon))
    {
    }

    void catchUp()
    {
        const int size = int(std::min<qsizetype>(m_entries.size(), INT_MAX));
        if (size == m_rows)
            return;
        beginInsertRows({}, m_rows, size - 1);
        m_rows = size;
        endInsertRows();
    }

    int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : m_rows; }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : Columns; }

    QVariant data(const QModelIndex& index, int role) const override
    {
        const int row = index.row();
        if (role == Qt::DecorationRole && index.column() == Name)
            return m_entries.kind(row) == EntryKind::Folder ? m_folderIcon : m_fileIcon;
        if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
            return {};
        return text(row, Column(index.column()));
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QAbstractTableModel::headerData(section, orientation, role);
        switch (section) {
        case Name: return QStringLiteral("Name");
        case NewName: return QStringLiteral("New name");
        case Folder: return QStringLiteral("Folder");
        default: return QStringLiteral("Reason");
        }
    }

    QString text(qsizetype row, Column column) const
    {
        switch (column) {
        case Name: return m_entries.oldName(row).toString();
        case NewName: return m_entries.newName(row).toString();
        case Folder: return shownFolder(m_entries.folder(row));
        default: return m_entries.reason(row);
        }
    }

private:
    // Relative to the open folder ("." for itself), under its name before the plan or
    // after it; a folder outside it (where the open folder itself is renamed) in full.
    QString shownFolder(const QString& folder) const
    {
        for (const QString& open : m_openFolder) {
            if (folder == open)
                return QStringLiteral(".");
            const QString prefix = JoinPath(open, {});
            if (folder.startsWith(prefix))
                return folder.mid(prefix.size());
        }
        return folder;
    }

    const PlanEntries& m_entries;
    const QStringList& m_openFolder;
    const QIcon m_fileIcon;
    const QIcon m_folderIcon;
    int m_rows = 0;
};

// Narrows the rows by result and by a text that any of their cells holds, ignoring case.
// The rows keep the run's order.
class PlanFilter final : public QSortFilterProxyModel {
public:
    enum class Show { All, Renames, NotChanged };

    PlanFilter(const PlanModel& model, const PlanEntries& entries, QObject* parent)
        : QSortFilterProxyModel(parent)
        , m_model(model)
        , m_entries(entries)
    {
    }

    void narrow(Show show, const QString& text)
    {
        if (show == m_show && text == m_text)
            return;
        m_show = show;
        m_text = text;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex&) const override
    {
        if (m_show != Show::All && m_entries.isRenamed(row) != (m_show == Show::Renames))
            return false;
        if (m_text.isEmpty())
            return true;
        for (int column = 0; column < PlanModel::Columns; ++column)
            if (m_model.text(row, PlanModel::Column(column)).contains(m_text, Qt::CaseInsensitive))
                return true;
        return false;
    }

private:
    const PlanModel& m_model;
    const PlanEntries& m_entries;
    Show m_show = Show::All;
    QString m_text;
};

PreviewDialog::PreviewDialog(const QString& command, const QString& openFolder, QWidget* parent)
    : QDialog(parent)
    , m_openFolder{openFolder}
{
    setObjectName(QStringLiteral("frmPreview"));
    setWindowTitle(QStringLiteral("Preview"));
    setWindowIcon(ApplicationIcon());
    setSizeGripEnabled(true);

    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("lblSummary"));

    m_filterText = new QLineEdit(this);
    m_filterText->setObjectName(QStringLiteral("txtFilter"));
    m_filterText->setClearButtonEnabled(true);
    auto* filterLabel = new QLabel(QStringLiteral("&Filter:"), this);
    filterLabel->setBuddy(m_filterText);
    m_show = new QComboBox(this);
    m_show->setObjectName(QStringLiteral("cboShow"));
    m_show->addItems({QStringLiteral("All names"), QStringLiteral("Renames only"),
                      QStringLiteral("Names that could not be changed")});
    auto* showLabel = new QLabel(QStringLiteral("S&how:"), this);
    showLabel->setBuddy(m_show);

    m_model = new PlanModel(m_entries, m_openFolder, style(), this);
    m_filter = new PlanFilter(*m_model, m_entries, this);
    m_filter->setSourceModel(m_model);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("tblPreview"));
    m_table->setAccessibleName(QStringLiteral("Names the run would change"));
    m_table->setModel(m_filter);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setWordWrap(false);
    m_table->setShowGrid(false);
    m_table->setAlternatingRowColors(true);
    // A million rows: every row one line high, and no column measured against them all.
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 6);
    m_table->horizontalHeader()->setStretchLastSection(true);
    for (const auto& [column, characters] : {std::pair{0, 28}, {1, 28}, {2, 22}})
        m_table->setColumnWidth(column, m_table->fontMetrics().averageCharWidth() * characters);

    // Ctrl+C is taken from the table's keys, as the list of "Changes Not Made" takes it;
    // the menu names it.
    auto* copy = new QAction(QStringLiteral("&Copy"), m_table);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    copy->setShortcutVisibleInContextMenu(true);
    m_table->addAction(copy);
    m_table->installEventFilter(this);
    m_table->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(copy, &QAction::triggered, this, &PreviewDialog::copySelected);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("prgPreview"));
    m_progress->setAccessibleName(QStringLiteral("Planning"));
    m_progress->setRange(0, 0);

    m_run = new QPushButton(command, this);
    m_run->setObjectName(QStringLiteral("cmdRun"));
    m_close = new QPushButton(QStringLiteral("Close"), this);
    m_close->setObjectName(QStringLiteral("cmdClose"));
    // Enter in the filter must never start a real run.
    for (QPushButton* button : {m_run, m_close})
        button->setAutoDefault(false);
    connect(m_run, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_filterText, &QLineEdit::textChanged, this, &PreviewDialog::setFilter);
    connect(m_show, &QComboBox::currentIndexChanged, this, &PreviewDialog::setFilter);

    auto* filters = new QHBoxLayout;
    filters->addWidget(filterLabel);
    filters->addWidget(m_filterText, 1);
    filters->addWidget(showLabel);
    filters->addWidget(m_show);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_progress, 1);
    buttons->addWidget(m_run);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_summary);
    layout->addLayout(filters);
    layout->addWidget(m_table, 1);
    layout->addLayout(buttons);
    resize(m_table->fontMetrics().averageCharWidth() * 110, m_table->fontMetrics().height() * 30);
    m_table->setFocus();
    catchUp();
}

PreviewDialog::~PreviewDialog() = default;

bool PreviewDialog::planAndAsk(const std::function<void(RunObserver&)>& plan)
{
    setWindowModality(Qt::WindowModal);
    show();
    plan(*this);
    m_planned = true;
    catchUp();
    m_progress->setRange(0, 1);
    m_progress->setValue(1);
    if (m_closed)
        return result() == Accepted;
    return exec() == Accepted;
}

bool PreviewDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_table && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        copySelected();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void PreviewDialog::done(int result)
{
    m_closed = true;
    QDialog::done(result);
}

void PreviewDialog::catchUp()
{
    m_model->catchUp();
    m_summary->setText(QStringLiteral("%1 names would be renamed, %2 could not be.")
                           .arg(m_entries.renamedCount())
                           .arg(m_entries.notChangedCount()));
}

void PreviewDialog::setFilter()
{
    m_filter->narrow(PlanFilter::Show(m_show->currentIndex()), m_filterText->text());
}

void PreviewDialog::copySelected() const
{
    QModelIndexList rows = m_table->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end());
    QString text;
    for (const QModelIndex& row : std::as_const(rows)) {
        const int i = m_filter->mapToSource(row).row();
        text += m_entries.oldName(i);
        text += u'\t';
        text += m_entries.newName(i);
        text += u'\t' + m_entries.reason(i) + u'\n';
    }
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

// ---------------------------------------------------------------- the plan's observer

void PreviewDialog::status(const QString&) {}

void PreviewDialog::progressMax(qint64 max)
{
    // The bar counts in steps that fit its int, however many files there are.
    m_progress->setRange(0, int(std::min<qint64>(max, 1 << 30)));
}

void PreviewDialog::progressValue(qint64 value)
{
    m_progress->setValue(int(std::min<qint64>(value, m_progress->maximum())));
}

void PreviewDialog::renamed(const QString& folder, QByteArrayView oldBytes, QByteArrayView newBytes, EntryKind kind)
{
    const QString oldName = DecodeName(oldBytes), newName = DecodeName(newBytes);
    // The open folder's own rename comes first: the rows after it are under its new name.
    if (kind == EntryKind::Folder && m_openFolder.size() == 1 && JoinPath(folder, oldName) == m_openFolder.front())
        m_openFolder.append(JoinPath(folder, newName));
    m_entries.addRenamed(folder, oldName, newName, kind);
}

void PreviewDialog::notChanged(const NotChanged& item, QByteArrayView newName, EntryKind kind)
{
    m_entries.addNotChanged(item, DecodeName(newName), kind);
}

void PreviewDialog::letEventsThrough()
{
    catchUp();
    QCoreApplication::processEvents();
}

} // namespace orvel
