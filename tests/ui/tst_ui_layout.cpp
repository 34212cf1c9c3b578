// No cut-off or overlapping text: at the two reference window sizes, in both languages, on the
// product page and on every tab of every product, the item tree is walked for text that does not
// fit its box and for controls that overlap a sibling.

#include <QQmlComponent>
#include <QQmlEngine>
#include <QtTest>

#include "UiFixture.h"

namespace {

bool inherits(const QObject* object, const char* className) {
    return object->inherits(className);
}

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
    const bool isText = inherits(item, "QQuickText");
    const bool isInput = inherits(item, "QQuickTextInput");
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
    return inherits(item, "QQuickLayout") || inherits(item, "QQuickBasePositioner");
}

// Scroll bars lie over the view they scroll, by design.
bool overlaysByDesign(const QQuickItem* item) {
    return inherits(item, "QQuickScrollBar") || inherits(item, "QQuickScrollIndicator");
}

bool carriesText(const QQuickItem* item) {
    return inherits(item, "QQuickText") || inherits(item, "QQuickControl") || inherits(item, "QQuickTextInput");
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

}  // namespace

class TestUiLayout : public QObject {
    Q_OBJECT

    Ui::Fixture ui;

    QStringList faultsOn(const QString& where) {
        Ui::Fixture::settle(150);
        QStringList faults;
        walk(ui.window->contentItem(), &faults);
        for (QString& fault : faults)
            fault = where + ": " + fault;
        return faults;
    }

private slots:
    void init() { Ui::installPictures(); }

    // The walk itself finds a label that does not fit and two arranged items on top of each other.
    void walkFindsCutOffAndOverlap() {
        QQmlEngine engine;
        QQmlComponent component(&engine);
        component.setData(
            "import QtQuick 2.9\nimport QtQuick.Window 2.2\nimport QtQuick.Controls 2.2\n"
            "Window { visible: true; width: 300; height: 100\n"
            "  Column { Item { width: 30; height: 20; Text { anchors.fill: parent; text: 'A label far too long' } }\n"
            "    Row { spacing: -20; Rectangle { width: 40; height: 20 } Rectangle { width: 40; height: 20 } } } }",
            QUrl("qrc:/tst_layout_faults.qml"));
        QScopedPointer<QObject> created(component.create());
        auto* window = qobject_cast<QQuickWindow*>(created.data());
        QVERIFY2(window, qPrintable(component.errorString()));
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QStringList faults;
        walk(window->contentItem(), &faults);
        QVERIFY2(faults.filter("cut off").size() == 1, qPrintable(faults.join('\n')));
        QVERIFY2(faults.filter("overlap").size() == 1, qPrintable(faults.join('\n')));
    }
    void cleanup() { ui.stop(); }

    void everyPageFitsItsText_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("language");
        QTest::newRow("1280x800-zh") << QSize(1280, 800) << "zh";
        QTest::newRow("1280x800-en") << QSize(1280, 800) << "en";
        QTest::newRow("1920x1080-zh") << QSize(1920, 1080) << "zh";
        QTest::newRow("1920x1080-en") << QSize(1920, 1080) << "en";
    }

    void everyPageFitsItsText() {
        QFETCH(QSize, size);
        QFETCH(QString, language);
        QVERIFY(ui.start(Ui::config(language), size));
        QStringList faults = faultsOn("product page");
        for (const QString& product : ui.bridge->products()) {
            ui.bridge->selectProduct(product);
            QTRY_VERIFY(ui.item("controlTabs") && ui.item("controlTabs")->isVisible());
            const int tabs = ui.item("tabTracking")->isVisible() ? 5 : 4;
            for (int tab = 0; tab < tabs; ++tab) {
                ui.item("controlTabs")->setProperty("currentIndex", tab);
                faults += faultsOn(QString("%1 tab %2").arg(product).arg(tab));
            }
            ui.bridge->backToMain();
            QTRY_VERIFY(!ui.bridge->runtimePage());
        }
        faults.removeDuplicates();
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }
};

QTEST_MAIN(TestUiLayout)
#include "tst_ui_layout.moc"
