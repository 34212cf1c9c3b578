#pragma once

#include <QColor>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QPair>
#include <QPointer>
#include <QQuickPaintedItem>
#include <QTimer>

#include <memory>

#include "MessageLogModel.h"

// Shows the message log, lines wrapped to the item's width, and follows its end while the operator
// has not scrolled away from it. Every new line costs a frame in which every line on screen moves
// up, so the item keeps its picture of the screen and, for a new line at the end, moves that picture
// up and draws only the new line: the cost of a line does not depend on the log's length nor on how
// many lines are on screen. Only the lines on screen are laid out.
//
// Lines are selected with the mouse across lines (dragging past an edge scrolls), Ctrl+A selects
// all, Ctrl+C copies; the wheel scrolls. A scroll bar beside it binds to position and
// visibleFraction, both in rows of the log, and writes position when moved.
class MessageLogView : public QQuickPaintedItem {
    Q_OBJECT
    Q_PROPERTY(MessageLogModel* model READ model WRITE setModel NOTIFY modelChanged)
    Q_PROPERTY(QFont font READ font WRITE setFont NOTIFY fontChanged)
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorsChanged)
    Q_PROPERTY(QColor selectionColor READ selectionColor WRITE setSelectionColor NOTIFY colorsChanged)
    Q_PROPERTY(QColor selectedTextColor READ selectedTextColor WRITE setSelectedTextColor NOTIFY colorsChanged)
    // The colour of the line that starts a new day (MessageLogModel::dateLine).
    Q_PROPERTY(QColor dateColor READ dateColor WRITE setDateColor NOTIFY colorsChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    Q_PROPERTY(qreal position READ position WRITE setPosition NOTIFY scrolled)
    Q_PROPERTY(qreal visibleFraction READ visibleFraction NOTIFY scrolled)
    Q_PROPERTY(bool atEnd READ atEnd NOTIFY scrolled)
    Q_PROPERTY(QString selectedText READ selectedText NOTIFY selectionChanged)

public:
    explicit MessageLogView(QQuickItem* parent = nullptr);
    ~MessageLogView() override;

    MessageLogModel* model() const { return m_model; }
    void setModel(MessageLogModel* model);
    QFont font() const { return m_font; }
    void setFont(const QFont& font);
    QColor color() const { return m_color; }
    void setColor(const QColor& color);
    QColor selectionColor() const { return m_selectionColor; }
    void setSelectionColor(const QColor& color);
    QColor selectedTextColor() const { return m_selectedTextColor; }
    void setSelectedTextColor(const QColor& color);
    QColor dateColor() const { return m_dateColor; }
    void setDateColor(const QColor& color);

    int count() const;
    // Where the screen begins and how much of the log it shows, as fractions of the log's rows.
    qreal position() const;
    void setPosition(qreal position);
    qreal visibleFraction() const;
    bool atEnd() const { return m_following; }
    QString selectedText() const;

    Q_INVOKABLE void copy();
    Q_INVOKABLE void selectAll();
    Q_INVOKABLE void scrollToEnd();
    // A row's rectangle in the item while any of it is on screen, else an empty rectangle.
    Q_INVOKABLE QRectF rowRect(int row) const;

    void paint(QPainter* painter) override;

signals:
    void modelChanged();
    void fontChanged();
    void colorsChanged();
    void countChanged();
    void scrolled();
    void selectionChanged();

protected:
    void geometryChanged(const QRectF& newGeometry, const QRectF& oldGeometry) override;
    QSGNode* updatePaintNode(QSGNode* oldNode, UpdatePaintNodeData* data) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct TextPosition {
        int row = -1;
        int column = 0;
        bool operator==(const TextPosition& o) const { return row == o.row && column == o.column; }
        bool operator<(const TextPosition& o) const { return row < o.row || (row == o.row && column < o.column); }
    };

    struct Row;

    void changeColor(QColor& member, const QColor& color);
    void rowsInserted(int first, int last);
    void rowsAppended(int first, int last);
    void rowsMoved(int first, int delta);
    void rowsChanged(int first, int last);
    void logReset();
    const Row& row(int index) const;
    int rowHeight(int index) const;
    int lineHeight() const;
    // The bottom of the last row, in item pixels, looking no further than limit below the top.
    int contentBottom(int limit) const;
    void scrollBy(int pixels);
    void moveTopDown(int pixels);
    void moveTopUp(int pixels);
    void placeAtEnd();
    void relayout();
    void followIfAtEnd();
    void shiftPicture(int pixels, int redrawFrom);
    TextPosition positionAt(QPointF point) const;
    void setCursorPosition(const TextPosition& position);
    void autoScroll();
    QPair<int, int> selectedColumns(int row, int length) const;
    void bringPictureUpToDate();
    void drawBand(int top, int bottom);
    void drawRows(QPainter& painter, int top, int bottom, int pictureOffset);
    void pruneRows() const;
    void repaintAll();
    bool hasSelection() const { return m_anchor.row >= 0 && !(m_anchor == m_cursor); }

    QPointer<MessageLogModel> m_model;
    QFont m_font;
    QColor m_color = Qt::black;
    QColor m_selectionColor = Qt::blue;
    QColor m_selectedTextColor = Qt::white;
    QColor m_dateColor = Qt::darkGray;

    // The row at the top of the screen and how many pixels of it are above the screen.
    int m_topRow = 0;
    int m_topOffset = 0;
    bool m_following = true;

    // The picture of the screen, kept as a ring: the screen's top is its row m_ringTop (in item
    // pixels), and moving the screen up moves that row instead of the pixels. It still lacks what
    // happened since the last frame: the screen moved up by m_pendingShift pixels, then the rows
    // from m_pendingTop down drawn again; or all of it drawn again.
    QImage m_picture;
    int m_ringTop = 0;
    bool m_repaintAll = true;
    int m_pendingShift = 0;
    int m_pendingTop = 0;

    // Laid-out rows near the screen, by row.
    mutable QHash<int, std::shared_ptr<Row>> m_rows;

    TextPosition m_anchor;
    TextPosition m_cursor;
    QPointF m_dragPoint;
    QTimer m_autoScroll;
};
