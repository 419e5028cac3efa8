#include "CBufferDlg.h"

#include "FolderChooser.h"
#include "LocalStrings.h"
#include "MessageService.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QDateTime>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

#include <algorithm>

namespace {

constexpr int kDialogId = 188;
constexpr int kClockId = 108;
constexpr int kClockMs = 1000;

// Controls with texts of their own in the language catalogue.
constexpr int kLocalisedIds[] = {189, 190, 191, 196, 198, 199, 201, 203, 205, 206, 208, 210, 167};

QString TimeText() { return QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")); }

QLabel* SunkenLabel(QWidget* parent)
{
    auto* label = new QLabel(QStringLiteral("-"), parent);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("0000/00/00 00:00:00")) + 12);
    return label;
}

} // namespace

template <typename T> T* CBufferDlg::Add(int id, T* widget)
{
    controls[id] = widget;
    widget->setObjectName(QStringLiteral("control%1").arg(id));
    return widget;
}

CBufferDlg::CBufferDlg(CBufferSetup& v, QWidget* parent) : QDialog(parent), values(v)
{
    setWindowTitle(QStringLiteral("Buffer Setup"));
    setWindowFlags(windowFlags() | Qt::WindowMinimizeButtonHint);
    clock = new QTimer(this);
    clock->setObjectName(QStringLiteral("timer%1").arg(kClockId));
    connect(clock, &QTimer::timeout, this, [this] { OnClockTick(); });

    auto* top = new QVBoxLayout(this);
    top->setSizeConstraint(QLayout::SetFixedSize);

    // The buttons and the times, the Close button and the reading indicator.
    auto* head = new QGridLayout;
    head->setColumnStretch(3, 1);
    auto* start = Add(189, new QPushButton(QStringLiteral("&Start"), this));
    start->setDefault(true);
    start->setAutoDefault(true);
    auto* stop = Add(190, new QPushButton(QStringLiteral("S&top"), this));
    head->addWidget(start, 0, 0);
    head->addWidget(stop, 1, 0);
    head->addWidget(Add(191, new QLabel(QStringLiteral("Start Time:"), this)), 0, 1);
    head->addWidget(Add(192, SunkenLabel(this)), 0, 2);
    head->addWidget(Add(193, new QLabel(QStringLiteral("Stop Time:"), this)), 1, 1);
    head->addWidget(Add(194, SunkenLabel(this)), 1, 2);
    auto* close = Add(167, new QPushButton(QStringLiteral("&Close"), this));
    close->setAutoDefault(false);
    head->addWidget(close, 0, 4);
    auto* reading = Add(195, new QLabel(QStringLiteral("Reading Data!"), this));
    reading->setAlignment(Qt::AlignCenter);
    QPalette red = reading->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    reading->setPalette(red);
    head->addWidget(reading, 1, 4);
    top->addLayout(head);

    // Directory and file name.
    auto* names = new QGridLayout;
    names->setColumnStretch(1, 1);
    auto* dirLabel = Add(196, new QLabel(QStringLiteral("&Directory:"), this));
    auto* dirEdit = Add(197, new QLineEdit(this));
    dirEdit->setMinimumWidth(dirEdit->fontMetrics().averageCharWidth() * 48);
    dirLabel->setBuddy(dirEdit);
    auto* browse = Add(198, new QPushButton(QStringLiteral("&Reference..."), this));
    browse->setAutoDefault(false);
    names->addWidget(dirLabel, 0, 0);
    names->addWidget(dirEdit, 0, 1, 1, 2);
    names->addWidget(browse, 0, 3);
    auto* nameLabel = Add(199, new QLabel(QStringLiteral("&File Name:"), this));
    auto* nameEdit = Add(200, new QLineEdit(this));
    nameLabel->setBuddy(nameEdit);
    names->addWidget(nameLabel, 1, 0);
    names->addWidget(nameEdit, 1, 1);
    names->addWidget(new QLabel(QStringLiteral(".KSF"), this), 1, 2);
    top->addLayout(names);

    // File size, number of files and Overwrite on the left, space on the right.
    auto* lower = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    auto* sizeBox = Add(201, new QGroupBox(QStringLiteral("File S&ize"), this));
    auto* sizeGrid = new QGridLayout(sizeBox);
    auto* slider = Add(202, new QSlider(Qt::Horizontal, sizeBox));
    slider->setRange(CBufferSetup::kMinBuffersPerFile, CBufferSetup::kMaxBuffersPerFile);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(1);
    slider->setPageStep(1);
    sizeGrid->addWidget(slider, 0, 0, 1, 6);
    const char* sizes[] = {"800KB", "1.2MB", "1.6MB", "2.0MB", "2.4MB", "2.8MB"};
    for (int i = 0; i < 6; ++i) {
        auto* label = new QLabel(QString::fromLatin1(sizes[i]), sizeBox);
        label->setAlignment(Qt::AlignCenter);
        sizeGrid->addWidget(label, 1, i);
    }
    left->addWidget(sizeBox);
    auto* countRow = new QHBoxLayout;
    auto* countLabel = Add(203, new QLabel(QStringLiteral("&Max File Number:"), this));
    auto* countEdit = Add(204, new QLineEdit(this));
    countEdit->setMaxLength(CBufferSetup::kFileNumberLength);
    countEdit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), countEdit));
    countEdit->setFixedWidth(countEdit->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
    countLabel->setBuddy(countEdit);
    countRow->addWidget(countLabel);
    countRow->addWidget(countEdit);
    countRow->addSpacing(12);
    countRow->addWidget(Add(205, new QCheckBox(QStringLiteral("&Overwrite"), this)));
    countRow->addStretch(1);
    left->addLayout(countRow);
    lower->addLayout(left);
    auto* space = new QGridLayout;
    const std::pair<int, const char*> rows[] = {{206, "Disk Free Space:"}, {208, "Required Space:"}, {210, "Remained Space:"}};
    int row = 0;
    for (auto [id, text] : rows) {
        space->addWidget(Add(id, new QLabel(QString::fromLatin1(text), this)), row, 0);
        auto* value = Add(id + 1, new QLabel(QStringLiteral("-"), this));
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setMinimumWidth(value->fontMetrics().horizontalAdvance(QStringLiteral("1023.99 MB")) + 4);
        space->addWidget(value, row, 1);
        ++row;
    }
    space->setRowStretch(3, 1);
    lower->addSpacing(12);
    lower->addLayout(space);
    top->addLayout(lower);

    connect(start, &QPushButton::clicked, this, [this] { OnStart(); });
    connect(stop, &QPushButton::clicked, this, [this] { OnStop(); });
    connect(browse, &QPushButton::clicked, this, [this] { OnBrowse(); });
    connect(close, &QPushButton::clicked, this, [this] { OnClose(); });
    // The estimate follows every edit of the directory and the number of
    // files, and every move of the slider (by mouse or by key).
    connect(dirEdit, &QLineEdit::textEdited, this, [this] { UpdateSpace(); });
    connect(countEdit, &QLineEdit::textEdited, this, [this] { UpdateSpace(); });
    connect(slider, &QSlider::valueChanged, this, [this] { UpdateSpace(); });

    LocaliseWindowText(this, kDialogId);
    for (int id : kLocalisedIds) LocaliseWindowText(controls.at(id), id);
    // Label 193 says "Stop Time:" or "Current Time:": wide enough for both,
    // so that the clock beside it does not move.
    auto* stopLabel = static_cast<QLabel*>(controls.at(193));
    stopLabel->setText(LoadLocalString(316));
    const QFontMetrics fm = stopLabel->fontMetrics();
    const int labelWidth = std::max({fm.horizontalAdvance(LoadLocalString(315)), fm.horizontalAdvance(LoadLocalString(316)),
                                     fm.horizontalAdvance(static_cast<QLabel*>(controls.at(191))->text())});
    stopLabel->setMinimumWidth(labelWidth + 4);

    // The values as last chosen; a file size out of range from the settings
    // file comes back from the slider within it.
    LoadControls();
    TakeValues();
    UpdateSpace();
    SetRunningControls(false);
    reading->setText(LoadLocalString(324));
    reading->hide();
}

CBufferDlg::~CBufferDlg() = default;

QWidget* CBufferDlg::Control(int id) const
{
    auto it = controls.find(id);
    return it == controls.end() ? nullptr : it->second;
}

void CBufferDlg::TakeValues()
{
    values.directory = static_cast<QLineEdit*>(controls.at(197))->text();
    values.fileName = static_cast<QLineEdit*>(controls.at(200))->text();
    values.buffersPerFile = static_cast<QSlider*>(controls.at(202))->value();
    values.fileNumberText = static_cast<QLineEdit*>(controls.at(204))->text().left(CBufferSetup::kFileNumberLength);
    values.overwrite = static_cast<QCheckBox*>(controls.at(205))->isChecked() ? 1 : 0;
}

void CBufferDlg::LoadControls()
{
    // The slider reports its new position at once; the space is updated
    // after everything is loaded, not from half-loaded controls.
    const bool wasLoading = loading;
    loading = true;
    auto setText = [](QWidget* w, const QString& text) {
        auto* edit = static_cast<QLineEdit*>(w);
        if (edit->text() != text) edit->setText(text);
    };
    setText(controls.at(197), values.directory);
    setText(controls.at(200), values.fileName);
    setText(controls.at(204), values.fileNumberText.left(CBufferSetup::kFileNumberLength));
    static_cast<QSlider*>(controls.at(202))->setValue(values.buffersPerFile);
    static_cast<QCheckBox*>(controls.at(205))->setChecked(values.overwrite != 0);
    static_cast<QLabel*>(controls.at(192))->setText(startTimeText);
    static_cast<QLabel*>(controls.at(194))->setText(stopTimeText);
    loading = wasLoading;
}

bool CBufferDlg::UpdateSpace()
{
    if (loading) return false;
    TakeValues();
    const CBufferSetup::Space s = values.UpdateSpace();
    ShowSpace(s);
    return s.enough;
}

void CBufferDlg::ShowSpace(const CBufferSetup::Space& s)
{
    static_cast<QLabel*>(controls.at(207))->setText(s.freeText);
    static_cast<QLabel*>(controls.at(209))->setText(s.requiredText);
    static_cast<QLabel*>(controls.at(211))->setText(s.remainedText);
}

void CBufferDlg::SetRunningControls(bool on)
{
    for (int id : {167, 189, 197, 198, 200, 202, 204, 205}) controls.at(id)->setEnabled(!on);
    controls.at(190)->setEnabled(on);
}

void CBufferDlg::ShowMessage(int id) { ks::Messages().Show(LoadLocalString(id), ks::MessageButtons::Ok); }

void CBufferDlg::FocusControl(int id, bool selectAll)
{
    QWidget* w = Control(id);
    if (!w) return;
    w->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(w); edit && selectAll) edit->selectAll();
}

void CBufferDlg::OnStart()
{
    TakeValues();
    const CBufferSetup::Check check = values.CheckStart(isConnected && isConnected());
    // The texts show the figures Start decided on, before any answer.
    if (check.space) ShowSpace(*check.space);
    if (!check.ok) {
        if (check.messageId != 0) ShowMessage(check.messageId);
        else ks::Messages().Show(check.text, ks::MessageButtons::Ok);
        if (check.focusId != 0) FocusControl(check.focusId, false);
        return;
    }
    values.AppendSeparator();
    LoadControls();
    switch (values.PrepareFirstFile()) {
    case CBufferSetup::FirstFile::Exists:
        if (ks::Messages().Show(LoadLocalString(310), ks::MessageButtons::YesNo) != ks::MessageResult::Yes) {
            FocusControl(CBufferSetup::kFileNameEdit, true);
            return;
        }
        break;
    case CBufferSetup::FirstFile::CannotCreate:
        ShowMessage(325);
        FocusControl(CBufferSetup::kFileNameEdit, true);
        return;
    case CBufferSetup::FirstFile::Created:
        break;
    }
    startTimeText = TimeText();
    stopTimeText = startTimeText;
    static_cast<QLabel*>(controls.at(193))->setText(LoadLocalString(315));
    if (running) return;
    clock->start(kClockMs);
    LoadControls();
    // A series the document could not start leaves the dialog as it was;
    // the document has said why.
    if (!startSeries || !startSeries()) {
        clock->stop();
        static_cast<QLabel*>(controls.at(193))->setText(LoadLocalString(316));
        return;
    }
    running = true;
    SetRunningControls(true);
    controls.at(190)->setFocus(Qt::OtherFocusReason);
}

void CBufferDlg::OnStop()
{
    if (!running) return;
    clock->stop();
    static_cast<QLabel*>(controls.at(193))->setText(LoadLocalString(316));
    stopTimeText = TimeText();
    static_cast<QLabel*>(controls.at(194))->setText(stopTimeText);
    if (stopSeries) stopSeries();
    running = false;
    readingShown = false;
    SetRunningControls(false);
    controls.at(195)->hide();
    controls.at(189)->setFocus(Qt::OtherFocusReason);
}

void CBufferDlg::OnClockTick()
{
    stopTimeText = TimeText();
    LoadControls();
}

void CBufferDlg::OnBrowse()
{
    TakeValues();
    const std::optional<QString> chosen =
        ks::FolderChooserService().ChooseFolder(LoadLocalString(314), values.directory, this);
    if (!chosen) return;
    values.directory = *chosen;
    LoadControls();
    UpdateSpace();
}

void CBufferDlg::OnClose()
{
    TakeValues();
    accept();
}

void CBufferDlg::ShowReadingIndicator()
{
    if (!running) return;
    controls.at(195)->show();
    readingShown = true;
}

void CBufferDlg::OnSeriesStopping()
{
    if (!running) return;
    controls.at(195)->hide();
    readingShown = false;
    controls.at(190)->setEnabled(false);
}

void CBufferDlg::reject()
{
    if (!running) {
        QDialog::reject();
        return;
    }
    // A series that has stopped taking records (after an overrun) ends by
    // itself in a moment and closes the dialog then.
    if (seriesRecording && !seriesRecording()) return;
    if (ks::Messages().Show(LoadLocalString(311), ks::MessageButtons::YesNo) != ks::MessageResult::Yes) return;
    OnStop();
    QDialog::reject();
}

void CBufferDlg::changeEvent(QEvent* e)
{
    QDialog::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange && isMinimized()) {
        if (QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr) owner->showMinimized();
    }
}
