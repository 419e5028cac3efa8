#include "CFindDlgTab3.h"

#include "CFindSettings.h"
#include "LocalStrings.h"
#include "MessageService.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>

CFindDlgTab3::CFindDlgTab3(CFindSettings& fields, QWidget* parent) : QWidget(parent), fields(fields)
{
    auto* grid = new QGridLayout(this);
    compare = new QButtonGroup(this);
    auto* row = new QHBoxLayout;
    const std::pair<int, const char*> radios[] = {{182, ">"}, {183, "="}, {184, "<"}};
    int v = 0;
    for (auto [id, text] : radios) {
        auto* radio = new QRadioButton(QString::fromLatin1(text), this);
        compare->addButton(radio, v++);
        controls[id] = radio;
        row->addWidget(radio);
    }
    grid->addLayout(row, 0, 0);
    value = new QLineEdit(this);
    value->setAlignment(Qt::AlignRight);
    value->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), value));
    value->setMaxLength(10);
    unit = new QComboBox(this);
    grid->addWidget(value, 0, 1);
    grid->addWidget(unit, 0, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);
    controls[185] = value;
    controls[186] = unit;
    FillUnits();
}

QWidget* CFindDlgTab3::Control(int id) const
{
    auto it = controls.find(id);
    return it == controls.end() ? nullptr : it->second;
}

void CFindDlgTab3::FillUnits()
{
    const int current = unit->currentIndex();
    unit->clear();
    for (int id = 317; id <= 320; ++id) unit->addItem(LoadLocalString(id));
    if (current >= 0) unit->setCurrentIndex(current);
}

void CFindDlgTab3::showEvent(QShowEvent* event)
{
    // The units are filled whenever the page opens, in the language in force.
    FillUnits();
    QWidget::showEvent(event);
}

bool CFindDlgTab3::ParseValue(const QString& text, uint32_t& out)
{
    if (text.isEmpty() || text.size() > 10) return false;
    uint64_t v = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9') return false;
        v = v * 10 + static_cast<uint64_t>(c.unicode() - u'0');
    }
    if (v > 0xFFFFFFFFull) return false;
    out = static_cast<uint32_t>(v);
    return true;
}

void CFindDlgTab3::ShowFields()
{
    if (QAbstractButton* radio = compare->button(fields.compare)) radio->setChecked(true);
    value->setText(QString::number(fields.value));
    unit->setCurrentIndex(fields.unit >= 0 && fields.unit < unit->count() ? fields.unit : 0);
}

bool CFindDlgTab3::ReadControls()
{
    if (compare->checkedId() >= 0) fields.compare = compare->checkedId();
    uint32_t parsed = 0;
    if (!ParseValue(value->text(), parsed)) {
        ks::Messages().Show(LoadLocalString(kParseUintStringId), ks::MessageButtons::Ok);
        // What is searched for is what the page shows.
        value->setText(QString::number(fields.value));
        unit->setCurrentIndex(fields.unit >= 0 && fields.unit < unit->count() ? fields.unit : 0);
        value->setFocus();
        value->selectAll();
        return false;
    }
    fields.value = parsed;
    fields.unit = std::max(unit->currentIndex(), 0);
    return true;
}
