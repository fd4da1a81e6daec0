// The YouTube sheet's layout ("YouTubeUploadingWin") and texts.
#include "sendaway/LXYoutubeShareWindowController.h"

#include "SheetKit.h"

#include <glazeform/LXLabel.h>
#include <glazeform/LXStyle.h>

#include <QLineEdit>
#include <QPlainTextEdit>

using namespace sheetkit;

namespace {
constexpr double W = LXYoutubeShareWindowController::kSheetWidth;
constexpr double kMargin = 24, kFieldX = 140, kFieldW = W - kFieldX - kMargin;
constexpr double kButtonW = 104, kButtonH = 28;
constexpr double kRightButtonX = W - kMargin - kButtonW;
} // namespace

void LXYoutubeShareWindowController::loadWindowNamed(const QString &) {
    setObjectName(QStringLiteral("YouTubeUploadingWin"));
    setWindowTitle(QStringLiteral("YouTube"));
    _mainView = this;

    // Login: who signs in.
    {
        const double H = kLoginHeight;
        QWidget *v = _loginView = page(this, W, H);
        emblem(v, QRectF(kMargin, H - 24 - 40, 40, 40));
        _loginTitle = caption(v, QRectF(76, H - 24 - 30, 300, 24), 17, kText, true);
        _loginTitle->setTextTitle(QStringLiteral("YouTube"));
        m_Lan_User_Name = caption(v, QRectF(kMargin, 143, kFieldX - kMargin - 8, 20), 13);
        _userNameField = field(v, QRectF(kFieldX, 142, kFieldW, 28));
        // No password row: Google's own page in the web browser takes the sign-in.
        _browserNote = caption(v, QRectF(kFieldX, 107, kFieldW, 20), 12);
        _remenberUserNameBtn = checkBox(v, QRectF(kFieldX, 74, kFieldW, 22));
        _remenberUserNameBtn->setDelegate(this);
        // The status line starts at the margin; the spinner waits beside the buttons.
        _loginResultMsg = caption(v, QRectF(kMargin, 18, kRightButtonX - kButtonW - 10 - kMargin - 30, 20), 12);
        _loginIndicator = new SpinningIndicator(QRectF(kRightButtonX - kButtonW - 10 - 26, 22, 16, 16), v);
        _cancelLoginBtn = button(v, QRectF(kRightButtonX - kButtonW - 10, 16, kButtonW, kButtonH), this);
        _loginBtn = button(v, QRectF(kRightButtonX, 16, kButtonW, kButtonH), this, true);
        connect(_userNameField, &QLineEdit::returnPressed, this, [this] { login(_loginBtn); });
    }

    // Settings: what the video is called and where it goes.
    {
        const double H = kSettingHeight;
        QWidget *v = _settingView = page(this, W, H, {H - 72});
        emblem(v, QRectF(kMargin, H - 24 - 40, 40, 40));
        m_Lan_User_Name_loged = caption(v, QRectF(76, H - 24 - 16, 280, 16), 11);
        _upvelleLoginedName = caption(v, QRectF(76, H - 24 - 38, 300, 20), 15, kText, true);
        _btnChangeUser = button(v, QRectF(kRightButtonX, H - 24 - 34, kButtonW, kButtonH), this);

        m_Lan_Title = caption(v, QRectF(kMargin, 191, kFieldX - kMargin - 8, 20), 13);
        _titleField = field(v, QRectF(kFieldX, 190, kFieldW, 28));
        m_Lan_Keywords = caption(v, QRectF(kMargin, 157, kFieldX - kMargin - 8, 20), 13);
        _keyWordField = field(v, QRectF(kFieldX, 156, kFieldW, 28));
        m_Lan_Description = caption(v, QRectF(kMargin, 129, kFieldX - kMargin - 8, 20), 13);
        _descStrTextView = textView(v, QRectF(kFieldX, 98, kFieldW, 54));
        m_Lan_Category = caption(v, QRectF(kMargin, 63, kFieldX - kMargin - 8, 20), 13);
        _categoryPopupBtn = popup(v, QRectF(kFieldX, 62, 190, 26));
        _categoryPopupBtn->setDelegate(this);
        _updateCagegoryIndicator = new SpinningIndicator(QRectF(kFieldX + 198, 67, 16, 16), v);
        _messageField = caption(v, QRectF(kFieldX + 220, 65, W - kMargin - kFieldX - 220, 20), 12, kErrorText);

        m_Lan_Quality = caption(v, QRectF(kMargin, 18, 62, 20), 12);
        m_Lan_Normal = checkBox(v, QRectF(88, 19, 68, 22));
        m_Lan_Higher = checkBox(v, QRectF(158, 19, 54, 22));
        m_Lan_Best = checkBox(v, QRectF(214, 19, 54, 22));
        for (LXCheckButton *b : {m_Lan_Normal, m_Lan_Higher, m_Lan_Best})
            b->setDelegate(this);
        m_Lan_Normal->setBChecked(true);
        _isPrivateBtn = checkBox(v, QRectF(300, 19, 84, 22));
        _isPrivateBtn->setDelegate(this);
        _btnPublish = button(v, QRectF(kRightButtonX, 16, kButtonW, kButtonH), this, true);
        setTabOrder(_titleField, _keyWordField);
        setTabOrder(_keyWordField, _descStrTextView);
    }

    // Building: the base's progress controls; its cancel button is the stop button.
    {
        const double H = kBuildingHeight;
        QWidget *v = _buildingView = page(this, W, H);
        buildProgressControls(v);
        _btnstopConvert = _cancelButton;
    }

    setFixedSize(int(W), int(kLoginHeight));
    _page = Page::Login;
    _loginView->show();
    _loginIndicator->hide();
    _updateCagegoryIndicator->hide();
}

void LXYoutubeShareWindowController::initLanguage() {
    LXExportWindowController::initLanguage();
    auto text = [](const char *key, const char *fallback) {
        return localizedString(QString::fromLatin1(key), QString::fromLatin1(fallback));
    };
    const QString userName = text("Lan_User_Name", "User Name.");
    m_Lan_User_Name->setTextTitle(userName);
    m_Lan_User_Name_loged->setTextTitle(userName);
    _browserNote->setTextTitle(text("Lan_Browser_Note", "Your web browser opens for the Google sign-in."));
    _remenberUserNameBtn->setTextTitle(text("Lan_Remember_Username", "Remember Username."));
    _loginBtn->setTextTitle(text("Lan_Login", "Login."));
    _cancelLoginBtn->setTextTitle(text("Lan_Cancel", "Login."));
    m_Lan_Quality->setTextTitle(text("Lan_Quality", "Quality."));
    m_Lan_Normal->setTextTitle(text("Lan_Normal", "Normal."));
    m_Lan_Higher->setTextTitle(text("Lan_High", "High."));
    m_Lan_Best->setTextTitle(text("Lan_Best", "Best."));
    m_Lan_Category->setTextTitle(text("Lan_Category", "Category."));
    m_Lan_Title->setTextTitle(text("Lan_Title", "Title."));
    m_Lan_Keywords->setTextTitle(text("Lan_Keywords", "Keywords."));
    m_Lan_Description->setTextTitle(text("Lan_Description", "Description."));
    _isPrivateBtn->setTextTitle(text("Lan_Private", "Private."));
    _btnChangeUser->setTextTitle(text("Lan_Change", "Change User."));
    _btnstopConvert->setTextTitle(text("Lan_Cancel", "Cancel."));
    _btnPublish->setTextTitle(text("Lan_Publish", "Publish."));
}
