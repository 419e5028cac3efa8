#include "CCommDlg.h"

#include "CCommSetting.h"
#include "LocalStrings.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace {

constexpr int kDialogId = 114;

void Fill(QComboBox* list, const auto& texts)
{
    list->clear();
    for (const char* text : texts) list->addItem(QString::fromLatin1(text));
}

} // namespace

CCommDlg::CCommDlg(const CCommSetting& setting, QWidget* parent)
    : QDialog(parent), choice(CCommChoice::From(setting))
{
    setWindowTitle(QStringLiteral("Communication settings"));

    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->setSizeConstraint(QLayout::SetFixedSize);

    QComboBox* baud = AddList(grid, 115, "&Baudrate:", 116);
    QComboBox* dataBits = AddList(grid, 117, "&Data bits:", 118);
    QComboBox* parity = AddList(grid, 119, "&Parity:", 120);
    QComboBox* stopBits = AddList(grid, 121, "&Stop bits:", 122);
    Fill(dataBits, CCommChoice::kDataBitTexts);
    Fill(parity, CCommChoice::kParityTexts);
    Fill(stopBits, CCommChoice::kStopBitTexts);
    // The baud-rate list comes from the same table as the probe's parameter
    // block and the status-bar text, so the three can never disagree.
    Fill(baud, kBaudRateTexts);

    auto* ok = new QPushButton(QStringLiteral("&OK"), this);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    controls[1] = ok;
    controls[2] = cancel;
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    top->addSpacing(fontMetrics().height() / 2);
    top->addLayout(buttons);

    LocaliseWindowText(this, kDialogId);
    for (int id : {115, 117, 119, 121, 1, 2}) LocaliseWindowText(controls.at(id), id);

    // The lists are narrow; keep the dialog wide enough for the window
    // manager to show its whole caption beside the title-bar buttons.
    // Title bars often use a larger, bold face than the dialog's.
    QFont captionFont = font();
    captionFont.setBold(true);
    if (captionFont.pointSizeF() > 0) captionFont.setPointSizeF(captionFont.pointSizeF() * 1.25);
    const QFontMetrics fm(captionFont);
    const int captionWidth = fm.horizontalAdvance(windowTitle()) + 4 * fm.height();
    top->addItem(new QSpacerItem(captionWidth, 0, QSizePolicy::Fixed, QSizePolicy::Minimum));

    LoadControls();
}

QComboBox* CCommDlg::AddList(QGridLayout* grid, int labelId, const char* labelText, int listId)
{
    auto* label = new QLabel(QString::fromLatin1(labelText), this);
    auto* list = new QComboBox(this);
    list->setEditable(false);
    list->setObjectName(QStringLiteral("list%1").arg(listId));
    label->setBuddy(list);
    const int row = (listId - 116) / 2; // 116, 118, 120, 122: one row each
    grid->addWidget(label, row, 0);
    grid->addWidget(list, row, 1);
    controls[labelId] = label;
    controls[listId] = list;
    return list;
}

QWidget* CCommDlg::Control(int id) const
{
    auto it = controls.find(id);
    return it == controls.end() ? nullptr : it->second;
}

void CCommDlg::LoadControls()
{
    static_cast<QComboBox*>(controls.at(116))->setCurrentIndex(choice.baudRate);
    static_cast<QComboBox*>(controls.at(118))->setCurrentIndex(choice.dataBits);
    static_cast<QComboBox*>(controls.at(120))->setCurrentIndex(choice.parity);
    static_cast<QComboBox*>(controls.at(122))->setCurrentIndex(choice.stopBits);
}

void CCommDlg::accept()
{
    // A list without a selection gives its default rather than -1, which
    // would later pick an entry before the start of a table.
    auto position = [this](int id, int fallback) {
        auto* list = static_cast<QComboBox*>(controls.at(id));
        return CCommChoice::Checked(list->currentIndex(), list->count(), fallback);
    };
    choice.baudRate = position(116, kDefaultBaudRateIndex);
    choice.dataBits = position(118, CCommChoice::kDefaultDataBits);
    choice.parity = position(120, CCommChoice::kDefaultParity);
    choice.stopBits = position(122, CCommChoice::kDefaultStopBits);
    QDialog::accept();
}
