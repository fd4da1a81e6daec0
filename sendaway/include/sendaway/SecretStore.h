#pragma once
// Secrets (passwords, refresh tokens) live in the desktop keyring, never in the settings
// file. The default backend is QtKeychain under the service name "Cinvora"; where no
// keyring answers (no Secret Service running) a write reports failure and the caller keeps
// nothing. There is deliberately no plain-text fallback.
//
// All calls are made on the main thread; the callbacks run there later (never inside the
// call), and not at all when `context` was destroyed meanwhile.
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace sendaway {

class SecretStore {
public:
    static constexpr const char *kService = "Cinvora";

    using WriteDone = std::function<void(bool stored)>;
    using ReadDone = std::function<void(std::optional<QString> secret)>;

    static void write(QObject *context, const QString &key, const QString &secret, WriteDone done = {});
    static void read(QObject *context, const QString &key, ReadDone done);
    static void remove(const QString &key);

    // A backend answers through the same callbacks; tests install an in-memory one to
    // follow the keyring path, or one that refuses like a missing Secret Service.
    class Backend {
    public:
        virtual ~Backend() = default;
        virtual void write(QObject *context, const QString &key, const QString &secret, WriteDone done) = 0;
        virtual void read(QObject *context, const QString &key, ReadDone done) = 0;
        virtual void remove(const QString &key) = 0;
    };
    // nullptr restores the desktop keyring.
    static void setBackendForTesting(std::shared_ptr<Backend> backend);
};

} // namespace sendaway
