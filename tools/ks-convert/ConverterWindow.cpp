#include "ConverterWindow.h"

#include "ConvertJob.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

struct FormChoice {
    const char* text;
    OutputForm form;
    const char* extension;
};

constexpr FormChoice kForms[] = {
    {"Listing (text as the program shows it)", OutputForm::Listing, ".txt"},
    {"CSV (one record a row)", OutputForm::Csv, ".csv"},
    {"Counters", OutputForm::Counters, ".txt"},
    {"Header settings", OutputForm::Header, ".txt"},
};

QHBoxLayout* FileRow(QLineEdit* edit, QPushButton* browse)
{
    auto* row = new QHBoxLayout;
    row->addWidget(edit, 1);
    row->addWidget(browse);
    return row;
}

} // namespace

ConverterWindow::ConverterWindow(QWidget* parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Kestrane Text File Converter"));
    captureEdit = new QLineEdit(this);
    targetEdit = new QLineEdit(this);
    formList = new QComboBox(this);
    for (const FormChoice& choice : kForms) formList->addItem(QString::fromLatin1(choice.text));
    auto* browseCapture = new QPushButton(QStringLiteral("&Browse..."), this);
    auto* browseTarget = new QPushButton(QStringLiteral("B&rowse..."), this);
    convertButton = new QPushButton(QStringLiteral("&Convert"), this);
    auto* closeButton = new QPushButton(QStringLiteral("Close"), this);
    resultLabel = new QLabel(this);
    resultLabel->setWordWrap(true);
    resultLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* form = new QFormLayout;
    auto* captureLabel = new QLabel(QStringLiteral("Capture &file:"), this);
    captureLabel->setBuddy(captureEdit);
    auto* targetLabel = new QLabel(QStringLiteral("&Target file:"), this);
    targetLabel->setBuddy(targetEdit);
    auto* formLabel = new QLabel(QStringLiteral("F&ormat:"), this);
    formLabel->setBuddy(formList);
    form->addRow(captureLabel, FileRow(captureEdit, browseCapture));
    form->addRow(formLabel, formList);
    form->addRow(targetLabel, FileRow(targetEdit, browseTarget));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(convertButton);
    buttons->addWidget(closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(resultLabel);
    layout->addStretch(1);
    layout->addLayout(buttons);
    setMinimumWidth(fontMetrics().averageCharWidth() * 70);

    connect(browseCapture, &QPushButton::clicked, this, [this] { BrowseCapture(); });
    connect(browseTarget, &QPushButton::clicked, this, [this] { BrowseTarget(); });
    connect(convertButton, &QPushButton::clicked, this, [this] { Convert(); });
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(captureEdit, &QLineEdit::textChanged, this, [this] { UpdateButton(); });
    connect(targetEdit, &QLineEdit::textChanged, this, [this] { UpdateButton(); });
    connect(targetEdit, &QLineEdit::textEdited, this, [this] { targetSuggested = false; });
    convertButton->setDefault(true);
    UpdateButton();
}

OutputForm ConverterWindow::Form() const
{
    const int index = formList->currentIndex();
    return index >= 0 && index < static_cast<int>(std::size(kForms)) ? kForms[index].form : OutputForm::Listing;
}

void ConverterWindow::UpdateButton()
{
    convertButton->setEnabled(!captureEdit->text().trimmed().isEmpty() && !targetEdit->text().trimmed().isEmpty());
}

void ConverterWindow::BrowseCapture()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open"), captureEdit->text(),
        QStringLiteral("Kestrane files (*.ksf);;Old files (*.df);;All Files (*)"));
    if (path.isEmpty()) return;
    captureEdit->setText(path);
    // A target beside the capture, named after it, until the user says
    // otherwise; a suggested one follows the next capture chosen, so that
    // converting it never replaces the text of the capture before.
    if (targetEdit->text().isEmpty() || targetSuggested) {
        const QFileInfo info(path);
        const int index = std::max(0, formList->currentIndex());
        targetEdit->setText(info.dir().filePath(info.completeBaseName() + QString::fromLatin1(kForms[index].extension)));
        targetSuggested = true;
    }
}

void ConverterWindow::BrowseTarget()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save As"), targetEdit->text(),
        QStringLiteral("Text files (*.txt);;CSV files (*.csv);;All Files (*)"));
    if (path.isEmpty()) return;
    targetEdit->setText(path);
    targetSuggested = false;
}

bool ConverterWindow::Convert()
{
    // One conversion for every path: the one Qt's own file access uses.
    const std::string capture = QFile::encodeName(captureEdit->text().trimmed()).toStdString();
    const std::string target = QFile::encodeName(targetEdit->text().trimmed()).toStdString();
    setCursor(Qt::WaitCursor);
    const std::string error = ConvertToFile(capture, target, Form(), ScreenLayout(ConvertOptions::kDefaultLineWidth));
    unsetCursor();
    if (error.empty()) {
        resultLabel->setText(QStringLiteral("Converted into %1.").arg(targetEdit->text().trimmed()));
        return true;
    }
    resultLabel->setText(QString::fromLocal8Bit(error.c_str()));
    return false;
}
