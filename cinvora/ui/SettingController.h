#pragma once
// The settings sheet: how many conversions run at once, stream copy for unchanged codecs, the
// export folder, the apply-to-all tip, and clearing the history. SettingController holds the
// behaviour; ODSettingController is the working sheet with its layout ("ODSettingController").
#include <glazeform/LXButton.h>
#include <glazeform/LXCheckButton.h>
#include <glazeform/LXSpinButton.h>
#include <reelwright/LXMediaCommon.h>

#include <QDialog>
#include <QPointer>
#include <functional>
#include <optional>

class LXLabel;
class LXSwitchButton;
class QLineEdit;

// A stepper: a minus and a plus half that step a value between its bounds, drawn in the
// sheet's colours. A release over the half that was pressed steps once.
class ODUpDownStepper : public QWidget {
    Q_OBJECT
public:
    explicit ODUpDownStepper(QWidget *parent = nullptr);
    double value() const { return _value; }
    // Clamped to the bounds; sends nothing.
    void setValue(double v);
    void setMinValue(double v) { _min = v, setValue(_value); }
    void setMaxValue(double v) { _max = v, setValue(_value); }
    double minValue() const { return _min; }
    double maxValue() const { return _max; }
signals:
    // A step by the user (also at a bound, where the value stays).
    void stepped(double value);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    // The keyboard: Left or Down (or minus) steps down, Right or Up (or plus) steps up.
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    int halfAt(const QPointF &p) const; // -1 minus, +1 plus, 0 outside
    double _value = 0, _min = 0, _max = 10;
    int _pressed = 0;
};

// The document's side of the sheet. Every method is optional.
class SettingControllerDelegate {
public:
    virtual ~SettingControllerDelegate() = default;
    // Whether the history may be cleared now. A delegate that refuses tells the user why
    // itself; no answer counts as a refusal.
    virtual std::optional<bool> canClearAllHistory() { return std::nullopt; }
    // Empties the bookmark store and the history file, then removes every row.
    virtual void clearAllHistory() {}
    // A new export folder was chosen and stored; the document keeps access to it (bookmark).
    virtual void exportFolderChosen(const QString &path) { (void)path; }
};

class SettingController : public QDialog,
                          protected LXButtonDelegate,
                          protected LXSpinButtonDelegate,
                          protected LXCheckButtonDelegate {
    Q_OBJECT
public:
    // The range the limit of conversions at once is offered in: none below one (a limit of
    // zero would admit nothing), and no more than a machine sensibly runs at once.
    static constexpr int kMinConvertCount = int(LXMediaCommon::kMinConvertingCount);
    static constexpr int kMaxConvertCount = int(LXMediaCommon::kMaxConvertingCount);

    SettingControllerDelegate *settingControllerDelegate() const { return _delegate; }
    void setSettingControllerDelegate(SettingControllerDelegate *d) { _delegate = d; }

    // initUI, then shows the sheet (window-modal) on `window`.
    void showSetting(QWidget *window);
    virtual void initUI();
    void closeSetting();
    // Opens the folder chooser on the sheet; a confirmed folder is shown, stored and reported.
    void setVideoPath();
    void clearHistory();
    // The stepper's value (truncated) becomes the limit.
    void upDownStep(double value);
    // The switches' states become the two settings.
    void autoCheckStream();
    void modifyAllOutput();
    // The keep-awake switch's state becomes its setting (the window follows within a second).
    void keepAwake();
    // The even-loudness switch's state becomes its setting; conversions started from then
    // on follow it.
    void evenLoudness();

    // Tests answer the folder chooser without showing it: the function gets the starting
    // folder and returns the chosen one, or nothing for a cancelled chooser.
    using FolderChooser = std::function<std::optional<QString>(const QString &start)>;
    static void setFolderChooserForTesting(FolderChooser chooser);

    // The controls (null where the layout has none).
    LXLabel *countTipLabel() const { return _countTipLabel; }
    LXLabel *countLabel() const { return _countLabel; }
    LXSpinButton *maxConvertCountBtn() const { return _maxConvertCountBtn; }
    ODUpDownStepper *upDownStepBtn() const { return m_ODUpDownStepBtn; }
    LXSwitchButton *autoCheckCodecFmtSwitch() const { return m_ODAutoCheckCodecFmtBtn; }
    LXSwitchButton *modifyOutputFmtSwitch() const { return m_ODModifyOutputFmtBtn; }
    LXSwitchButton *keepAwakeSwitch() const { return m_ODKeepAwakeBtn; }
    LXSwitchButton *evenLoudnessSwitch() const { return m_ODEvenLoudnessBtn; }
    LXCheckButton *autoCheckCodecFmtCB() const { return _autoCheckCodecFmtCB; }
    LXCheckButton *modifyOutputFmtCB() const { return _modifyOutputFmtCB; }
    QLineEdit *savePathField() const { return _savePathField; }
    LXButton *browserBtn() const { return _browserBtn; }
    LXButton *closeBtn() const { return _closeBtn; }
    LXButton *clearHistoryBtn() const { return _clearHistoryBtn; }

protected:
    explicit SettingController(QWidget *parent);
    void setLimit(int64_t limit);

    void buttonUp(LXButton *button) override;
    void spinButtonTopUp(LXSpinButton *spin) override;
    void spinButtonBtmUp(LXSpinButton *spin) override;
    void clickedButtonChecked(LXCheckButton *button, bool checked) override;

    SettingControllerDelegate *_delegate = nullptr;
    LXLabel *_countTipLabel = nullptr;
    LXLabel *_countLabel = nullptr;
    LXSpinButton *_maxConvertCountBtn = nullptr;
    ODUpDownStepper *m_ODUpDownStepBtn = nullptr;
    LXCheckButton *_autoCheckCodecFmtCB = nullptr;
    LXCheckButton *_modifyOutputFmtCB = nullptr;
    LXSwitchButton *m_ODAutoCheckCodecFmtBtn = nullptr;
    LXSwitchButton *m_ODModifyOutputFmtBtn = nullptr;
    LXSwitchButton *m_ODKeepAwakeBtn = nullptr;
    LXSwitchButton *m_ODEvenLoudnessBtn = nullptr;
    QLineEdit *_savePathField = nullptr;
    LXButton *_browserBtn = nullptr;
    LXButton *_closeBtn = nullptr;
    LXButton *_clearHistoryBtn = nullptr;
};

class ODSettingController : public SettingController {
    Q_OBJECT
public:
    // Creates the sheet over `window` and shows it; the window owns it.
    static ODSettingController *shareSettingController(QWidget *window);

    explicit ODSettingController(QWidget *parent);
    void initUI() override;

protected:
    void paintEvent(QPaintEvent *event) override;
};
