#include "MessageLogModel.h"

#include <QRegularExpression>

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

namespace {

// Lines that differ only in their numbers (a distance, an address, a count) are of one kind.
QString kindOf(const QString& text) {
    QString kind;
    kind.reserve(text.size());
    bool inNumber = false;
    for (const QChar c : text) {
        if (c.isDigit()) {
            if (!inNumber)
                kind += QLatin1Char('#');
            inNumber = true;
        } else {
            kind += c;
            inNumber = false;
        }
    }
    return kind;
}

QString stamped(const QString& stamp, const QString& text) {
    return QStringLiteral("[%1] %2").arg(stamp, text);
}

}  // namespace

void MessageLogModel::noteDate(const QString& date) {
    if (date == m_date)
        return;
    const bool first = m_date.isEmpty();
    m_date = date;
    if (first) {
        m_startDate = date;
        emit startDateChanged();
        return;
    }
    append(dateLine(date));
}

QString MessageLogModel::dateLine(const QString& date) {
    return QStringLiteral("—— %1 ——").arg(date);
}

bool MessageLogModel::isDateLine(const QString& line) {
    static const QRegularExpression form(QStringLiteral("^—— \\d{4}-\\d{2}-\\d{2} ——$"));
    return line.startsWith(QStringLiteral("—— ")) && form.match(line).hasMatch();
}

bool MessageLogModel::append(const QString& stamp, const QString& text, qint64 second) {
    if (m_lastRepeats > 0 && text == m_lastText) {
        ++m_lastRepeats;
        setRow(m_lines.size() - 1, stamped(stamp, text) + QStringLiteral(" ×") + QString::number(m_lastRepeats));
        return false;
    }
    if (second != m_second) {
        m_second = second;
        m_kindCounts.clear();
        m_summaries.clear();
    }
    const QString kind = kindOf(text);
    if (++m_kindCounts[kind] > kLinesPerKindPerSecond) {
        sumUp(stamp, text, kind);
        return false;
    }
    appendRow(stamped(stamp, text));
    m_lastText = text;
    m_lastRepeats = 1;
    return true;
}

// One summary line per kind and second, counted up in place while that kind keeps coming.
void MessageLogModel::sumUp(const QString& stamp, const QString& text, const QString& kind) {
    Summary& summary = m_summaries[kind];
    ++summary.count;
    const QString line = stamped(stamp, m_summaryFormat.arg(QString::number(summary.count), text));
    if (summary.row >= 0) {
        setRow(summary.row, line);
        return;
    }
    summary.row = m_lines.size();
    append(line);
}

void MessageLogModel::append(const QString& line) {
    appendRow(line);
    m_lastText.clear();
    m_lastRepeats = 0;
}

void MessageLogModel::appendRow(const QString& line) {
    beginInsertRows(QModelIndex(), m_lines.size(), m_lines.size());
    m_lines.append(line);
    endInsertRows();
    emit countChanged();
    const int firstKept = m_earlierLines > 0 ? 1 : 0;
    if (m_lines.size() - firstKept > kKeptLines + kTrimStep)
        dropOldest();
}

void MessageLogModel::setRow(int row, const QString& line) {
    m_lines[row] = line;
    const QModelIndex at = index(row);
    emit dataChanged(at, at, {Qt::DisplayRole});
}

// The oldest lines go in one step, and the notice in row 0 counts them.
void MessageLogModel::dropOldest() {
    const bool hadNotice = m_earlierLines > 0;
    const int first = hadNotice ? 1 : 0;
    const int excess = m_lines.size() - first - kKeptLines;
    beginRemoveRows(QModelIndex(), first, first + excess - 1);
    m_lines.erase(m_lines.begin() + first, m_lines.begin() + first + excess);
    endRemoveRows();
    m_earlierLines += excess;
    const QString notice = m_earlierFormat.arg(m_earlierLines);
    if (hadNotice) {
        setRow(0, notice);
    } else {
        beginInsertRows(QModelIndex(), 0, 0);
        m_lines.prepend(notice);
        endInsertRows();
    }
    emit countChanged();
    const int moved = excess - (hadNotice ? 0 : 1);
    for (auto it = m_summaries.begin(); it != m_summaries.end(); ++it)
        it->row = it->row - moved >= first ? it->row - moved : -1;
}

void MessageLogModel::clear() {
    m_date.clear();
    if (!m_startDate.isEmpty()) {
        m_startDate.clear();
        emit startDateChanged();
    }
    m_lastText.clear();
    m_lastRepeats = 0;
    m_second = -1;
    m_kindCounts.clear();
    m_summaries.clear();
    m_earlierLines = 0;
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
