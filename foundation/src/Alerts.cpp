#include "foundation/Alerts.h"

#include <QAbstractButton>
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
    if (responder()) {
        if (auto answer = responder()(request)) {
            if (done)
                done(*answer);
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
    box->setEscapeButton(def);
    QObject::connect(box, &QMessageBox::buttonClicked, box, [=](QAbstractButton *b) {
        if (!done)
            return;
        if (b == alt)
            done(AlertButton::Alternate);
        else if (other && b == other)
            done(AlertButton::Other);
        else
            done(AlertButton::Default);
    });
    box->open();
    return box;
}

void Alerts::setResponderForTesting(Responder r) { responder() = std::move(r); }

} // namespace foundation
