#pragma once
// The sheet that shows while files are added to the list or the list is rebuilt: a bar from
// 0 to 100, the text "loading..." and a Cancel button (also Esc) that stops the intake and
// keeps the rows added so far. It blocks nothing: the window can be used, closed and quit
// (Ctrl+Q here too) while files come in.
#include <QDialog>

class LXLabel;
class LXSliderA;
class QPushButton;

// Every method is optional.
class ProgressControllerDelegate {
public:
    virtual ~ProgressControllerDelegate() = default;
    virtual void cancelAddFiles(bool cancel) { (void)cancel; }
};

class ProgressController : public QDialog {
    Q_OBJECT
public:
    ProgressControllerDelegate *delegate() const { return _delegate; }
    void setDelegate(ProgressControllerDelegate *d) { _delegate = d; }
    bool bCancelAdd() const { return _bCancelAdd; }
    // True for an intake's sheet, false for a restore's (only the title differs).
    bool bNeedCancel() const { return _bNeedCancel; }

    // Shows the sheet on the window (not modal, returns at once), its Cancel button focused.
    void showOnWindow(QWidget *window);
    // Bar value 0..100 and the text "loading...".
    void updateAddProgressPercent(double percent);
    double percent() const { return _percent; }
    // The cancel button's action: stops the bar and tells the delegate.
    void cancelAdd();
    // Ends the sheet and closes its window.
    void endSheet();

    LXSliderA *prgIndicator() const { return _wrPrgIndicator; }
    LXLabel *textField() const { return _textField; }
    QPushButton *cancelButton() const { return _cancelBtn; }

protected:
    ProgressController(QWidget *parent, bool needCancel);
    void reject() override;

    ProgressControllerDelegate *_delegate = nullptr;
    LXSliderA *_wrPrgIndicator = nullptr;
    LXLabel *_textField = nullptr;
    QPushButton *_cancelBtn = nullptr;
    bool _bCancelAdd = false;
    bool _bNeedCancel = false;
    double _percent = 0;
};

// The working sheet ("ODProgressController").
class ODProgressController : public ProgressController {
    Q_OBJECT
public:
    ODProgressController(QWidget *parent, bool needCancel);

protected:
    void paintEvent(QPaintEvent *event) override;
};
