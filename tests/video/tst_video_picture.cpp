// What the video item looks like on screen, read back from a rendered window: the picture
// letter-boxed where contentRect says, black bars, black rounded corners, black without a picture,
// and the newest picture winning over ones that were never drawn. Runs with the scene graph named by
// SKYVANE_TEST_SCENE_GRAPH ("software", the default, or "opengl").
#include <QOpenGLContext>
#include <QPainter>
#include <QQuickWindow>
#include <QScreen>
#include <QSignalSpy>
#include <QtTest>

#include "video/FFmpegItem.h"

namespace {

const QColor kTopLeftColour(255, 180, 0);
const QColor kPictureColour(0, 120, 255);
const QColor kWindowColour(90, 90, 90);  // would show through anything the item leaves undrawn

bool usesOpenGl() {
    return qgetenv("SKYVANE_TEST_SCENE_GRAPH") == "opengl";
}

// A picture whose top-left quarter differs from the rest, so a flipped or mirrored picture shows.
QImage testPicture(QSize size) {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(kPictureColour);
    QPainter(&picture).fillRect(QRect(0, 0, size.width() / 2, size.height() / 2), kTopLeftColour);
    return picture;
}

bool near(const QColor& a, const QColor& b, int tolerance = 12) {
    return qAbs(a.red() - b.red()) <= tolerance && qAbs(a.green() - b.green()) <= tolerance &&
           qAbs(a.blue() - b.blue()) <= tolerance;
}

QString describe(const QColor& c) {
    return QStringLiteral("(%1,%2,%3)").arg(c.red()).arg(c.green()).arg(c.blue());
}

// The first pixel of region that is not black, or an empty string when all are.
QString firstNonBlack(const QImage& image, const QRect& region) {
    for (int y = region.top(); y <= region.bottom(); ++y) {
        for (int x = region.left(); x <= region.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (!near(c, Qt::black, 8))
                return QStringLiteral("%1 at (%2,%3)").arg(describe(c)).arg(x).arg(y);
        }
    }
    return QString();
}

// An FFmpegItem (never opened) in a clipped parent at itemRect of a window (all of it when itemRect
// is empty), fed pictures through its test hook.
struct Screen {
    QQuickWindow window;
    QQuickItem frame;
    FFmpegItem* item = nullptr;
    QSignalSpy swaps{&window, &QQuickWindow::frameSwapped};

    explicit Screen(QSize size, QRect itemRect = QRect()) {
        window.setColor(kWindowColour);
        window.resize(size);
        if (itemRect.isEmpty())
            itemRect = QRect(QPoint(0, 0), size);
        frame.setParentItem(window.contentItem());
        frame.setPosition(itemRect.topLeft());
        frame.setSize(itemRect.size());
        frame.setClip(true);
        item = new FFmpegItem(&frame);
        item->setSize(itemRect.size());
        window.show();
    }
    ~Screen() { delete item; }

    // A frame rendered after everything set so far, as it reached the window.
    QImage grab() {
        const int before = swaps.count();
        window.update();
        if (!QTest::qWaitFor([&] { return swaps.count() > before; }, 10000))
            return QImage();
        // Qt Quick's software renderer draws into the window's backing store, which the offscreen
        // platform hands back through the screen; OpenGL reads its frame buffer back itself.
        const QImage image = usesOpenGl() ? window.grabWindow() : window.screen()->grabWindow(window.winId()).toImage();
        return image.convertToFormat(QImage::Format_RGB32);
    }
};

}  // namespace

class TstVideoPicture : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (!usesOpenGl()) {
            QQuickWindow::setSceneGraphBackend(QSGRendererInterface::Software);
            return;
        }
        QOpenGLContext probe;
        if (!probe.create())
            QSKIP(
                "OpenGL scene graph not checked: this platform gives no OpenGL context offscreen "
                "(the software scene graph is checked by tst_video_picture)");
        QQuickWindow::setSceneGraphBackend(QSGRendererInterface::OpenGL);
    }

    void pictureLetterBoxedWithRoundedCorners_data() {
        QTest::addColumn<QSize>("itemSize");
        QTest::addColumn<QSize>("pictureSize");
        QTest::addColumn<QRect>("expectedContent");
        QTest::newRow("wide-item-bars-left-right") << QSize(1000, 500) << QSize(1280, 720) << QRect(56, 0, 888, 500);
        QTest::newRow("tall-item-bars-top-bottom") << QSize(1000, 800) << QSize(1920, 1080) << QRect(0, 119, 1000, 562);
        QTest::newRow("fullscreen-exact-fit") << QSize(1920, 1080) << QSize(1280, 720) << QRect(0, 0, 1920, 1080);
    }
    void pictureLetterBoxedWithRoundedCorners() {
        QFETCH(QSize, itemSize);
        QFETCH(QSize, pictureSize);
        QFETCH(QRect, expectedContent);
        Screen screen(itemSize);
        screen.item->showPicture(testPicture(pictureSize));
        QCOMPARE(screen.item->contentRect(), QRectF(expectedContent));
        const QImage shot = screen.grab();
        QVERIFY2(!shot.isNull(), "no frame was rendered");
        QCOMPARE(shot.size(), itemSize);
        QCOMPARE(screen.window.rendererInterface()->graphicsApi(),
                 usesOpenGl() ? QSGRendererInterface::OpenGL : QSGRendererInterface::Software);

        // Bars: everything outside contentRect, two pixels clear of the picture's edge.
        const QRect whole(QPoint(0, 0), itemSize);
        const int w = itemSize.width(), h = itemSize.height();
        const QRect& content = expectedContent;
        const QRect bars[] = {QRect(QPoint(0, 0), QPoint(content.left() - 3, h - 1)),
                              QRect(QPoint(content.right() + 3, 0), QPoint(w - 1, h - 1)),
                              QRect(QPoint(0, 0), QPoint(w - 1, content.top() - 3)),
                              QRect(QPoint(0, content.bottom() + 3), QPoint(w - 1, h - 1))};
        for (const QRect& bar : bars) {
            if (bar.isValid())
                QVERIFY2(firstNonBlack(shot, bar).isEmpty(),
                         qPrintable("letter-box bar not black: " + firstNonBlack(shot, bar)));
        }

        // The picture where contentRect says, the right way up.
        const QPoint topLeftQuarter = content.topLeft() + QPoint(content.width() / 4, content.height() / 4);
        const QPoint bottomRightQuarter = content.topLeft() + QPoint(content.width() * 3 / 4, content.height() * 3 / 4);
        QVERIFY2(near(shot.pixelColor(topLeftQuarter), kTopLeftColour),
                 qPrintable(describe(shot.pixelColor(topLeftQuarter))));
        QVERIFY2(near(shot.pixelColor(bottomRightQuarter), kPictureColour),
                 qPrintable(describe(shot.pixelColor(bottomRightQuarter))));
        // Its edges reach contentRect's edges (two pixels in, clear of filtering at the border).
        const int lowerHalf = content.top() + content.height() * 3 / 4;
        QVERIFY(near(shot.pixelColor(content.left() + 2, lowerHalf), kPictureColour));
        QVERIFY(near(shot.pixelColor(content.right() - 2, lowerHalf), kPictureColour));
        QVERIFY(near(shot.pixelColor(content.center().x() - content.width() / 4, content.top() + 2), kTopLeftColour));
        QVERIFY(near(shot.pixelColor(content.center().x(), content.bottom() - 2), kPictureColour));

        // Rounded corners: black outside the arc, whatever lies beneath; inside it the item's content.
        for (const QPoint corner : {QPoint(0, 0), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(w - 1, h - 1),
                                    QPoint(1, 1), QPoint(w - 2, h - 2)})
            QVERIFY2(near(shot.pixelColor(corner), Qt::black, 8),
                     qPrintable(QStringLiteral("corner (%1,%2) is %3")
                                    .arg(corner.x())
                                    .arg(corner.y())
                                    .arg(describe(shot.pixelColor(corner)))));
        if (content == whole) {
            QVERIFY2(near(shot.pixelColor(8, 8), kTopLeftColour), "the picture is hidden inside the corner's arc");
            QVERIFY(near(shot.pixelColor(w - 9, h - 9), kPictureColour));
        }

        // Cleared: black all over.
        screen.item->clear();
        const QImage cleared = screen.grab();
        QVERIFY2(firstNonBlack(cleared, whole).isEmpty(), qPrintable("after clear: " + firstNonBlack(cleared, whole)));
    }

    // The first pictures arrive after the item was drawn empty (black), inside a clipped parent away
    // from the window's corner (as on the runtime page), faster than the scene graph draws them: only
    // the newest is drawn, on the item and nowhere else; the others count as replaced, nothing waits.
    void newestPictureWinsWhereverTheItemSits() {
        const QRect onItem(200, 100, 400, 300);
        Screen screen(QSize(800, 600), onItem);
        const QImage empty = screen.grab();
        QVERIFY(!empty.isNull());
        QVERIFY2(firstNonBlack(empty, onItem).isEmpty(), qPrintable(firstNonBlack(empty, onItem)));
        QCOMPARE(screen.item->contentRect(), QRectF(0, 0, 400, 300));
        QImage older = testPicture(QSize(640, 360));
        older.fill(Qt::red);
        screen.item->showPicture(older);
        screen.item->showPicture(older);
        screen.item->showPicture(testPicture(QSize(640, 360)));
        const QImage shot = screen.grab();
        QVERIFY2(!shot.isNull(), "no frame was rendered");
        const VideoFrameItem::FrameCounts counts = screen.item->frameCounts();
        QCOMPARE(counts.decoded, 3);
        QCOMPARE(counts.replaced, 2);
        QCOMPARE(counts.drawn, 1);
        QCOMPARE(screen.item->contentRect(), QRectF(0, 37, 400, 225));
        const QPoint topLeftQuarter(200 + 100, 100 + 37 + 56);
        const QPoint bottomRightQuarter(200 + 300, 100 + 37 + 168);
        QVERIFY2(near(shot.pixelColor(topLeftQuarter), kTopLeftColour),
                 qPrintable(describe(shot.pixelColor(topLeftQuarter))));
        QVERIFY2(near(shot.pixelColor(bottomRightQuarter), kPictureColour),
                 qPrintable(describe(shot.pixelColor(bottomRightQuarter))));
        QVERIFY2(near(shot.pixelColor(100, 200), kWindowColour), "the picture was drawn outside the item");

        // A frame without a new picture draws nothing new.
        QVERIFY(!screen.grab().isNull());
        QCOMPARE(screen.item->frameCounts().drawn, 1);
    }
};

QTEST_MAIN(TstVideoPicture)
#include "tst_video_picture.moc"
