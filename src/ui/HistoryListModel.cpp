// SPDX-License-Identifier: MIT
#include "ui/HistoryListModel.h"

#include "ui/HistoryItemRow.h"

namespace lexwick {

namespace {

// Whether `part` can be had from `whole` by leaving records out (compared by id, matched
// greedily from the front, as the updates below walk them).
bool isSubsequence(const QList<HistoryItem>& part, const QList<HistoryItem>& whole)
{
    qsizetype i = 0;
    for (const HistoryItem& item : whole) {
        if (i < part.size() && part[i].id == item.id)
            ++i;
    }
    return i == part.size();
}

} // namespace

HistoryListModel::HistoryListModel(QObject* parent)
    : QAbstractListModel(parent)
{
}

int HistoryListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

QVariant HistoryListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return QVariant();
    const HistoryItem& item = m_items[index.row()];
    switch (role) {
    case Qt::DisplayRole:
    case inputLineRole:
        return HistoryItemRow::inputLine(item);
    case recordIdRole:
        return item.id.toString(QUuid::WithoutBraces);
    case actionTitleRole:
        return rawValue(item.action);
    case actionSymbolRole:
        return icon(item.action);
    case toneTitleRole:
        return item.tone ? rawValue(*item.tone) : QString();
    case wasCachedRole:
        return item.wasCached;
    case resultLineRole:
        return HistoryItemRow::resultLine(item);
    case relativeTimeRole:
        return m_formatter.format(item.timestamp, m_now);
    case showCopiedRole:
        return m_copied.contains(item.id);
    default:
        return QVariant();
    }
}

QHash<int, QByteArray> HistoryListModel::roleNames() const
{
    return {
        {recordIdRole, "recordId"},
        {actionTitleRole, "actionTitle"},
        {actionSymbolRole, "actionSymbol"},
        {toneTitleRole, "toneTitle"},
        {wasCachedRole, "wasCached"},
        {inputLineRole, "inputLine"},
        {resultLineRole, "resultLine"},
        {relativeTimeRole, "relativeTime"},
        {showCopiedRole, "showCopied"},
    };
}

void HistoryListModel::setItems(const QList<HistoryItem>& items)
{
    m_now = QDateTime::currentDateTimeUtc();
    if (isSubsequence(items, m_items) && removeRowsMissingFrom(items))
        return;
    if (isSubsequence(m_items, items) && insertRowsMissingFrom(items))
        return;
    beginResetModel();
    m_items = items;
    endResetModel();
}

// Only rows go; returns false when a row that stays changed its content (a reset is simpler).
bool HistoryListModel::removeRowsMissingFrom(const QList<HistoryItem>& items)
{
    qsizetype row = 0;
    qsizetype next = 0;
    while (row < m_items.size()) {
        if (next < items.size() && m_items[row].id == items[next].id) {
            if (m_items[row] != items[next])
                return false;
            ++row;
            ++next;
            continue;
        }
        qsizetype end = row + 1;
        while (end < m_items.size() && !(next < items.size() && m_items[end].id == items[next].id))
            ++end;
        beginRemoveRows(QModelIndex(), int(row), int(end - 1));
        m_items.remove(row, end - row);
        endRemoveRows();
    }
    return true;
}

bool HistoryListModel::insertRowsMissingFrom(const QList<HistoryItem>& items)
{
    qsizetype row = 0;
    qsizetype next = 0;
    while (next < items.size()) {
        if (row < m_items.size() && m_items[row].id == items[next].id) {
            if (m_items[row] != items[next])
                return false;
            ++row;
            ++next;
            continue;
        }
        qsizetype end = next + 1;
        while (end < items.size() && !(row < m_items.size() && m_items[row].id == items[end].id))
            ++end;
        beginInsertRows(QModelIndex(), int(row), int(row + end - next - 1));
        m_items.insert(row, end - next, HistoryItem{});
        std::copy(items.begin() + next, items.begin() + end, m_items.begin() + row);
        endInsertRows();
        row += end - next;
        next = end;
    }
    return true;
}

void HistoryListModel::setCopied(const QUuid& id, bool copied)
{
    if (copied == m_copied.contains(id))
        return;
    if (copied)
        m_copied.insert(id);
    else
        m_copied.remove(id);
    for (qsizetype row = 0; row < m_items.size(); ++row) {
        if (m_items[row].id == id)
            Q_EMIT dataChanged(index(int(row)), index(int(row)), {showCopiedRole});
    }
}

void HistoryListModel::clearCopied()
{
    const QSet<QUuid> copied = std::exchange(m_copied, {});
    for (qsizetype row = 0; row < m_items.size(); ++row) {
        if (copied.contains(m_items[row].id))
            Q_EMIT dataChanged(index(int(row)), index(int(row)), {showCopiedRole});
    }
}

void HistoryListModel::setNow(const QDateTime& now)
{
    m_now = now;
    if (!m_items.isEmpty())
        Q_EMIT dataChanged(index(0), index(int(m_items.size() - 1)), {relativeTimeRole});
}

} // namespace lexwick
