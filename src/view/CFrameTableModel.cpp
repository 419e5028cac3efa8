#include "CFrameTableModel.h"

#include "CFrameLog.h"
#include "FrameText.h"

#include <climits>

namespace {

QString Notes(const CFrame& frame)
{
    QStringList notes;
    if (frame.charError) notes << QStringLiteral("character error");
    if (frame.cut) notes << QStringLiteral("incomplete");
    if (frame.requestNumber != 0) {
        QString reply = QStringLiteral("reply to %1").arg(frame.requestNumber);
        if (frame.delayMs >= 0) reply += QStringLiteral(" after %1 ms").arg(frame.delayMs);
        notes << reply;
    }
    return notes.join(QStringLiteral(", "));
}

} // namespace

CFrameTableModel::CFrameTableModel(const CFrameLog& log, QObject* parent) : QAbstractTableModel(parent), log(log)
{
    generation = log.Generation();
    rows = static_cast<int>(std::min<std::size_t>(log.Count(), INT_MAX));
}

int CFrameTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows; }

int CFrameTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

const CFrame* CFrameTableModel::Cached(int row) const
{
    if (row != cachedRow) {
        if (!log.At(static_cast<std::size_t>(row), cached)) return nullptr;
        cachedRow = row;
    }
    return &cached;
}

bool CFrameTableModel::FrameAt(int row, CFrame& frame) const
{
    if (row < 0 || row >= rows) return false;
    const CFrame* f = Cached(row);
    if (!f) return false;
    frame = *f;
    return true;
}

QVariant CFrameTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows) return {};
    const CFrame* f = Cached(index.row());
    if (!f) return {};
    if (role == Qt::ForegroundRole) return f->IsBad() ? QVariant(errorColour) : QVariant();
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
    case Number: return QString::number(f->number);
    case Time: return QString::fromStdString(FrameTimeText(*f));
    case Direction: return QString::fromLatin1(FrameDirectionText(*f));
    case Protocol: return QString::fromStdString(FrameProtocolText(*f));
    case Kind: return QString::fromLatin1(FrameKindText(*f));
    case Content: return QString::fromStdString(FrameSummary(*f));
    case Check: return QString::fromStdString(FrameCheckText(*f));
    case Notes: return ::Notes(*f);
    default: return {};
    }
}

QVariant CFrameTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const kTitles[ColumnCount] = {"No.", "Time (s)", "Dir", "Protocol",
                                                     "Kind", "Content", "Check", "Notes"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(kTitles[section]) : QVariant();
}

bool CFrameTableModel::Refresh()
{
    const uint64_t now = log.Generation();
    const int count = static_cast<int>(std::min<std::size_t>(log.Count(), INT_MAX));
    if (now != generation) {
        beginResetModel();
        generation = now;
        rows = count;
        cachedRow = -1;
        endResetModel();
        return false;
    }
    if (count <= rows) return false;
    beginInsertRows({}, rows, count - 1);
    rows = count;
    endInsertRows();
    return true;
}

QString CFrameTableModel::RowText(int row) const
{
    QStringList cells;
    for (int c = 0; c < ColumnCount; ++c) cells << data(index(row, c), Qt::DisplayRole).toString();
    return cells.join(u'\t');
}
