#include "AppUrls.h"

namespace AppUrls {
namespace {

// Where the authority (user info, host, port) ends: at the path, the query or the fragment.
int authorityEnd(const QString& url, int from) {
    int end = url.size();
    for (const QChar stop : {QLatin1Char('/'), QLatin1Char('?'), QLatin1Char('#')}) {
        const int at = url.indexOf(stop, from);
        if (at >= 0 && at < end)
            end = at;
    }
    return end;
}

bool isPort(const QStringRef& text) {
    if (text.isEmpty())
        return false;
    for (const QChar c : text) {
        if (!c.isDigit())
            return false;
    }
    return true;
}

}  // namespace

QString withoutPassword(const QString& url) {
    // Without "://" (a mistyped address) the user info can only start at the beginning.
    const int schemeEnd = url.indexOf(QLatin1String("://"));
    const int start = schemeEnd < 0 ? 0 : schemeEnd + 3;
    const int end = authorityEnd(url, start);
    // The last '@' of the authority ends the user info: a password typed unencoded may hold '@'.
    int at = url.lastIndexOf(QLatin1Char('@'), end - 1);
    if (at < start) {
        // A password typed with an unencoded '/' or '?' pushes the '@' past the apparent authority;
        // what then follows the first ':' is no port number.
        at = url.indexOf(QLatin1Char('@'), end);
        const int colon = url.indexOf(QLatin1Char(':'), start);
        if (at < 0 || colon < 0 || colon > end || isPort(url.midRef(colon + 1, end - colon - 1)))
            return url;
    }
    const int colon = url.indexOf(QLatin1Char(':'), start);
    if (colon < 0 || colon > at)
        return url;
    return url.left(colon) + url.mid(at);
}

}  // namespace AppUrls
