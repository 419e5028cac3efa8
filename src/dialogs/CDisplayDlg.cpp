#include "CDisplayDlg.h"

#include "CButtonColor.h"
#include "ColourPicker.h"
#include "LocalStrings.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <initializer_list>

namespace {

constexpr int kDialogId = 123;
constexpr int kApplyId = 157;

// Every control with a text, for the language catalogue (the swatches have none).
constexpr int kLocalisedIds[] = {124, 125, 126, 127, 128, 129, 131, 133, 135, 136, 137, 139, 141, 142, 143,
                                 144, 145, 146, 147, 326, 148, 150, 152, 153, 154, 156, 1,   2,   157};

// The groups of controls that are enabled together, by resource number.
constexpr std::initializer_list<int> kDataModeIds = {126, 127, 128};
constexpr std::initializer_list<int> kDataColourIds = {129, 130, 131, 132, 133, 134};
constexpr std::initializer_list<int> kErrorColourIds = {137, 138, 139, 140};
constexpr std::initializer_list<int> kStampModeIds = {144, 145, 146, 147, 326};
constexpr std::initializer_list<int> kStampColourIds = {148, 149, 150, 151};

int Switch(const QAbstractButton* box) { return box->isChecked() ? 1 : 0; }

} // namespace

CDisplayDlg::CDisplayDlg(bool editable, CDisplayMode* targetMode, QWidget* parent)
    : QDialog(parent), choices(editable), target(targetMode)
{
    setWindowTitle(QStringLiteral("Display Settings"));
    dataModes = new QButtonGroup(this);
    stampModes = new QButtonGroup(this);

    auto* top = new QVBoxLayout(this);
    top->setSizeConstraint(QLayout::SetFixedSize);
    auto* rows = new QGridLayout;
    rows->setColumnStretch(1, 1);
    top->addLayout(rows);

    // Data: the switch, then the data mode and the three data colours.
    rows->addWidget(AddCheck(124, "&Data"), 0, 0, Qt::AlignTop);
    auto* dataBox = new QGroupBox(QStringLiteral("Data display settings"), this);
    controls[125] = dataBox;
    auto* dataGrid = new QGridLayout(dataBox);
    dataGrid->addWidget(AddRadio(dataModes, 0, 126, "&ASCII"), 0, 0);
    dataGrid->addWidget(AddRadio(dataModes, 1, 127, "HEX Horizontal"), 1, 0);
    dataGrid->addWidget(AddRadio(dataModes, 2, 128, "HEX Vertical"), 2, 0);
    AddColour(dataGrid, 0, 129, "T&XD Color:", kColourTXD, 130);
    AddColour(dataGrid, 1, 131, "&RXD Color:", kColourRXD, 132);
    AddColour(dataGrid, 2, 133, "SP&C char:", kColourSpecChar, 134);
    rows->addWidget(dataBox, 0, 1);

    // Error: the switch and the framing and parity colours.
    rows->addWidget(AddCheck(135, "&Error"), 1, 0, Qt::AlignTop);
    auto* errorBox = new QGroupBox(QStringLiteral("Error Data color"), this);
    controls[136] = errorBox;
    auto* errorGrid = new QGridLayout(errorBox);
    auto* frame = new QHBoxLayout;
    errorGrid->addLayout(frame, 0, 0);
    // The framing colour sits left of the parity colour, in the column of
    // the radio buttons above it.
    auto* frameLabel = new QLabel(QStringLiteral("Fra&me:"), this);
    controls[137] = frameLabel;
    swatches[kColourErrFrame] = new CButtonColor(this);
    controls[138] = swatches[kColourErrFrame];
    frameLabel->setBuddy(swatches[kColourErrFrame]);
    connect(swatches[kColourErrFrame], &QPushButton::clicked, this, [this] { OnColour(kColourErrFrame); });
    frame->addWidget(frameLabel);
    frame->addWidget(swatches[kColourErrFrame]);
    frame->addStretch(1);
    AddColour(errorGrid, 0, 139, "Parit&y:", kColourErrParity, 140);
    rows->addWidget(errorBox, 1, 1);

    rows->addWidget(AddCheck(141, "Line Stat&us"), 2, 0, 1, 2);

    // Time stamps: the switch, the five resolutions and the stamp colours.
    rows->addWidget(AddCheck(142, "&Time Stamp"), 3, 0, Qt::AlignTop);
    auto* stampBox = new QGroupBox(QStringLiteral("Stamp display settings"), this);
    controls[143] = stampBox;
    auto* stampGrid = new QGridLayout(stampBox);
    stampGrid->addWidget(AddRadio(stampModes, 0, 144, "&1 ms"), 0, 0);
    stampGrid->addWidget(AddRadio(stampModes, 1, 145, "10 ms"), 1, 0);
    stampGrid->addWidget(AddRadio(stampModes, 2, 146, "100 ms"), 2, 0);
    stampGrid->addWidget(AddRadio(stampModes, 3, 147, "1000 ms"), 3, 0);
    stampGrid->addWidget(AddRadio(stampModes, 4, 326, "Date && Time"), 4, 0);
    AddColour(stampGrid, 0, 148, "&Foreground:", kColourStampFore, 149);
    AddColour(stampGrid, 1, 150, "Bac&kground:", kColourStampBack, 151);
    rows->addWidget(stampBox, 3, 1);

    rows->addWidget(AddCheck(152, "Record the t&ime when starts or stops the Analyzer"), 4, 0, 1, 2);

    // No Display and the log's background colour share a row.
    rows->addWidget(AddCheck(153, "No Di&splay"), 5, 0);
    auto* background = new QGridLayout;
    background->setColumnStretch(0, 1);
    AddColour(background, 0, 154, "&Background Color:", kColourBackground, 155);
    static_cast<QLabel*>(controls.at(154))->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    rows->addLayout(background, 5, 1);

    auto* buttons = new QHBoxLayout;
    QPushButton* defaults = AddButton(156, "Defau&lt");
    QPushButton* ok = AddButton(1, "&OK");
    QPushButton* cancel = AddButton(2, "Ca&ncel");
    QPushButton* apply = AddButton(kApplyId, "A&pply");
    ok->setDefault(true);
    buttons->addWidget(defaults);
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addWidget(apply);
    top->addSpacing(fontMetrics().height() / 3);
    top->addLayout(buttons);

    Localise();

    // The three groups line their columns up as one table would (measured
    // after localising, since the texts decide the widths).
    int left = 0;
    int label = 0;
    for (int id : {126, 127, 128, 144, 145, 146, 147, 326}) left = qMax(left, controls.at(id)->sizeHint().width());
    left = qMax(left, frame->sizeHint().width());
    for (int id : {129, 131, 133, 139, 148, 150}) label = qMax(label, controls.at(id)->sizeHint().width());
    for (QGridLayout* grid : {dataGrid, errorGrid, stampGrid}) {
        grid->setColumnMinimumWidth(0, left);
        grid->setColumnMinimumWidth(1, label);
        grid->setColumnStretch(0, 1);
    }

    connect(defaults, &QPushButton::clicked, this, &CDisplayDlg::OnDefault);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(apply, &QPushButton::clicked, this, &CDisplayDlg::OnApply);

    // The four switches that decide what else is usable re-run the rules;
    // every other change only makes Apply available.
    for (int id : {124, 135, 141, 142}) {
        connect(static_cast<QCheckBox*>(controls.at(id)), &QCheckBox::clicked, this, [this] { UpdateControls(); });
    }
    for (int id : {152, 153}) {
        connect(static_cast<QCheckBox*>(controls.at(id)), &QCheckBox::clicked, this, [this] { EnableApply(true); });
    }
    for (QButtonGroup* group : {dataModes, stampModes}) {
        connect(group, &QButtonGroup::idToggled, this, [this](int, bool checked) {
            if (checked && !loading) EnableApply(true);
        });
    }

    if (target) base = *target;
    choices.CopyFromMode(base);
    Initialise();
}

QCheckBox* CDisplayDlg::AddCheck(int id, const char* text)
{
    auto* box = new QCheckBox(QString::fromLatin1(text), this);
    controls[id] = box;
    return box;
}

QAbstractButton* CDisplayDlg::AddRadio(QButtonGroup* group, int value, int id, const char* text)
{
    auto* radio = new QRadioButton(QString::fromLatin1(text), this);
    group->addButton(radio, value);
    controls[id] = radio;
    return radio;
}

void CDisplayDlg::AddColour(QGridLayout* grid, int row, int labelId, const char* text, int slot, int swatchId)
{
    auto* label = new QLabel(QString::fromLatin1(text), this);
    auto* swatch = new CButtonColor(this);
    label->setBuddy(swatch);
    controls[labelId] = label;
    controls[swatchId] = swatch;
    swatches[static_cast<std::size_t>(slot)] = swatch;
    grid->addWidget(label, row, 1);
    grid->addWidget(swatch, row, 2);
    connect(swatch, &QPushButton::clicked, this, [this, slot] { OnColour(slot); });
}

QPushButton* CDisplayDlg::AddButton(int id, const char* text)
{
    auto* button = new QPushButton(QString::fromLatin1(text), this);
    controls[id] = button;
    return button;
}

void CDisplayDlg::Localise()
{
    LocaliseWindowText(this, kDialogId);
    for (int id : kLocalisedIds) LocaliseWindowText(controls.at(id), id);
}

QWidget* CDisplayDlg::Control(int id) const
{
    auto it = controls.find(id);
    return it == controls.end() ? nullptr : it->second;
}

void CDisplayDlg::CopyFromMode(const CDisplayMode& mode)
{
    base = mode;
    choices.CopyFromMode(mode);
    Initialise();
}

void CDisplayDlg::Initialise()
{
    LoadControls();
    UpdateControls();
    EnableApply(false);
}

void CDisplayDlg::LoadControls()
{
    loading = true;
    static_cast<QCheckBox*>(controls.at(124))->setChecked(choices.Data != 0);
    static_cast<QCheckBox*>(controls.at(135))->setChecked(choices.Error != 0);
    static_cast<QCheckBox*>(controls.at(141))->setChecked(choices.Status != 0);
    static_cast<QCheckBox*>(controls.at(142))->setChecked(choices.Stamp != 0);
    static_cast<QCheckBox*>(controls.at(152))->setChecked(choices.DateTime != 0);
    static_cast<QCheckBox*>(controls.at(153))->setChecked(choices.NoDisplay != 0);
    dataModes->button(choices.DataModeButton())->setChecked(true);
    stampModes->button(choices.StampModeButton())->setChecked(true);
    for (int slot = 0; slot < kDisplayColourCount; ++slot) Swatch(slot)->SetColour(choices.Colour(slot));
    loading = false;
}

void CDisplayDlg::TakeFromControls()
{
    // The locked form leaves every setting it locks exactly as it was given,
    // even one its controls cannot show (a mode out of range, say).
    if (choices.Editable()) {
        choices.Data = Switch(static_cast<QCheckBox*>(controls.at(124)));
        choices.Error = Switch(static_cast<QCheckBox*>(controls.at(135)));
        choices.Status = Switch(static_cast<QCheckBox*>(controls.at(141)));
        choices.Stamp = Switch(static_cast<QCheckBox*>(controls.at(142)));
        choices.DateTime = Switch(static_cast<QCheckBox*>(controls.at(152)));
        choices.DataMode = dataModes->checkedId() >= 0 ? dataModes->checkedId() : 0;
        choices.StampMode = stampModes->checkedId() >= 0 ? stampModes->checkedId() : 0;
    }
    choices.NoDisplay = Switch(static_cast<QCheckBox*>(controls.at(153)));
}

void CDisplayDlg::UpdateControls()
{
    for (int slot = 0; slot < kDisplayColourCount; ++slot) Swatch(slot)->SetColour(choices.Colour(slot));
    TakeFromControls();
    const int32_t error = choices.Error;
    const int32_t status = choices.Status;
    choices.ApplyDataRule();
    if (error != choices.Error || status != choices.Status) LoadControls();

    const DisplayEnables e = choices.Enables();
    auto enable = [this](std::initializer_list<int> ids, bool on) {
        for (int id : ids) controls.at(id)->setEnabled(on);
    };
    enable({124}, e.dataSwitch);
    enable(kDataModeIds, e.dataMode);
    enable(kDataColourIds, e.dataColours);
    enable({135}, e.errorSwitch);
    enable(kErrorColourIds, e.errorColours);
    enable({141}, e.statusSwitch);
    enable({142}, e.stampSwitch);
    enable(kStampModeIds, e.stampMode);
    enable(kStampColourIds, e.stampColours);
    enable({152}, e.dateTimeSwitch);
    EnableApply(true);
}

void CDisplayDlg::EnableApply(bool on) { controls.at(kApplyId)->setEnabled(on); }

void CDisplayDlg::OnDefault()
{
    // What the user changed before pressing Default and Default leaves alone
    // ("No Display" in the locked form) is kept, not reverted.
    TakeFromControls();
    choices.SetDefaults();
    LoadControls();
    UpdateControls();
}

void CDisplayDlg::OnColour(int slot)
{
    const std::optional<int32_t> chosen = ks::ColourPickerService().PickColour(choices.Colour(slot), this);
    if (!chosen) return;
    choices.Colour(slot) = *chosen;
    Swatch(slot)->SetColour(*chosen);
    EnableApply(true);
}

void CDisplayDlg::OnApply()
{
    TakeFromControls();
    if (target) choices.CopyToMode(*target);
    CDisplayMode applied = base;
    choices.CopyToMode(applied);
    emit applyRequested(applied);
    EnableApply(false);
}

void CDisplayDlg::accept()
{
    TakeFromControls();
    QDialog::accept();
}
