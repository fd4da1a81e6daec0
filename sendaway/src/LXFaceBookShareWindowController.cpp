#include "sendaway/LXFaceBookShareWindowController.h"

#include "SheetKit.h"
#include "sendaway/LXYoutubeShareWindowController.h"
#include "sendaway/ServiceSettings.h"

#include <foundation/Alerts.h>
#include <foundation/BundleInfo.h>
#include <foundation/MainThread.h>
#include <foundation/Settings.h>

#include <glazeform/LXLabel.h>

#include <QApplication>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <cmath>

LX_REGISTER_EXPORT_WINDOW(LXFaceBookShareWindowController)

LXFaceBookShareWindowController::LXFaceBookShareWindowController() {
    setObjectName(QStringLiteral("LXFaceBookShareWindowController"));
    makeClient();
    _fb->login();
}

LXFaceBookShareWindowController::~LXFaceBookShareWindowController() {
    if (_fb) {
        _fb->setDelegate(nullptr);
        _fb->stopUpload();
    }
}

LXFaceBookShareWindowController *LXFaceBookShareWindowController::shareWindowController() {
    auto *w = new LXFaceBookShareWindowController;
    w->loadWindow();
    return w;
}

void LXFaceBookShareWindowController::makeClient() {
    _fb = new Facebook(sendaway::ServiceSettings::facebookAppId(), this, this);
}

QString LXFaceBookShareWindowController::emblemName() const { return QStringLiteral("ExportUploadEmblem.png"); }

QString LXFaceBookShareWindowController::stringByTrimSpace(const QString &text) {
    return LXYoutubeShareWindowController::stringByTrimSpace(text);
}

void LXFaceBookShareWindowController::windowDidLoad() {
    LXExportWindowController::windowDidLoad(); // initLanguage
    initTitleDescription();
    // Nothing can be published before the sign-in has brought a name and a Page.
    _changeUser->setBEnabled(false);
    updatePublishState();
}

void LXFaceBookShareWindowController::initTitleDescription() {
    const QString exe = foundation::BundleInfo::value(QStringLiteral("CFBundleExecutable"));
    _titleField->setText(
        formatString(localizedString(QStringLiteral("Lan_Title_HereStr"), QStringLiteral("Title Here.")), {exe}));
    _descStrTextView->setPlainText(
        localizedString(QStringLiteral("Lan_Add_Title_aobutStr"), QStringLiteral("Title about.")));
}

// ---------------------------------------------------------------------------------------
// Signing in

void LXFaceBookShareWindowController::facebookDeviceCode(const QString &userCode, const QUrl &page) {
    // The address without the code in it: the person types the code there.
    showSignIn(userCode, page.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment));
}

void LXFaceBookShareWindowController::showSignIn(const QString &userCode, const QUrl &address) {
    if (exportState() == ExportState::Closed)
        return;
    _deviceCodeField->setTextTitle(userCode.isEmpty() ? QStringLiteral("…") : userCode);
    _deviceAddressField->setTextTitle(address.toDisplayString());
    if (_page != Page::SignIn)
        showPage(Page::SignIn);
    if (!isVisible())
        beginSheet(_parrentWin);
}

void LXFaceBookShareWindowController::facebookDidLogined(const QVariantMap &answer) {
    QPointer<LXFaceBookShareWindowController> self(this);
    if (answer.value(QStringLiteral("valid")).toBool()) {
        clearUserInfo();
        _fb->sendRequest(QStringLiteral("me"));
        _fb->fetchPages();
        foundation::MainThread::post([self] {
            if (self)
                self->showFaceBook();
        });
        return;
    }
    _fb->logout();
    const QString error = answer.value(QStringLiteral("error")).toString();
    foundation::MainThread::post([self, error] {
        if (self)
            self->loginFailedTip(error);
    });
    // The sheet (showing the code, if it came that far) goes; its part in the export is
    // over, so the owner can let go.
    closeWindow();
}

void LXFaceBookShareWindowController::loginFailedTip(const QString &error) {
    // The user refused: nothing to tell.
    if (error == QLatin1String(Facebook::kUserDeniedError))
        return;
    foundation::AlertRequest request;
    request.title = localizedString(QStringLiteral("Lan_Login_failed"), QStringLiteral("login failed."));
    request.defaultButton = localizedString(QStringLiteral("Lan_OK"), QStringLiteral("OK."));
    request.message = error;
    QWidget *over = _parrentWin ? _parrentWin->window() : QApplication::activeWindow();
    foundation::Alerts::showSheet(over, request, {});
}

void LXFaceBookShareWindowController::showFaceBook() {
    if (exportState() == ExportState::Closed)
        return;
    if (_page == Page::SignIn)
        showPage(Page::Setting);
    if (!isVisible())
        beginSheet(_parrentWin);
}

void LXFaceBookShareWindowController::showPage(Page page) {
    auto view = [this](Page p) {
        return p == Page::SignIn ? _signInView : p == Page::Setting ? _settingView : _buildingView;
    };
    const double height = page == Page::SignIn    ? kSignInHeight
                          : page == Page::Setting ? kSettingHeight
                                                  : kBuildingHeight;
    sheetkit::switchPage(this, view(_page), view(page), height);
    _page = page;
}

void LXFaceBookShareWindowController::clearUserInfo() {
    _nameArrived = _hasPage = false;
    _pages.clear();
    _pagePopupBtn->initItemsSelectIndex({}, 0);
    _pagePopupBtn->updateItemWithStrValue(QString());
    _pageMessage->hide();
    _curUserName->setTextTitle(QString());
    _changeUser->setBEnabled(false);
    _btnPublish->setBEnabled(false);
    exportAtPercent(0);
}

void LXFaceBookShareWindowController::facebookDidCompleteRequest(const QVariantMap &answer) {
    if (answer.value(QStringLiteral("request")).toString() != u"me")
        return;
    const QJsonObject user =
        QJsonDocument::fromJson(answer.value(QStringLiteral("result")).toString().toUtf8()).object();
    updateUserInfo(user.value(QStringLiteral("name")).toString());
}

void LXFaceBookShareWindowController::updateUserInfo(const QString &name) {
    _curUserName->setTextTitle(name.isEmpty() ? tr("Unknow") : name);
    _changeUser->setBEnabled(true);
    _nameArrived = true;
    updatePublishState();
}

void LXFaceBookShareWindowController::facebookPagesLoaded(const QList<FacebookPage> &pages,
                                                          const std::optional<sendaway::ServiceError> &error) {
    // Videos are published on a Page: the one chosen last time when it is still there.
    _pages = pages;
    _hasPage = !pages.isEmpty();
    if (_hasPage) {
        const QString last = foundation::Settings::value(QString::fromLatin1(kLastPageKey)).toString();
        QStringList names;
        int chosen = 0;
        for (int i = 0; i < int(pages.size()); ++i) {
            names << pages[i].name;
            if (pages[i].id == last)
                chosen = i;
        }
        _pagePopupBtn->initItemsSelectIndex(names, chosen);
        _pagePopupBtn->show();
        _pageMessage->hide();
        choosePage(chosen);
    } else {
        // Publishing on a person's own timeline is not possible: say why instead.
        const QString why =
            error ? error->localizedDescription
                  : localizedString(QStringLiteral("Lan_No_Page"),
                                    QStringLiteral("You manage no Facebook Page to publish the video on."));
        _pagePopupBtn->hide();
        _pageMessage->setTextTitle(why);
        _pageMessage->setToolTip(why);
        _pageMessage->show();
    }
    updatePublishState();
}

void LXFaceBookShareWindowController::choosePage(int index) {
    if (index < 0 || index >= int(_pages.size()))
        return;
    _fb->setTargetPage(_pages[index]);
    _pagePopupBtn->updateItemWithStrValue(_pages[index].name);
}

void LXFaceBookShareWindowController::itemSelectAtIndex(LXPopUpButton *button, int index) {
    if (button != _pagePopupBtn || index < 0 || index >= int(_pages.size()))
        return;
    choosePage(index);
    foundation::Settings::setValue(QString::fromLatin1(kLastPageKey), _pages[index].id);
}

void LXFaceBookShareWindowController::updatePublishState() { _btnPublish->setBEnabled(_nameArrived && _hasPage); }

void LXFaceBookShareWindowController::logOut(LXButton *) {
    if (!_changeUser->bEnabled())
        return;
    _fb->logout();
    _fb->setDelegate(nullptr);
    _fb->deleteLater();
    makeClient();
    // The window's part goes on with the new sign-in, whose code the sheet shows.
    clearUserInfo();
    showSignIn(QString(), QUrl());
    _fb->login();
}

// ---------------------------------------------------------------------------------------
// Publishing and uploading

void LXFaceBookShareWindowController::gotoBuildingView() { showPage(Page::Building); }

void LXFaceBookShareWindowController::publish(LXButton *) {
    if (!_btnPublish->bEnabled() || _page != Page::Setting)
        return;
    if (!_fb->targetPage().id.isEmpty())
        foundation::Settings::setValue(QString::fromLatin1(kLastPageKey), _fb->targetPage().id);
    gotoBuildingView();
    setIsUploading(false);
    conversionStarted();
    _progressText->setTextTitle(
        localizedString(QStringLiteral("Lan_Building_Movie"), QStringLiteral("Building Movie.")));
    if (_exportWinDelegate)
        _exportWinDelegate->startPublish(this);
    _exportFilePath.clear();
    _exportFormat.clear();
    _exportResolution = QSizeF(1280, 720);
}

void LXFaceBookShareWindowController::closeWindow() {
    if (_fb)
        _fb->cancelLogin();
    LXExportWindowController::closeWindow();
}

void LXFaceBookShareWindowController::finishedConvert(const QString &path) {
    QPointer<LXFaceBookShareWindowController> self(this);
    foundation::MainThread::post([self, path] {
        // Asked whether to cancel while the conversion ended: the answer decides first.
        if (self && self->exportState() != ExportState::Closed && !self->holdHandOffWhileConfirming(path))
            self->uploadToFaceBook(path);
    });
}

void LXFaceBookShareWindowController::uploadToFaceBook(const QString &path) {
    setIsUploading(true);
    setExportState(ExportState::Converting);
    // The file is named, not read: the client streams it from disk.
    const QVariantMap parameters{{QStringLiteral("title"), stringByTrimSpace(_titleField->text())},
                                 {QStringLiteral("description"), stringByTrimSpace(_descStrTextView->toPlainText())},
                                 {QStringLiteral("file"), QStringLiteral("video")},
                                 {QFileInfo(path).fileName(), path}};
    _beginUpload = QDateTime::currentDateTimeUtc();
    exportAtPercent(0);
    _leaveTimeTip->setTextTitle(QString());
    _fb->uploadVideo(parameters);
    _progressText->setTextTitle(
        localizedString(QStringLiteral("Lan_Prepare uploadingStr"), QStringLiteral("Prepare uploading...")));
    _exportFormat.clear();
    _exportFilePath.clear();
}

void LXFaceBookShareWindowController::facebookUploading(double percent) {
    if (!isUploading())
        return;
    const int p = int(std::clamp(percent, 0.0, 100.0));
    exportAtPercent(p);
    _progressText->setTextTitle(
        formatString(localizedString(QStringLiteral("Lan_Uploading_is_ProcessingStr"),
                                     QStringLiteral("Uploading is processing, Please waiting...  ( %d %@ ).")),
                     {QString::number(p), QStringLiteral("%")}));
    const double t = std::max(0.0, _beginUpload.msecsTo(QDateTime::currentDateTimeUtc()) / 1000.0);
    const QString left = p > 0 ? timeToFormatString(int64_t(std::trunc(t / p * (100 - p)))) : QStringLiteral("--");
    _leaveTimeTip->setTextTitle(
        formatString(localizedString(QStringLiteral("Lan_TimeNeed"), QStringLiteral("%@ past, about %@.")),
                     {timeToFormatString(int64_t(std::trunc(t))), left}));
}

void LXFaceBookShareWindowController::facebookUploadFinised(const QVariantMap &) {
    _progressText->setTextTitle(
        localizedString(QStringLiteral("Lan_Upload_successfullyStr"), QStringLiteral("Upload successfully")));
    _cancelButton->setBEnabled(false);
    setIsUploading(false);
    emit uploadEnded(true, QString());
    closeWindow();
    QPointer<LXFaceBookShareWindowController> self(this);
    foundation::MainThread::post([self] {
        if (self)
            self->uploadFinishTips(std::nullopt);
    });
}

void LXFaceBookShareWindowController::facebookUploadFailed(const sendaway::ServiceError &error) {
    setIsUploading(false);
    emit uploadEnded(false, error.localizedDescription);
    closeWindow();
    QPointer<LXFaceBookShareWindowController> self(this);
    foundation::MainThread::post([self, error] {
        if (self)
            self->uploadFinishTips(error);
    });
}

void LXFaceBookShareWindowController::uploadFinishTips(const std::optional<sendaway::ServiceError> &error) {
    foundation::AlertRequest request;
    request.title = QStringLiteral("FaceBook");
    request.defaultButton = localizedString(QStringLiteral("Lan_OK"), QStringLiteral("OK"));
    request.message =
        error ? error->localizedDescription
              : localizedString(QStringLiteral("Lan_Upload_successfullyStr"), QStringLiteral("Upload successfully!"));
    QWidget *over = QApplication::activeWindow();
    if (!over && _parrentWin)
        over = _parrentWin->window();
    foundation::Alerts::showSheet(over, request, {});
}

void LXFaceBookShareWindowController::cancelExport(LXButton *sender) {
    if (!isUploading()) {
        LXExportWindowController::cancelExport(sender);
        return;
    }
    if (sender)
        sender->setBEnabled(false);
    cancelUpload();
    if (sender && exportState() != ExportState::Closed && isUploading())
        sender->setBEnabled(true);
}

void LXFaceBookShareWindowController::cancelUpload() {
    // The upload goes on while the question is open.
    const QString uploading = localizedString(QStringLiteral("Lan_uploadingStr"), QStringLiteral("uploading"));
    foundation::AlertRequest request;
    request.title = formatString(localizedString(QStringLiteral("Lan_Do_You_ReallyStr"),
                                                 QStringLiteral("Do you really want to cancel the movie %@?")),
                                 {uploading});
    request.defaultButton = localizedString(QStringLiteral("Lan_Yes"), QStringLiteral("Yes"));
    request.alternateButton = localizedString(QStringLiteral("Lan_No"), QStringLiteral("No"));
    request.message = formatString(localizedString(QStringLiteral("Lan_Choose_yesStr"),
                                                   QStringLiteral("Choose 'Yes' will terminate the movie %@.")),
                                   {uploading});
    // Yes stops the upload for good: a dismissed question keeps it going.
    request.escapeButton = foundation::AlertButton::Alternate;
    QPointer<LXFaceBookShareWindowController> self(this);
    foundation::Alerts::showSheet(this, request, [self](foundation::AlertButton b) {
        if (!self || b != foundation::AlertButton::Default)
            return;
        self->_fb->stopUpload();
        self->setIsUploading(false);
        self->closeWindow();
    });
}

// ---------------------------------------------------------------------------------------

void LXFaceBookShareWindowController::buttonUp(LXButton *button) {
    if (button == _btnPublish)
        publish(button);
    else if (button == _changeUser)
        logOut(button);
    else if (button == m_Lan_Close || button == _cancelSignInBtn)
        cancel(button);
    else if (button == _btnstopConvert)
        cancelExport(button);
    else
        LXExportWindowController::buttonUp(button);
}

void LXFaceBookShareWindowController::clickedButtonChecked(LXCheckButton *button, bool) {
    if (button == m_Lan_Normal || button == m_Lan_Higher || button == m_Lan_Best) {
        for (LXCheckButton *b : {m_Lan_Normal, m_Lan_Higher, m_Lan_Best})
            b->setBChecked(b == button);
    }
}
