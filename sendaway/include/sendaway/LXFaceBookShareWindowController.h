#pragma once
// The Facebook sheet. Created, it signs the user in through Facebook's own authorisation
// page (the Facebook client opens it in the system browser); only a valid sign-in shows
// the sheet over the editor's window (parrentWin), with the user's name, a title and a
// description. Publishing asks the export conversion for the file (startPublish); the
// file is then uploaded (streamed from disk, resumable) and the sheet closes with an alert.
//
// Pages: settings (264 points high) and building (89, the base's progress controls).
// A refused sign-in ("The+user+denied+your+request.") is silent; any other failure is told
// in an alert. Either way the sheet never shows, and its part ends (exportWindowClosed).
//
// Threading: main thread only. Ownership: as the base; the sheet owns its client.
#include "sendaway/Facebook.h"
#include "sendaway/LXExportWindowController.h"

#include <glazeform/LXCheckButton.h>

#include <QDateTime>
#include <optional>

class LXLabel;
class QLineEdit;
class QPlainTextEdit;

class LXFaceBookShareWindowController : public LXExportWindowController,
                                        public FacebookDelegate,
                                        protected LXCheckButtonDelegate {
    Q_OBJECT
public:
    static constexpr double kSettingHeight = 264, kBuildingHeight = 89;
    static constexpr double kSheetWidth = 520;

    enum class Page { Setting, Building };

    static LXFaceBookShareWindowController *shareWindowController();
    ~LXFaceBookShareWindowController() override;

    QString windowNibName() const override { return QStringLiteral("FaceBookUploadingWin"); }
    void initLanguage() override;
    void initTitleDescription();

    // --- actions ------------------------------------------------------------------------
    void publish(LXButton *sender);
    // Signs out and in again (the sheet hides until the new sign-in is valid).
    void logOut(LXButton *sender);
    // Stops the upload (after asking) while one runs, else the conversion (base).
    void cancelExport(LXButton *sender) override;

    void showFaceBook();
    void clearUserInfo();
    void updateUserInfo(const QString &name);
    void gotoBuildingView();
    QWidget *mainView() const { return const_cast<LXFaceBookShareWindowController *>(this); }
    Page currentPage() const { return _page; }
    static QString stringByTrimSpace(const QString &text);

    void finishedConvert(const QString &path) override;
    // Also ends a sign-in still waiting for the browser.
    void closeWindow() override;
    // When the upload started (the time texts count from it).
    QDateTime beginUpload() const { return _beginUpload; }
    void setBeginUpload(const QDateTime &t) { _beginUpload = t; }
    void uploadToFaceBook(const QString &path);
    void cancelUpload();
    void uploadFinishTips(const std::optional<sendaway::ServiceError> &error);

    // --- the client's answers (FacebookDelegate) ---------------------------------------
    void facebookDidLogined(const QVariantMap &answer) override;
    void facebookDidCompleteRequest(const QVariantMap &answer) override;
    void facebookPagesLoaded(const QList<FacebookPage> &pages, const std::optional<sendaway::ServiceError> &error) override;
    void facebookUploading(double percent) override;
    void facebookUploadFinised(const QVariantMap &answer) override;
    void facebookUploadFailed(const sendaway::ServiceError &error) override;

    // --- outlets -------------------------------------------------------------------------
    Facebook *fb() const { return _fb; }
    LXLabel *curUserName() const { return _curUserName; }
    LXButton *changeUser() const { return _changeUser; }
    QLineEdit *titleField() const { return _titleField; }
    QPlainTextEdit *descStrTextView() const { return _descStrTextView; }
    LXCheckButton *isPrivateBtn() const { return _isPrivateBtn; }
    LXButton *btnPublish() const { return _btnPublish; }
    LXButton *btnstopConvert() const { return _btnstopConvert; }
    LXButton *closeSheetButton() const { return m_Lan_Close; }
    QWidget *settingView() const { return _settingView; }
    QWidget *buildingView() const { return _buildingView; }

protected:
    LXFaceBookShareWindowController();
    void loadWindowNamed(const QString &nibName) override;
    void windowDidLoad() override;
    QString emblemName() const override;
    void buttonUp(LXButton *button) override;
    void clickedButtonChecked(LXCheckButton *button, bool checked) override;

private:
    void makeClient();
    void updatePublishState();
    bool _nameArrived = false;
    bool _hasPage = false;
    void loginFailedTip(const QString &error);

    LXLabel *_curUserName = nullptr;
    LXButton *_changeUser = nullptr;
    QLineEdit *_titleField = nullptr;
    QPlainTextEdit *_descStrTextView = nullptr;
    LXCheckButton *_isPrivateBtn = nullptr;
    LXButton *_btnPublish = nullptr;
    LXButton *_btnstopConvert = nullptr;
    Facebook *_fb = nullptr;
    QDateTime _beginUpload;
    LXLabel *m_Lan_Quality = nullptr;
    LXLabel *m_Lan_User_Name = nullptr;
    LXLabel *m_Lan_Title = nullptr;
    LXLabel *m_Lan_Description = nullptr;
    LXButton *m_Lan_Close = nullptr;
    LXCheckButton *m_Lan_Normal = nullptr;
    LXCheckButton *m_Lan_Higher = nullptr;
    LXCheckButton *m_Lan_Best = nullptr;
    QWidget *_settingView = nullptr;
    QWidget *_buildingView = nullptr;
    Page _page = Page::Setting;
};
