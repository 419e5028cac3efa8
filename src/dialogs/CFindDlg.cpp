#include "CFindDlg.h"

#include "CButtonColor.h"
#include "CFindDlgTab1.h"
#include "CFindDlgTab2.h"
#include "CFindDlgTab3.h"
#include "CMyEdit.h"
#include "ColourPicker.h"
#include "LocalStrings.h"
#include "WindowMessages.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr int kDialogId = 159;

} // namespace

CFindDlg::CFindDlg(QObject* ownerView, const std::string& settingsPath, QWidget* parent)
    : QDialog(parent), owner(ownerView)
{
    setWindowTitle(QStringLiteral("Find"));
    setSizeGripEnabled(false);

    auto* top = new QHBoxLayout(this);
    top->setSizeConstraint(QLayout::SetFixedSize);
    tabs = new QTabWidget(this);
    controls[160] = tabs;
    top->addWidget(tabs, 1);

    auto* side = new QVBoxLayout;
    top->addLayout(side);
    auto* findNext = new QPushButton(QStringLiteral("Find &Next"), this);
    findNext->setDefault(true);
    highlightButton = new QPushButton(QStringLiteral("&HighLight All"), this);
    highlightButton->setCheckable(true);
    colourButton = new CButtonColor(this);
    colourButton->setToolTip(QStringLiteral("Highlight colour"));
    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    auto* directionBox = new QGroupBox(QStringLiteral("Direction"), this);
    auto* directionRow = new QHBoxLayout(directionBox);
    directions = new QButtonGroup(this);
    auto* up = new QRadioButton(QStringLiteral("&Up"), directionBox);
    auto* down = new QRadioButton(QStringLiteral("&Down"), directionBox);
    directions->addButton(up, 0);
    directions->addButton(down, 1);
    directionRow->addWidget(up);
    directionRow->addWidget(down);
    side->addWidget(findNext);
    side->addWidget(highlightButton);
    side->addWidget(colourButton);
    side->addWidget(directionBox);
    side->addStretch(1);
    side->addWidget(close);

    controls[161] = directionBox;
    controls[162] = up;
    controls[163] = down;
    controls[164] = findNext;
    controls[165] = highlightButton;
    controls[166] = colourButton;
    controls[167] = close;

    connect(findNext, &QPushButton::clicked, this, [this] { OnFindNext(); });
    connect(highlightButton, &QPushButton::clicked, this, [this] { OnHighlightAll(); });
    connect(colourButton, &QPushButton::clicked, this, [this] { OnColour(); });
    connect(close, &QPushButton::clicked, this, [this] { OnClose(); });

    // The dialog's initialisation: texts, pages, settings, then the fields
    // shown in the controls.
    page1 = new CFindDlgTab1(fields, tabs);
    page2 = new CFindDlgTab2(fields, tabs);
    page3 = new CFindDlgTab3(fields, tabs);
    tabs->addTab(page1, QStringLiteral("Data"));
    tabs->addTab(page2, QStringLiteral("Status"));
    tabs->addTab(page3, QStringLiteral("Stamp"));
    Localise();
    if (!settingsPath.empty()) fields.Load(settingsPath);
    ShowFields();
    connect(tabs, &QTabWidget::currentChanged, this, [this](int index) {
        if (index >= 0) fields.page = index;
    });
}

void CFindDlg::Localise()
{
    LocaliseWindowText(this, kDialogId);
    for (int id : {161, 162, 163, 164, 165, 167}) LocaliseWindowText(controls.at(id), id);
    page1->Localise();
    page2->Localise();
    const std::pair<int, int> tabTexts[] = {{0, 168}, {1, 175}, {2, 181}};
    for (auto [index, id] : tabTexts) {
        const QString text = LoadLocalString(id);
        if (!text.isEmpty()) tabs->setTabText(index, text);
    }
}

QWidget* CFindDlg::Control(int id) const
{
    auto it = controls.find(id);
    if (it != controls.end()) return it->second;
    if (QWidget* w = page1->Control(id)) return w;
    if (QWidget* w = page2->Control(id)) return w;
    return page3->Control(id);
}

void CFindDlg::ShowFields()
{
    page1->ShowFields();
    page2->ShowFields();
    page3->ShowFields();
    if (QAbstractButton* radio = directions->button(fields.direction ? 1 : 0)) radio->setChecked(true);
    colourButton->SetColour(fields.highlightColour);
    tabs->setCurrentIndex(fields.page >= 0 && fields.page < tabs->count() ? fields.page : 0);
    highlightButton->setChecked(highlightAll);
}

void CFindDlg::SetHighlightAll(bool on)
{
    highlightAll = on;
    highlightButton->setChecked(on);
}

void CFindDlg::Present()
{
    show();
    raise();
    activateWindow();
    QWidget* first = nullptr;
    switch (tabs->currentIndex()) {
    case FIND_DATA: first = page1->FindEdit(); break;
    case FIND_STATUS: first = page2->List(SLOT_RTS); break;
    default: first = page3->ValueEdit(); break;
    }
    first->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(first)) edit->selectAll();
}

bool CFindDlg::ReadControls()
{
    if (directions->checkedId() >= 0) fields.direction = directions->checkedId();
    fields.page = tabs->currentIndex();
    const bool data = page1->ReadControls();
    page2->ReadControls();
    const bool stamp = page3->ReadControls();
    return data && stamp;
}

void CFindDlg::SendToOwner(int message, uintptr_t wParam)
{
    SendMessage(owner, message, wParam, static_cast<intptr_t>(fields.highlightColour));
}

void CFindDlg::OnFindNext()
{
    if (highlightAll) {
        SetHighlightAll(false);
        SendToOwner(WM_SET_MARKS, 0);
    }
    ReadControls();
    SendToOwner(WM_FIND_NEXT, 0);
}

void CFindDlg::OnHighlightAll()
{
    if (highlightAll) {
        SetHighlightAll(false);
        SendToOwner(WM_SET_MARKS, 0);
        return;
    }
    SetHighlightAll(true);
    ReadControls();
    SendToOwner(WM_SET_MARKS, 1);
}

void CFindDlg::OnColour()
{
    const std::optional<int32_t> chosen = ks::ColourPickerService().PickColour(fields.highlightColour, this);
    if (!chosen) return;
    fields.highlightColour = *chosen;
    colourButton->SetColour(*chosen);
}

void CFindDlg::OnClose()
{
    // A refused stamp value keeps the dialog open on it, as any dialog
    // whose input does not validate.
    if (!ReadControls()) return;
    hide();
}

void CFindDlg::reject() { hide(); }
