#include <QtTest>

#include <QProcess>
#include <QRandomGenerator>

// Runs the built skyvane-frame tool the way a field engineer would.
namespace {

struct Run {
    int exitCode = -1;
    bool crashed = true;
    QString out;
    QString err;
};

Run runTool(const QStringList& arguments, const QByteArray& input = QByteArray()) {
    QProcess process;
    process.start(QStringLiteral(SKYVANE_FRAME_TOOL), arguments);
    process.write(input);
    process.closeWriteChannel();
    Run run;
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(1000);
        return run;
    }
    run.crashed = process.exitStatus() != QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

}  // namespace

class TestFrameTool : public QObject {
    Q_OBJECT

private slots:
    void roundTripBuildThenDescribe_data() {
        QTest::addColumn<QStringList>("buildArgs");
        QTest::addColumn<QString>("description");
        QTest::newRow("camera-version-reply")
            << QStringList{"1", "0x010317", "00 00 01 02 03", "--sender", "4", "--seq", "200"}
            << QStringLiteral(
                   "[接收][UDP] 相机(0x04) -> 应用(0x01) | 应答:获取相机版本(010317) | 序号200 | "
                   "成功，相机版本 v1.2.3");
        QTest::newRow("zero-payload-to-gimbal")
            << QStringList{"3", "18"}
            << QStringLiteral("[发送][UDP] 应用(0x01) -> 云台(0x03) | 指令:获取云台版本(000018) | 序号0");
        QTest::newRow("largest-payload")
            << QStringList{"4", "000302", QString(243 * 2, QLatin1Char('0'))}
            << QStringLiteral(
                   "[发送][UDP] 应用(0x01) -> 相机(0x04) | 指令:拍照(000302) | 序号0 | 拍照模式=0，开始拍照");
    }

    void roundTripBuildThenDescribe() {
        QFETCH(QStringList, buildArgs);
        QFETCH(QString, description);
        const Run built = runTool(QStringList{QStringLiteral("--build")} + buildArgs);
        QVERIFY2(built.exitCode == 0, qPrintable(built.err));
        const QString frame = built.out.trimmed();
        const Run described = runTool({frame});
        QVERIFY2(described.exitCode == 0, qPrintable(frame + QLatin1Char(' ') + described.err));
        QCOMPARE(described.out, description + QLatin1Char('\n'));
    }

    void describesStandardInputLineByLine() {
        const QByteArray input =
            "# captured on the serial line\n"
            "FD 02 04 01 00 01 01 00 02 00 01 00 38 1D\r\n"
            "\n"
            "0xfd,0x02,0x04,0x01,0x00,0x01,0x01,0x00,0x02,0x00,0x01,0x00,0x38,0x1e\n"
            "fd0204010001010002000100381d fd0204010101010002000100\n";
        const Run run = runTool({QStringLiteral("--link"), QStringLiteral("UART")}, input);
        QCOMPARE(run.exitCode, 1);  // some bytes did not form a frame
        const QStringList lines = run.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines[0].startsWith(QStringLiteral("[发送][UART] 应用(0x01) -> 相机(0x04)")));
        QCOMPARE(lines[1], QStringLiteral("[接收][UART] 帧解析失败，长度14，疑似读取可见光参数，首部: 0xfd 0x02 0x04 "
                                          "0x01 0x00 0x01 0x01 0x00 0x02 0x00 0x01 0x00 0x38 0x1e"));
        QCOMPARE(lines[2], lines[0]);
        QVERIFY2(lines[3].startsWith(QStringLiteral("[接收][UART] 帧解析失败，长度12，疑似")), qPrintable(lines[3]));
        QVERIFY(run.err.isEmpty());
    }

    // Bytes pasted unquoted after the command arrive one per argument: they are read as one text.
    void argumentsFormOneHexText() {
        const QString request = runTool({"--build", "4", "000200", "01 00"}).out.trimmed();
        QCOMPARE(request, QStringLiteral("FD 02 04 01 00 01 01 00 02 00 01 00 38 1D"));
        const QString line = QStringLiteral(
            "[发送][UDP] 应用(0x01) -> 相机(0x04) | 指令:读取可见光参数(000200) | 序号0 | 数据: 0x01 0x00\n");
        const Run unquoted = runTool(request.split(QLatin1Char(' ')));
        QCOMPARE(unquoted.exitCode, 0);
        QCOMPARE(unquoted.out, line);

        // Two frames, one per argument, are described one after the other.
        const Run two = runTool({request, QStringLiteral("0x") + QString(request).remove(QLatin1Char(' '))});
        QCOMPARE(two.exitCode, 0);
        QCOMPARE(two.out, line + line);

        const Run bad = runTool({QStringLiteral("FD"), QStringLiteral("0")});
        QCOMPARE(bad.exitCode, 2);
        QVERIFY2(bad.err.contains(QStringLiteral("argument 2: odd number")), qPrintable(bad.err));
    }

    void badInputIsRejected_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("message");
        QTest::newRow("not-hex-argument")
            << QStringList{"fd02zz"} << QByteArray() << "not a hexadecimal digit at column 5";
        QTest::newRow("odd-digits") << QStringList{"fd 0"} << QByteArray() << "odd number of hexadecimal digits";
        QTest::newRow("bare-prefix") << QStringList{"0x"} << QByteArray() << "\"0x\" without digits";
        QTest::newRow("not-hex-line") << QStringList() << QByteArray("fd 02\nhexa\n")
                                      << "line 2: not a hexadecimal digit at column 1";
        QTest::newRow("unknown-option") << QStringList{"--frobnicate"} << QByteArray() << "unknown option";
        QTest::newRow("missing-value") << QStringList{"--link"} << QByteArray() << "needs a value";
        QTest::newRow("bad-direction") << QStringList{"--direction", "UP", "fd"} << QByteArray() << "must be TX or RX";
        QTest::newRow("build-missing-id") << QStringList{"--build", "4"} << QByteArray() << "needs RECEIVER and MSGID";
        QTest::newRow("build-receiver-256")
            << QStringList{"--build", "256", "0200"} << QByteArray() << "not a device id";
        QTest::newRow("build-id-above-24-bits")
            << QStringList{"--build", "4", "1000000"} << QByteArray() << "not hexadecimal from 0 to FFFFFF";
        QTest::newRow("build-payload-244") << QStringList{"--build", "4", "0302", QString(244 * 2, QLatin1Char('a'))}
                                           << QByteArray() << "payload of 244 bytes";
        QTest::newRow("build-payload-not-hex")
            << QStringList{"--build", "4", "0302", "0g"} << QByteArray() << "payload: not a hexadecimal digit";
        QTest::newRow("too-many-bytes") << QStringList() << QByteArray(65536 * 2, 'f') + '\n'
                                        << "line 1: more than 65535 bytes";
        QTest::newRow("line-too-long") << QStringList() << QByteArray(300000, ' ') + "fd\n"
                                       << "line 1: line longer than";
    }

    void badInputIsRejected() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, input);
        QFETCH(QString, message);
        const Run run = runTool(arguments, input);
        QVERIFY(!run.crashed);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(QStringLiteral("skyvane-frame: ")) && run.err.contains(message), qPrintable(run.err));
    }

    void binaryGarbageOnStandardInputDoesNotCrash() {
        QByteArray garbage(256 * 1024, '\0');
        QRandomGenerator random(20261206);
        for (char& c : garbage)
            c = static_cast<char>(random.bounded(256));
        const Run run = runTool({}, garbage);
        QVERIFY2(!run.crashed, "the tool crashed on random bytes");
        QCOMPARE(run.exitCode, 2);
        // Hexadecimal-looking garbage of the largest size is described, not refused.
        QByteArray hex;
        for (int i = 0; i < 65535; ++i)
            hex += QByteArray::number(random.bounded(256), 16).rightJustified(2, '0');
        const Run big = runTool({}, hex + '\n');
        QVERIFY(!big.crashed);
        QVERIFY(big.exitCode == 0 || big.exitCode == 1);
        QVERIFY(!big.out.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFrameTool)
#include "tst_frametool.moc"
