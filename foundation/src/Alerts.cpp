#include "foundation/Alerts.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
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

QMessageBox *Alerts::showSheet(QWidget *parent, const AlertRequest &request,
                               std::function<void(AlertButton)> done) {
    std::function<void(AlertButton, bool)> plain;
    if (done)
        plain = [done](AlertButton b, bool) { done(b); };
    return showSheet(parent, request, QString(), std::move(plain));
}

QMessageBox *Alerts::showSheet(QWidget *parent, const AlertRequest &request, const QString &checkBoxText,
                               std::function<void(AlertButton, bool)> done) {
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
    QPushButton *alt = request.alternateButton.isEmpty()
                           ? nullptr
                           : box->addButton(request.alternateButton, QMessageBox::RejectRole);
    QPushButton *other = request.otherButton.isEmpty()
                             ? nullptr
                             : box->addButton(request.otherButton, QMessageBox::DestructiveRole);
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

void Alerts::setResponderForTesting(Responder r) { responder() = std::move(r); }

} // namespace foundation
