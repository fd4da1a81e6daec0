#pragma once
// The parameter editor: a modal window that edits a copy of one job's output parameters
// (quality; a size to fit in or a quality target; video codec, frame size, frame rate, audio
// codec, channels, sample rate) and, on Save, hands the copy to its delegate, which applies it
// to every job. Cancel changes nothing. A job whose source has no video, or whose output keeps
// none, gets the quality and audio parts only.
//
// Main thread only. The window deletes itself when it closes; hold it in a QPointer.
#include <glazeform/LXButton.h>
#include <reelwright/LXMediaInfo.h>

#include <QDialog>
#include <QPointer>

class LXView;
class QComboBox;
class QDoubleSpinBox;

// Receives the edited copy. The document answers it with ODDocument::saveMediaInfo.
class ODMediaInfoEditDelegate {
public:
    virtual ~ODMediaInfoEditDelegate() = default;
    virtual void saveMediaInfo(const LXMediaInfo &edited) { (void)edited; }
};

class ODMediaInfoEdit : public QDialog, protected LXButtonDelegate {
    Q_OBJECT
public:
    // The window's size, and its height with the audio part only.
    static constexpr int kWidth = 440;
    static constexpr int kHeight = 482;
    static constexpr int kAudioOnlyHeight = 260;

    // Opens the editor for `item` over `parent`, modally (the rest of the program waits for
    // Save or Cancel), centred on the parent; returns it. Nothing opens without an item.
    static ODMediaInfoEdit *shareODMediaInfoEditEditMovieWithDelegate(QWidget *parent, const LXMediaInfoPtr &item,
                                                                      ODMediaInfoEditDelegate *delegate);

    explicit ODMediaInfoEdit(QWidget *parent = nullptr);
    ~ODMediaInfoEdit() override;

    static QString windowNibName() { return QStringLiteral("ODMediaInfoEdit"); }

    // Fills the pop-ups from a copy of `item` (empties them first; nothing more without an
    // item). A list that is empty, or an index outside its list, shows no selection.
    void initMediaInfo(const LXMediaInfoPtr &item);
    void clearAllPopupBtns();
    // The quality and audio parts alone, around the same vertical centre, the video and
    // target parts hidden.
    void showAudioBoxOnly();
    // Centres the window on `parent` and brings it to the front.
    void showEditWin(QWidget *parent);

    // The quality pop-up's entries, from the highest quality to the smallest file.
    static QStringList qualityNames();
    // The quality target pop-up's entries: none, then the named points, best first (an item
    // whose target is none of them gets one more entry, for its own).
    static QStringList targetNames();
    // The largest "Fit in" size, MB.
    static constexpr double kMaxFitInMB = 1'000'000;

    // The pop-ups' actions: the chosen entry goes into the copy.
    void selectQuality(int index);
    // A size (MB, 0: no limit) or a target entry; choosing one clears the other, since a
    // conversion honours only one.
    void selectFitIn(double megabytes);
    void selectTarget(int index);
    void selectVideoCodec(int index);
    void selectVideoResolution(int index);
    void selectVideoFrameRate(int index);
    void selectAudioCodec(int index);
    void selectAudioSampleRate(int index);
    void selectAudioChannel(int index);
    // The buttons: Save hands the copy to the delegate, then closes; Cancel closes.
    void saveMedia();
    void cancelMedia();

    ODMediaInfoEditDelegate *mediaInfoEditDelegate() const { return _mediaInfoEditDelegate; }
    void setMediaInfoEditDelegate(ODMediaInfoEditDelegate *d) { _mediaInfoEditDelegate = d; }
    // The job's source has no video or its output keeps none (set on each opening).
    bool isAudioOnly() const { return _audioOnly; }
    // The copy being edited.
    LXMediaInfoPtr editMovie() const { return _editMovie; }

    // The controls.
    LXView *videoBox() const { return _videoBox; }
    LXView *audioBox() const { return _audioBox; }
    LXView *qualityBox() const { return _qualityBox; }
    QComboBox *qualityPopBtn() const { return _qualityPopBtn; }
    LXView *targetBox() const { return _targetBox; }
    QDoubleSpinBox *fitInField() const { return _fitInField; }
    QComboBox *targetPopBtn() const { return _targetPopBtn; }
    QComboBox *videoCodecPopBtn() const { return _videoCodecPopBtn; }
    QComboBox *videoResolutionPopBtn() const { return _videoResolutionPopBtn; }
    QComboBox *videoFrameRatePopBtn() const { return _videoFrameRatePopBtn; }
    QComboBox *videoSubTitlePopBtn() const { return _videoSubTitlePopBtn; }
    QComboBox *audioCodecPopBtn() const { return _audioCodecPopBtn; }
    QComboBox *audioChannelPopBtn() const { return _audioChannelPopBtn; }
    QComboBox *audioSampleRatePopBtn() const { return _audioSampleRatePopBtn; }
    QComboBox *audioTrackPopBtn() const { return _audioTrackPopBtn; }
    LXButton *saveButton() const { return _saveButton; }
    LXButton *cancelButton() const { return _cancelButton; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void buttonUp(LXButton *button) override;

private:
    QComboBox *popUp(LXView *box, double y, const QString &caption, void (ODMediaInfoEdit::*action)(int));
    void showGoal(const LXOutputGoal &goal);

    LXMediaInfoPtr _editMovie;
    LXView *_videoBox = nullptr;
    LXView *_audioBox = nullptr;
    LXView *_qualityBox = nullptr;
    QComboBox *_qualityPopBtn = nullptr;
    LXView *_targetBox = nullptr;
    QDoubleSpinBox *_fitInField = nullptr;
    QComboBox *_targetPopBtn = nullptr;
    QComboBox *_videoCodecPopBtn = nullptr;
    QComboBox *_videoResolutionPopBtn = nullptr;
    QComboBox *_videoFrameRatePopBtn = nullptr;
    QComboBox *_videoSubTitlePopBtn = nullptr;
    QComboBox *_audioCodecPopBtn = nullptr;
    QComboBox *_audioChannelPopBtn = nullptr;
    QComboBox *_audioSampleRatePopBtn = nullptr;
    QComboBox *_audioTrackPopBtn = nullptr;
    LXButton *_saveButton = nullptr;
    LXButton *_cancelButton = nullptr;
    ODMediaInfoEditDelegate *_mediaInfoEditDelegate = nullptr;
    bool _audioOnly = false;
};
