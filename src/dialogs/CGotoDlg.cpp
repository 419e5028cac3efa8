#include "CGotoDlg.h"

#include "CFindDlgTab3.h"
#include "LocalStrings.h"
#include "MessageService.h"
#include "WindowMessages.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

CGotoDlg::CGotoDlg(QObject* ownerView, QWidget* parent) : QDialog(parent), owner(ownerView)
{
    setWindowTitle(QStringLiteral("Go to"));
    auto* top = new QVBoxLayout(this);
    top->setSizeConstraint(QLayout::SetFixedSize);
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("&Line:"), this);
    edit = new QLineEdit(this);
    edit->setAlignment(Qt::AlignRight);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    edit->setMaxLength(10);
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")) + 12);
    label->setBuddy(edit);
    total = new QLabel(totalText, this);
    total->setMinimumWidth(total->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")));
    row->addWidget(label);
    row->addWidget(edit, 1);
    row->addWidget(new QLabel(QStringLiteral("/"), this));
    row->addWidget(total);
    top->addLayout(row);

    auto* buttons = new QHBoxLayout;
    auto* go = new QPushButton(QStringLiteral("&Go to"), this);
    go->setDefault(true);
    auto* close = new QPushButton(QStringLiteral("&Close"), this);
    buttons->addStretch(1);
    buttons->addWidget(go);
    buttons->addWidget(close);
    top->addLayout(buttons);

    controls[217] = edit;
    controls[218] = label;
    controls[219] = total;
    controls[1] = go;
    controls[167] = close;
    connect(go, &QPushButton::clicked, this, [this] { OnGoto(); });
    connect(close, &QPushButton::clicked, this, [this] { OnClose(); });

    LocaliseWindowText(this, 215);
    LocaliseWindowText(label, 218);
    LocaliseWindowText(go, 216);
    LocaliseWindowText(close, 167);
    edit->setText(QString::number(line));
}

QWidget* CGotoDlg::Control(int id) const
{
    auto it = controls.find(id);
    return it == controls.end() ? nullptr : it->second;
}

void CGotoDlg::SelectLine()
{
    edit->setFocus();
    edit->selectAll();
}

void CGotoDlg::Present(uint32_t newLine, const QString& newTotal)
{
    line = newLine;
    totalText = newTotal;
    edit->setText(QString::number(line));
    total->setText(totalText);
    SelectLine();
    show();
    raise();
    activateWindow();
    SelectLine();
}

bool CGotoDlg::ReadControls()
{
    uint32_t parsed = 0;
    if (!CFindDlgTab3::ParseValue(edit->text(), parsed)) {
        ks::Messages().Show(LoadLocalString(kParseUintStringId), ks::MessageButtons::Ok);
        edit->setText(QString::number(line));
        return false;
    }
    line = parsed;
    return true;
}

void CGotoDlg::OnGoto()
{
    ReadControls();
    SendMessage(owner, WM_GOTO_LINE, 0, 0);
    SelectLine();
}

void CGotoDlg::OnClose()
{
    ReadControls();
    hide();
}

void CGotoDlg::reject() { hide(); }
