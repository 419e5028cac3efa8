#pragma once
// The window a long file load shows: what is being opened, how far it got,
// and Cancel. It only shows; the document drives it from its load.
#include <QDialog>

class QLabel;
class QProgressBar;

class CLoadProgressDlg : public QDialog {
public:
    explicit CLoadProgressDlg(const QString& text, QWidget* parent = nullptr);

    // Parts per thousand done.
    void SetPermille(int permille);
    int Permille() const;

private:
    QLabel* label = nullptr;
    QProgressBar* bar = nullptr;
};
