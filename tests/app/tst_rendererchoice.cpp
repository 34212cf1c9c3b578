#include <QFontDatabase>
#include <QQuickWindow>
#include <QtTest>

#include "TestSupport.h"
#include "app/AppLog.h"
#include "app/FontLoader.h"
#include "app/RendererChoice.h"

using RendererChoice::OpenGlProbe;
using RendererChoice::Setting;

// Which scene graph the program starts with: Display/Renderer, what OpenGL turns out to be, and
// QT_QUICK_BACKEND above both. And the interface font: an installed CJK family when there is one,
// otherwise the font file search.
class TestRendererChoice : public QObject {
    Q_OBJECT

private:
    static QString logText() { return QString::fromUtf8(TestSupport::readFile(AppLog::logFilePath())); }

private slots:
    void initTestCase() { QVERIFY(AppLog::start()); }
    void cleanupTestCase() { TestSupport::removeConfig(); }

    void choice_data() {
        QTest::addColumn<QString>("configured");
        QTest::addColumn<bool>("glUsable");
        QTest::addColumn<QString>("glRenderer");
        QTest::addColumn<bool>("software");
        QTest::addColumn<bool>("known");
        QTest::newRow("auto-hardware-keeps-opengl")
            << "auto" << true << "Mesa Intel(R) UHD Graphics 620" << false << true;
        QTest::newRow("auto-llvmpipe") << "auto" << true << "llvmpipe (LLVM 15.0.6, 256 bits)" << true << true;
        QTest::newRow("auto-softpipe") << "" << true << "softpipe" << true << true;
        QTest::newRow("auto-swrast-any-case") << " Auto " << true << "Mesa SWRAST" << true << true;
        QTest::newRow("auto-windows-fallback") << "auto" << true << "GDI Generic" << true << true;
        QTest::newRow("auto-no-opengl") << "auto" << false << "" << true << true;
        QTest::newRow("opengl-forced-on-rasterizer") << "OpenGL" << true << "llvmpipe" << false << true;
        QTest::newRow("software-forced-on-gpu") << "software " << true << "NVIDIA GeForce RTX" << true << true;
        QTest::newRow("unknown-word-means-auto") << "vulkan" << true << "llvmpipe" << true << false;
    }
    void choice() {
        QFETCH(QString, configured);
        QFETCH(bool, glUsable);
        QFETCH(QString, glRenderer);
        QFETCH(bool, software);
        QFETCH(bool, known);
        bool parsedKnown = !known;
        const Setting setting = RendererChoice::parseSetting(configured, &parsedKnown);
        QCOMPARE(parsedKnown, known);
        OpenGlProbe probe;
        probe.usable = glUsable;
        probe.renderer = glRenderer;
        QCOMPARE(RendererChoice::decide(setting, probe).software, software);
    }

    void softwareKnownWithoutContext_data() {
        QTest::addColumn<QStringList>("renderNodes");
        QTest::addColumn<QByteArray>("alwaysSoftware");
        QTest::addColumn<QByteArray>("galliumDriver");
        QTest::addColumn<bool>("known");
        QTest::newRow("gpu-present-asks-opengl") << QStringList{"renderD128"} << QByteArray() << QByteArray() << false;
        QTest::newRow("no-render-node") << QStringList() << QByteArray() << QByteArray() << true;
        QTest::newRow("mesa-forced-software") << QStringList{"renderD128"} << QByteArray("1") << QByteArray() << true;
        QTest::newRow("always-software-zero-is-off")
            << QStringList{"renderD128"} << QByteArray("0") << QByteArray() << false;
        QTest::newRow("gallium-llvmpipe")
            << QStringList{"renderD128"} << QByteArray() << QByteArray("llvmpipe") << true;
        QTest::newRow("gallium-hardware") << QStringList{"renderD128"} << QByteArray() << QByteArray("iris") << false;
    }
    void softwareKnownWithoutContext() {
        QFETCH(QStringList, renderNodes);
        QFETCH(QByteArray, alwaysSoftware);
        QFETCH(QByteArray, galliumDriver);
        QFETCH(bool, known);
        const QString renderer = RendererChoice::knownSoftwareRenderer(renderNodes, alwaysSoftware, galliumDriver);
        QCOMPARE(!renderer.isEmpty(), known);
        if (known)
            QVERIFY2(RendererChoice::isSoftwareRasterizer(renderer), qPrintable(renderer));
    }

    // End to end on this platform (offscreen: no OpenGL), through the configuration file and the log.
    void applyFollowsConfigurationUnlessEnvironmentDecides() {
        const QByteArray saved = qgetenv("QT_QUICK_BACKEND");
        qunsetenv("QT_QUICK_BACKEND");

        QVERIFY(TestSupport::writeConfig("[Display]\nRenderer=auto\n"));
        QCOMPARE(RendererChoice::apply(), QStringLiteral("software"));
        QCOMPARE(QQuickWindow::sceneGraphBackend(), QStringLiteral("software"));
        // Offscreen there is no OpenGL; on a machine without a GPU it is not even asked.
        QVERIFY2(logText().contains(QStringLiteral("OpenGL probe: ")), qPrintable(logText()));
        QVERIFY(logText().contains(QStringLiteral("Renderer: software (auto: ")));

        QVERIFY(TestSupport::writeConfig("[Display]\nRenderer=opengl\n"));
        QCOMPARE(RendererChoice::apply(), QStringLiteral("opengl"));
        QVERIFY(logText().contains(QStringLiteral("Renderer: opengl (Display/Renderer=opengl)")));

        qputenv("QT_QUICK_BACKEND", "software");
        QCOMPARE(RendererChoice::apply(), QStringLiteral("software"));
        QVERIFY(logText().contains(QStringLiteral("Renderer: software (QT_QUICK_BACKEND set in the environment")));

        if (saved.isNull())
            qunsetenv("QT_QUICK_BACKEND");
        else
            qputenv("QT_QUICK_BACKEND", saved);
    }

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

QTEST_MAIN(TestRendererChoice)
#include "tst_rendererchoice.moc"
