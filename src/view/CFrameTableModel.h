#pragma once
// The rows of the frame list over the document's frame log. A row's texts
// are made when the table asks for them, so a million frames cost the list
// nothing until they are shown. UI thread only; the log itself is shared.
#include "CFrame.h"

#include <QAbstractTableModel>
#include <QColor>

class CFrameLog;

class CFrameTableModel final : public QAbstractTableModel {
public:
    enum Column { Number, Time, Direction, Protocol, Kind, Content, Check, Notes, ColumnCount };

    explicit CFrameTableModel(const CFrameLog& log, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Takes in what the log gained (new rows) or whether it started again.
    // True when rows were added.
    bool Refresh();
    // The frame of `row` (false when the log no longer has it).
    bool FrameAt(int row, CFrame& frame) const;
    // The row as one line of text, columns separated by tabs.
    QString RowText(int row) const;
    // The colour of frames whose check failed or that hold an error.
    void SetErrorColour(const QColor& colour) { errorColour = colour; }

private:
    const CFrame* Cached(int row) const;

    const CFrameLog& log;
    int rows = 0;
    uint64_t generation = 0;
    QColor errorColour = Qt::red;
    // The last row asked for: the table asks for every column of a row in turn.
    mutable int cachedRow = -1;
    mutable CFrame cached;
};
