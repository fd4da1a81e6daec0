// The Graph API side of the stand-in: device login, the user and the Pages they manage,
// upload sessions and publishing on a Page, with the refusals the documentation lists.
#include "StandInServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>

namespace standin {

namespace {
// What a Page publish needs of the person who granted the token.
const QStringList kPagePublishing{QStringLiteral("pages_show_list"), QStringLiteral("pages_read_engagement"),
                                  QStringLiteral("pages_manage_posts")};
// Permissions an app may request at all; anything else is an invalid scope.
const QStringList kKnownPermissions{QStringLiteral("public_profile"), QStringLiteral("email"),
                                    QStringLiteral("pages_show_list"), QStringLiteral("pages_read_engagement"),
                                    QStringLiteral("pages_manage_posts")};
QString code(int n) {
    static const char a[] = "ABCDEFGHJKLMNPQRSTUVWXYZ23456789";
    QString s;
    for (int i = 0; i < n; ++i)
        s += QLatin1Char(a[QRandomGenerator::global()->bounded(int(sizeof(a) - 1))]);
    return s;
}
} // namespace

void StandInServer::respondGraphError(Conn &c, int status, int code, const QString &message, int subcode) {
    QJsonObject e{{"message", message}, {"type", "OAuthException"}, {"code", code}};
    if (subcode)
        e.insert("error_subcode", subcode);
    respondJson(c, status, {{"error", e}});
}

bool StandInServer::facebookRoute(Conn &c, const QUrlQuery &form) {
    const QString p = c.path;
    if (c.method == "GET" && p == u"/device") {
        // The person enters (here: follows) the code on Facebook's page and confirms.
        const QString userCode = c.query.queryItemValue("user_code", QUrl::FullyDecoded);
        for (auto it = _deviceCodes.begin(); it != _deviceCodes.end(); ++it)
            if (it->userCode == userCode && !denyAuthorization) {
                it->confirmed = true;
                respond(c, 200, "<html><body>Success! You are now logged in.</body></html>", {}, "text/html");
                return true;
            }
        respond(c, 200, "<html><body>Enter the code shown on your device.</body></html>", {}, "text/html");
        return true;
    }
    if (c.method == "POST" && p == u"/graph/device/login")
        return deviceLogin(c, form), true;
    if (c.method == "POST" && p == u"/graph/device/login_status")
        return deviceLoginStatus(c, form), true;

    if (c.method == "GET" && p == u"/graph/me") {
        if (tokenOf(c, "facebook").isEmpty())
            return respondGraphError(c, 400, 190, "Invalid OAuth access token."), true;
        QJsonObject me{{"id", "1001"}};
        if (!facebookNameMissing)
            me.insert("name", facebookName);
        return respondJson(c, 200, me), true;
    }
    if (c.method == "GET" && p == u"/graph/me/accounts") {
        const QString token = tokenOf(c, "facebook");
        if (token.isEmpty())
            return respondGraphError(c, 400, 190, "Invalid OAuth access token."), true;
        const Token t = _accessTokens.value(token);
        if (!t.pageId.isEmpty())
            return respondGraphError(c, 400, 100,
                                     "(#100) Tried accessing nonexisting field (accounts) on node type (Page)"),
                   true;
        if (!t.scopes.contains("pages_show_list"))
            return respondGraphError(c, 403, 200, "(#200) Requires pages_show_list permission to manage the object"),
                   true;
        QJsonArray data;
        for (const Page &page : facebookPages) {
            // A Page token carries the user's permissions, bound to the Page.
            const QString pageToken = issue("EAAP");
            _accessTokens.insert(pageToken, {t.expires, t.scopes, page.id});
            data.append(QJsonObject{{"id", page.id},
                                    {"name", page.name},
                                    {"access_token", pageToken},
                                    {"tasks", QJsonArray::fromStringList(page.tasks)}});
        }
        return respondJson(c, 200, {{"data", data}}), true;
    }
    if (c.method == "POST" && p == QStringLiteral("/graph/%1/uploads").arg(facebookAppId)) {
        const QString token = tokenOf(c, "facebook");
        if (token.isEmpty())
            return respondGraphError(c, 400, 190, "Invalid OAuth access token."), true;
        const qint64 total = c.query.queryItemValue("file_length").toLongLong();
        if (total <= 0 || c.query.queryItemValue("file_name").isEmpty())
            return respondGraphError(c, 400, 100, "(#100) file_length and file_name are required"), true;
        const QString type = c.query.queryItemValue("file_type", QUrl::FullyDecoded);
        if (!QStringList{"application/pdf", "image/jpeg", "image/jpg", "image/png", "video/mp4"}.contains(type))
            return respondGraphError(c, 400, 100,
                                     "(#100) Param file_type must be one of {application/pdf, image/jpeg, image/jpg, "
                                     "image/png, video/mp4}"),
                   true;
        auto u = std::make_shared<Upload>();
        u->service = "facebook";
        u->id = QStringLiteral("upload:%1").arg(++_serial);
        u->total = total;
        _uploads.push_back(u);
        return respondJson(c, 200, {{"id", u->id}}), true;
    }
    if (c.method == "GET" && p.startsWith(u"/graph/upload:")) {
        const QString id = p.mid(QStringLiteral("/graph/").size());
        if (tokenOf(c, "facebook").isEmpty())
            return respondGraphError(c, 400, 190, "Invalid OAuth access token."), true;
        for (auto &u : _uploads)
            if (u->service == u"facebook" && u->id == id && !_expiredSessions.contains("facebook:" + id)) {
                ++u->statusQueries;
                return respondJson(c, 200, {{"id", u->id}, {"file_offset", u->data.size()}}), true;
            }
        return respondGraphError(c, 404, 100, "(#100) The upload session does not exist or has expired"), true;
    }
    if (c.method == "POST" && p.endsWith(u"/videos")) {
        const QString target = p.mid(7, p.size() - 7 - 7); // between "/graph/" and "/videos"
        if (target == u"me")
            return respondGraphError(c, 400, 200,
                                     "(#200) Videos can be published on Pages only; publishing on a user's "
                                     "timeline is not supported"),
                   true;
        const QString token = tokenOf(c, "facebook", form);
        if (token.isEmpty())
            return respondGraphError(c, 400, 190, "Invalid OAuth access token."), true;
        const Token t = _accessTokens.value(token);
        if (t.pageId.isEmpty())
            return respondGraphError(c, 400, 210, "(#210) A page access token is required to request this resource."),
                   true;
        if (t.pageId != target)
            return respondGraphError(c, 400, 200, "(#200) The Page access token is not for this Page."), true;
        for (const QString &needed : kPagePublishing)
            if (!t.scopes.contains(needed))
                return respondGraphError(c, 403, 200, "(#200) The permission " + needed + " is required"), true;
        bool creator = false;
        for (const Page &page : facebookPages)
            creator = creator || (page.id == target && page.tasks.contains("CREATE_CONTENT"));
        if (!creator)
            return respondGraphError(c, 403, 200, "(#200) The user cannot create content on this Page"), true;
        const QString handle = form.queryItemValue("fbuploader_video_file_chunk", QUrl::FullyDecoded);
        for (auto &u : _uploads)
            if (u->service == u"facebook" && u->complete && QStringLiteral("handle-") + u->id.mid(7) == handle) {
                for (const auto &item : form.queryItems(QUrl::FullyDecoded))
                    if (item.first != u"access_token")
                        u->published.insert(item.first, item.second);
                u->pageId = target;
                u->videoId = QStringLiteral("fbvid%1").arg(++_serial);
                return respondJson(c, 200, {{"id", u->videoId}}), true;
            }
        return respondGraphError(c, 400, 100, "(#100) The upload handle is not valid."), true;
    }
    return false;
}

void StandInServer::deviceLogin(Conn &c, const QUrlQuery &form) {
    ++_deviceLogins;
    if (form.queryItemValue("access_token", QUrl::FullyDecoded) != facebookAppId + '|' + facebookClientToken)
        return respondGraphError(c, 400, 190, "Invalid OAuth access token signature.");
    const QString scope = form.queryItemValue("scope", QUrl::FullyDecoded);
    QStringList invalid;
    for (const QString &s : scope.split(',', Qt::SkipEmptyParts))
        if (!kKnownPermissions.contains(s.trimmed()))
            invalid << s.trimmed();
    if (!invalid.isEmpty())
        return respondGraphError(
            c, 400, 100, "Invalid Scopes: " + invalid.join(", ") + ". This message is only shown to developers.");
    const QString deviceCode = code(32);
    DeviceCode d;
    d.userCode = code(8);
    d.scope = scope;
    _deviceCodes.insert(deviceCode, d);
    respondJson(c, 200,
                {{"code", deviceCode},
                 {"user_code", d.userCode},
                 {"verification_uri", baseUrl().toString() + "/device"},
                 {"expires_in", deviceCodeLifetime},
                 {"interval", deviceInterval}});
}

void StandInServer::deviceLoginStatus(Conn &c, const QUrlQuery &form) {
    if (form.queryItemValue("access_token", QUrl::FullyDecoded) != facebookAppId + '|' + facebookClientToken)
        return respondGraphError(c, 400, 190, "Invalid OAuth access token signature.");
    const QString deviceCode = form.queryItemValue("code", QUrl::FullyDecoded);
    auto it = _deviceCodes.find(deviceCode);
    if (it == _deviceCodes.end())
        return respondGraphError(c, 400, 31, "This request requires a new code.", 1349152);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (it->lastPoll.isValid() && it->lastPoll.msecsTo(now) < deviceInterval * 1000) {
        it->lastPoll = now;
        return respondGraphError(c, 400, 31, "User request limit reached", 1349172);
    }
    it->lastPoll = now;
    if (!it->confirmed)
        return respondGraphError(c, 400, 31, "User has not yet authorized your application", 1349174);
    const QString access = issue("EAA");
    _accessTokens.insert(access, {now.addSecs(accessTokenLifetimeSecs), it->scope.split(',', Qt::SkipEmptyParts), {}});
    _deviceCodes.erase(it);
    respondJson(c, 200, {{"access_token", access}, {"expires_in", accessTokenLifetimeSecs}});
}

} // namespace standin
