// The "Preview" window: what a rename would do now, listed while it is planned.
#pragma once

#include "engine/RunObserver.h"
#include "engine/RunPlan.h"

#include <QDialog>
#include <QStringList>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;

namespace orvel {

class PlanModel;
class PlanFilter;

// "Preview": one row for each name a run would change or could not change, in the run's
// order, filled while the run is planned on paper; a line that counts them, a filter by
// text and by result, and Ctrl+C to copy the rows selected. Its button runs the real
// run; Escape or Close stops the planning and closes it.
class PreviewDialog
    : public QDialog
    , private RunObserver {
    Q_OBJECT
public:
    // `command` is the caption of the button that runs the real run; `openFolder` the
    // folder that the rows' folders are shown relative to.
    PreviewDialog(const QString& command, const QString& openFolder, QWidget* parent);
    ~PreviewDialog() override;

    // Shows the window, modal to its parent, runs `plan` with this window as its observer
    // and then waits for the user. True when the user chose to run it.
    bool planAndAsk(const std::function<void(RunObserver&)>& plan);

    const PlanEntries& entries() const { return m_entries; }
    // The plan has ended, made whole or stopped.
    bool planned() const { return m_planned; }

public Q_SLOTS:
    void done(int result) override;
    void copySelected() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void catchUp();
    void setFilter();

    // ---- the plan's observer
    void status(const QString& text) override;
    void progressMax(qint64 max) override;
    void progressValue(qint64 value) override;
    bool hearsEachName() const override { return true; }
    void renamed(const QString& folder, QByteArrayView oldName, QByteArrayView newName, EntryKind kind) override;
    void notChanged(const NotChanged& item, QByteArrayView newName, EntryKind kind) override;
    void letEventsThrough() override;
    bool cancelRequested() override { return false; }
    bool stopRequested() override { return m_closed; }
    // The real run asks; its plan shows what a Yes would do.
    bool confirmSystemFolder(const QString&, FolderRole) override { return true; }

    PlanEntries m_entries;
    QStringList m_openFolder; // as it is, and as the plan renames it
    PlanModel* m_model;
    PlanFilter* m_filter;
    QLabel* m_summary;
    QLineEdit* m_filterText;
    QComboBox* m_show;
    QTableView* m_table;
    QProgressBar* m_progress;
    QPushButton* m_run;
    QPushButton* m_close;
    bool m_closed = false; // the user closed it or chose to run; a plan under way stops
    bool m_planned = false;
};

} // namespace orvel
