#include "FontLoader.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QFontInfo>

#include "SafeFiles.h"

namespace {

const char kFontFileName[] = "SourceHanSansSC-Regular.otf";

const char* yesNo(bool value) {
    return value ? "YES" : "NO";
}

QString trySystemFonts() {
    const QStringList installed = QFontDatabase().families();
    for (const QString& name : preferredFontFamilies()) {
        if (!installed.contains(name))
            continue;
        qDebug() << "Found system font:" << name;
        const QFont font(name);
        const QFontInfo info(font);
        qDebug() << "Test font actual family:" << info.family();
        qDebug() << "Font exact match:" << yesNo(info.exactMatch());
        if (info.exactMatch() || info.family() == name) {
            qDebug() << "Using system font:" << name;
            return name;
        }
    }
    return QString();
}

QString findFontFile(const QString& appDir) {
    qDebug() << "=== Searching for font file ===";
    for (const QString& candidate : fontFileCandidates(appDir)) {
        const SafeFiles::Kind kind = SafeFiles::kindOf(candidate);
        qDebug() << "Checking:" << candidate << "exists:" << (kind != SafeFiles::Kind::Missing);
        if (kind == SafeFiles::Kind::Other) {
            qDebug() << "Skipped, not a regular file:" << candidate << "is" << SafeFiles::describe(candidate);
            continue;
        }
        if (kind == SafeFiles::Kind::Regular) {
            qDebug() << "Found font at:" << candidate;
            return candidate;
        }
    }
    qDebug() << "Font file not found in any search path!";
    qDebug() << "Please place SourceHanSansSC-Regular.otf in one of these locations:";
    qDebug() << "  1)" << appDir + QStringLiteral("/icon/fonts/");
    qDebug() << "  2)" << appDir + QStringLiteral("/fonts/");
    return QString();
}

QString familyFromFile(const QString& path) {
    qDebug() << "Attempting to load font from:" << path;
    const int id = QFontDatabase::addApplicationFont(path);
    qDebug() << "Font loading result ID:" << id;
    if (id == -1) {
        qDebug() << "Failed to load font!";
        return QString();
    }
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    qDebug() << "Font families loaded:" << families;
    if (families.isEmpty()) {
        qDebug() << "No font families found!";
        return QString();
    }
    for (const QString& family : families) {
        qDebug() << "Testing family:" << family;
        const QFontInfo info{QFont(family)};
        qDebug() << "  Actual family:" << info.family();
        qDebug() << "  Exact match:" << yesNo(info.exactMatch());
        if (info.exactMatch()) {
            qDebug() << "Using font family:" << family;
            return family;
        }
    }
    qDebug() << "No exact match found, using first family:" << families.first();
    return families.first();
}

}  // namespace

QStringList preferredFontFamilies() {
    return {QStringLiteral("思源黑体"), QStringLiteral("思源黑体 SC"), QStringLiteral("Source Han Sans SC"),
            QStringLiteral("Source Han Sans CN"), QStringLiteral("Noto Sans CJK SC")};
}

QStringList fontFileCandidates(const QString& appDir) {
    const QString file = QString::fromLatin1(kFontFileName);
    return {QDir::cleanPath(appDir + QStringLiteral("/icon/fonts/") + file),
            QDir::cleanPath(appDir + QStringLiteral("/../icon/fonts/") + file),
            QDir::cleanPath(appDir + QStringLiteral("/fonts/") + file),
            QDir::cleanPath(appDir + QStringLiteral("/../Skyvane/icon/fonts/") + file),
            QDir::cleanPath(QStringLiteral(":/icon/fonts/") + file)};
}

QString loadApplicationFont() {
    const QString appDir = QCoreApplication::applicationDirPath();
    qDebug() << "App directory:" << appDir;
    const QString systemFamily = trySystemFonts();
    if (!systemFamily.isEmpty())
        return systemFamily;

    qDebug() << "System font not found, trying to load from file...";
    const QString path = findFontFile(appDir);
    if (path.isEmpty())
        return QString();
    return familyFromFile(path);
}
