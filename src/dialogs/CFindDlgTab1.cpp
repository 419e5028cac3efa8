#include "CFindDlgTab1.h"

#include "CFindSettings.h"
#include "CMyEdit.h"
#include "FindText.h"
#include "LocalStrings.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>

CFindDlgTab1::CFindDlgTab1(CFindSettings& fields, QWidget* parent) : QWidget(parent), fields(fields)
{
    auto* grid = new QGridLayout(this);
    auto* label = new QLabel(QStringLiteral("&Find:"), this);
    format = new QComboBox(this);
    format->addItem(QStringLiteral("ASCII"));
    format->addItem(QStringLiteral("HEX"));
    edit = new CMyEdit(this);
    edit->setMaxLength(kMaxFindBytes);
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 28);
    label->setBuddy(edit);
    grid->addWidget(label, 0, 0);
    grid->addWidget(format, 0, 1);
    grid->addWidget(edit, 0, 2);
    grid->setColumnStretch(2, 1);

    directions = new QButtonGroup(this);
    auto* row = new QHBoxLayout;
    const std::pair<int, const char*> radios[] = {{172, "&TXD"}, {173, "RXD"}, {174, "TXD && RXD"}};
    int value = 0;
    for (auto [id, text] : radios) {
        auto* radio = new QRadioButton(QString::fromLatin1(text), this);
        directions->addButton(radio, value++);
        controls[id] = radio;
        row->addWidget(radio);
    }
    row->addStretch(1);
    grid->addLayout(row, 1, 0, 1, 3);
    grid->setRowStretch(2, 1);

    controls[169] = label;
    controls[170] = format;
    controls[171] = edit;
    connect(format, &QComboBox::currentIndexChanged, this, [this] { OnFormatChanged(); });
}

QWidget* CFindDlgTab1::Control(int id) const
{
    auto it = controls.find(id);
    return it == controls.end() ? nullptr : it->second;
}

void CFindDlgTab1::Localise() { LocaliseWindowText(controls.at(169), 169); }

void CFindDlgTab1::ShowFields()
{
    showing = true;
    format->setCurrentIndex(fields.format == FORMAT_HEX ? 1 : 0);
    edit->setText(fields.findText);
    if (QAbstractButton* radio = directions->button(fields.directionFilter)) radio->setChecked(true);
    edit->SetHexOnly(fields.format == FORMAT_HEX);
    showing = false;
}

void CFindDlgTab1::ReadControls()
{
    fields.format = format->currentIndex() == 1 ? FORMAT_HEX : FORMAT_ASCII;
    fields.findText = edit->text();
    if (directions->checkedId() >= 0) fields.directionFilter = directions->checkedId();
}

void CFindDlgTab1::OnFormatChanged()
{
    if (showing) return;
    const int before = fields.format;
    ReadControls();
    fields.findText = ConvertFindText(fields.findText, before, fields.format);
    edit->SetHexOnly(fields.format == FORMAT_HEX);
    edit->setText(fields.findText);
    edit->setFocus();
    edit->end(false);
}
