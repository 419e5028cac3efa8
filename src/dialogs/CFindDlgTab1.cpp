#include "CFindDlgTab1.h"

#include "MessageService.h"

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
    edit->SetHexOnly(fields.format == FORMAT_HEX);
    edit->setMaxLength(fields.format == FORMAT_HEX ? kMaxFindHexText : kMaxFindBytes);
    edit->setText(fields.findText);
    if (QAbstractButton* radio = directions->button(fields.directionFilter)) radio->setChecked(true);
    showing = false;
}

bool CFindDlgTab1::ReadControls()
{
    if (directions->checkedId() >= 0) fields.directionFilter = directions->checkedId();
    const int shownFormat = format->currentIndex() == 1 ? FORMAT_HEX : FORMAT_ASCII;
    const QString text = edit->text();
    if (shownFormat == FORMAT_ASCII) {
        for (QChar c : text) {
            if (c.unicode() <= 0xFF) continue;
            // No serial byte is such a character; searching for '?' in its
            // place would find question marks. The search keeps what it had.
            ks::Messages().Show(QStringLiteral("The text holds characters that are no single byte (beyond Latin-1). "
                                               "Write the bytes in HEX instead."),
                                ks::MessageButtons::Ok);
            edit->setText(fields.format == FORMAT_ASCII ? fields.findText : ConvertFindText(fields.findText, fields.format, FORMAT_ASCII));
            edit->setFocus();
            edit->selectAll();
            fields.findText = edit->text();
            fields.format = FORMAT_ASCII;
            return false;
        }
    }
    fields.format = shownFormat;
    fields.findText = text;
    return true;
}

void CFindDlgTab1::OnFormatChanged()
{
    if (showing) return;
    const int before = fields.format;
    ReadControls();
    fields.findText = ConvertFindText(fields.findText, before, fields.format);
    edit->SetHexOnly(fields.format == FORMAT_HEX);
    edit->setMaxLength(fields.format == FORMAT_HEX ? kMaxFindHexText : kMaxFindBytes);
    edit->setText(fields.findText);
    edit->setFocus();
    edit->end(false);
}
