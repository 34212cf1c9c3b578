#pragma once

// The operator interface as the program builds it: a controller, a QML engine with the program's
// context properties and item types, and qrc:/qml/Main.qml from the compiled resources.
// Tests find items by objectName and drive them with real mouse and key events.

#include <QDir>
#include <QFile>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQmlProperty>
#include <QQuickItem>
#include <QQuickWindow>
#include <QtQml>
#include <QtTest>

#include <functional>
#include <memory>

#include "TestSupport.h"
#include "app/QmlTypes.h"
#include "bridge/AppBridge.h"
#include "video/VideoPlayerItem.h"

namespace Ui {

// The product pictures where the program finds them (icon/images beside the executable), as the
// build draws them; `without` is left out.
inline void installPictures(const QString& without = QString()) {
    const QStringList names{"WrenT-R2", "Wren-R2", "Tern-LITE-A", "Tern-LITE-B", "Tern", "Dove", "qzt_log"};
    const QString dir = TestSupport::appDir() + "/icon/images";
    QDir().mkpath(dir);
    for (const QString& name : names) {
        const QString target = dir + "/" + name + ".png";
        QFile::remove(target);
        if (name != without)
            QFile::copy(QStringLiteral(SKYVANE_PICTURE_DIR) + "/" + name + ".png", target);
    }
}

// INI text for a start: language, optional product and its stream history, extra keys. The video
// backend is the vendor player, which is not installed here: nothing tries to reach a camera.
inline QByteArray config(const QString& language, const QString& product = QString(), const QStringList& history = {},
                         const QByteArray& extra = {}) {
    QByteArray ini = "[general]\nlanguage=" + language.toUtf8() + "\n";
    if (!product.isEmpty())
        ini += "currentProduct=" + product.toUtf8() + "\n";
    ini += "\n[Video]\nBackend=easyplayer\n";
    if (!history.isEmpty())
        ini += "\n[streamHistory]\n" + product.toUtf8() + "=" + history.join(", ").toUtf8() + "\n";
    return ini + "\n" + extra;
}

class Fixture {
public:
    std::unique_ptr<AppBridge> bridge;
    std::unique_ptr<QQmlApplicationEngine> engine;
    QQuickWindow* window = nullptr;
    // Runs before Main.qml is loaded, for tests that publish more context properties.
    std::function<void(AppBridge*, QQmlContext*)> beforeLoad;

    ~Fixture() { stop(); }

    void stop() {
        engine.reset();
        bridge.reset();
        window = nullptr;
    }

    // Starts the interface on the given configuration, at the given window size, and waits until
    // the window is shown and the controller's start-up signals have been handled.
    bool start(const QByteArray& iniText, QSize size = QSize(1600, 960)) {
        stop();
        registerQmlTypes();
        if (!TestSupport::writeConfig(iniText))
            return false;
        bridge = std::make_unique<AppBridge>();
        engine = std::make_unique<QQmlApplicationEngine>();
        engine->rootContext()->setContextProperty("appBridge", bridge.get());
        engine->rootContext()->setContextProperty("appFontFamily", QString());
        if (beforeLoad)
            beforeLoad(bridge.get(), engine->rootContext());
        engine->load(QUrl("qrc:/qml/Main.qml"));
        if (engine->rootObjects().isEmpty())
            return false;
        window = qobject_cast<QQuickWindow*>(engine->rootObjects().first());
        if (!window)
            return false;
        window->resize(size);
        if (!QTest::qWaitForWindowExposed(window))
            return false;
        settle();
        return true;
    }

    // Lets deferred signals, layouts and short animations run.
    static void settle(int ms = 300) { QTest::qWait(ms); }

    // The item with this objectName, visible or not.
    QQuickItem* item(const QString& name) const { return findItem(window->contentItem(), name); }

    static QQuickItem* findItem(QQuickItem* from, const QString& name) {
        return findItem(from, [&](QQuickItem* item) { return item->objectName() == name; });
    }
    // The first item, depth first, that matches.
    static QQuickItem* findItem(QQuickItem* from, const std::function<bool(QQuickItem*)>& matches) {
        if (!from || matches(from))
            return from;
        for (QQuickItem* child : from->childItems())
            if (QQuickItem* found = findItem(child, matches))
                return found;
        return nullptr;
    }

    QVariant read(const QString& itemName, const char* property) const {
        QQuickItem* target = item(itemName);
        return target ? target->property(property) : QVariant();
    }
    QString text(const QString& itemName) const { return read(itemName, "text").toString(); }
    QVariant windowProperty(const char* property) const { return window->property(property); }

    QRectF sceneRect(const QString& itemName) const {
        QQuickItem* target = item(itemName);
        return QRectF(target->mapToScene(QPointF(0, 0)), target->size());
    }

    // The picture's rectangle in window coordinates (the whole video item until a stream plays).
    QRectF picture() const {
        QQuickItem* video = item("videoItem");
        const QRectF local = video->property("contentRect").toRectF();
        return QRectF(video->mapToScene(local.topLeft()), local.size());
    }

    // Waits until the stream plays and the picture stays put: a busy machine may take seconds to
    // get there, and the window may still be settling its size and layout.
    bool waitForSteadyPicture() {
        QQuickItem* video = item("videoItem");
        if (!QTest::qWaitFor([&] { return video->property("streamStatus").toString() == "playing"; }, 60000))
            return false;
        QRectF before;
        return QTest::qWaitFor(
            [&] {
                const QRectF now = picture();
                const bool still = now == before;
                before = now;
                settle(300);
                return still;
            },
            60000);
    }

    QPoint centre(QQuickItem* target) const {
        return target->mapToScene(QPointF(target->width() / 2, target->height() / 2)).toPoint();
    }

    bool click(const QString& itemName) {
        QQuickItem* target = item(itemName);
        if (!target || !target->isVisible())
            return false;
        QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, centre(target));
        return true;
    }

    // A left-button drag in even steps, as a hand makes it.
    void drag(QPoint from, QPoint to, int steps = 4) {
        QTest::mousePress(window, Qt::LeftButton, Qt::NoModifier, from);
        for (int step = 1; step <= steps; ++step)
            QTest::mouseMove(window, from + (to - from) * step / steps);
        QTest::mouseRelease(window, Qt::LeftButton, Qt::NoModifier, to);
    }

    bool hover(const QString& itemName) {
        QQuickItem* target = item(itemName);
        if (!target)
            return false;
        QTest::mouseMove(window, centre(target));
        return true;
    }

    // Clicks into a text field, clears it and types the text.
    bool type(const QString& itemName, const QString& text) {
        if (!click(itemName))
            return false;
        QTest::keyClick(window, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(window, Qt::Key_Backspace);
        for (const QChar c : text)
            QTest::keyClick(window, c.toLatin1());
        return true;
    }
};

}  // namespace Ui
