#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QStringList>

// The message log as a list of lines, for the log view: appending a line inserts one row, so a
// view shows a long log at the cost of the lines it draws, not of the whole log.
//
// A device or a network can produce lines far faster than anyone reads them, so the log stays
// small whatever arrives: a line equal to the one before it only counts up that line ("… ×33"),
// more than a few lines of one kind (the same text but for its numbers) within one second are
// summed up in one summary line of that second, and only the last lines are kept, under a first
// line that says how many earlier lines there were. The caller keeps every line elsewhere (the
// session log); append() tells it whether the line is shown as a line of its own.
class MessageLogModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)
    // The day of the log's first line ("yyyy-MM-dd", "" while the log is empty): lines carry only
    // the time, and a later day starts with a line of its own (dateLine()).
    Q_PROPERTY(QString startDate READ startDate NOTIFY startDateChanged)

public:
    // Lines kept below the notice of earlier lines, and how many more may come before the oldest
    // go (in one step, so that a view moves its rows once per step, not once per line).
    static constexpr int kKeptLines = 20000;
    static constexpr int kTrimStep = 500;
    // Lines of one kind shown per second before the rest of that second is summed up.
    static constexpr int kLinesPerKindPerSecond = 5;

    explicit MessageLogModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Texts of the two lines the log makes itself: the summary (%1 count, %2 the last such line)
    // and the notice of earlier lines (%1 count). The caller words them in the operator's language.
    void setSummaryFormat(const QString& format) { m_summaryFormat = format; }
    void setEarlierLinesFormat(const QString& format) { m_earlierFormat = format; }

    // The day of the lines that follow. The first day of the log becomes startDate; another day
    // appends its date line first.
    void noteDate(const QString& date);
    QString startDate() const { return m_startDate; }
    // The line that starts a new day in the log, and whether a line is one.
    static QString dateLine(const QString& date);
    static bool isDateLine(const QString& line);

    // Appends text under a time stamp; second is the clock's second the stamp stands for. True when
    // the text became a line of its own, false when it only counted up or fed a summary.
    bool append(const QString& stamp, const QString& text, qint64 second);
    // Appends a line as it is, outside the merging rules.
    void append(const QString& line);
    void clear();

    QString line(int row) const;
    // Every line kept, joined by "\n".
    QString text() const { return m_lines.join(QLatin1Char('\n')); }
    // The text from (fromRow, fromColumn) up to (toRow, toColumn), lines joined by "\n"; the two
    // ends may come in either order and are clamped into the log.
    QString textBetween(int fromRow, int fromColumn, int toRow, int toColumn) const;

signals:
    void countChanged();
    void startDateChanged();

private:
    struct Summary {
        int row = -1;
        int count = 0;
    };

    void appendRow(const QString& line);
    void setRow(int row, const QString& line);
    void sumUp(const QString& stamp, const QString& text, const QString& kind);
    void dropOldest();

    QStringList m_lines;
    QString m_startDate;
    QString m_date;
    QString m_summaryFormat = QStringLiteral("… %1 more: %2");
    QString m_earlierFormat = QStringLiteral("… %1 earlier lines");
    // Row 0 is the notice once lines were dropped.
    int m_earlierLines = 0;

    // The last line's text without stamp and how often it came in a row.
    QString m_lastText;
    int m_lastRepeats = 0;
    // Lines per kind in the current second, and each kind's summary line of that second.
    qint64 m_second = -1;
    QHash<QString, int> m_kindCounts;
    QHash<QString, Summary> m_summaries;
};
