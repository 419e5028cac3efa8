#include "CAboutDlg.h"

#include "LocalStrings.h"
#include "ToolbarImages.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(const QString& firmwareText, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(OwnString(110));
    LocaliseWindowText(this, 110);
    auto* layout = new QGridLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(ToolbarIcon(IMG_START).pixmap(32, 32));
    auto* name = new QLabel(OwnString(111), this);
    name->setTextFormat(Qt::PlainText);
    firmware = new QLabel(firmwareText, this);
    firmware->setObjectName(QStringLiteral("firmware"));
    auto* ok = new QPushButton(OwnString(1), this);
    LocaliseWindowText(ok, 1);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignCenter);
    layout->addWidget(name, 0, 1);
    layout->addWidget(firmware, 1, 1);
    layout->addWidget(ok, 0, 2, Qt::AlignTop);
}

QString CAboutDlg::FirmwareLabelText() const { return firmware->text(); }
