#include "foundation/Alerts.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>

namespace foundation {
namespace {
Alerts::Responder &responder() {
    static Alerts::Responder r;
    return r;
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
    if (!request.message.isEmpty())
        box->setInformativeText(request.message);
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
