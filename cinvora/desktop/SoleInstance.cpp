#include "SoleInstance.h"

#include <foundation/Log.h>

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>

namespace {
// Long enough for a window that is busy starting up itself (its queue is read once its
// event loop runs), short enough that a hung owner does not keep the launcher waiting.
constexpr int kHandOffTimeoutMs = 15000;
} // namespace

SoleInstance::SoleInstance(const QDBusConnection &bus, QObject *parent) : QObject(parent), _bus(bus) {}

SoleInstance::~SoleInstance() { release(); }

SoleInstance::Role SoleInstance::claim(const QStringList &files) {
    if (!_bus.isConnected() || !_bus.interface())
        return Role::Alone;
    // The object is in place before the name is taken: a start that finds the name owned
    // may call at once.
    if (!_registered)
        _registered = _bus.registerObject(objectPath(), this, QDBusConnection::ExportScriptableSlots);
    if (!_registered)
        return Role::Alone;
    // Two tries: the owner may end between our finding it and our call.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> taken = _bus.interface()->registerService(
            serviceName(), QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
        if (taken.isValid() && taken.value() == QDBusConnectionInterface::ServiceRegistered) {
            _owner = true;
            return Role::First;
        }
        QDBusMessage call =
            QDBusMessage::createMethodCall(serviceName(), objectPath(), serviceName(), QStringLiteral("Open"));
        call << files;
        const QDBusMessage answer = _bus.call(call, QDBus::Block, kHandOffTimeoutMs);
        if (answer.type() == QDBusMessage::ReplyMessage)
            return Role::HandedOff;
        foundation::Log::line(
            QStringLiteral("The running window did not take the files: %1").arg(answer.errorMessage()));
    }
    return Role::Alone;
}

void SoleInstance::release() {
    if (_owner && _bus.isConnected() && _bus.interface())
        _bus.interface()->unregisterService(serviceName());
    _owner = false;
    if (_registered)
        _bus.unregisterObject(objectPath());
    _registered = false;
}

void SoleInstance::setReceiver(std::function<void(const QStringList &)> receiver) {
    _receiver = std::move(receiver);
    if (!_receiver)
        return;
    const QList<QStringList> early = std::exchange(_early, {});
    for (const QStringList &files : early)
        _receiver(files);
}

void SoleInstance::Open(const QStringList &files) {
    // Only absolute paths: the caller made them from its own working folder.
    QStringList absolute;
    for (const QString &f : files)
        if (f.startsWith(QLatin1Char('/')))
            absolute << f;
    if (_receiver)
        _receiver(absolute);
    else
        _early << absolute;
}
