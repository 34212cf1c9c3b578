#include "MessageLogModel.h"

#include <algorithm>
#include <utility>

MessageLogModel::MessageLogModel(QObject* parent) : QAbstractListModel(parent) {}

int MessageLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_lines.size();
}

QVariant MessageLogModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_lines.size() || role != Qt::DisplayRole)
        return QVariant();
    return m_lines.at(index.row());
}

void MessageLogModel::append(const QString& line) {
    beginInsertRows(QModelIndex(), m_lines.size(), m_lines.size());
    m_lines.append(line);
    endInsertRows();
    emit countChanged();
}

void MessageLogModel::clear() {
    if (m_lines.isEmpty())
        return;
    beginResetModel();
    m_lines.clear();
    endResetModel();
    emit countChanged();
}

QString MessageLogModel::line(int row) const {
    return m_lines.value(row);
}

QString MessageLogModel::textBetween(int fromRow, int fromColumn, int toRow, int toColumn) const {
    if (m_lines.isEmpty())
        return QString();
    if (toRow < fromRow || (toRow == fromRow && toColumn < fromColumn)) {
        std::swap(fromRow, toRow);
        std::swap(fromColumn, toColumn);
    }
    const int last = m_lines.size() - 1;
    if (toRow < 0 || fromRow > last)
        return QString();
    if (fromRow < 0) {
        fromRow = 0;
        fromColumn = 0;
    }
    if (toRow > last) {
        toRow = last;
        toColumn = m_lines.at(last).size();
    }
    QStringList parts;
    for (int row = fromRow; row <= toRow; ++row) {
        const QString& text = m_lines.at(row);
        const int begin = row == fromRow ? std::clamp(fromColumn, 0, int(text.size())) : 0;
        const int end = row == toRow ? std::clamp(toColumn, begin, int(text.size())) : int(text.size());
        parts << text.mid(begin, end - begin);
    }
    return parts.join(QLatin1Char('\n'));
}
