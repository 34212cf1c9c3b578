#pragma once

#include <QAbstractListModel>
#include <QStringList>

// The message log as a list of lines, for the log view: appending a line inserts one row, so a
// view shows a long log at the cost of the lines it draws, not of the whole log.
class MessageLogModel : public QAbstractListModel {
    Q_OBJECT
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)

public:
    explicit MessageLogModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    void append(const QString& line);
    void clear();

    QString line(int row) const;
    // The text from (fromRow, fromColumn) up to (toRow, toColumn), lines joined by "\n"; the two
    // ends may come in either order and are clamped into the log.
    QString textBetween(int fromRow, int fromColumn, int toRow, int toColumn) const;

signals:
    void countChanged();

private:
    QStringList m_lines;
};
