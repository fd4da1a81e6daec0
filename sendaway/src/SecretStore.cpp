#include "sendaway/SecretStore.h"

#include <foundation/Log.h>

#include <QPointer>
#include <mutex>
#include <qt6keychain/keychain.h>

namespace sendaway {
namespace {

class KeychainBackend final : public SecretStore::Backend {
public:
    void write(QObject *context, const QString &key, const QString &secret, SecretStore::WriteDone done) override {
        auto *job = new QKeychain::WritePasswordJob(QString::fromLatin1(SecretStore::kService));
        job->setAutoDelete(true);
        job->setInsecureFallback(false);
        job->setKey(key);
        job->setTextData(secret);
        QPointer<QObject> guard(context);
        QObject::connect(job, &QKeychain::Job::finished, [guard, done](QKeychain::Job *j) {
            if (j->error() != QKeychain::NoError)
                foundation::Log::debug(QStringLiteral("keyring write refused: %1").arg(j->errorString()));
            if (guard && done)
                done(j->error() == QKeychain::NoError);
        });
        job->start();
    }
    void read(QObject *context, const QString &key, SecretStore::ReadDone done) override {
        auto *job = new QKeychain::ReadPasswordJob(QString::fromLatin1(SecretStore::kService));
        job->setAutoDelete(true);
        job->setInsecureFallback(false);
        job->setKey(key);
        QPointer<QObject> guard(context);
        QObject::connect(job, &QKeychain::Job::finished, [guard, done](QKeychain::Job *j) {
            if (!guard || !done)
                return;
            auto *r = static_cast<QKeychain::ReadPasswordJob *>(j);
            if (r->error() == QKeychain::NoError)
                done(r->textData());
            else
                done(std::nullopt);
        });
        job->start();
    }
    void remove(const QString &key) override {
        auto *job = new QKeychain::DeletePasswordJob(QString::fromLatin1(SecretStore::kService));
        job->setAutoDelete(true);
        job->setInsecureFallback(false);
        job->setKey(key);
        job->start();
    }
};

std::mutex &backendLock() {
    static std::mutex m;
    return m;
}
std::shared_ptr<SecretStore::Backend> &installed() {
    static std::shared_ptr<SecretStore::Backend> b;
    return b;
}
std::shared_ptr<SecretStore::Backend> backend() {
    std::lock_guard lock(backendLock());
    if (!installed())
        installed() = std::make_shared<KeychainBackend>();
    return installed();
}

} // namespace

// Answers are always delivered later through the context's event queue, whatever the
// backend does, so a caller never sees its callback run inside its own call.
void SecretStore::write(QObject *context, const QString &key, const QString &secret, WriteDone done) {
    QPointer<QObject> guard(context);
    backend()->write(context, key, secret, [guard, done](bool stored) {
        if (guard && done)
            QMetaObject::invokeMethod(
                guard, [done, stored] { done(stored); }, Qt::QueuedConnection);
    });
}

void SecretStore::read(QObject *context, const QString &key, ReadDone done) {
    QPointer<QObject> guard(context);
    backend()->read(context, key, [guard, done](std::optional<QString> secret) {
        if (guard && done)
            QMetaObject::invokeMethod(
                guard, [done, secret] { done(secret); }, Qt::QueuedConnection);
    });
}

void SecretStore::remove(const QString &key) { backend()->remove(key); }

void SecretStore::setBackendForTesting(std::shared_ptr<Backend> b) {
    std::lock_guard lock(backendLock());
    installed() = std::move(b);
}

} // namespace sendaway
