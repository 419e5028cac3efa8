#include "CFindDlgTab2.h"

#include "CFindSettings.h"
#include "LocalStrings.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace {

constexpr const char* kConditionTexts[kLineConditionCount] = {"-", "Low", "High", "Low => High", "High => Low", "Any Change"};

} // namespace

CFindDlgTab2::CFindDlgTab2(CFindSettings& fields, QWidget* parent) : QWidget(parent), fields(fields)
{
    auto* grid = new QGridLayout(this);
    // The rows follow the display's line rows; the slots the settings' order.
    struct Row {
        const char* label;
        int list;
        int slot;
    };
    const Row rows[] = {{"&RTS:", 176, SLOT_RTS}, {"&CTS:", 177, SLOT_CTS}, {"C&D:", 178, SLOT_CD},
                        {"D&TR:", 179, SLOT_DTR}, {"D&SR:", 180, SLOT_DSR}};
    int r = 0;
    for (const Row& row : rows) {
        auto* label = new QLabel(QString::fromLatin1(row.label), this);
        auto* list = new QComboBox(this);
        for (const char* text : kConditionTexts) list->addItem(QString::fromLatin1(text));
        label->setBuddy(list);
        grid->addWidget(label, r, 0);
        grid->addWidget(list, r, 1);
        lists[static_cast<std::size_t>(row.slot)] = list;
        controls[row.list] = list;
        ++r;
    }
    auto* reset = new QPushButton(QStringLiteral("R&eset All"), this);
    reset->setAutoDefault(false);
    controls[187] = reset;
    grid->addWidget(reset, 0, 2);
    grid->setColumnStretch(3, 1);
    connect(reset, &QPushButton::clicked, this, [this] {
        this->fields.conditions.fill(COND_ANY);
        ShowFields();
    });
}

QWidget* CFindDlgTab2::Control(int id) const
{
    auto it = controls.find(id);
    return it == controls.end() ? nullptr : it->second;
}

void CFindDlgTab2::Localise() { LocaliseWindowText(controls.at(187), 187); }

void CFindDlgTab2::ShowFields()
{
    for (int slot = 0; slot < kConditionSlots; ++slot) {
        const int value = fields.conditions[static_cast<std::size_t>(slot)];
        List(slot)->setCurrentIndex(value >= 0 && value < kLineConditionCount ? value : COND_ANY);
    }
}

void CFindDlgTab2::ReadControls()
{
    for (int slot = 0; slot < kConditionSlots; ++slot)
        fields.conditions[static_cast<std::size_t>(slot)] = std::max(List(slot)->currentIndex(), 0);
}
