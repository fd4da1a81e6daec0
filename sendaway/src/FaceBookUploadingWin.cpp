// The Facebook sheet's layout ("FaceBookUploadingWin") and texts.
#include "sendaway/LXFaceBookShareWindowController.h"

#include "SheetKit.h"

#include <glazeform/LXLabel.h>
#include <glazeform/LXPopUpButton.h>

#include <QLineEdit>
#include <QPlainTextEdit>

using namespace sheetkit;

namespace {
constexpr double W = LXFaceBookShareWindowController::kSheetWidth;
constexpr double kMargin = 24, kFieldX = 140, kFieldW = W - kFieldX - kMargin;
constexpr double kButtonW = 104, kButtonH = 28;
constexpr double kRightButtonX = W - kMargin - kButtonW;
} // namespace

void LXFaceBookShareWindowController::loadWindowNamed(const QString &) {
    setObjectName(QStringLiteral("FaceBookUploadingWin"));
    setWindowTitle(QStringLiteral("Facebook"));

    {
        // The code Facebook issued, large, and where to enter it.
        const double H = kSignInHeight;
        QWidget *v = _signInView = page(this, W, H);
        emblem(v, QRectF(kMargin, H - 24 - 40, 40, 40));
        _signInTitle = caption(v, QRectF(76, H - 24 - 22, W - 76 - kMargin, 22), 15, kText, true);
        _signInTip = caption(v, QRectF(76, H - 24 - 40, W - 76 - kMargin, 16), 12);
        _deviceAddressField = caption(v, QRectF(76, H - 24 - 60, W - 76 - kMargin, 18), 13, kText);
        _deviceCodeField = caption(v, QRectF(76, 68, W - 76 - kMargin - 40, 36), 26, kText, true);
        auto *spinner = new SpinningIndicator(QRectF(W - kMargin - 24, 74, 24, 24), v);
        spinner->startAnimation();
        _signInIndicator = spinner;
        _cancelSignInBtn = button(v, QRectF(kRightButtonX, 16, kButtonW, kButtonH), this);
    }
    {
        const double H = kSettingHeight;
        QWidget *v = _settingView = page(this, W, H, {H - 72});
        emblem(v, QRectF(kMargin, H - 24 - 40, 40, 40));
        m_Lan_User_Name = caption(v, QRectF(76, H - 24 - 16, 280, 16), 11);
        _curUserName = caption(v, QRectF(76, H - 24 - 38, 300, 20), 15, kText, true);
        _changeUser = button(v, QRectF(kRightButtonX, H - 24 - 34, kButtonW, kButtonH), this);

        m_Lan_Page = caption(v, QRectF(kMargin, 193, kFieldX - kMargin - 8, 20), 13);
        _pagePopupBtn = popup(v, QRectF(kFieldX, 190, kFieldW, 28));
        _pagePopupBtn->setDelegate(this);
        _pageMessage = caption(v, QRectF(kFieldX, 193, kFieldW, 20), 12, kErrorText);
        _pageMessage->hide();

        m_Lan_Title = caption(v, QRectF(kMargin, 151, kFieldX - kMargin - 8, 20), 13);
        _titleField = field(v, QRectF(kFieldX, 150, kFieldW, 28));
        m_Lan_Description = caption(v, QRectF(kMargin, 123, kFieldX - kMargin - 8, 20), 13);
        _descStrTextView = textView(v, QRectF(kFieldX, 96, kFieldW, 46));
        m_Lan_Quality = caption(v, QRectF(kMargin, 64, kFieldX - kMargin - 8, 20), 13);
        m_Lan_Normal = checkBox(v, QRectF(kFieldX, 65, 76, 22));
        m_Lan_Higher = checkBox(v, QRectF(kFieldX + 78, 65, 64, 22));
        m_Lan_Best = checkBox(v, QRectF(kFieldX + 144, 65, 64, 22));
        for (LXCheckButton *b : {m_Lan_Normal, m_Lan_Higher, m_Lan_Best})
            b->setDelegate(this);
        m_Lan_Normal->setBChecked(true);
        _isPrivateBtn = checkBox(v, QRectF(kRightButtonX, 65, kButtonW, 22));
        _isPrivateBtn->setDelegate(this);

        m_Lan_Close = button(v, QRectF(kRightButtonX - kButtonW - 10, 16, kButtonW, kButtonH), this);
        _btnPublish = button(v, QRectF(kRightButtonX, 16, kButtonW, kButtonH), this, true);
        setTabOrder(_titleField, _descStrTextView);
        v->hide();
    }
    {
        QWidget *v = _buildingView = page(this, W, kBuildingHeight);
        buildProgressControls(v);
        _btnstopConvert = _cancelButton;
    }
    setFixedSize(int(W), int(kSignInHeight));
    _page = Page::SignIn;
    _signInView->show();
}

void LXFaceBookShareWindowController::initLanguage() {
    // Not the base's texts: the stop button and the captions are this sheet's own.
    auto text = [](const char *key, const char *fallback) {
        return localizedString(QString::fromLatin1(key), QString::fromLatin1(fallback));
    };
    m_Lan_Quality->setTextTitle(localizedString(QStringLiteral("Lan_Quality"), QString()));
    m_Lan_User_Name->setTextTitle(text("Lan_User_Name", "User Name."));
    m_Lan_Title->setTextTitle(text("Lan_Title", "Title."));
    m_Lan_Description->setTextTitle(text("Lan_Description", "Description."));
    m_Lan_Page->setTextTitle(text("Lan_Page", "Page."));
    _signInTitle->setTextTitle(text("Lan_FB_SignIn_Title", "Sign in to Facebook"));
    _signInTip->setTextTitle(text("Lan_FB_SignIn_Tip", "Go to this address and enter the code below:"));
    _cancelSignInBtn->setTextTitle(text("Lan_Cancel", "Cancel."));
    _isPrivateBtn->setTextTitle(text("Lan_Private", "Private."));
    _changeUser->setTextTitle(text("Lan_Change", "Change."));
    _btnPublish->setTextTitle(text("Lan_Publish", "Publish."));
    _btnstopConvert->setTextTitle(text("Lan_Stop", "Stop."));
    m_Lan_Close->setTextTitle(text("Lan_Close", "Close."));
    m_Lan_Normal->setTextTitle(text("Lan_Normal", "Normal."));
    m_Lan_Higher->setTextTitle(text("Lan_High", "High."));
    m_Lan_Best->setTextTitle(text("Lan_Best", "Best."));
    if (_browseButton)
        _browseButton->setTextTitle(text("Lan_Browse", "Browser Movie."));
    if (_closeButton)
        _closeButton->setTextTitle(text("Lan_Close", "Close."));
}
