// No cut-off or overlapping text, and every text readable: at the two reference window sizes, in
// both languages and both themes, on the product page and on every tab of every product, the item
// tree is walked for text that does not fit its box, for controls that overlap a sibling and for text
// whose contrast against the pixels drawn behind it is below 4.5:1 (3:1 from 18 px up, WCAG 2). At
// 1280 x 800 nothing on the gimbal and camera tabs may need scrolling to be reached.

#include <QQmlComponent>
#include <QQmlEngine>
#include <QRegularExpression>
#include <QScreen>
#include <QtTest>
#include <algorithm>
#include <cmath>

#include "UiFixture.h"

namespace {

QString describe(const QQuickItem* item) {
    QString text = QString::fromLatin1(item->metaObject()->className());
    if (!item->objectName().isEmpty())
        text += " '" + item->objectName() + "'";
    const QVariant shown = item->property("text");
    if (shown.isValid() && !shown.toString().isEmpty())
        text += " \"" + shown.toString().left(40) + "\"";
    for (const QQuickItem* up = item->parentItem(); up; up = up->parentItem()) {
        if (!up->objectName().isEmpty()) {
            text += " in '" + up->objectName() + "'";
            break;
        }
    }
    return text;
}

bool shown(const QQuickItem* item) {
    return item->isVisible() && item->opacity() > 0.01 && item->width() > 0.5 && item->height() > 0.5;
}

// Text that is wider or taller than its box while it neither elides nor wraps.
void checkText(const QQuickItem* item, QStringList* faults) {
    const bool isText = item->inherits("QQuickText");
    const bool isInput = item->inherits("QQuickTextInput");
    if (!isText && !isInput)
        return;
    if (item->property("text").toString().isEmpty())
        return;
    if (isText && item->property("elide").toInt() != Qt::ElideNone)
        return;
    const bool wraps = item->property("wrapMode").toInt() != 0;
    const double contentWidth = item->property("contentWidth").toDouble();
    const double contentHeight = item->property("contentHeight").toDouble();
    if (!wraps && contentWidth > item->width() + 1)
        *faults << QString("cut off (%1 > %2 wide): %3").arg(contentWidth).arg(item->width()).arg(describe(item));
    if (isText && contentHeight > item->height() + 1)
        *faults << QString("cut off (%1 > %2 high): %3").arg(contentHeight).arg(item->height()).arg(describe(item));
}

bool arrangesChildren(const QQuickItem* item) {
    return item->inherits("QQuickLayout") || item->inherits("QQuickBasePositioner");
}

// Scroll bars lie over the view they scroll, by design.
bool overlaysByDesign(const QQuickItem* item) {
    return item->inherits("QQuickScrollBar") || item->inherits("QQuickScrollIndicator");
}

bool carriesText(const QQuickItem* item) {
    return item->inherits("QQuickText") || item->inherits("QQuickControl") || item->inherits("QQuickTextInput");
}

// Siblings of a layout never overlap; elsewhere text-bearing siblings must not.
void checkSiblings(const QQuickItem* parent, QStringList* faults) {
    const QList<QQuickItem*> children = parent->childItems();
    const bool arranged = arrangesChildren(parent);
    for (int i = 0; i < children.size(); ++i) {
        const QQuickItem* a = children[i];
        if (!shown(a) || overlaysByDesign(a) || (!arranged && !carriesText(a)))
            continue;
        const QRectF ra(a->position(), a->size());
        for (int j = i + 1; j < children.size(); ++j) {
            const QQuickItem* b = children[j];
            if (!shown(b) || overlaysByDesign(b) || (!arranged && !carriesText(b)))
                continue;
            const QRectF overlap = ra.intersected(QRectF(b->position(), b->size()));
            if (overlap.width() > 1 && overlap.height() > 1)
                *faults << QString("overlap: %1 / %2").arg(describe(a), describe(b));
        }
    }
}

void walk(const QQuickItem* item, QStringList* faults) {
    if (!shown(item))
        return;
    checkText(item, faults);
    checkSiblings(item, faults);
    for (const QQuickItem* child : item->childItems())
        walk(child, faults);
}

// WCAG 2 relative luminance and contrast ratio.
double luminance(const QColor& c) {
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor blend(const QColor& over, const QColor& under, double alpha) {
    return QColor::fromRgbF(over.redF() * alpha + under.redF() * (1 - alpha),
                            over.greenF() * alpha + under.greenF() * (1 - alpha),
                            over.blueF() * alpha + under.blueF() * (1 - alpha));
}

// The part of an item the window shows: its scene rectangle cut by every clipping ancestor.
QRectF shownRect(const QQuickItem* item) {
    QRectF rect = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
    for (const QQuickItem* up = item->parentItem(); up; up = up->parentItem()) {
        if (up->clip())
            rect &= up->mapRectToScene(QRectF(0, 0, up->width(), up->height()));
    }
    return rect;
}

// The colour drawn most often in the rectangle apart from (near) the text's own colour: what the
// text is drawn on, whatever drew it.
QColor backgroundIn(const QImage& picture, const QRect& rect, const QColor& text) {
    QHash<QRgb, int> counts;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QColor pixel = picture.pixelColor(x, y);
            if (contrast(pixel, text) > 1.15)
                ++counts[pixel.rgb() | 0xff000000];
        }
    }
    const auto most = std::max_element(counts.cbegin(), counts.cend());
    return most == counts.cend() ? text : QColor(most.key());
}

// What the window shows, as the screen has it.
QImage screenOf(QQuickWindow* window) {
    return window->screen()->grabWindow(window->winId()).toImage();
}

struct Readability {
    double lowest = 100;
    QString where;
};

bool enabledUpwards(const QQuickItem* item) {
    for (; item; item = item->parentItem())
        if (!item->isEnabled())
            return false;
    return true;
}

double opacityUpwards(const QQuickItem* item) {
    double opacity = 1;
    for (; item; item = item->parentItem())
        opacity *= item->opacity();
    return opacity;
}

// Every visible text (labels, fields, the message log) against the pixels behind it. Text of a
// disabled control is left out, as WCAG leaves it out: it is dimmed on purpose.
void checkContrast(const QQuickItem* item, const QImage& picture, double scale, QStringList* faults,
                   Readability* readability) {
    if (!shown(item))
        return;
    const bool isText = item->inherits("QQuickText") || item->inherits("QQuickTextInput");
    const bool isLog = item->inherits("MessageLogView");
    if ((isText && !item->property("text").toString().trimmed().isEmpty()) || isLog) {
        const QRect rect = (shownRect(item).toAlignedRect() & QRect(QPoint(), picture.size() / scale));
        const QColor own = item->property("color").value<QColor>();
        // A transparent text draws nothing (another item shows it).
        if (!rect.isEmpty() && enabledUpwards(item) && own.alpha() > 0) {
            const QRect pixels(rect.topLeft() * scale, rect.size() * scale);
            const QColor background = backgroundIn(picture, pixels, own);
            const QColor drawn = blend(own, background, own.alphaF() * opacityUpwards(item));
            const double ratio = contrast(drawn, background);
            const bool large = item->property("font").value<QFont>().pixelSize() >= 18;
            const QString what = describe(item);
            if (ratio < readability->lowest) {
                readability->lowest = ratio;
                readability->where = what;
            }
            if (ratio < (large ? 3.0 : 4.5))
                *faults << QString("contrast %1:1 (%2 on %3): %4")
                               .arg(ratio, 0, 'f', 2)
                               .arg(drawn.name(), background.name(), what);
        }
    }
    for (const QQuickItem* child : item->childItems())
        checkContrast(child, picture, scale, faults, readability);
}

// Controls (and texts) of a tab that lie below or beside what its scroll area shows without scrolling.
void checkReachable(const QQuickItem* item, const QRectF& area, QStringList* faults) {
    if (!shown(item))
        return;
    if (item->inherits("QQuickControl") || item->inherits("QQuickText") || item->inherits("QQuickTextInput")) {
        const QRectF rect = item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
        if (rect.bottom() > area.bottom() + 1 || rect.right() > area.right() + 1 || rect.top() < area.top() - 1)
            *faults << QString("only reachable by scrolling (%1 below %2): %3")
                           .arg(rect.bottom())
                           .arg(area.bottom())
                           .arg(describe(item));
        if (item->inherits("QQuickControl"))
            return;
    }
    for (const QQuickItem* child : item->childItems())
        checkReachable(child, area, faults);
}

}  // namespace

class TestUiLayout : public QObject {
    Q_OBJECT

    Ui::Fixture ui;

    Readability readability;

    // An overlay shades what lies under it: then only the overlay's own texts are there to be read.
    QStringList faultsOn(const QString& where, QQuickItem* top = nullptr) {
        Ui::Fixture::settle(150);
        QStringList faults;
        walk(ui.window->contentItem(), &faults);
        const QImage picture = screenOf(ui.window);
        checkContrast(top ? top : ui.window->contentItem(), picture, picture.width() / double(ui.window->width()),
                      &faults, &readability);
        return faults.replaceInStrings(QRegularExpression("^"), where + ": ");
    }

    // The current tab's content against its scroll area: it must all be in view.
    QStringList unreachableOn(const QString& where, const QString& panelName) {
        QQuickItem* panel = ui.item(panelName);
        QQuickItem* scroller =
            Ui::Fixture::findItem(panel, [](QQuickItem* item) { return item->inherits("QQuickFlickable"); });
        if (!scroller)
            return {where + ": no scroll area in " + panelName};
        QStringList faults;
        if (scroller->property("contentHeight").toDouble() > scroller->height() + 1)
            faults << QString("content %1 high in a %2 high tab")
                          .arg(scroller->property("contentHeight").toDouble())
                          .arg(scroller->height());
        checkReachable(scroller, shownRect(scroller), &faults);
        return faults.replaceInStrings(QRegularExpression("^"), where + ": ");
    }

private slots:
    void init() { Ui::installPictures(); }

    // The walk itself finds a label that does not fit, two arranged items on top of each other and
    // a pale label; the dark one beside it passes.
    void walkFindsCutOffAndOverlap() {
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData(
            "import QtQuick 2.9\nimport QtQuick.Window 2.2\nimport QtQuick.Controls 2.2\n"
            "Window { visible: true; width: 300; height: 100\n"
            "  Column { Item { width: 30; height: 20; Text { anchors.fill: parent; text: 'A label far too long' } }\n"
            "    Row { spacing: -20; Rectangle { width: 40; height: 20 } Rectangle { width: 40; height: 20 } } }\n"
            "  Rectangle { y: 60; width: 300; height: 40; color: '#dceaf5'\n"
            "    Text { text: 'pale'; color: '#8a94a3' } Text { x: 100; text: 'dark'; color: '#303641' } } }",
            QUrl("qrc:/tst_layout_faults.qml"));
        QScopedPointer<QObject> created(component.create());
        auto* window = qobject_cast<QQuickWindow*>(created.data());
        QVERIFY2(window, qPrintable(component.errorString()));
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QStringList faults;
        walk(window->contentItem(), &faults);
        QVERIFY2(faults.filter("cut off").size() == 1, qPrintable(faults.join('\n')));
        QVERIFY2(faults.filter("overlap").size() == 1, qPrintable(faults.join('\n')));
        const QImage picture = screenOf(window);
        Readability readability;
        checkContrast(window->contentItem(), picture, picture.width() / double(window->width()), &faults, &readability);
        const QStringList pale = faults.filter("contrast");
        QVERIFY2(pale.size() == 1 && pale.first().contains("pale"), qPrintable(faults.join('\n')));
        QVERIFY2(qAbs(readability.lowest - 2.5) < 0.1, qPrintable(QString::number(readability.lowest)));
    }
    void cleanup() { ui.stop(); }

    void everyPageFitsItsText_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("theme");
        for (const QString theme : {"light", "dark"}) {
            for (const QSize size : {QSize(1280, 800), QSize(1920, 1080)}) {
                for (const QString language : {"zh", "en"}) {
                    const QString name =
                        QString("%1x%2-%3-%4").arg(size.width()).arg(size.height()).arg(language, theme);
                    QTest::newRow(qPrintable(name)) << size << language << theme;
                }
            }
        }
    }

    // At 1280 x 800 also: the gimbal tab and the camera tab in each of its output modes (the rows
    // differ) show every control without scrolling.
    void everyPageFitsItsText() {
        QFETCH(QSize, size);
        QFETCH(QString, language);
        QFETCH(QString, theme);
        QVERIFY(ui.start(Ui::config(language, QString(), {}, "[Display]\nTheme=" + theme.toUtf8() + "\n"), size));
        QCOMPARE(ui.bridge->theme(), theme);
        readability = Readability();
        const bool small = size.height() <= 800;
        QStringList faults = faultsOn("product page");
        for (const QString& product : ui.bridge->products()) {
            ui.bridge->selectProduct(product);
            QTRY_VERIFY(ui.item("controlTabs") && ui.item("controlTabs")->isVisible());
            const int tabs = ui.item("tabTracking")->isVisible() ? 5 : 4;
            for (int tab = 0; tab < tabs; ++tab) {
                ui.item("controlTabs")->setProperty("currentIndex", tab);
                const QString where = QString("%1 tab %2").arg(product).arg(tab);
                faults += faultsOn(where);
                if (small && tab == 0)
                    faults += unreachableOn(where, "gimbalPanel");
            }
            if (product == ui.bridge->products().constFirst()) {
                QTest::keyClick(ui.window, Qt::Key_F1);
                QTRY_VERIFY(ui.item("helpOverlay")->isVisible());
                faults += faultsOn(product + " help", ui.item("helpOverlay"));
                QTest::keyClick(ui.window, Qt::Key_F1);
                QTRY_VERIFY(!ui.item("helpOverlay")->isVisible());
            }
            if (small) {
                ui.item("controlTabs")->setProperty("currentIndex", 1);
                QObject* camera = ui.item("cameraPanel");
                // A product with only a visible camera has no output choice.
                const QList<int> outputs =
                    ui.windowProperty("hasVisibleOnlyCamera").toBool() ? QList<int>{1} : QList<int>{0, 2, 1};
                for (int output : outputs) {
                    QMetaObject::invokeMethod(camera, "showOutput", Q_ARG(QVariant, output));
                    Ui::Fixture::settle(150);
                    faults += unreachableOn(QString("%1 camera, output %2").arg(product).arg(output), "cameraPanel");
                }
            }
            ui.bridge->backToMain();
            QTRY_VERIFY(!ui.bridge->runtimePage());
        }
        faults.removeDuplicates();
        for (const QString& fault : faults)
            qWarning("%s", qPrintable(fault));
        qInfo("lowest contrast (%s theme): %.2f:1 (%s)", qPrintable(theme), readability.lowest,
              qPrintable(readability.where));
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }
};

QTEST_MAIN(TestUiLayout)
#include "tst_ui_layout.moc"
