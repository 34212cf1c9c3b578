// skyvane-bench-message-log [--lines 1000,10000,50000] [--design both|incremental|copy|none]
//                            [--appended N]
//
// Measures the GUI thread's CPU time per appended message-log line, with the log already holding
// N lines, for two views of the log, each in a window rendered by the software backend:
//   incremental  the interface's MessageLogPanel (appends only what is new)
//   copy         a view that copies the whole log into its text area on every change and compares
//                the whole log every 300 ms
//   none         no view: the controller's own share (time stamp, log line, change signal)
// The cost covers the controller's append, the view's update and the frames drawn for it; the
// view's share is the difference to "none". The windows have the log panel's size in the program's
// default window (660 x 190).
#include <QApplication>
#include <QEventLoop>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <memory>

#include "bridge/AppBridge.h"

namespace {

const char kIncrementalView[] = R"(
import QtQuick 2.9
import QtQuick.Window 2.2
import "qrc:/qml/panels"
Window {
    width: 660; height: 190; visible: true
    MessageLogPanel { anchors.fill: parent; language: "en" }
}
)";

const char kCopyingView[] = R"(
import QtQuick 2.9
import QtQuick.Controls 2.2
import QtQuick.Window 2.2
Window {
    id: view
    property string _lastLog: ""
    function follow() {
        var flick = scroll.contentItem
        if (flick.contentHeight > flick.height)
            flick.contentY = flick.contentHeight - flick.height
    }
    function copyLog() {
        area.text = appBridge.messageLog
        _lastLog = appBridge.messageLog
        follow()
    }
    width: 660; height: 190; visible: true
    Connections {
        target: appBridge
        function onMessageLogChanged() { view.copyLog() }
    }
    Timer {
        interval: 300; repeat: true; running: true
        onTriggered: if (appBridge.messageLog !== view._lastLog) view.copyLog()
    }
    ScrollView {
        id: scroll
        anchors.fill: parent
        TextArea { id: area; readOnly: true; wrapMode: TextEdit.Wrap; selectByMouse: true; font.pixelSize: 16 }
    }
}
)";

double threadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1.0e6;
}

QString lineText(int i) {
    return QStringLiteral("Serial ports refreshed: ttyS0, line %1 of the benchmark log").arg(i);
}

void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

// Waits until the view has taken the change (the deferred change signal has been delivered) and a
// frame has been drawn, or a second has passed.
void waitForViewAndFrame(AppBridge& bridge, QQuickWindow* window) {
    // An event loop that sleeps while it waits, so that only real work counts as CPU time.
    QEventLoop loop;
    bool changed = false;
    const auto c1 = QObject::connect(&bridge, &AppBridge::messageLogChanged, [&] { changed = true; });
    const auto c2 = QObject::connect(window, &QQuickWindow::frameSwapped, [&] {
        if (changed)
            loop.quit();
    });
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(c1);
    QObject::disconnect(c2);
}

struct Result {
    double msPerLine = 0;
    int lines = 0;
};

// The controller alone: append and deliver the deferred change signal.
Result measureBare(int prefill, int appended) {
    AppBridge bridge;
    bridge.clearMessages();
    for (int i = 0; i < prefill; ++i)
        bridge.appendMessage(lineText(i));
    QCoreApplication::processEvents();
    const double start = threadCpuMs();
    for (int i = 0; i < appended; ++i) {
        bridge.appendMessage(lineText(prefill + i));
        QCoreApplication::processEvents();
    }
    return {(threadCpuMs() - start) / appended, appended};
}

Result measure(const char* qml, int prefill, int appended) {
    AppBridge bridge;
    QQmlEngine engine;
    engine.rootContext()->setContextProperty(QStringLiteral("appBridge"), &bridge);
    QQmlComponent component(&engine);
    component.setData(qml, QUrl(QStringLiteral("qrc:/bench/MessageLogView.qml")));
    std::unique_ptr<QObject> root(component.create());
    auto* window = qobject_cast<QQuickWindow*>(root.get());
    if (!window) {
        std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
        return {};
    }
    // Fill the log without one change signal per line, then let the view take it once.
    bridge.clearMessages();
    bridge.blockSignals(true);
    for (int i = 0; i < prefill; ++i)
        bridge.appendMessage(lineText(i));
    QCoreApplication::processEvents();
    bridge.blockSignals(false);
    emit bridge.messageLogChanged();
    waitForViewAndFrame(bridge, window);

    const double start = threadCpuMs();
    for (int i = 0; i < appended; ++i) {
        bridge.appendMessage(lineText(prefill + i));
        waitForViewAndFrame(bridge, window);
    }
    return {(threadCpuMs() - start) / appended, appended};
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QUICK_BACKEND", "software");
    QApplication app(argc, argv);
    qInstallMessageHandler(quietHandler);

    QList<int> sizes{1000, 10000, 50000};
    QString design = QStringLiteral("both");
    int appended = 200;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--lines")) {
            sizes.clear();
            for (const QString& n : args[i + 1].split(QLatin1Char(',')))
                sizes << n.toInt();
        } else if (args[i] == QLatin1String("--design")) {
            design = args[i + 1];
        } else if (args[i] == QLatin1String("--appended")) {
            appended = qMax(1, args[i + 1].toInt());
        }
    }

    std::printf("%-12s %8s %8s %12s\n", "design", "lines", "appended", "ms/line");
    for (const int size : sizes) {
        if (design == QLatin1String("both") || design == QLatin1String("none")) {
            const Result r = measureBare(size, appended);
            std::printf("%-12s %8d %8d %12.3f\n", "none", size, r.lines, r.msPerLine);
        }
        if (design == QLatin1String("both") || design == QLatin1String("incremental")) {
            const Result r = measure(kIncrementalView, size, appended);
            std::printf("%-12s %8d %8d %12.3f\n", "incremental", size, r.lines, r.msPerLine);
        }
        if (design == QLatin1String("both") || design == QLatin1String("copy")) {
            // The copying view takes seconds per line on a long log: fewer lines are enough there.
            const int copies = qMin(appended, size >= 50000 ? 5 : (size >= 10000 ? 20 : 50));
            const Result r = measure(kCopyingView, size, copies);
            std::printf("%-12s %8d %8d %12.3f\n", "copy", size, r.lines, r.msPerLine);
        }
        std::fflush(stdout);
    }
    return 0;
}
