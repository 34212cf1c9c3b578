// skyvane-bench-message-log [--lines 1000,10000,50000] [--design all|D,D...] [--appended A] [--rounds R]
//
// Measures the GUI thread's CPU time per appended message-log line, with the log already holding
// N lines, for views of the log, each in a window rendered by the software backend; D is one of:
//   incremental  the interface's MessageLogPanel (draws only what is new)
//   copy         a view that copies the whole log into its text area on every change and compares
//                the whole log every 300 ms
//   floor        no log at all: a window that fills one rectangle per line, i.e. what any frame
//                costs on this machine at this moment
//   none         no view: the controller's own share (time stamp, log line, change signal)
// The cost covers the controller's append, the view's update and the frame drawn for it. The windows
// have the log panel's size in the program's default window (660 x 190).
// A view first takes one round of A appended lines that is not counted (glyph caches, allocator,
// compiled bindings), then R rounds of A lines (default 8 of 200); floor and incremental take their rounds in turns in
// the same process. The median round is printed, with the best one: on a shared or virtual machine
// rounds can differ by half, and the best is the least disturbed.
#include <QApplication>
#include <QEventLoop>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>

#include "app/QmlTypes.h"
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

const char kFloorView[] = R"(
import QtQuick 2.9
import QtQuick.Window 2.2
Window {
    width: 660; height: 190; visible: true
    Rectangle { anchors.fill: parent; color: appBridge.messageLines.count % 2 ? "#1e2430" : "#202632" }
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
    // The render loop may draw on a thread of its own: take its signal on this thread.
    const auto c2 = QObject::connect(window, &QQuickWindow::frameSwapped, &loop, [&] {
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
    double bestMsPerLine = 0;
    double framesPerLine = 0;
};

void printResult(const char* design, int size, const Result& r) {
    std::printf("%-12s %8d %8d %10.3f %10.3f %12.2f\n", design, size, r.lines, r.msPerLine, r.bestMsPerLine,
                r.framesPerLine);
    std::fflush(stdout);
}

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
    const double msPerLine = (threadCpuMs() - start) / appended;
    return {msPerLine, appended, msPerLine, 0};
}

// One view of the log in its own window, with its own controller.
class View {
public:
    bool open(const char* qml, int prefill) {
        m_engine.rootContext()->setContextProperty(QStringLiteral("appBridge"), &m_bridge);
        QQmlComponent component(&m_engine);
        component.setData(qml, QUrl(QStringLiteral("qrc:/bench/MessageLogView.qml")));
        m_root.reset(component.create());
        m_window = qobject_cast<QQuickWindow*>(m_root.get());
        if (!m_window) {
            std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
            return false;
        }
        QObject::connect(m_window, &QQuickWindow::frameSwapped, m_window, [this] { ++m_frames; });
        // Fill the log without one change signal per line, then let the view take it once.
        m_bridge.clearMessages();
        m_bridge.blockSignals(true);
        for (m_next = 0; m_next < prefill; ++m_next)
            m_bridge.appendMessage(lineText(m_next));
        QCoreApplication::processEvents();
        m_bridge.blockSignals(false);
        emit m_bridge.messageLogChanged();
        waitForViewAndFrame(m_bridge, m_window);
        return true;
    }

    // Appends lines one at a time, each shown before the next; keeps the round's cost per line.
    void runRound(int lines, bool counted) {
        m_frames = 0;
        const double start = threadCpuMs();
        for (int i = 0; i < lines; ++i) {
            m_bridge.appendMessage(lineText(m_next++));
            waitForViewAndFrame(m_bridge, m_window);
        }
        if (counted) {
            m_msPerLine << (threadCpuMs() - start) / lines;
            m_lines += lines;
            m_framesPerLine = double(m_frames) / lines;
        }
    }

    Result result() const {
        QVector<double> sorted = m_msPerLine;
        std::sort(sorted.begin(), sorted.end());
        return {sorted.at(sorted.size() / 2), m_lines, sorted.first(), m_framesPerLine};
    }

private:
    AppBridge m_bridge;
    QQmlEngine m_engine;
    std::unique_ptr<QObject> m_root;
    QQuickWindow* m_window = nullptr;
    int m_next = 0;
    int m_frames = 0;
    int m_lines = 0;
    double m_framesPerLine = 0;
    QVector<double> m_msPerLine;
};

// Measures the views side by side: one warm-up round each, then rounds that take turns, so that
// a slower or faster spell of the machine falls on every view alike.
QVector<Result> measure(const QVector<const char*>& qmls, int prefill, int appended, int rounds) {
    std::vector<std::unique_ptr<View>> views;
    for (const char* qml : qmls) {
        views.push_back(std::make_unique<View>());
        if (!views.back()->open(qml, prefill))
            return {};
    }
    for (int round = 0; round <= rounds; ++round) {
        for (auto& view : views)
            view->runRound(appended, round > 0);
    }
    QVector<Result> results;
    for (const auto& view : views)
        results << view->result();
    return results;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_QUICK_BACKEND", "software");
    QApplication app(argc, argv);
    qInstallMessageHandler(quietHandler);
    registerQmlTypes();

    QList<int> sizes{1000, 10000, 50000};
    QString design = QStringLiteral("all");
    int appended = 200;
    int rounds = 8;
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
        } else if (args[i] == QLatin1String("--rounds")) {
            rounds = qMax(1, args[i + 1].toInt());
        }
    }

    const QStringList designs = design.split(QLatin1Char(','));
    const auto wanted = [&designs](const char* name) {
        return designs.contains(QLatin1String("all")) || designs.contains(QLatin1String(name));
    };
    std::printf("%-12s %8s %8s %10s %10s %12s\n", "design", "lines", "appended", "ms/line", "best", "frames/line");
    for (const int size : sizes) {
        if (wanted("none"))
            printResult("none", size, measureBare(size, appended));
        QVector<const char*> names;
        QVector<const char*> qmls;
        if (wanted("floor")) {
            names << "floor";
            qmls << kFloorView;
        }
        if (wanted("incremental")) {
            names << "incremental";
            qmls << kIncrementalView;
        }
        const QVector<Result> results = qmls.isEmpty() ? QVector<Result>() : measure(qmls, size, appended, rounds);
        for (int i = 0; i < results.size(); ++i)
            printResult(names[i], size, results[i]);
    }
    // The copying view last: what it leaves behind in the heap would weigh on the others.
    for (const int size : sizes) {
        if (!wanted("copy"))
            break;
        // It takes seconds per line on a long log: fewer lines are enough there.
        const int copies = qMin(appended, size >= 50000 ? 5 : (size >= 10000 ? 20 : 50));
        const QVector<Result> copy = measure({kCopyingView}, size, copies, 1);
        if (!copy.isEmpty())
            printResult("copy", size, copy.first());
    }
    return 0;
}
