#pragma once
// The conversion list: one column of job rows, 58 points high, with a skinned vertical
// scroller. Row widgets exist only for the rows on screen: scrolling or reloading binds the
// few widgets to whichever jobs are visible, so a list of thousands of jobs costs as much
// to show as one screenful. Main thread only.
#include <vcTableCellView.h>

#include <QHash>
#include <QWidget>
#include <vector>

class LXCustomScroller;
class vcTableCellWidget;
class vcTableView;

// The list asks its data source for rows; every method is optional.
class vcTableViewDataSource {
public:
    virtual ~vcTableViewDataSource() = default;
    virtual int64_t numberOfRowsInTableView(vcTableView *table) {
        (void)table;
        return 0;
    }
    virtual vcTableCellViewPtr tableViewJobForRow(vcTableView *table, int64_t row) {
        (void)table, (void)row;
        return nullptr;
    }
    // Whether the job's row shows the pressed bar (the selection lives with the source: row
    // widgets are reused for other jobs as the list scrolls).
    virtual bool tableViewIsJobSelected(vcTableView *table, const vcTableCellView *job) {
        (void)table, (void)job;
        return false;
    }
    // Whether the job's row is the current one, where the keyboard's Up and Down start: it
    // shows the focus ring while the list has the keyboard.
    virtual bool tableViewIsJobCurrent(vcTableView *table, const vcTableCellView *job) {
        (void)table, (void)job;
        return false;
    }
    // Files dropped on the list (not on a row).
    virtual void tableViewConcludeDragFile(vcTableView *table, const QStringList &paths) { (void)table, (void)paths; }
};

class vcTableView : public QWidget {
    Q_OBJECT
public:
    static constexpr int tableCellRowHgt = 58;
    static constexpr int kScrollerWidth = 12;

    explicit vcTableView(QWidget *parent = nullptr);
    ~vcTableView() override;

    void setDataSource(vcTableViewDataSource *ds) { _dataSource = ds; }
    // Re-reads the number of rows and rebinds the visible ones.
    void reloadData();
    // Scrolls the least distance that shows the whole row.
    void scrollRowToVisible(int64_t row);
    // The job's row, when on screen, shows again whether it is selected.
    void refreshSelection(const vcTableCellView *job);
    // Every row on screen shows its job afresh (its texts, marks and selection).
    void refreshVisibleRows();
    // Detaches every widget from its job (before the jobs or the widgets go away).
    void unbindAll();

    // The frame of a new row: origin (0, 0), the column's width, the row height.
    QRectF initRect() const;
    double columnWidth() const;
    int64_t numberOfRows() const { return _rows; }
    // The widget showing a job, or the row at an index; null when it is not on screen.
    vcTableCellWidget *widgetForJob(const vcTableCellView *job) const;
    vcTableCellWidget *widgetAtRow(int64_t row) const;
    // Rows currently on screen, [first, last]; last < first when none.
    int64_t firstVisibleRow() const { return _first; }
    int64_t lastVisibleRow() const { return _last; }
    // Row widgets created so far (they are reused, never more than a screenful and one).
    int rowWidgetCount() const { return int(_pool.size()); }
    LXCustomScroller *verticalScroller() const { return _scroller; }
    QWidget *viewport() const { return _viewport; }
    int scrollOffset() const;
    // Whether the row of this job draws the focus ring (the list has the keyboard and the
    // job is the current one).
    bool showsFocusRingFor(const vcTableCellView *job) const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    // One stop for the keyboard: Up, Down, Delete and the space bar are the window's keys
    // for the list; the current row shows where they act.
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void layoutRows();
    void updateScrollRange();
    vcTableCellWidget *takeWidget();

    vcTableViewDataSource *_dataSource = nullptr;
    QWidget *_viewport = nullptr;
    LXCustomScroller *_scroller = nullptr;
    std::vector<vcTableCellWidget *> _pool;
    QHash<const vcTableCellView *, vcTableCellWidget *> _bound;
    int64_t _rows = 0;
    int64_t _first = 0;
    int64_t _last = -1;
    bool _layingOut = false;
};
