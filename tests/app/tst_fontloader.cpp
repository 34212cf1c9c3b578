#include <QtTest>

#include <QFontDatabase>

#include "app/FontLoader.h"

// The interface font: an installed CJK family when there is one, otherwise the font file search.
class TestFontLoader : public QObject {
    Q_OBJECT

private slots:
    void preferredFamiliesInOrder() {
        QCOMPARE(preferredFontFamilies(),
                 QStringList({QStringLiteral("思源黑体"), QStringLiteral("思源黑体 SC"), "Source Han Sans SC",
                              "Source Han Sans CN", "Noto Sans CJK SC"}));
    }

    void fileCandidatesAreCleanedAndOrdered() {
        QCOMPARE(fontFileCandidates("/opt/app/bin"),
                 QStringList({"/opt/app/bin/icon/fonts/SourceHanSansSC-Regular.otf",
                              "/opt/app/icon/fonts/SourceHanSansSC-Regular.otf",
                              "/opt/app/bin/fonts/SourceHanSansSC-Regular.otf",
                              "/opt/app/Skyvane/icon/fonts/SourceHanSansSC-Regular.otf",
                              ":/icon/fonts/SourceHanSansSC-Regular.otf"}));
    }

    // The machine has Noto Sans CJK SC (installed by the setup step) and none of the families before it.
    void installedCjkFamilyIsChosen() {
        const QStringList installed = QFontDatabase().families();
        if (!installed.contains("Noto Sans CJK SC"))
            QSKIP("Noto Sans CJK SC is not installed");
        QString expected;
        for (const QString& name : preferredFontFamilies()) {
            if (installed.contains(name)) {
                expected = name;
                break;
            }
        }
        QCOMPARE(loadApplicationFont(), expected);
    }
};

QTEST_MAIN(TestFontLoader)
#include "tst_fontloader.moc"
