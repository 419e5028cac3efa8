#include "CLoadProgressDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

CLoadProgressDlg::CLoadProgressDlg(const QString& text, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Kestrane"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    label = new QLabel(text, this);
    label->setWordWrap(true);
    layout->addWidget(label);
    bar = new QProgressBar(this);
    bar->setRange(0, 1000);
    bar->setValue(0);
    bar->setTextVisible(true);
    layout->addWidget(bar);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setMinimumWidth(360);
}

void CLoadProgressDlg::SetPermille(int permille) { bar->setValue(std::clamp(permille, 0, 1000)); }

int CLoadProgressDlg::Permille() const { return bar->value(); }
