#include "sendaway/LXYoutubeShareWindowController.h"

#include "SheetKit.h"
#include "sendaway/LXProgressIndicator.h"
#include "sendaway/SecretStore.h"

#include <foundation/Alerts.h>
#include <foundation/BundleInfo.h>
#include <foundation/MainThread.h>
#include <foundation/Reveal.h>
#include <foundation/Settings.h>

#include <glazeform/LXLabel.h>

#include <QApplication>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <cmath>

using foundation::Settings;

LX_REGISTER_EXPORT_WINDOW(LXYoutubeShareWindowController)

namespace {
QString keyringKey(const QString &user) { return QStringLiteral("youtube:") + user; }
QString executableName() { return foundation::BundleInfo::value(QStringLiteral("CFBundleExecutable")); }
} // namespace

LXYoutubeShareWindowController::LXYoutubeShareWindowController() {
    setObjectName(QStringLiteral("LXYoutubeShareWindowController"));
}

LXYoutubeShareWindowController::~LXYoutubeShareWindowController() {
    if (_youtubeUpload) {
        _youtubeUpload->setDelegate(nullptr);
        _youtubeUpload->stopUploadFile();
    }
}

LXYoutubeShareWindowController *LXYoutubeShareWindowController::shareWindowController() {
    auto *w = new LXYoutubeShareWindowController;
    w->loadWindow();
    return w;
}

QString LXYoutubeShareWindowController::emblemName() const { return QStringLiteral("ExportUploadEmblem.png"); }

QString LXYoutubeShareWindowController::stringByTrimSpace(const QString &text) {
    qsizetype b = 0, e = text.size();
    while (b < e && (text.at(b) == u' ' || text.at(b) == u'\t'))
        ++b;
    while (e > b && (text.at(e - 1) == u' ' || text.at(e - 1) == u'\t'))
        --e;
    return text.mid(b, e - b);
}

void LXYoutubeShareWindowController::initTitleDescriptionKeyWord() {
    const QString exe = executableName();
    _titleField->setText(
        formatString(localizedString(QStringLiteral("Lan_Title_HereStr"), QStringLiteral("Title Here.")), {exe}));
    _descStrTextView->setPlainText(
        localizedString(QStringLiteral("Lan_Add_Title_aobutStr"), QStringLiteral("Title aboue.")));
    _keyWordField->setText(exe);
}

void LXYoutubeShareWindowController::windowDidLoad() {
    LXExportWindowController::windowDidLoad(); // initLanguage
    initTitleDescriptionKeyWord();
    if (!_youtubeUpload) {
        _youtubeUpload = new Upvelle(this);
        _youtubeUpload->setDelegate(this);
    }
    if (hasAccountInformation()) {
        _remenberUserNameBtn->setBChecked(true);
        QPointer<LXYoutubeShareWindowController> self(this);
        readAccountInformation([self] {
            if (self)
                self->login(self->_loginBtn);
        });
    } else {
        _youtubeUpload->setUserID(QString());
        _userNameField->setText(QString());
        _loginIndicator->hide();
        _loginView->setFocus();
        _userNameField->setFocus();
    }
}

// ---------------------------------------------------------------------------------------
// The remembered account

bool LXYoutubeShareWindowController::hasAccountInformation() {
    return Settings::value(QString::fromLatin1(kRememberKey), false).toBool();
}

void LXYoutubeShareWindowController::removeStoredPasswords(const QString &user) {
    // Google accounts have no password grant: a password an older version kept (in the
    // settings, or beside the refresh token in the keyring) can never be used. It goes.
    const QString legacyKey = QString::fromLatin1(kLegacyPasswordKey);
    if (Settings::contains(legacyKey))
        Settings::remove(legacyKey);
    const QString name = user.isEmpty() ? Settings::value(QString::fromLatin1(kUserNameKey)).toString() : user;
    if (name.isEmpty())
        return;
    auto *context = QCoreApplication::instance();
    sendaway::SecretStore::read(context, keyringKey(name), [name, context](std::optional<QString> secret) {
        if (!secret)
            return;
        QJsonObject o = QJsonDocument::fromJson(secret->toUtf8()).object();
        if (!o.contains(QStringLiteral("password")))
            return;
        o.remove(QStringLiteral("password"));
        if (o.isEmpty())
            sendaway::SecretStore::remove(keyringKey(name));
        else
            sendaway::SecretStore::write(context, keyringKey(name),
                                         QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)));
    });
}

void LXYoutubeShareWindowController::readAccountInformation(std::function<void()> then) {
    const QString user = Settings::value(QString::fromLatin1(kUserNameKey)).toString();
    removeStoredPasswords(user);
    _youtubeUpload->setUserID(user);
    _userNameField->setText(user);
    if (user.isEmpty()) {
        if (then)
            QMetaObject::invokeMethod(this, then, Qt::QueuedConnection);
        return;
    }
    sendaway::SecretStore::read(this, keyringKey(user), [this, user, then](std::optional<QString> secret) {
        if (secret) {
            const QString refresh =
                QJsonDocument::fromJson(secret->toUtf8()).object().value(QStringLiteral("refresh_token")).toString();
            if (!refresh.isEmpty()) {
                _youtubeUpload->setRefreshToken(refresh);
                _refreshTokenUser = user;
            }
        }
        if (then)
            then();
    });
}

void LXYoutubeShareWindowController::writeAccountInformation() {
    const QString user = _youtubeUpload->userID();
    Settings::setValue(QString::fromLatin1(kRememberKey), true);
    Settings::setValue(QString::fromLatin1(kUserNameKey), user);
    // Never a secret in the settings file, and no password anywhere.
    if (Settings::contains(QString::fromLatin1(kLegacyPasswordKey)))
        Settings::remove(QString::fromLatin1(kLegacyPasswordKey));
    if (user.isEmpty() || _youtubeUpload->refreshToken().isEmpty())
        return;
    const QJsonObject secret{{QStringLiteral("refresh_token"), _youtubeUpload->refreshToken()}};
    // Where no keyring answers the write fails and only the name stays remembered.
    sendaway::SecretStore::write(this, keyringKey(user),
                                 QString::fromUtf8(QJsonDocument(secret).toJson(QJsonDocument::Compact)));
}

// ---------------------------------------------------------------------------------------
// Signing in

void LXYoutubeShareWindowController::enableLogin(bool on) {
    _userNameField->setEnabled(on);
    _remenberUserNameBtn->setBEnabled(on);
    _loginBtn->setBEnabled(on);
}

void LXYoutubeShareWindowController::login(LXButton *) {
    if (!_loginBtn->bEnabled())
        return; // a sign-in is already running
    _loginResultMsg->setTextColor(sheetkit::kSoftText);
    _loginResultMsg->setTextTitle(localizedString(QStringLiteral("Lan_loginStr"), QStringLiteral("login.")));
    _loginIndicator->show();
    _loginIndicator->startAnimation();
    const QString user = stringByTrimSpace(_userNameField->text());
    // A refresh token signs in only the account it was issued to.
    if (user != _refreshTokenUser) {
        _youtubeUpload->setRefreshToken(QString());
        _refreshTokenUser.clear();
    }
    _youtubeUpload->setUserID(user);
    _youtubeUpload->clientLogin();
    if (_youtubeUpload->refreshToken().isEmpty())
        _loginResultMsg->setTextTitle(localizedString(QStringLiteral("Lan_Browser_SignIn"),
                                                      QStringLiteral("Sign in with Google in your web browser...")));
    enableLogin(false);
}

void LXYoutubeShareWindowController::successSignedIn(bool) {
    _loginIndicator->stopAnimation();
    _loginIndicator->hide();
    _loginResultMsg->setTextTitle(QString());
    if (_remenberUserNameBtn->bChecked())
        writeAccountInformation();
    _refreshTokenUser = _youtubeUpload->userID();
    gotoYoutubeSettingView();
    _messageField->setTextTitle(QString());
    _upvelleLoginedName->setTextTitle(_youtubeUpload->userID());
    updateCategoryMenu();
}

void LXYoutubeShareWindowController::failedConnectError(bool, const sendaway::ServiceError &error) {
    failedConnectErrorMsg(false, error.userInfo().value(QStringLiteral("NSLocalizedDescription")).toString());
}

void LXYoutubeShareWindowController::failedConnectErrorMsg(bool, const QString &message) {
    _loginResultMsg->setTextColor(sheetkit::kErrorText);
    _loginResultMsg->setTextTitle(message);
    _loginResultMsg->setToolTip(message);
    _loginIndicator->stopAnimation();
    _loginIndicator->hide();
    enableLogin(true);
}

void LXYoutubeShareWindowController::changeUserName(LXButton *) {
    _youtubeUpload->setRefreshToken(QString());
    _refreshTokenUser.clear();
    gotoLoginView();
    enableLogin(true);
}

// ---------------------------------------------------------------------------------------
// Categories

QString LXYoutubeShareWindowController::loadingText() const {
    return localizedString(QStringLiteral("Lan_loadingStr"), QStringLiteral("loading."));
}

void LXYoutubeShareWindowController::setCategoryItems(const std::vector<CategoryItem> &items) {
    _categoryMenu = items;
    _hasCategoryMenu = true;
    QStringList titles;
    for (const auto &i : items)
        titles << i.title;
    _categoryPopupBtn->initItemsSelectIndex(titles, 0);
    _categoryPopupBtn->updateItemWithStrValue(titles.value(0));
}

bool LXYoutubeShareWindowController::inValidCategory() const {
    if (!_hasCategoryMenu || _categoryMenu.empty())
        return true;
    return _categoryMenu.size() == 1 && _categoryMenu.front().title == loadingText();
}

void LXYoutubeShareWindowController::updateCategoryMenu() {
    // The pop-up's own items go first, so every call reloads the categories.
    _categoryPopupBtn->initItemsSelectIndex({}, 0);
    _categoryPopupBtn->updateItemWithStrValue(QString());
    _hasCategoryMenu = false;
    if (!inValidCategory())
        return;
    const QString loading = loadingText();
    setCategoryItems({{loading, loading}});
    _updateCagegoryIndicator->show();
    _updateCagegoryIndicator->startAnimation();
    _youtubeUpload->fetchStandardCategories();
    _btnPublish->setBEnabled(false);
}

void LXYoutubeShareWindowController::updateCategory(const std::optional<sendaway::ServiceError> &error) {
    _updateCagegoryIndicator->stopAnimation();
    _updateCagegoryIndicator->hide();
    if (error) {
        _messageField->setTextTitle(
            localizedString(QStringLiteral("Lan_Failed_to_load_categoryStr"), QStringLiteral("load category.")));
        _messageField->setToolTip(error->localizedDescription);
        return;
    }
    std::vector<CategoryItem> items;
    for (const UpvelleCategory &c : _youtubeUpload->categoryArr())
        items.push_back({c.labelDesc, c.termDesc});
    setCategoryItems(items);
    _btnPublish->setBEnabled(true);
}

QString LXYoutubeShareWindowController::selectedCategoryTerm() const {
    const int i = _categoryPopupBtn->selectIndex();
    if (!_hasCategoryMenu || i < 0 || i >= int(_categoryMenu.size()))
        return {};
    return _categoryMenu[size_t(i)].representedObject;
}

void LXYoutubeShareWindowController::itemSelectAtIndex(LXPopUpButton *, int index) {
    if (index >= 0 && index < int(_categoryMenu.size()))
        _categoryPopupBtn->updateItemWithStrValue(_categoryMenu[size_t(index)].title);
}

// ---------------------------------------------------------------------------------------
// Pages

void LXYoutubeShareWindowController::showPage(Page page, double height) {
    QWidget *from = _page == Page::Login ? _loginView : _page == Page::Setting ? _settingView : _buildingView;
    QWidget *to = page == Page::Login ? _loginView : page == Page::Setting ? _settingView : _buildingView;
    _page = page;
    sheetkit::switchPage(this, from, to, height);
}

void LXYoutubeShareWindowController::gotoLoginView() {
    showPage(Page::Login, kLoginHeight);
    _loginIndicator->hide();
}

void LXYoutubeShareWindowController::gotoYoutubeSettingView() { showPage(Page::Setting, kSettingHeight); }

void LXYoutubeShareWindowController::gotoBuildingView() { showPage(Page::Building, kBuildingHeight); }

// ---------------------------------------------------------------------------------------
// Publishing and uploading

void LXYoutubeShareWindowController::publish(LXButton *) {
    if (!_btnPublish->bEnabled())
        return;
    gotoBuildingView();
    setIsUploading(false);
    conversionStarted();
    if (_exportWinDelegate)
        _exportWinDelegate->startPublish(this);
    _exportFilePath.clear();
    _exportFormat.clear();
    _exportResolution = QSizeF(1280, 720);
}

void LXYoutubeShareWindowController::closeWindow() {
    if (_youtubeUpload)
        _youtubeUpload->cancelLogin();
    if (_loginIndicator) {
        _loginIndicator->stopAnimation();
        _loginIndicator->hide();
    }
    LXExportWindowController::closeWindow();
}

void LXYoutubeShareWindowController::finishedConvert(const QString &path) {
    if (exportState() == ExportState::Closed)
        return;
    // Asked whether to cancel while the conversion ended: the answer decides first.
    if (holdHandOffWhileConfirming(path))
        return;
    _youtubeUpload->setFilePath(path);
    _exportFormat.clear();
    _exportFilePath.clear();
    uploadToUpvelle();
}

void LXYoutubeShareWindowController::uploadToUpvelle() {
    exportAtPercent(0);
    _progressText->setTextTitle(
        localizedString(QStringLiteral("Lan_Prepare uploadingStr"), QStringLiteral("Prepare uploading.")));
    _leaveTimeTip->setTextTitle(QString());
    setIsUploading(true);
    setExportState(ExportState::Converting);
    updateYoutubeProperty();
    _beginUpload = QDateTime::currentDateTimeUtc();
    QPointer<Upvelle> client(_youtubeUpload);
    foundation::MainThread::run([client] {
        if (client)
            client->startUploadFile();
    });
}

void LXYoutubeShareWindowController::updateYoutubeProperty() {
    const QString exe = executableName();
    QString title = stringByTrimSpace(_titleField->text());
    if (title.isEmpty())
        title =
            formatString(localizedString(QStringLiteral("Lan_Title_HereStr"), QStringLiteral("Title Here.")), {exe});
    _youtubeUpload->setTitle(title);
    QString keywords = stringByTrimSpace(_keyWordField->text());
    if (keywords.isEmpty())
        keywords = exe;
    _youtubeUpload->setKeyWords(keywords);
    QString description = stringByTrimSpace(_descStrTextView->toPlainText());
    if (description.isEmpty())
        description = localizedString(QStringLiteral("Lan_Add_Title_aobutStr"), QStringLiteral("Title about."));
    _youtubeUpload->setDescStr(description);
    _youtubeUpload->setCategory(selectedCategoryTerm());
    _youtubeUpload->setIsPrivate(_isPrivateBtn->bChecked());
}

void LXYoutubeShareWindowController::uploadIndicatorWithCurValueMinValueMaxValue(double cur, double, double max) {
    if (!isUploading() || max <= 0)
        return;
    const double f = std::clamp(cur / max, 0.0, 1.0);
    const int p = int(std::trunc(100.0 * f));
    exportAtPercent(p);
    _progressText->setTextTitle(
        formatString(localizedString(QStringLiteral("Lan_Uploading_is_ProcessingStr"), QStringLiteral("Uploading.")),
                     {QString::number(p), QStringLiteral("%")}));
    const double t = std::max(0.0, _beginUpload.msecsTo(QDateTime::currentDateTimeUtc()) / 1000.0);
    const QString format = localizedString(QStringLiteral("Lan_TimeNeed"), QStringLiteral("Uploading."));
    // Nothing sent yet: the remaining time is not known.
    const QString left = f > 0 ? timeToFormatString(int64_t(std::trunc((1.0 - f) * t / f))) : QStringLiteral("--");
    _leaveTimeTip->setTextTitle(formatString(format, {timeToFormatString(int64_t(std::trunc(t))), left}));
    if (p >= 100)
        _cancelButton->setBEnabled(false);
}

void LXYoutubeShareWindowController::cancelExport(LXButton *sender) {
    if (!isUploading()) {
        LXExportWindowController::cancelExport(sender);
        return;
    }
    if (sender)
        sender->setBEnabled(false);
    cancelUpload();
    if (sender && exportState() != ExportState::Closed)
        sender->setBEnabled(true);
}

void LXYoutubeShareWindowController::cancelUpload() {
    _youtubeUpload->pauseUploadFile();
    const QString uploading = localizedString(QStringLiteral("Lan_uploadingStr"), QStringLiteral("uploading"));
    foundation::AlertRequest request;
    request.title = formatString(localizedString(QStringLiteral("Lan_Do_You_ReallyStr"),
                                                 QStringLiteral("Do you really want to cancel the movie %@?.")),
                                 {uploading});
    request.defaultButton = localizedString(QStringLiteral("Lan_Yes"), QStringLiteral("Yes."));
    request.alternateButton = localizedString(QStringLiteral("Lan_No"), QStringLiteral("No."));
    request.message = formatString(localizedString(QStringLiteral("Lan_Choose_yesStr"),
                                                   QStringLiteral("Choose 'Yes' will terminate the movie %@.")),
                                   {uploading});
    // Yes stops the upload for good: a dismissed question keeps it going.
    request.escapeButton = foundation::AlertButton::Alternate;
    QPointer<LXYoutubeShareWindowController> self(this);
    foundation::Alerts::showSheet(this, request, [self](foundation::AlertButton b) {
        if (!self)
            return;
        if (b == foundation::AlertButton::Default) {
            self->_youtubeUpload->stopUploadFile();
            self->setIsUploading(false);
            self->closeWindow();
        } else {
            self->_youtubeUpload->resumeUploadFile();
        }
    });
}

void LXYoutubeShareWindowController::uploadErrorEntryDesc(const std::optional<sendaway::ServiceError> &error,
                                                          const QString &link) {
    setIsUploading(false);
    emit uploadEnded(!error, error ? error->localizedDescription : link);
    closeWindow();
    QPointer<LXYoutubeShareWindowController> self(this);
    foundation::MainThread::post([self, error, link] {
        if (!self)
            return;
        if (error)
            self->uploadFinishTips(error);
        else
            self->openLink(link);
    });
}

namespace {
QWidget *documentWindow(QWidget *fallback) {
    if (QWidget *w = QApplication::activeWindow())
        return w;
    return fallback ? fallback->window() : nullptr;
}
} // namespace

void LXYoutubeShareWindowController::uploadFinishTips(const std::optional<sendaway::ServiceError> &error) {
    foundation::AlertRequest request;
    request.title = QStringLiteral("Youtube");
    request.defaultButton = localizedString(QStringLiteral("Lan_OK"), QStringLiteral("OK!"));
    request.message =
        error ? error->localizedDescription
              : localizedString(QStringLiteral("Lan_Upload_successfullyStr"), QStringLiteral("Upload successfully!"));
    foundation::Alerts::showSheet(documentWindow(_parrentWin), request, {});
}

void LXYoutubeShareWindowController::openLink(const QString &link) {
    foundation::AlertRequest request;
    request.title =
        localizedString(QStringLiteral("Lan_Upload_successfullyStr"), QStringLiteral("Upload successfully!"));
    // The local export's "Show in Folder" wording does not fit a web page: the upload's
    // alert has its own button text and shows the video's address.
    request.defaultButton = localizedString(QStringLiteral("Lan_Open_Video_Page"), QStringLiteral("Open Video Page"));
    request.alternateButton = localizedString(QStringLiteral("Lan_Later"), QStringLiteral("Later."));
    request.message = link;
    foundation::Alerts::showSheet(documentWindow(_parrentWin), request, [link](foundation::AlertButton b) {
        if (b == foundation::AlertButton::Default && !link.isEmpty())
            foundation::Reveal::openUrl(QUrl(link));
    });
}

// ---------------------------------------------------------------------------------------
// Controls

void LXYoutubeShareWindowController::buttonUp(LXButton *button) {
    if (button == _loginBtn)
        login(button);
    else if (button == _cancelLoginBtn)
        cancel(button);
    else if (button == _btnChangeUser)
        changeUserName(button);
    else if (button == _btnPublish)
        publish(button);
    else if (button == _btnstopConvert)
        cancelExport(button);
    else
        LXExportWindowController::buttonUp(button);
}

void LXYoutubeShareWindowController::clickedButtonChecked(LXCheckButton *button, bool) {
    // The quality choices behave as one group: exactly one is on.
    if (button == m_Lan_Normal || button == m_Lan_Higher || button == m_Lan_Best) {
        for (LXCheckButton *b : {m_Lan_Normal, m_Lan_Higher, m_Lan_Best})
            b->setBChecked(b == button);
    }
}

QWidget *LXYoutubeShareWindowController::loginIndicator() const { return _loginIndicator; }
QWidget *LXYoutubeShareWindowController::updateCagegoryIndicator() const { return _updateCagegoryIndicator; }
