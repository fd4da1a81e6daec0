#include "foundation/NotificationCenter.h"

#include <QPointer>
#include <QThread>

namespace foundation {

NotificationCenter &NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

quint64 NotificationCenter::addObserver(QObject *context, const QString &name, Handler handler) {
    Q_ASSERT(context);
    std::lock_guard lock(_lock);
    const quint64 id = _nextId++;
    Entry e{id, context, name, std::make_shared<Handler>(std::move(handler)), {}};
    e.destroyedConnection =
        QObject::connect(context, &QObject::destroyed, [this, context] { removeObserver(context); });
    _entries.push_back(std::move(e));
    return id;
}

void NotificationCenter::removeObserver(quint64 id) {
    std::lock_guard lock(_lock);
    for (auto it = _entries.begin(); it != _entries.end(); ++it) {
        if (it->id == id) {
            QObject::disconnect(it->destroyedConnection);
            _entries.erase(it);
            return;
        }
    }
}

void NotificationCenter::removeObserver(QObject *context) {
    std::lock_guard lock(_lock);
    std::erase_if(_entries, [context](const Entry &e) {
        if (e.context != context)
            return false;
        QObject::disconnect(e.destroyedConnection);
        return true;
    });
}

void NotificationCenter::post(const QString &name, const QVariantMap &userInfo) {
    struct Target {
        QPointer<QObject> context;
        std::shared_ptr<Handler> handler;
    };
    std::vector<Target> targets;
    {
        std::lock_guard lock(_lock);
        for (const Entry &e : _entries)
            if (e.name == name)
                targets.push_back({e.context, e.handler});
    }
    for (const Target &t : targets) {
        QObject *ctx = t.context.data();
        if (!ctx)
            continue;
        if (ctx->thread() == QThread::currentThread()) {
            (*t.handler)(name, userInfo);
        } else {
            auto handler = t.handler;
            QMetaObject::invokeMethod(
                ctx, [handler, name, userInfo] { (*handler)(name, userInfo); }, Qt::QueuedConnection);
        }
    }
}

int NotificationCenter::observerCount(const QString &name) const {
    std::lock_guard lock(_lock);
    int n = 0;
    for (const Entry &e : _entries)
        if (e.name == name)
            ++n;
    return n;
}

} // namespace foundation
