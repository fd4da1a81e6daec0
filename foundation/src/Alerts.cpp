#include "foundation/Alerts.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace foundation {
namespace {
Alerts::Responder &responder() {
    static Alerts::Responder r;
    return r;
}

// A run without spaces wider than this (a long file name) cannot wrap, and a message box
// cuts it at its edge; shown elided in the middle it keeps both its ends in sight.
constexpr int kLongestRun = 400;

QString elideLongRuns(const QString &text, const QFontMetrics &metrics, bool *elided) {
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString &line : lines) {
        QStringList runs = line.split(QLatin1Char(' '));
        for (QString &run : runs) {
            if (metrics.horizontalAdvance(run) > kLongestRun) {
                run = metrics.elidedText(run, Qt::ElideMiddle, kLongestRun);
                *elided = true;
            }
        }
        line = runs.join(QLatin1Char(' '));
    }
    return lines.join(QLatin1Char('\n'));
}
} // namespace

QMessageBox *Alerts::showSheet(QWidget *parent, const AlertRequest &request, std::function<void(AlertButton)> done) {
    std::function<void(AlertButton, bool)> plain;
    if (done)
        plain = [done](AlertButton b, bool) { done(b); };
    return showSheet(parent, request, QString(), std::move(plain));
}

namespace {

// A read-only field under the title, above the buttons: the whole text, selectable, and a
// stop of Tab, which a selectable label is not.
void addCopyableField(QMessageBox *box, const QString &text, const QString &name) {
    auto *field = new QLineEdit(text, box);
    field->setObjectName(QStringLiteral("copyableText"));
    field->setReadOnly(true);
    field->setAccessibleName(name);
    field->setCursorPosition(0);
    field->setMinimumWidth(std::min(field->fontMetrics().horizontalAdvance(text) + 16, kLongestRun));
    auto *grid = qobject_cast<QGridLayout *>(box->layout());
    auto *buttons = box->findChild<QDialogButtonBox *>();
    auto *title = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
    const int buttonsAt = grid && buttons ? grid->indexOf(buttons) : -1;
    const int titleAt = grid && title ? grid->indexOf(title) : -1;
    if (buttonsAt < 0 || titleAt < 0) {
        box->setInformativeText(text);
        delete field;
        return;
    }
    int row = 0, column = 0, rows = 0, columns = 0, titleRow = 0, titleColumn = 0;
    grid->getItemPosition(buttonsAt, &row, &column, &rows, &columns);
    grid->getItemPosition(titleAt, &titleRow, &titleColumn, &rows, &rows);
    grid->removeWidget(buttons);
    grid->addWidget(field, row, titleColumn);
    grid->addWidget(buttons, row + 1, column, 1, columns);
}

QMessageBox *buildSheet(QWidget *parent, const AlertRequest &request, const QString &checkBoxText,
                        std::function<void(AlertButton, bool)> done, const QString &copyable,
                        const QString &copyableName) {
    if (responder()) {
        if (auto answer = responder()(request)) {
            if (done)
                done(*answer, false);
            return nullptr;
        }
    }
    auto *box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    box->setIcon(QMessageBox::Warning);
    box->setText(request.title);
    if (!request.message.isEmpty()) {
        bool elided = false;
        box->setInformativeText(elideLongRuns(request.message, box->fontMetrics(), &elided));
        // The whole text stays readable (and selectable) in the details, which wrap anywhere.
        if (elided)
            box->setDetailedText(request.message);
    }
    QPushButton *def = box->addButton(request.defaultButton, QMessageBox::AcceptRole);
    QPushButton *alt =
        request.alternateButton.isEmpty() ? nullptr : box->addButton(request.alternateButton, QMessageBox::RejectRole);
    QPushButton *other =
        request.otherButton.isEmpty() ? nullptr : box->addButton(request.otherButton, QMessageBox::DestructiveRole);
    box->setDefaultButton(def);
    QCheckBox *check = nullptr;
    if (!checkBoxText.isEmpty()) {
        check = new QCheckBox(checkBoxText, box);
        box->setCheckBox(check);
    }
    QPushButton *escape = check && alt ? alt : def;
    if (request.escapeButton == AlertButton::Alternate && alt)
        escape = alt;
    else if (request.escapeButton == AlertButton::Other && other)
        escape = other;
    else if (request.escapeButton == AlertButton::Default)
        escape = def;
    box->setEscapeButton(escape);
    if (!copyable.isEmpty())
        addCopyableField(box, copyable, copyableName);
    // Answered when the box ends, however it ends: closing its window clicks no button
    // (and emits no buttonClicked), so that counts as the escape answer.
    QObject::connect(box, &QDialog::finished, box, [=](int) {
        if (!done)
            return;
        QAbstractButton *b = box->clickedButton();
        if (!b)
            b = escape;
        const bool ticked = check && check->isChecked();
        if (b == alt)
            done(AlertButton::Alternate, ticked);
        else if (other && b == other)
            done(AlertButton::Other, ticked);
        else
            done(AlertButton::Default, ticked);
    });
    box->open();
    return box;
}

} // namespace

QMessageBox *Alerts::showSheet(QWidget *parent, const AlertRequest &request, const QString &checkBoxText,
                               std::function<void(AlertButton, bool)> done) {
    return buildSheet(parent, request, checkBoxText, std::move(done), QString(), QString());
}

QMessageBox *Alerts::showSheetWithCopyableText(QWidget *parent, const AlertRequest &request, const QString &copyable,
                                               const QString &copyableName, std::function<void(AlertButton)> done) {
    std::function<void(AlertButton, bool)> plain;
    if (done)
        plain = [done](AlertButton b, bool) { done(b); };
    return buildSheet(parent, request, QString(), std::move(plain), copyable, copyableName);
}

void Alerts::setResponderForTesting(Responder r) { responder() = std::move(r); }

} // namespace foundation
