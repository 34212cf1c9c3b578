#include <QBuffer>
#include <QDateTime>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QtTest>

#include "FrameStamp.h"

// The stamp must survive what happens to a video frame between the simulator and a reader: lossy
// compression, noise, scaling and the pixel layouts decoders hand out, and must refuse to decode
// anything it does not fully trust.
class TestFrameStamp : public QObject {
    Q_OBJECT

private:
    static QImage scene(QSize size, qint64 epochMs, quint32 counter) {
        QImage image(size, QImage::Format_RGB32);
        QPainter painter(&image);
        QLinearGradient gradient(0, 0, size.width(), size.height());
        gradient.setColorAt(0, QColor(30, 90, 160));
        gradient.setColorAt(1, QColor(200, 180, 60));
        painter.fillRect(image.rect(), gradient);
        painter.end();
        FrameStamp::paint(image, epochMs, counter);
        return image;
    }

    static QImage jpegRoundTrip(const QImage& image, int quality) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPEG", quality);
        return QImage::fromData(bytes, "JPEG").convertToFormat(QImage::Format_RGB32);
    }

    static void addNoise(QImage& image, int amplitude, quint32 seed) {
        QRandomGenerator random(seed);
        for (int y = 0; y < image.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                const int delta = random.bounded(-amplitude, amplitude + 1);
                const QRgb p = line[x];
                line[x] = qRgb(qBound(0, qRed(p) + delta, 255), qBound(0, qGreen(p) + delta, 255),
                               qBound(0, qBlue(p) + delta, 255));
            }
        }
    }

    const qint64 now = QDateTime::currentMSecsSinceEpoch();

private slots:
    void decodesAfterDegradation_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<quint32>("counter");
        QTest::addColumn<int>("jpegQuality");  // 0: not compressed
        QTest::addColumn<int>("noise");
        QTest::addColumn<QSize>("scaledTo");  // empty: not scaled
        QTest::addColumn<bool>("nearest");
        const QSize p720(1280, 720);
        const QSize p1080(1920, 1080);
        QTest::newRow("720p-clean") << p720 << 0u << 0 << 0 << QSize() << false;
        QTest::newRow("1080p-clean-max-counter") << p1080 << 0xFFFFFFFFu << 0 << 0 << QSize() << false;
        QTest::newRow("720p-jpeg-q25") << p720 << 123456u << 25 << 0 << QSize() << false;
        QTest::newRow("1080p-jpeg-q15") << p1080 << 7u << 15 << 0 << QSize() << false;
        QTest::newRow("720p-noise-40") << p720 << 99u << 0 << 40 << QSize() << false;
        QTest::newRow("720p-scaled-to-half") << p720 << 31337u << 0 << 0 << QSize(640, 360) << false;
        QTest::newRow("small-320x240") << QSize(320, 240) << 5u << 0 << 0 << QSize() << false;
        // Shown in a window: blocks of a fraction of a pixel more or less than a whole number.
        QTest::newRow("720p-scaled-to-810-smooth") << p720 << 77u << 0 << 0 << QSize(810, 456) << false;
        QTest::newRow("1080p-scaled-to-810-nearest") << p1080 << 78u << 0 << 0 << QSize(810, 456) << true;
        QTest::newRow("720p-scaled-up-1.37-smooth") << p720 << 79u << 0 << 0 << QSize(1754, 986) << false;
    }

    void decodesAfterDegradation() {
        QFETCH(QSize, size);
        QFETCH(quint32, counter);
        QFETCH(int, jpegQuality);
        QFETCH(int, noise);
        QFETCH(QSize, scaledTo);
        QFETCH(bool, nearest);
        QImage image = scene(size, now, counter);
        if (jpegQuality > 0)
            image = jpegRoundTrip(image, jpegQuality);
        if (noise > 0)
            addNoise(image, noise, counter);
        if (scaledTo.isValid())
            image = image.scaled(scaledTo, Qt::IgnoreAspectRatio,
                                 nearest ? Qt::FastTransformation : Qt::SmoothTransformation);
        const FrameStamp::Decoded decoded = FrameStamp::decode(image);
        QVERIFY2(decoded.ok, qPrintable(QString("no stamp read from %1x%2").arg(image.width()).arg(image.height())));
        QCOMPARE(decoded.epochMs, now);
        QCOMPARE(decoded.frameCounter, counter);
    }

    // A scaled picture somewhere inside a screen capture, among other black and white shapes.
    void locatesStampInsideCapture() {
        const QImage picture = scene(QSize(1920, 1080), now, 4242)
                                   .scaled(QSize(810, 456), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QImage capture(QSize(1280, 800), QImage::Format_RGB32);
        capture.fill(QColor(40, 44, 52));
        QPainter painter(&capture);
        painter.fillRect(QRect(10, 10, 30, 60), Qt::white);
        painter.fillRect(QRect(40, 10, 30, 60), Qt::black);
        painter.fillRect(QRect(20, 700, 400, 40), Qt::white);
        painter.drawImage(QPoint(37, 121), picture);
        painter.end();

        const FrameStamp::Location location = FrameStamp::locate(capture);
        QVERIFY(location.found);
        QVERIFY2(qAbs(location.origin.x() - 37) <= 1.5 && qAbs(location.origin.y() - 121) <= 1.5,
                 qPrintable(QString("found at %1,%2").arg(location.origin.x()).arg(location.origin.y())));
        QVERIFY2(qAbs(location.blockEdge - 810 / 80.0) <= 0.3, qPrintable(QString::number(location.blockEdge)));
        const FrameStamp::Decoded decoded =
            FrameStamp::decodeAt(capture.constBits(), capture.width(), capture.height(), capture.bytesPerLine(),
                                 FrameStamp::PixelFormat::Rgb32, location.origin, location.blockEdge);
        QVERIFY(decoded.ok);
        QCOMPARE(decoded.frameCounter, 4242u);

        capture.fill(QColor(40, 44, 52));
        QVERIFY(!FrameStamp::locate(capture).found);
    }

    void decodesRawBuffers_data() {
        QTest::addColumn<int>("format");
        QTest::newRow("rgb32") << int(FrameStamp::PixelFormat::Rgb32);
        QTest::newRow("rgb24") << int(FrameStamp::PixelFormat::Rgb24);
        QTest::newRow("gray8") << int(FrameStamp::PixelFormat::Gray8);
    }

    // Buffers with padded lines, as decoders and scalers hand them out.
    void decodesRawBuffers() {
        QFETCH(int, format);
        const auto pixelFormat = FrameStamp::PixelFormat(format);
        const QImage image = scene(QSize(1280, 720), now, 42);
        const int bytesPerPixel = pixelFormat == FrameStamp::PixelFormat::Rgb32   ? 4
                                  : pixelFormat == FrameStamp::PixelFormat::Rgb24 ? 3
                                                                                  : 1;
        const int stride = image.width() * bytesPerPixel + 64;
        QByteArray buffer(stride * image.height(), char(0x55));
        for (int y = 0; y < image.height(); ++y) {
            auto* out = reinterpret_cast<uchar*>(buffer.data()) + y * stride;
            const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (bytesPerPixel == 1) {
                    out[x] = uchar(qGray(in[x]));
                } else {
                    out[x * bytesPerPixel] = uchar(qRed(in[x]));
                    out[x * bytesPerPixel + 1] = uchar(qGreen(in[x]));
                    out[x * bytesPerPixel + 2] = uchar(qBlue(in[x]));
                }
            }
        }
        const auto decoded = FrameStamp::decode(reinterpret_cast<const uchar*>(buffer.constData()), image.width(),
                                                image.height(), stride, pixelFormat);
        QVERIFY(decoded.ok);
        QCOMPARE(decoded.epochMs, now);
        QCOMPARE(decoded.frameCounter, 42u);
    }

    void rejectsUntrustworthyPictures_data() {
        QTest::addColumn<QString>("damage");
        QTest::newRow("one-data-block-flipped") << "flip";
        QTest::newRow("no-stamp-at-all") << "blank";
        QTest::newRow("contrast-washed-out") << "washed";
        QTest::newRow("too-small") << "tiny";
        QTest::newRow("stride-shorter-than-line") << "stride";
    }

    void rejectsUntrustworthyPictures() {
        QFETCH(QString, damage);
        QImage image = scene(QSize(1280, 720), now, 1000);
        const int size = FrameStamp::blockSize(image.width());
        if (damage == "flip") {
            // Invert the tenth data block of the first row.
            const QRect block((1 + 2 + 9) * size, size, size, size);
            const bool white = qGray(image.pixel(block.center())) > 128;
            QPainter(&image).fillRect(block, white ? Qt::black : Qt::white);
        }
        if (damage == "blank")
            image.fill(Qt::darkGray);
        if (damage == "washed") {
            QPainter painter(&image);
            painter.setOpacity(0.85);
            painter.fillRect(image.rect(), Qt::gray);
        }
        if (damage == "tiny")
            image = image.scaled(80, 45);
        FrameStamp::Decoded decoded;
        if (damage == "stride")
            decoded = FrameStamp::decode(image.constBits(), image.width(), image.height(), image.width() * 2,
                                         FrameStamp::PixelFormat::Rgb32);
        else
            decoded = FrameStamp::decode(image);
        QVERIFY2(!decoded.ok, qPrintable(QString("decoded %1/%2 from a damaged picture (%3)")
                                             .arg(decoded.epochMs)
                                             .arg(decoded.frameCounter)
                                             .arg(damage)));
    }
};

QTEST_GUILESS_MAIN(TestFrameStamp)
#include "tst_framestamp.moc"
