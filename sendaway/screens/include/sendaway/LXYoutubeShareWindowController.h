#pragma once
// The YouTube sheet: signs the user in, loads YouTube's categories, collects title,
// keywords, description, category and privacy, asks the export conversion for the file
// (startPublish), uploads it with the Upvelle client and shows progress, then offers to
// open the new video's page.
//
// Pages, each filling the sheet: login (244 points high), settings (300) and building (89,
// the progress controls of the base). The sheet opens on the login page.
//
// Signing in happens in the web browser (Google's installed-app flow); the login page keeps
// an optional account hint, never a password. A remembered account:
// "mmRemenberUpvelleUserInfoKey" and the signed-in account's name ("mmUpvelleUserNameKey")
// in the settings; the service's refresh token only in the desktop keyring (service
// "Cinvora", key "youtube:<user>"). Where no keyring answers, only the name is remembered
// and the next sign-in goes through the browser again. A password an older version stored
// ("mmUpvelleUserPSWKey", or in the keyring entry) is removed unused.
//
// Threading: main thread only. Ownership: as the base; the sheet owns its client.
#include "sendaway/LXExportWindowController.h"
#include "sendaway/Upvelle.h"

#include <glazeform/LXCheckButton.h>
#include <glazeform/LXPopUpButton.h>

#include <QDateTime>
#include <vector>

class LXLabel;
class QLineEdit;
class QPlainTextEdit;
namespace sheetkit {
class SpinningIndicator;
}

class LXYoutubeShareWindowController : public LXExportWindowController,
                                       public YoutubeUploadDelegate,
                                       protected LXCheckButtonDelegate,
                                       protected LXPopUpButtonDelegate {
    Q_OBJECT
public:
    static constexpr double kLoginHeight = 244, kSettingHeight = 300, kBuildingHeight = 89;
    static constexpr double kSheetWidth = 520;
    // The settings keys of a remembered account.
    static constexpr const char *kRememberKey = "mmRemenberUpvelleUserInfoKey";
    static constexpr const char *kUserNameKey = "mmUpvelleUserNameKey";
    static constexpr const char *kLegacyPasswordKey = "mmUpvelleUserPSWKey";

    enum class Page { Login, Setting, Building };

    static LXYoutubeShareWindowController *shareWindowController();
    ~LXYoutubeShareWindowController() override;

    QString windowNibName() const override { return QStringLiteral("YouTubeUploadingWin"); }
    void initLanguage() override;
    void initTitleDescriptionKeyWord();

    // --- actions ------------------------------------------------------------------------
    void login(LXButton *sender);
    void changeUserName(LXButton *sender);
    void publish(LXButton *sender);
    // Stops the upload (after asking) while one runs, else the conversion (base).
    void cancelExport(LXButton *sender) override;

    // --- the remembered account -----------------------------------------------------------
    static bool hasAccountInformation();
    // Gives the client the remembered name and, once the keyring has answered, its secrets;
    // then runs `then` (on the main thread, later).
    void readAccountInformation(std::function<void()> then = {});
    void writeAccountInformation();
    // Removes any password an older version stored (settings and keyring); the program
    // calls it at start-up. `user` empty: the remembered account.
    static void removeStoredPasswords(const QString &user = {});

    void enableLogin(bool on);
    void updateCategoryMenu();
    bool inValidCategory() const;
    void updateYoutubeProperty();
    void uploadToUpvelle();
    void cancelUpload();
    void gotoLoginView();
    void gotoYoutubeSettingView();
    void gotoBuildingView();
    QWidget *mainView() const { return _mainView; }
    Page currentPage() const { return _page; }
    static QString stringByTrimSpace(const QString &text);

    void finishedConvert(const QString &path) override;
    // Also ends a sign-in or category request still running.
    void closeWindow() override;
    // When the upload started (the time texts count from it).
    QDateTime beginUpload() const { return _beginUpload; }
    void setBeginUpload(const QDateTime &t) { _beginUpload = t; }
    void uploadFinishTips(const std::optional<sendaway::ServiceError> &error);
    void openLink(const QString &link);

    // --- the client's answers (YoutubeUploadDelegate) ----------------------------------
    void successSignedIn(bool signedIn) override;
    void failedConnectError(bool connected, const sendaway::ServiceError &error) override;
    void failedConnectErrorMsg(bool connected, const QString &message) override;
    void updateCategory(const std::optional<sendaway::ServiceError> &error) override;
    void uploadIndicatorWithCurValueMinValueMaxValue(double cur, double min, double max) override;
    void uploadErrorEntryDesc(const std::optional<sendaway::ServiceError> &error, const QString &link) override;

    // --- outlets -------------------------------------------------------------------------
    Upvelle *youtubeUpload() const { return _youtubeUpload; }
    QLineEdit *userNameField() const { return _userNameField; }
    LXCheckButton *remenberUserNameBtn() const { return _remenberUserNameBtn; }
    LXButton *cancelLoginBtn() const { return _cancelLoginBtn; }
    LXButton *loginBtn() const { return _loginBtn; }
    QWidget *loginIndicator() const;
    LXLabel *loginResultMsg() const { return _loginResultMsg; }
    LXButton *btnChangeUser() const { return _btnChangeUser; }
    LXLabel *upvelleLoginedName() const { return _upvelleLoginedName; }
    LXPopUpButton *categoryPopupBtn() const { return _categoryPopupBtn; }
    QLineEdit *titleField() const { return _titleField; }
    QLineEdit *keyWordField() const { return _keyWordField; }
    QPlainTextEdit *descStrTextView() const { return _descStrTextView; }
    LXCheckButton *isPrivateBtn() const { return _isPrivateBtn; }
    QWidget *updateCagegoryIndicator() const;
    LXLabel *messageField() const { return _messageField; }
    LXButton *btnPublish() const { return _btnPublish; }
    LXButton *btnstopConvert() const { return _btnstopConvert; }
    QWidget *loginView() const { return _loginView; }
    QWidget *settingView() const { return _settingView; }
    QWidget *buildingView() const { return _buildingView; }

    // One entry of the category menu: the title shown and the category term.
    struct CategoryItem {
        QString title;
        QString representedObject;
    };
    const std::vector<CategoryItem> *categoryMenu() const { return _hasCategoryMenu ? &_categoryMenu : nullptr; }
    // The term of the selected category (empty when none).
    QString selectedCategoryTerm() const;

protected:
    LXYoutubeShareWindowController();
    void loadWindowNamed(const QString &nibName) override;
    void windowDidLoad() override;
    QString emblemName() const override;
    void buttonUp(LXButton *button) override;
    void clickedButtonChecked(LXCheckButton *button, bool checked) override;
    void itemSelectAtIndex(LXPopUpButton *button, int index) override;

private:
    void showPage(Page page, double height);
    void setCategoryItems(const std::vector<CategoryItem> &items);
    QString loadingText() const;

    QLineEdit *_userNameField = nullptr;
    LXCheckButton *_remenberUserNameBtn = nullptr;
    LXButton *_cancelLoginBtn = nullptr;
    LXButton *_loginBtn = nullptr;
    sheetkit::SpinningIndicator *_loginIndicator = nullptr;
    LXLabel *_loginResultMsg = nullptr;
    LXButton *_btnChangeUser = nullptr;
    LXLabel *_upvelleLoginedName = nullptr;
    LXPopUpButton *_categoryPopupBtn = nullptr;
    QLineEdit *_titleField = nullptr;
    QLineEdit *_keyWordField = nullptr;
    QPlainTextEdit *_descStrTextView = nullptr;
    LXCheckButton *_isPrivateBtn = nullptr;
    sheetkit::SpinningIndicator *_updateCagegoryIndicator = nullptr;
    LXLabel *_messageField = nullptr;
    LXButton *_btnPublish = nullptr;
    LXButton *_btnstopConvert = nullptr;
    std::vector<CategoryItem> _categoryMenu;
    bool _hasCategoryMenu = false;
    LXLabel *m_Lan_User_Name = nullptr;
    LXLabel *_browserNote = nullptr;
    LXLabel *m_Lan_Quality = nullptr;
    LXLabel *m_Lan_User_Name_loged = nullptr;
    LXLabel *m_Lan_Category = nullptr;
    LXLabel *m_Lan_Title = nullptr;
    LXLabel *m_Lan_Keywords = nullptr;
    LXLabel *m_Lan_Description = nullptr;
    LXCheckButton *m_Lan_Normal = nullptr;
    LXCheckButton *m_Lan_Higher = nullptr;
    LXCheckButton *m_Lan_Best = nullptr;
    LXLabel *_loginTitle = nullptr;
    Upvelle *_youtubeUpload = nullptr;
    QDateTime _beginUpload;
    QWidget *_buildingView = nullptr;
    QWidget *_loginView = nullptr;
    QWidget *_settingView = nullptr;
    QWidget *_mainView = nullptr;
    Page _page = Page::Login;
    // The user the client's refresh token belongs to (from the keyring).
    QString _refreshTokenUser;
};
