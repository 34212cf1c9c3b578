#include <QtTest>

#include "AppConfigSeed.h"
#include "TestSupport.h"
#include "bridge/AppBridge.h"
#include "video/VideoBackend.h"

// The run script seeds the program's skyvane.cfg through the simulator: the program must then
// open on the chosen product with the simulator's stream offered first, and nothing else the
// operator had configured may be lost.
class TestSimConfig : public QObject {
    Q_OBJECT

private slots:
    void programOpensOnTheSeededProductAndStream() {
        TestSupport::writeConfig(
            "[General]\nlanguage=en\ncurrentProduct=Dove\n\n[Protocol]\nLogEnabled=true\n\n[streamHistory]\n"
            "Tern=rtsp://127.0.0.1:9000/a, rtsp://127.0.0.1:8554/live0\n");
        QString error;
        QVERIFY2(seedAppConfig(TestSupport::configPath(), "Tern", "rtsp://127.0.0.1:8554/live0", &error),
                 qPrintable(error));
        AppBridge bridge;
        QCOMPARE(bridge.currentProduct(), QStringLiteral("Tern"));
        QCOMPARE(bridge.streamHistory(), (QStringList{"rtsp://127.0.0.1:8554/live0", "rtsp://127.0.0.1:9000/a"}));
        QCOMPARE(bridge.language(), QStringLiteral("en"));
        QCOMPARE(videoBackendName(), QStringLiteral("ffmpeg"));
        const QString text = QString::fromUtf8(TestSupport::readFile(TestSupport::configPath()));
        QVERIFY2(text.contains("LogEnabled=true"), qPrintable(text));
        QCOMPARE(text.count("currentProduct"), 1);
        // Without a device address the link panel keeps offering the factory address.
        QCOMPARE(bridge.deviceAddress(), QString());
        QCOMPARE(bridge.devicePort(), 0);
    }

    void simulatorAddressIsOfferedToTheLinkPanel() {
        TestSupport::writeConfig("[General]\nlanguage=en\n");
        QString error;
        QVERIFY(seedAppConfig(TestSupport::configPath(), "Tern", {}, &error, "127.0.0.1", 1031));
        AppBridge bridge;
        QCOMPARE(bridge.deviceAddress(), QStringLiteral("127.0.0.1"));
        QCOMPARE(bridge.devicePort(), 1031);
    }

    void chosenBackendIsKeptAndHistoryStaysBounded() {
        QByteArray ini = "[Video]\nBackend=easyplayer\n\n[streamHistory]\nWren-R2=";
        for (int i = 0; i < 10; ++i)
            ini += (i ? ", " : "") + QByteArray("rtsp://127.0.0.1:90") + QByteArray::number(i);
        TestSupport::writeConfig(ini + "\n");
        QString error;
        QVERIFY(seedAppConfig(TestSupport::configPath(), "Wren-R2", "rtsp://127.0.0.1:8554/live0", &error));
        AppBridge bridge;
        QCOMPARE(bridge.currentProduct(), QStringLiteral("Wren-R2"));
        QCOMPARE(bridge.streamHistory().size(), 10);
        QCOMPARE(bridge.streamHistory().first(), QStringLiteral("rtsp://127.0.0.1:8554/live0"));
        QVERIFY(!bridge.streamHistory().contains("rtsp://127.0.0.1:909"));
        QCOMPARE(videoBackendName(), QStringLiteral("easyplayer"));
    }

    void unwritableFileIsReported() {
        QString error;
        QVERIFY(!seedAppConfig("/proc/skyvane-no-such-dir/skyvane.cfg", "Tern", "rtsp://127.0.0.1:8554/live0", &error));
        QVERIFY(!error.isEmpty());
    }
};

QTEST_MAIN(TestSimConfig)
#include "tst_simconfig.moc"
