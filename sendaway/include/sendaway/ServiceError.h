#pragma once
// What a service client reports when something failed: a domain ("youtube", "facebook",
// "network", "file"), a code (the HTTP status where there was one) and a text meant for the
// user (the "NSLocalizedDescription" of the sheets).
#include <QMetaType>
#include <QString>
#include <QVariantMap>

namespace sendaway {

struct ServiceError {
    QString domain;
    int code = 0;
    QString localizedDescription;

    // The user-info form the sheets read: {"NSLocalizedDescription": text}.
    QVariantMap userInfo() const { return {{QStringLiteral("NSLocalizedDescription"), localizedDescription}}; }
};

} // namespace sendaway

Q_DECLARE_METATYPE(sendaway::ServiceError)
