#pragma once
// Process-wide named notifications with a user-info map.
// An observer is tied to a context QObject: it is removed when the context is destroyed,
// and it runs on the context's thread (directly when posted there, queued otherwise),
// so a window never receives a call from another thread or after it is gone.
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <mutex>
#include <vector>

namespace foundation {

class NotificationCenter {
public:
    using Handler = std::function<void(const QString &name, const QVariantMap &userInfo)>;

    static NotificationCenter &defaultCenter();

    // Thread-safe. Returns an id usable with removeObserver(id).
    quint64 addObserver(QObject *context, const QString &name, Handler handler);
    void removeObserver(quint64 id);
    // Removes every observer registered with this context.
    void removeObserver(QObject *context);
    // Thread-safe; see the class comment for where handlers run.
    void post(const QString &name, const QVariantMap &userInfo = {});

    int observerCount(const QString &name) const;

private:
    NotificationCenter() = default;
    struct Entry {
        quint64 id;
        QObject *context;
        QString name;
        std::shared_ptr<Handler> handler;
        QMetaObject::Connection destroyedConnection;
    };
    mutable std::mutex _lock;
    std::vector<Entry> _entries;
    quint64 _nextId = 1;
};

} // namespace foundation
