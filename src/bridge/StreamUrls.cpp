#include "StreamUrls.h"

#include <algorithm>

namespace StreamUrls {

namespace {

const QString kHiddenPassword = QStringLiteral("\u2022\u2022\u2022\u2022");

// Where the host part that follows the scheme ends: at the path, the query or the fragment.
int authorityEnd(const QString& url, int from) {
    int end = url.size();
    for (const QChar stop : {QLatin1Char('/'), QLatin1Char('?'), QLatin1Char('#')}) {
        const int at = url.indexOf(stop, from);
        if (at >= 0)
            end = std::min(end, at);
    }
    return end;
}

}  // namespace

QString masked(const QString& url) {
    const int schemeEnd = url.indexOf(QLatin1String("://"));
    const int start = schemeEnd < 0 ? 0 : schemeEnd + 3;
    const int end = authorityEnd(url, start);
    if (end <= start)
        return url;
    const int at = url.lastIndexOf(QLatin1Char('@'), end - 1);
    const int colon = url.indexOf(QLatin1Char(':'), start);
    // No user part, or a user part without a password (or with an empty one): nothing to hide.
    if (at < start || colon < 0 || colon + 1 >= at)
        return url;
    return url.left(colon + 1) + kHiddenPassword + url.mid(at);
}

}  // namespace StreamUrls
