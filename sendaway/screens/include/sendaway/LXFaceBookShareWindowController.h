#pragma once
// The Facebook sheet. Created, it signs the user in with Login for Devices: once Facebook
// has issued a code, the sheet shows over the editor's window (parrentWin) with that code
// and the address where it is entered (the client also opens that page in the browser);
// the person has to see the code to confirm it. A valid sign-in turns the sheet to its
// settings: the user's name, the Page to publish on (a pop-up of the Pages the person
// manages, the last choice remembered under "sendaway/facebook/lastPageId"), a title and a
// description. Without a Page the sheet says so and publishing stays off. Publishing asks
// the export conversion for the file (startPublish); the file is then uploaded (streamed
// from disk, resumable) and the sheet closes with an alert.
//
// Pages: sign-in (200 points high), settings (300) and building (89, the base's progress
// controls). A refused sign-in ("The+user+denied+your+request.") or one cancelled on the
// sign-in page is silent; any other failure is told in an alert. Either way the sheet
// closes and its part ends (exportWindowClosed).
//
// Threading: main thread only. Ownership: as the base; the sheet owns its client.
#include "sendaway/Facebook.h"
#include "sendaway/LXExportWindowController.h"

#include <glazeform/LXCheckButton.h>
#include <glazeform/LXPopUpButton.h>

#include <QDateTime>
#include <optional>

class LXLabel;
class QLineEdit;
class QPlainTextEdit;

class LXFaceBookShareWindowController : public LXExportWindowController,
                                        public FacebookDelegate,
                                        protected LXCheckButtonDelegate,
                                        protected LXPopUpButtonDelegate {
    Q_OBJECT
public:
    static constexpr double kSignInHeight = 200, kSettingHeight = 300, kBuildingHeight = 89;
    static constexpr double kSheetWidth = 520;
    // The settings key of the Page chosen last.
    static constexpr const char *kLastPageKey = "sendaway/facebook/lastPageId";

    enum class Page { SignIn, Setting, Building };

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

    // The settings page, shown as a sheet on parrentWin.
    void showFaceBook();
    // The sign-in page with the code to enter (empty while a code is being asked for).
    void showSignIn(const QString &userCode, const QUrl &address);
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
    void facebookDeviceCode(const QString &userCode, const QUrl &page) override;
    void facebookDidCompleteRequest(const QVariantMap &answer) override;
    void facebookPagesLoaded(const QList<FacebookPage> &pages,
                             const std::optional<sendaway::ServiceError> &error) override;
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
    LXPopUpButton *pagePopupBtn() const { return _pagePopupBtn; }
    // Takes the pop-up's place when there is no Page to publish on.
    LXLabel *pageMessage() const { return _pageMessage; }
    LXLabel *deviceCodeField() const { return _deviceCodeField; }
    LXLabel *deviceAddressField() const { return _deviceAddressField; }
    LXButton *cancelSignInBtn() const { return _cancelSignInBtn; }
    // The Pages offered, in the pop-up's order.
    const QList<FacebookPage> &pages() const { return _pages; }
    QWidget *signInView() const { return _signInView; }
    QWidget *settingView() const { return _settingView; }
    QWidget *buildingView() const { return _buildingView; }

protected:
    LXFaceBookShareWindowController();
    void loadWindowNamed(const QString &nibName) override;
    void windowDidLoad() override;
    QString emblemName() const override;
    void buttonUp(LXButton *button) override;
    void clickedButtonChecked(LXCheckButton *button, bool checked) override;
    void itemSelectAtIndex(LXPopUpButton *button, int index) override;

private:
    void makeClient();
    void updatePublishState();
    void showPage(Page page);
    void choosePage(int index);
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
    LXLabel *m_Lan_Page = nullptr;
    LXPopUpButton *_pagePopupBtn = nullptr;
    LXLabel *_pageMessage = nullptr;
    QList<FacebookPage> _pages;
    LXLabel *_signInTitle = nullptr;
    LXLabel *_signInTip = nullptr;
    LXLabel *_deviceAddressField = nullptr;
    LXLabel *_deviceCodeField = nullptr;
    LXButton *_cancelSignInBtn = nullptr;
    QWidget *_signInIndicator = nullptr;
    QWidget *_signInView = nullptr;
    QWidget *_settingView = nullptr;
    QWidget *_buildingView = nullptr;
    Page _page = Page::SignIn;
};
