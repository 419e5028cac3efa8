#pragma once
// The Frames pane: the frames the document's decoder found, listed as they
// come (following the end unless the user scrolled away), in the error
// colour when their check failed or a character had an error. Selecting a
// frame scrolls the analyzer view to its first character and marks its
// characters as Find marks a match; Ctrl+C copies the selected rows as text.
#include <QWidget>

class CAnalyzerView;
class CFrameTableModel;
class QLabel;
class QTableView;
class QTimer;

class CFramesPane final : public QWidget {
public:
    explicit CFramesPane(CAnalyzerView& view, QWidget* parent = nullptr);

    // How often the pane looks for new frames.
    static constexpr int kRefreshMs = 200;

    // Takes in new frames now (the timer does it on its own).
    void Refresh();
    // Selects row `row` and shows its frame in the view.
    void SelectRow(int row);
    // The selected rows as text, one line each, columns separated by tabs.
    QString SelectedText() const;
    void CopySelection() const;

    QTableView& Table() const { return *table; }
    CFrameTableModel& Model() const { return *model; }
    // What the pane last said ("" when all is well).
    QString Message() const;

private:
    void ShowFrame(int row);

    CAnalyzerView& view;
    CFrameTableModel* model;
    QTableView* table;
    QLabel* message;
    QTimer* timer;
};
