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

// The user info's password lies between the first ':' (*colon) and the '@' that ends the user info
// (*at); false when the address has no user info with a ':'.
bool findPassword(const QString& url, int* colon, int* at) {
    // Without "://" (a mistyped address) the user info can only start at the beginning.
    const int schemeEnd = url.indexOf(QLatin1String("://"));
    const int start = schemeEnd < 0 ? 0 : schemeEnd + 3;
    const int end = authorityEnd(url, start);
    *colon = url.indexOf(QLatin1Char(':'), start);
    // The last '@' of the authority ends the user info: a password typed unencoded may hold '@'.
    *at = url.lastIndexOf(QLatin1Char('@'), end - 1);
    if (*at < start) {
        // A password typed with an unencoded '/' or '?' pushes the '@' past the apparent authority;
        // what then follows the first ':' is no port number.
        *at = url.indexOf(QLatin1Char('@'), end);
        if (*at < 0 || *colon < 0 || *colon > end || isPort(url.midRef(*colon + 1, end - *colon - 1)))
            return false;
    }
    return *colon >= 0 && *colon < *at;
}

}  // namespace

QString withoutPassword(const QString& url) {
    int colon = 0;
    int at = 0;
    return findPassword(url, &colon, &at) ? url.left(colon) + url.mid(at) : url;
}

QString masked(const QString& url) {
    int colon = 0;
    int at = 0;
    if (!findPassword(url, &colon, &at) || colon + 1 >= at)
        return url;
    return url.left(colon + 1) + QStringLiteral("\u2022\u2022\u2022\u2022") + url.mid(at);
}

}  // namespace AppUrls
