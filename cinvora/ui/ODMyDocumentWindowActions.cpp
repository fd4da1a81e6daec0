// The main window: its buttons, the export folder, sheets, keys, the application menu,
// feedback, closing, and the exchange of the list page and the editor page.
#include "FlipController.h"
#include "ODEditPage.h"
#include "ODMyDocumentWindow.h"
#include "ODPreviewView.h"
#include "vcOpenElsewhere.h"

#include <vcCommon.h>

#include <foundation/Alerts.h>
#include <foundation/BundleInfo.h>
#include <foundation/NotificationCenter.h>
#include <foundation/Strings.h>

#include <glazeform/LXCommon.h>
#include <glazeform/LXLabel.h>
#include <glazeform/LXSwitchButton.h>

#include <QCloseEvent>
#include <QKeyEvent>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QTimer>
#include <QMenu>
#include <QShortcut>
#include <QUrl>

#ifndef CINVORA_SUPPORT_MAIL
#define CINVORA_SUPPORT_MAIL ""
#endif
#ifndef CINVORA_SUPPORT_URL
#define CINVORA_SUPPORT_URL ""
#endif

namespace {

ODMyDocumentWindow::FolderChooser &folderChooser() {
    static ODMyDocumentWindow::FolderChooser chooser;
    return chooser;
}

ODMyDocumentWindow::FileChooser &fileChooser() {
    static ODMyDocumentWindow::FileChooser chooser;
    return chooser;
}

} // namespace

void ODMyDocumentWindow::setFolderChooserForTesting(FolderChooser chooser) { folderChooser() = std::move(chooser); }

void ODMyDocumentWindow::setFileChooserForTesting(FileChooser chooser) { fileChooser() = std::move(chooser); }

// ---- Buttons --------------------------------------------------------------------------

void ODMyDocumentWindow::buttonUp(LXButton *button) {
    if (isCategoryTypeButton(button)) {
        const auto it = std::find(_categoryButtons.begin(), _categoryButtons.end(), button);
        _document->categoryButtonUp(int(it - _categoryButtons.begin()));
        updateMediaTypeButtonStatus();
    } else if (button == _wrAddMediaBtn) {
        addFileToList();
    } else if (button == _wrRemoveAllBtn) {
        removeAllFromList();
    } else if (button == _wrBrowserBtn) {
        revealExportFolder();
    } else if (button == _wrConvertBtn) {
        if (_wrConvertBtn->bEnabled())
            convertAllInWR();
    } else if (button == _settingBtn) {
        showSettingController();
    } else if (button == _feedbackBtn) {
        sendMail();
    } else if (button == _supportBtn) {
        facebookSupport();
    } else if (button == _appMenuBtn) {
        openApplicationMenu();
    }
}

void ODMyDocumentWindow::openApplicationMenu() {
    if (_appMenu->isVisible() || isEditPageShown())
        return;
    _appMenu->popup(_appMenuBtn->mapToGlobal(QPoint(0, _appMenuBtn->height() + 6)));
    // Opened by a key or a press alike, the menu answers the arrows at once.
    if (!_appMenu->actions().isEmpty())
        _appMenu->setActiveAction(_appMenu->actions().constFirst());
}

void ODMyDocumentWindow::addFileToList() { _document->addFileToList(); }

void ODMyDocumentWindow::removeAllFromList() { _document->deleteAllFromList(true); }

void ODMyDocumentWindow::revealExportFolder() { vcOpenElsewhere::showInFolder(this, vcCommon::exportMovieFolder()); }

void ODMyDocumentWindow::convertAllInWR() { _document->convertAllInWR(); }

// ---- The export folder ------------------------------------------------------------------

void ODMyDocumentWindow::fillExportFolderPopup() {
    const QString folder = vcCommon::exportMovieFolder();
    _wrVideoPathLbl->setTextTitle(folder);
    _selectDirectoryBtn->setToolTip(folder);
    _selectDirectoryBtn->initItemsSelectIndex({folder, tr("Others...")}, 0);
    // The label draws the folder; the pop-up's own text would sit under it.
    _selectDirectoryBtn->updateItemWithStrValue(QString());
    // A finished row's output lies in the folder it was made for.
    if (_comboBoxTableView)
        _comboBoxTableView->refreshVisibleRows();
}

void ODMyDocumentWindow::itemSelectAtIndex(LXPopUpButton *button, int index) {
    if (button == _selectDirectoryBtn)
        exportFolderItemChosen(index);
}

void ODMyDocumentWindow::exportFolderItemChosen(int index) {
    if (index == 0) {
        fillExportFolderPopup();
        return;
    }
    const QString start = _wrVideoPathLbl->textTitle();
    auto apply = [this](const QString &path) {
        if (!path.isEmpty()) {
            vcCommon::setExportMovieFolder(path);
            vcCommon::saveBookmark(path);
        }
        fillExportFolderPopup();
    };
    if (folderChooser()) {
        apply(folderChooser()(start).value_or(QString()));
        return;
    }
    auto *dialog = new QFileDialog(this, tr("Choose the export folder"), start);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::fileSelected, this, apply);
    connect(dialog, &QFileDialog::rejected, this, [this] { fillExportFolderPopup(); });
    dialog->open();
}

// ---- Files from the command line -----------------------------------------------------------

QStringList ODMyDocumentWindow::filesFromArguments(const QStringList &arguments) {
    QStringList files;
    for (const QString &arg : arguments) {
        if (arg.isEmpty() || arg.startsWith('-'))
            continue;
        const QUrl url(arg);
        const QString path = url.isLocalFile() ? url.toLocalFile() : arg;
        // A name that no file answers to is kept: the intake's message names it with the
        // other refusals.
        files << QFileInfo(path).absoluteFilePath();
    }
    return files;
}

void ODMyDocumentWindow::addFilesAfterRestore(const QStringList &files) {
    if (files.isEmpty())
        return;
    auto *waiter = new QTimer(this);
    waiter->setInterval(50);
    connect(waiter, &QTimer::timeout, this, [this, waiter, files] {
        if (_document->isAdding())
            return;
        waiter->stop();
        waiter->deleteLater();
        foundation::NotificationCenter::defaultCenter().post(QStringLiteral("addFilesKey"),
                                                             {{QStringLiteral("addFiles"), files}});
    });
    waiter->start();
}

void ODMyDocumentWindow::openFromAnotherStart(const QStringList &files) {
    if (_document->isShutDown())
        return;
    addFilesAfterRestore(files);
    bringToFront();
}

void ODMyDocumentWindow::bringToFront() {
    if (isMinimized())
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    // On X11 this is the window manager's _NET_ACTIVE_WINDOW request.
    activateWindow();
}

void ODMyDocumentWindow::quitWithoutAsking() {
    if (_document->isShutDown())
        return;
    // A quit by signal is the session ending (a logout, a shutdown): the conversions keep
    // their finished work for the next start.
    _document->suspendAll();
    // A list still being restored is saved with the entries not restored yet, as they were.
    _document->saveHistoryFile();
    _closeApproved = true;
    QCoreApplication::exit(0);
}

// ---- Sheets -----------------------------------------------------------------------------

void ODMyDocumentWindow::askQuestion(const foundation::AlertRequest &request,
                                     std::function<void(foundation::AlertButton)> done) {
    foundation::Alerts::showSheet(this, request, std::move(done));
}

void ODMyDocumentWindow::chooseFiles(const QStringList &extensions, std::function<void(QStringList)> done) {
    if (fileChooser()) {
        if (const auto chosen = fileChooser()(extensions))
            done(*chosen);
        return;
    }
    QStringList patterns;
    for (const QString &ext : extensions)
        patterns << "*." + ext << "*." + ext.toUpper();
    auto *dialog = new QFileDialog(this, tr("Add files"), vcCommon::addFilesFolder());
    dialog->setFileMode(QFileDialog::ExistingFiles);
    dialog->setNameFilter(tr("Media files (%1)").arg(patterns.join(' ')));
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QFileDialog::filesSelected, this, [dialog, done](const QStringList &files) {
        dialog->hide();
        if (!files.isEmpty())
            vcCommon::setLastAddFilesFolder(QFileInfo(files.first()).absolutePath());
        done(files);
    });
    dialog->open();
}

void ODMyDocumentWindow::showSettingController() {
    if (_settingController) {
        _settingController->close();
        delete _settingController.data();
    }
    ODSettingController *sheet = ODSettingController::shareSettingController(this);
    sheet->setSettingControllerDelegate(this);
    // What the sheet changed shows in the window once it closes.
    connect(sheet, &QObject::destroyed, this, [this] {
        fillExportFolderPopup();
        _switchButton->setBOnStates(vcCommon::autoCheckStreamCopyWhenSameCodec());
    });
    _settingController = sheet;
}

std::optional<bool> ODMyDocumentWindow::canClearAllHistory() { return _document->canClearAllHistory(); }

void ODMyDocumentWindow::clearAllHistory() { _document->clearAllHistory(); }

void ODMyDocumentWindow::exportFolderChosen(const QString &path) {
    vcCommon::saveBookmark(path);
    fillExportFolderPopup();
}

// ---- Feedback and the application menu ----------------------------------------------------

QString ODMyDocumentWindow::mailbox() const {
    const QString maker = QStringLiteral(CINVORA_SUPPORT_MAIL);
    return maker.isEmpty() ? foundation::tr_(QStringLiteral("MAILTO")) : maker;
}

QString ODMyDocumentWindow::facebookLink() { return QStringLiteral(CINVORA_SUPPORT_URL); }

QString ODMyDocumentWindow::mailLink(const QString &address, const QString &subject, const QString &body) {
    const QString a = address.trimmed();
    const qsizetype at = a.indexOf('@');
    if (at <= 0 || at == a.size() - 1 || a.contains(' ') || a.contains('?') || a.contains('&'))
        return {};
    QString s = subject, b = body;
    s.replace(' ', QStringLiteral("%20"));
    b.replace(' ', QStringLiteral("%20"));
    return QStringLiteral("mailto:%1?subject=%2&body=%3").arg(a, s, b);
}

void ODMyDocumentWindow::sendMail() {
    const QString subject = tr("%1 Feedback").arg(foundation::BundleInfo::value(QStringLiteral("CFBundleExecutable")));
    const QString link = mailLink(mailbox(), subject, foundation::tr_(QStringLiteral("MAILBODY")));
    if (!link.isEmpty())
        vcOpenElsewhere::openUrl(this, QUrl(link, QUrl::TolerantMode));
}

void ODMyDocumentWindow::facebookSupport() {
    const QUrl url(facebookLink());
    if (url.isValid() && !url.isEmpty())
        vcOpenElsewhere::openUrl(this, url);
}

QStringList ODMyDocumentWindow::applicationMenuTitles() {
    const QString exe = foundation::BundleInfo::value(QStringLiteral("CFBundleExecutable"));
    return {exe, tr("About %1").arg(exe), tr("Hide %1").arg(exe), tr("Quit %1").arg(exe)};
}

void ODMyDocumentWindow::buildApplicationMenu() {
    const QStringList titles = applicationMenuTitles();
    _appMenu = new QMenu(titles.value(0), this);
    _appMenu->addAction(titles.value(1), this, [this] {
        const QString name = vcCommon::currentApplicationName();
        const QString version = foundation::BundleInfo::value(QStringLiteral("CFBundleShortVersionString"));
        foundation::AlertRequest about{QStringLiteral("%1 %2").arg(name, version),
                                       tr("A video and audio converter."),
                                       vcCommon::okStr(),
                                       {},
                                       {},
                                       {}};
        foundation::Alerts::showSheet(this, about, [](foundation::AlertButton) {});
    });
    _appMenu->addSeparator();
    // Also a key of the window, whether or not the menu is open.
    _openInPlayerWindowAction =
        _appMenu->addAction(openInPlayerWindowTitle(), this, [this] { openSelectedInPlayerWindow(); });
    _openInPlayerWindowAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return));
    _openInPlayerWindowAction->setShortcutContext(Qt::WindowShortcut);
    addAction(_openInPlayerWindowAction);
    _openInTrimEditorAction = _appMenu->addAction(openInTrimEditorTitle(), this, [this] { beginToEditMovie(); });
    _openInTrimEditorAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    _openInTrimEditorAction->setShortcutContext(Qt::WindowShortcut);
    addAction(_openInTrimEditorAction);
    _appMenu->addSeparator();
    _appMenu->addAction(titles.value(2), this, [this] { showMinimized(); });
    _appMenu->addSeparator();
    _appMenu->addAction(titles.value(3), this, [this] { close(); });
}

// ---- Keys -------------------------------------------------------------------------------

void ODMyDocumentWindow::buildShortcuts() {
    // Plain keys, live only while this window is the active one; each posts its
    // notification without an object, as the system-wide keys did.
    const std::pair<QKeySequence, const char *> keys[] = {
        {QKeySequence(Qt::Key_Delete), "globalPressDeleteKey"},
        {QKeySequence(Qt::Key_Backspace), "globalPressDeleteKey"},
        {QKeySequence(Qt::Key_Up), "globalPressUpKey"},
        {QKeySequence(Qt::Key_Down), "globalPressDownKey"},
        {QKeySequence(Qt::SHIFT | Qt::Key_Up), "globalPressShiftUpKey"},
        {QKeySequence(Qt::SHIFT | Qt::Key_Down), "globalPressShiftDownKey"},
        {QKeySequence::SelectAll, "globalPressSelectAllKey"},
        {QKeySequence(Qt::Key_Space), "globalSpaceDownKey"},
    };
    for (const auto &[sequence, name] : keys) {
        auto *shortcut = new QShortcut(sequence, this);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setAutoRepeat(true);
        shortcut->setEnabled(false);
        const QString notification = QString::fromLatin1(name);
        connect(shortcut, &QShortcut::activated, this, [this, notification] {
            // Keys do not act on the list under a sheet or on the editor page.
            if (!isEditPageShown() || notification == u"globalSpaceDownKey")
                foundation::NotificationCenter::defaultCenter().post(notification);
        });
        _hotKeys.push_back(shortcut);
    }
    auto *open = new QShortcut(addFilesKey(), this);
    connect(open, &QShortcut::activated, this, [this] {
        if (!isEditPageShown())
            addFileToList();
    });
    auto *quit = new QShortcut(QKeySequence::Quit, this);
    connect(quit, &QShortcut::activated, this, [this] { close(); });
    // The buttons' keys. Each acts as a press on its button does, and only on the list page.
    const std::pair<QKeySequence, LXButton *> buttonKeys[] = {
        {convertKey(), _wrConvertBtn},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Enter), _wrConvertBtn},
        {settingsKey(), _settingBtn},
        {helpKey(), _supportBtn},
    };
    for (const auto &[sequence, button] : buttonKeys) {
        auto *shortcut = new QShortcut(sequence, this);
        connect(shortcut, &QShortcut::activated, this, [this, target = button] {
            if (!isEditPageShown())
                target->performClick();
        });
    }
    for (const QKeySequence &sequence : {QKeySequence(Qt::Key_F10), QKeySequence(Qt::Key_Menu)}) {
        auto *menu = new QShortcut(sequence, this);
        connect(menu, &QShortcut::activated, this, [this] { openApplicationMenu(); });
    }
    // Each button's tool tip names its key.
    _wrAddMediaBtn->setKeyHint(addFilesKey());
    _wrConvertBtn->setKeyHint(convertKey());
    _settingBtn->setKeyHint(settingsKey());
    _supportBtn->setKeyHint(helpKey());
    _appMenuBtn->setKeyHint(QKeySequence(Qt::Key_F10));
}

QKeySequence ODMyDocumentWindow::addFilesKey() { return QKeySequence(Qt::CTRL | Qt::Key_O); }

QKeySequence ODMyDocumentWindow::convertKey() { return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Return); }

QKeySequence ODMyDocumentWindow::settingsKey() { return QKeySequence(Qt::CTRL | Qt::Key_Comma); }

QKeySequence ODMyDocumentWindow::helpKey() { return QKeySequence(Qt::Key_F1); }

void ODMyDocumentWindow::orderTabStops() {
    std::vector<QWidget *> stops{_wrAddMediaBtn, _wrRemoveAllBtn, _comboBoxTableView};
    stops.insert(stops.end(), _categoryButtons.begin(), _categoryButtons.end());
    stops.push_back(_thumbImageTableView);
    for (LXImageCellView *cell : _thumbImageTableView->cells())
        if (cell->bSelected())
            stops.push_back(cell->settingBtn());
    stops.insert(stops.end(), {_selectDirectoryBtn, _wrBrowserBtn, _switchButton, _wrConvertBtn, _settingBtn,
                               _supportBtn, _feedbackBtn, _appMenuBtn, _mainPreviewView});
    for (size_t i = 1; i < stops.size(); ++i)
        QWidget::setTabOrder(stops[i - 1], stops[i]);
}

bool ODMyDocumentWindow::eventFilter(QObject *watched, QEvent *event) {
    // The category buttons are one row: the arrows move along it, as in a tab bar.
    if (event->type() == QEvent::KeyPress && isCategoryTypeButton(watched)) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const int step = key->key() == Qt::Key_Left ? -1 : key->key() == Qt::Key_Right ? 1 : 0;
        if (step != 0 && key->modifiers() == Qt::NoModifier) {
            const auto it = std::find(_categoryButtons.begin(), _categoryButtons.end(), watched);
            const int next = int(it - _categoryButtons.begin()) + step;
            if (next >= 0 && next < int(_categoryButtons.size()))
                _categoryButtons[size_t(next)]->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool ODMyDocumentWindow::hotKeysRegistered() const { return _hotKeysOn; }

void ODMyDocumentWindow::setHotKeysRegistered(bool on) {
    _hotKeysOn = on;
    // On the editor page only the space bar is the window's: the list's keys would take the
    // arrows and Delete from the editor's menus and fields without doing anything.
    const bool listKeys = !isEditPageShown();
    for (QShortcut *s : _hotKeys)
        s->setEnabled(on && (listKeys || s->key() == QKeySequence(Qt::Key_Space)));
}

void ODMyDocumentWindow::changeEvent(QEvent *event) {
    if (event->type() == QEvent::ActivationChange) {
        const bool active = isActiveWindow();
        setHotKeysRegistered(active);
        if (!active)
            LXCommon::popupDownMenu();
    }
    QWidget::changeEvent(event);
}

void ODMyDocumentWindow::moveEvent(QMoveEvent *event) {
    LXCommon::popupDownMenu();
    QWidget::moveEvent(event);
}

// ---- Closing ----------------------------------------------------------------------------

void ODMyDocumentWindow::closeEvent(QCloseEvent *event) {
    if (!_closeApproved) {
        // A sheet answered at once approves the close from inside this call (closeWindow).
        _inCloseGuard = true;
        const bool now = _document->windowShouldClose();
        _inCloseGuard = false;
        if (now)
            _closeApproved = true;
    }
    if (_closeApproved) {
        // Nothing plays on in a window that has closed.
        _playerLetGo = true;
        releasePlayControl();
        event->accept();
    } else
        event->ignore();
}

void ODMyDocumentWindow::closeWindow() {
    _closeApproved = true;
    if (!_inCloseGuard)
        close();
}

// ---- Pages ------------------------------------------------------------------------------

bool ODMyDocumentWindow::isEditPageShown() const { return !_editPanelView->isHidden(); }

void ODMyDocumentWindow::startFlipAnimate() {
    FlipController::flipViewsFirstViewSecondViewDuration(this, _mainPanelView, _editPanelView,
                                                         FlipController::kDefaultDuration);
}

LXMediaEditController *ODMyDocumentWindow::mediaEditController() const { return _editPage->editor(); }

QString ODMyDocumentWindow::openInTrimEditorTitle() { return tr("Open in Trim Editor"); }

void ODMyDocumentWindow::beginToEditMovie() {
    if (isEditPageShown() || !_document->currentEditMovie())
        return;
    // The preview stops before the pages turn: one picture and one sound at a time.
    if (_mediaPlayController)
        _mediaPlayController->pauseWhenPlay();
    // The trim editor takes the editor page before the flip, so that the page turns in
    // with it; the list page turns away as it was, then its player stops showing and is
    // released.
    LXCommon::popupDownMenu();
    if (!_editPage->open(_document->currentEditMovie()))
        return;
    startFlipAnimate();
    releasePlayControl();
    _mainPreviewView->showItem(nullptr);
    setHotKeysRegistered(_hotKeysOn);
    // The keyboard went with the list page; the editor's keys (Right, End, ...) work at once.
    if (LXMediaEditController *editor = _editPage->editor())
        editor->focusFirstResponder();
}

void ODMyDocumentWindow::backToMainPage() {
    if (!isEditPageShown())
        return;
    _editPage->close();
    _mainPreviewView->showItem(_document->currentEditMovie());
    startFlipAnimate();
    setHotKeysRegistered(_hotKeysOn);
    // A fresh player for the current item, at its trim start, not playing.
    initPlayControl();
    previewMovieAutoPlay(_document->currentEditMovie(), false);
    seekPlayerToTrimStart();
    if (const vcTableCellViewPtr row = tableViewJobForRow(_comboBoxTableView, _document->currentIndex()))
        refreshRow(row);
    focusPlayer();
    _document->saveHistoryFile();
}
