#include "MessageLogView.h"

#include <QClipboard>
#include <QCursor>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QQuickWindow>
#include <QSGRenderNode>
#include <QSGRendererInterface>
#include <QTextLayout>
#include <QtMath>

#include <climits>

#include "MessageLogModel.h"

namespace {

// While a drag holds the pointer above or below the view, the view scrolls a line this often.
constexpr int kAutoScrollMs = 40;
// Laid-out rows kept beyond those on screen before the far ones are dropped.
constexpr int kRowsKept = 512;
// Nothing of the picture waits to be drawn again.
constexpr int kNothingPending = INT_MAX;

// Draws a ring picture (see m_ringTop) at the painter's origin: its rows from the ring's top first,
// then the rows above them.
void drawRing(QPainter* painter, const QImage& picture, int ringTop) {
    const qreal ratio = picture.devicePixelRatio();
    const int top = qRound(ringTop * ratio);
    const int width = picture.width();
    const int height = picture.height();
    painter->drawImage(QRectF(0, 0, width / ratio, (height - top) / ratio), picture,
                       QRectF(0, top, width, height - top));
    if (top > 0)
        painter->drawImage(QRectF(0, (height - top) / ratio, width / ratio, top / ratio), picture,
                           QRectF(0, 0, width, top));
}

// Qt Quick's software renderer draws the picture straight into the window, without copying it into a
// painted item's own picture first. The node holds the picture while it is shown; it is drawn again
// only during the next synchronisation, when no frame is being drawn.
class SoftwarePictureNode : public QSGRenderNode {
public:
    explicit SoftwarePictureNode(QQuickWindow* window) : m_window(window) {}

    void setPicture(const QImage& picture, int ringTop) {
        m_picture = picture;
        m_ringTop = ringTop;
        markDirty(QSGNode::DirtyMaterial);
    }
    // Lets the owner draw into the picture without copying it first.
    void releasePicture() { m_picture = QImage(); }

    void render(const RenderState* state) override {
        auto* painter = static_cast<QPainter*>(
            m_window->rendererInterface()->getResource(m_window, QSGRendererInterface::PainterResource));
        if (!painter || m_picture.isNull())
            return;
        painter->save();
        const QRegion* clip = state->clipRegion();
        if (clip && !clip->isEmpty())
            painter->setClipRegion(*clip, Qt::ReplaceClip);
        painter->setTransform(matrix()->toTransform());
        painter->setOpacity(inheritedOpacity());
        drawRing(painter, m_picture, m_ringTop);
        painter->restore();
    }
    StateFlags changedStates() const override { return {}; }
    RenderingFlags flags() const override { return BoundedRectRendering | OpaqueRendering; }
    QRectF rect() const override { return QRectF(QPointF(), QSizeF(m_picture.size()) / m_picture.devicePixelRatio()); }

private:
    QQuickWindow* m_window;
    QImage m_picture;
    int m_ringTop = 0;
};

}  // namespace

struct MessageLogView::Row {
    QTextLayout layout;
    int height = 0;
};

MessageLogView::MessageLogView(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setOpaquePainting(true);
    setAcceptedMouseButtons(Qt::LeftButton);
    setCursor(Qt::IBeamCursor);
    m_pendingTop = kNothingPending;
    m_autoScroll.setInterval(kAutoScrollMs);
    connect(&m_autoScroll, &QTimer::timeout, this, &MessageLogView::autoScroll);
    connect(this, &QQuickPaintedItem::fillColorChanged, this, &MessageLogView::repaintAll);
}

MessageLogView::~MessageLogView() = default;

void MessageLogView::setModel(MessageLogModel* model) {
    if (m_model == model)
        return;
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    if (m_model) {
        connect(m_model, &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex&, int first, int last) { rowsInserted(first, last); });
        connect(m_model, &QAbstractItemModel::rowsRemoved, this,
                [this](const QModelIndex&, int first, int last) { rowsMoved(first, -(last - first + 1)); });
        connect(m_model, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex& from, const QModelIndex& to) { rowsChanged(from.row(), to.row()); });
        connect(m_model, &QAbstractItemModel::modelReset, this, &MessageLogView::logReset);
        connect(m_model, &MessageLogModel::countChanged, this, &MessageLogView::countChanged);
    }
    logReset();
    emit modelChanged();
    emit countChanged();
}

void MessageLogView::setFont(const QFont& font) {
    if (m_font == font)
        return;
    m_font = font;
    m_rows.clear();
    relayout();
    emit fontChanged();
}

void MessageLogView::setColor(const QColor& color) {
    changeColor(m_color, color);
}

void MessageLogView::setSelectionColor(const QColor& color) {
    changeColor(m_selectionColor, color);
}

void MessageLogView::setSelectedTextColor(const QColor& color) {
    changeColor(m_selectedTextColor, color);
}

void MessageLogView::setDateColor(const QColor& color) {
    changeColor(m_dateColor, color);
}

void MessageLogView::changeColor(QColor& member, const QColor& color) {
    if (member == color)
        return;
    member = color;
    repaintAll();
    emit colorsChanged();
}

int MessageLogView::count() const {
    return m_model ? m_model->rowCount() : 0;
}

qreal MessageLogView::position() const {
    const int rows = count();
    if (rows == 0)
        return 0;
    return (m_topRow + qreal(m_topOffset) / rowHeight(m_topRow)) / rows;
}

void MessageLogView::setPosition(qreal position) {
    const int rows = count();
    if (rows == 0)
        return;
    const qreal top = qBound<qreal>(0, position, 1) * rows;
    m_topRow = qMin(int(top), rows - 1);
    m_topOffset = int((top - m_topRow) * rowHeight(m_topRow));
    if (contentBottom(int(height()) + 1) < height())
        placeAtEnd();
    followIfAtEnd();
    repaintAll();
    emit scrolled();
}

qreal MessageLogView::visibleFraction() const {
    const int rows = count();
    const int viewHeight = int(height());
    if (rows == 0 || viewHeight <= 0)
        return 1;
    qreal shown = 0;
    int y = -m_topOffset;
    for (int index = m_topRow; index < rows && y < viewHeight; ++index) {
        const int h = rowHeight(index);
        shown += qreal(qMin(y + h, viewHeight) - qMax(y, 0)) / h;
        y += h;
    }
    return qMin<qreal>(1, shown / rows);
}

QString MessageLogView::selectedText() const {
    if (!hasSelection() || !m_model)
        return QString();
    return m_model->textBetween(m_anchor.row, m_anchor.column, m_cursor.row, m_cursor.column);
}

void MessageLogView::copy() {
    const QString text = selectedText();
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

void MessageLogView::selectAll() {
    const int rows = count();
    if (rows == 0)
        return;
    m_anchor = {0, 0};
    m_cursor = {rows - 1, int(m_model->line(rows - 1).size())};
    emit selectionChanged();
    repaintAll();
}

void MessageLogView::scrollToEnd() {
    placeAtEnd();
    repaintAll();
    emit scrolled();
}

QRectF MessageLogView::rowRect(int index) const {
    const int rows = count();
    int y = -m_topOffset;
    for (int at = m_topRow; at < rows && y < height(); ++at) {
        const int h = rowHeight(at);
        if (at == index)
            return QRectF(0, y, width(), h);
        y += h;
    }
    return QRectF();
}

void MessageLogView::paint(QPainter* painter) {
    if (!m_picture.isNull())
        drawRing(painter, m_picture, m_ringTop);
}

void MessageLogView::geometryChanged(const QRectF& newGeometry, const QRectF& oldGeometry) {
    QQuickPaintedItem::geometryChanged(newGeometry, oldGeometry);
    if (newGeometry.size() == oldGeometry.size())
        return;
    // Rows wrap at the width; a new height keeps them as they are.
    if (newGeometry.width() != oldGeometry.width())
        m_rows.clear();
    relayout();
}

QSGNode* MessageLogView::updatePaintNode(QSGNode* oldNode, UpdatePaintNodeData* data) {
    if (window()->rendererInterface()->graphicsApi() != QSGRendererInterface::Software) {
        bringPictureUpToDate();
        return QQuickPaintedItem::updatePaintNode(oldNode, data);
    }
    auto* node = static_cast<SoftwarePictureNode*>(oldNode);
    if (node)
        node->releasePicture();
    bringPictureUpToDate();
    if (m_picture.isNull()) {
        delete node;
        return nullptr;
    }
    if (!node)
        node = new SoftwarePictureNode(window());
    node->setPicture(m_picture, m_ringTop);
    return node;
}

// Runs while the scene graph synchronises, so that the picture never changes while it is drawn.
void MessageLogView::bringPictureUpToDate() {
    const qreal ratio = window()->effectiveDevicePixelRatio();
    // Moving the ring by whole pixels needs a whole ratio; with a fractional one it is drawn anew.
    const bool wholeRatio = ratio == qRound(ratio);
    const QSize size = wholeRatio ? QSize(qCeil(width()), qCeil(height())) * qRound(ratio)
                                  : QSize(qCeil(width() * ratio), qCeil(height() * ratio));
    if (size.isEmpty()) {
        m_picture = QImage();
        return;
    }
    if (m_picture.size() != size || m_picture.devicePixelRatio() != ratio) {
        m_picture = QImage(size, QImage::Format_ARGB32_Premultiplied);
        m_picture.setDevicePixelRatio(ratio);
        m_repaintAll = true;
    }
    if (!wholeRatio)
        m_repaintAll = true;
    const int viewHeight = qCeil(height());
    if (m_repaintAll) {
        m_ringTop = 0;
        drawBand(0, viewHeight);
    } else {
        m_ringTop = (m_ringTop + m_pendingShift) % viewHeight;
        if (m_pendingTop < viewHeight)
            drawBand(qMax(0, m_pendingTop), viewHeight);
    }
    m_repaintAll = false;
    m_pendingShift = 0;
    m_pendingTop = kNothingPending;
    pruneRows();
}

void MessageLogView::mousePressEvent(QMouseEvent* event) {
    forceActiveFocus(Qt::MouseFocusReason);
    const bool hadSelection = hasSelection();
    m_dragPoint = event->localPos();
    m_anchor = m_cursor = positionAt(m_dragPoint);
    if (hadSelection) {
        emit selectionChanged();
        repaintAll();
    }
    event->accept();
}

void MessageLogView::mouseMoveEvent(QMouseEvent* event) {
    m_dragPoint = event->localPos();
    // Dragging past an edge keeps scrolling while the pointer stays there.
    if (m_dragPoint.y() < 0 || m_dragPoint.y() >= height())
        m_autoScroll.start();
    else
        m_autoScroll.stop();
    setCursorPosition(positionAt(m_dragPoint));
}

void MessageLogView::mouseReleaseEvent(QMouseEvent*) {
    m_autoScroll.stop();
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void MessageLogView::wheelEvent(QWheelEvent* event) {
    const int pixels =
        !event->pixelDelta().isNull() ? -event->pixelDelta().y() : -event->angleDelta().y() * 3 * lineHeight() / 120;
    scrollBy(pixels);
    event->accept();
}

// Other keys go on to the page, whose arrows and Home/End steer the gimbal.
void MessageLogView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy))
        copy();
    else if (event->matches(QKeySequence::SelectAll))
        selectAll();
    else
        return event->ignore();
    event->accept();
}

void MessageLogView::rowsInserted(int first, int last) {
    if (last == count() - 1)
        rowsAppended(first, last);
    else
        rowsMoved(first, last - first + 1);
}

// The log drops its oldest lines in steps (and puts a notice of them first): every row from
// `first` on moved by `delta`, and the screen and the selection keep to the rows they were on.
void MessageLogView::rowsMoved(int first, int delta) {
    auto move = [first, delta](TextPosition& at) {
        if (at.row < first)
            return;
        at.row += delta;
        if (at.row < first)
            at = {first, 0};
    };
    if (m_topRow >= first) {
        const int moved = m_topRow + delta;
        m_topOffset = moved < first ? 0 : m_topOffset;
        m_topRow = qMax(first, moved);
    }
    const bool hadSelection = hasSelection();
    move(m_anchor);
    move(m_cursor);
    m_rows.clear();
    relayout();
    if (hadSelection)
        emit selectionChanged();
}

// A line that counts its repeats changes in place; its height may change with it.
void MessageLogView::rowsChanged(int first, int last) {
    for (int index = first; index <= last; ++index)
        m_rows.remove(index);
    if (last >= m_topRow)
        relayout();
    if (hasSelection() && first <= qMax(m_anchor.row, m_cursor.row))
        emit selectionChanged();
}

// The log grows at its end. While the screen shows the end, the rows on it stay as they are
// and move up by as much as the new rows need.
void MessageLogView::rowsAppended(int first, int last) {
    const int viewHeight = int(height());
    if (!m_following || viewHeight <= 0) {
        emit scrolled();
        return;
    }
    int bottom = -m_topOffset;
    for (int index = m_topRow; index < first; ++index)
        bottom += rowHeight(index);
    int newBottom = bottom;
    for (int index = first; index <= last && newBottom < 2 * viewHeight; ++index)
        newBottom += rowHeight(index);
    const int shift = qMax(0, newBottom - viewHeight);
    if (shift >= viewHeight) {
        scrollToEnd();
        return;
    }
    moveTopDown(shift);
    shiftPicture(shift, bottom - shift);
    emit scrolled();
}

void MessageLogView::logReset() {
    m_rows.clear();
    m_topRow = 0;
    m_topOffset = 0;
    m_following = true;
    m_autoScroll.stop();
    const bool hadSelection = m_anchor.row >= 0;
    m_anchor = m_cursor = TextPosition();
    if (hadSelection)
        emit selectionChanged();
    repaintAll();
    emit scrolled();
}

const MessageLogView::Row& MessageLogView::row(int index) const {
    auto found = m_rows.constFind(index);
    if (found != m_rows.constEnd())
        return **found;
    auto laidOut = std::make_shared<Row>();
    QTextLayout& layout = laidOut->layout;
    layout.setText(m_model ? m_model->line(index) : QString());
    layout.setFont(m_font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    // Lines on whole pixels, so that every row starts on one and the picture moves by whole rows.
    int y = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(qMax<qreal>(1, width()));
        line.setPosition(QPointF(0, y));
        y += qMax(1, qCeil(line.height()));
    }
    layout.endLayout();
    laidOut->height = qMax(y, lineHeight());
    return **m_rows.insert(index, laidOut);
}

int MessageLogView::rowHeight(int index) const {
    return row(index).height;
}

int MessageLogView::lineHeight() const {
    return qMax(1, QFontMetrics(m_font).height());
}

int MessageLogView::contentBottom(int limit) const {
    const int rows = count();
    int y = -m_topOffset;
    for (int index = m_topRow; index < rows && y < limit; ++index)
        y += rowHeight(index);
    return y;
}

// Positive pixels scroll toward the end, negative ones toward the start.
void MessageLogView::scrollBy(int pixels) {
    const int viewHeight = int(height());
    if (pixels > 0) {
        const int step = qMin(pixels, contentBottom(viewHeight + pixels + 1) - viewHeight);
        if (step > 0) {
            moveTopDown(step);
            shiftPicture(step, viewHeight - step);
        }
    } else if (pixels < 0) {
        moveTopUp(-pixels);
        repaintAll();
    }
    followIfAtEnd();
    emit scrolled();
}

void MessageLogView::moveTopDown(int pixels) {
    m_topOffset += pixels;
    const int rows = count();
    while (m_topRow < rows - 1 && m_topOffset >= rowHeight(m_topRow)) {
        m_topOffset -= rowHeight(m_topRow);
        ++m_topRow;
    }
}

void MessageLogView::moveTopUp(int pixels) {
    m_topOffset -= pixels;
    while (m_topOffset < 0 && m_topRow > 0) {
        --m_topRow;
        m_topOffset += rowHeight(m_topRow);
    }
    m_topOffset = qMax(0, m_topOffset);
}

void MessageLogView::placeAtEnd() {
    int rest = int(height());
    m_following = true;
    for (int index = count() - 1; index >= 0; --index) {
        const int h = rowHeight(index);
        if (h >= rest) {
            m_topRow = index;
            m_topOffset = h - rest;
            return;
        }
        rest -= h;
    }
    m_topRow = 0;
    m_topOffset = 0;
}

// After a change of size or font: the same row stays at the top, or the end stays in view.
void MessageLogView::relayout() {
    const int rows = count();
    m_topRow = qBound(0, m_topRow, qMax(0, rows - 1));
    m_topOffset = rows > 0 ? qBound(0, m_topOffset, rowHeight(m_topRow) - 1) : 0;
    if (m_following || contentBottom(int(height()) + 1) < height())
        placeAtEnd();
    repaintAll();
    emit scrolled();
}

void MessageLogView::followIfAtEnd() {
    const int viewHeight = int(height());
    m_following = contentBottom(viewHeight + 1) <= viewHeight;
}

// The picture moves up by pixels; what lies below redrawFrom (after the move) is drawn again.
void MessageLogView::shiftPicture(int pixels, int redrawFrom) {
    m_pendingShift += pixels;
    m_pendingTop = qMin(m_pendingTop - pixels, redrawFrom);
    if (m_pendingShift >= height())
        m_repaintAll = true;
    update();
}

MessageLogView::TextPosition MessageLogView::positionAt(QPointF point) const {
    const int rows = count();
    if (rows == 0)
        return TextPosition();
    const qreal y = qBound<qreal>(0, point.y(), qMax<qreal>(0, height() - 1));
    int top = -m_topOffset;
    for (int index = m_topRow; index < rows; ++index) {
        const Row& at = row(index);
        if (y < top + at.height || index == rows - 1) {
            const QTextLayout& layout = at.layout;
            if (y >= top + at.height)
                return {index, layout.text().size()};
            for (int i = 0; i < layout.lineCount(); ++i) {
                const QTextLine line = layout.lineAt(i);
                if (y - top < line.y() + line.height() || i == layout.lineCount() - 1)
                    return {index, line.xToCursor(point.x())};
            }
            return {index, 0};
        }
        top += at.height;
    }
    return TextPosition();
}

void MessageLogView::setCursorPosition(const TextPosition& position) {
    if (m_anchor.row < 0 || position == m_cursor)
        return;
    m_cursor = position;
    emit selectionChanged();
    repaintAll();
}

void MessageLogView::autoScroll() {
    const int step = m_dragPoint.y() < 0 ? -lineHeight() : (m_dragPoint.y() >= height() ? lineHeight() : 0);
    if (step == 0) {
        m_autoScroll.stop();
        return;
    }
    scrollBy(step);
    setCursorPosition(positionAt(m_dragPoint));
}

// The selected columns [from, to) of a row; from == to where the row holds none.
QPair<int, int> MessageLogView::selectedColumns(int index, int length) const {
    if (!hasSelection())
        return {0, 0};
    const TextPosition& first = m_cursor < m_anchor ? m_cursor : m_anchor;
    const TextPosition& last = m_cursor < m_anchor ? m_anchor : m_cursor;
    if (index < first.row || index > last.row)
        return {0, 0};
    const int from = index == first.row ? qBound(0, first.column, length) : 0;
    const int to = index == last.row ? qBound(from, last.column, length) : length;
    return {from, to};
}

// Draws the screen's rows between top and bottom (item pixels) into the ring picture.
void MessageLogView::drawBand(int top, int bottom) {
    QPainter painter(&m_picture);
    // Screen row y is picture row y + m_ringTop, wrapping round at the picture's end.
    const int wrap = qCeil(height()) - m_ringTop;
    if (top < wrap)
        drawRows(painter, top, qMin(bottom, wrap), m_ringTop);
    if (bottom > wrap)
        drawRows(painter, qMax(top, wrap), bottom, -wrap);
}

// Draws the screen's rows between top and bottom, moved down by pictureOffset in the picture.
void MessageLogView::drawRows(QPainter& painter, int top, int bottom, int pictureOffset) {
    painter.save();
    painter.translate(0, pictureOffset);
    const QRect band(0, top, qCeil(width()), bottom - top);
    painter.setClipRect(band);
    painter.fillRect(band, fillColor());
    painter.setPen(m_color);
    const int rows = count();
    int y = -m_topOffset;
    for (int index = m_topRow; index < rows && y < bottom; ++index) {
        const Row& at = row(index);
        if (y + at.height > top) {
            QVector<QTextLayout::FormatRange> selection;
            const QPair<int, int> columns = selectedColumns(index, at.layout.text().size());
            if (columns.second > columns.first) {
                QTextLayout::FormatRange range;
                range.start = columns.first;
                range.length = columns.second - columns.first;
                range.format.setBackground(m_selectionColor);
                range.format.setForeground(m_selectedTextColor);
                selection << range;
            }
            painter.setPen(MessageLogModel::isDateLine(at.layout.text()) ? m_dateColor : m_color);
            at.layout.draw(&painter, QPointF(0, y), selection);
        }
        y += at.height;
    }
    painter.restore();
}

// Rows far from the screen are laid out again when scrolled to; only a window around it is kept.
void MessageLogView::pruneRows() const {
    if (m_rows.size() <= kRowsKept)
        return;
    for (auto it = m_rows.begin(); it != m_rows.end();) {
        if (it.key() < m_topRow - kRowsKept / 4 || it.key() > m_topRow + kRowsKept / 2)
            it = m_rows.erase(it);
        else
            ++it;
    }
}

void MessageLogView::repaintAll() {
    m_repaintAll = true;
    update();
}
