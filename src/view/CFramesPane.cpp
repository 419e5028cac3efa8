#include "CFramesPane.h"

#include "CAnalyzerDoc.h"
#include "CAnalyzerView.h"
#include "CFrameTableModel.h"
#include "ColorRef.h"
#include "FrameMarks.h"
#include "StoreLock.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <QKeyEvent>

#include <algorithm>
#include <functional>

namespace {

// The table's own Copy takes one cell; the pane copies whole rows.
class FrameTable final : public QTableView {
public:
    using QTableView::QTableView;
    std::function<void()> onCopy;

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        if (e->matches(QKeySequence::Copy) && onCopy) {
            onCopy();
            return;
        }
        QTableView::keyPressEvent(e);
    }
};

} // namespace

CFramesPane::CFramesPane(CAnalyzerView& view, QWidget* parent)
    : QWidget(parent), view(view), model(new CFrameTableModel(view.Doc().Frames(), this)), table(new FrameTable(this)),
      message(new QLabel(this)), timer(new QTimer(this))
{
    setObjectName(QStringLiteral("FramesPane"));
    table->setModel(model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    // Fixed row heights: the table never measures rows it does not show.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    table->verticalHeader()->hide();
    // The frame's fields are what the user reads: they get the room, the
    // narrow columns a width that fits their words, the notes what is left.
    QHeaderView* header = table->horizontalHeader();
    header->setStretchLastSection(true);
    const int digit = table->fontMetrics().horizontalAdvance(QLatin1Char('0'));
    header->resizeSection(CFrameTableModel::Number, 8 * digit);
    header->resizeSection(CFrameTableModel::Time, 9 * digit);
    header->resizeSection(CFrameTableModel::Direction, 5 * digit);
    header->resizeSection(CFrameTableModel::Protocol, 12 * digit);
    header->resizeSection(CFrameTableModel::Kind, 10 * digit);
    header->resizeSection(CFrameTableModel::Content, 70 * digit);
    header->resizeSection(CFrameTableModel::Check, 18 * digit);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(table);
    layout->addWidget(message);
    message->hide();

    static_cast<FrameTable*>(table)->onCopy = [this] { CopySelection(); };
    connect(table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid()) ShowFrame(current.row());
            });
    connect(timer, &QTimer::timeout, this, [this] { Refresh(); });
    timer->start(kRefreshMs);
}

void CFramesPane::Refresh()
{
    model->SetErrorColour(ColorFromRef(view.Doc().DisplayMode().crErrFrame));
    // Following the end: only while the user has not scrolled up.
    QScrollBar* bar = table->verticalScrollBar();
    const bool atEnd = bar->value() >= bar->maximum();
    if (model->Refresh() && atEnd) table->scrollToBottom();
}

void CFramesPane::SelectRow(int row)
{
    table->selectRow(row);
    table->setCurrentIndex(model->index(row, 0));
}

void CFramesPane::ShowFrame(int row)
{
    CFrame frame;
    if (!model->FrameAt(row, frame)) return;
    int line = -1;
    {
        CStoreGuard guard(view.StoreLock());
        line = MarkFrame(view.Doc().Lines(), frame);
    }
    view.Invalidate();
    if (line < 0) {
        message->setText(QStringLiteral("The characters of frame %1 are no longer in the window.").arg(frame.number));
        message->show();
        return;
    }
    message->clear();
    message->hide();
    view.ScrollToLine(line);
}

QString CFramesPane::SelectedText() const
{
    QList<int> rows;
    for (const QModelIndex& index : table->selectionModel()->selectedRows()) rows << index.row();
    std::sort(rows.begin(), rows.end());
    QString text;
    for (int row : rows) text += model->RowText(row) + u'\n';
    return text;
}

void CFramesPane::CopySelection() const
{
    const QString text = SelectedText();
    if (!text.isEmpty()) QApplication::clipboard()->setText(text);
}

QString CFramesPane::Message() const { return message->text(); }
