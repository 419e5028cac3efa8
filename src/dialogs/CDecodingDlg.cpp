#include "CDecodingDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>

namespace {

const DecodeProtocol kProtocols[] = {DecodeProtocol::None, DecodeProtocol::ModbusRtu, DecodeProtocol::ModbusAscii,
                                     DecodeProtocol::Lines};
const MasterSide kMasters[] = {MasterSide::Txd, MasterSide::Rxd, MasterSide::Auto, MasterSide::Bus};

} // namespace

CDecodingDlg::CDecodingDlg(const DecodeSettings& settings, QWidget* parent)
    : QDialog(parent), protocol(new QComboBox(this)), master(new QComboBox(this))
{
    setWindowTitle(QStringLiteral("Decoding"));
    protocol->addItems({QStringLiteral("None"), QStringLiteral("Modbus RTU"), QStringLiteral("Modbus ASCII"),
                        QStringLiteral("Text lines")});
    master->addItems({QStringLiteral("TXD"), QStringLiteral("RXD"), QStringLiteral("Found by itself"),
                      QStringLiteral("Both on one port (two-wire bus)")});
    for (int i = 0; i < 4; ++i) {
        if (kProtocols[i] == settings.protocol) protocol->setCurrentIndex(i);
        if (kMasters[i] == settings.master) master->setCurrentIndex(i);
    }
    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("&Protocol:"), protocol);
    form->addRow(QStringLiteral("Modbus &master:"), master);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(protocol, &QComboBox::currentIndexChanged, this, [this] { UpdateMaster(); });
    UpdateMaster();
}

void CDecodingDlg::UpdateMaster()
{
    const DecodeProtocol p = kProtocols[std::max(0, protocol->currentIndex())];
    master->setEnabled(p == DecodeProtocol::ModbusRtu || p == DecodeProtocol::ModbusAscii);
}

DecodeSettings CDecodingDlg::Settings() const
{
    DecodeSettings settings;
    settings.protocol = kProtocols[std::max(0, protocol->currentIndex())];
    settings.master = kMasters[std::max(0, master->currentIndex())];
    return settings;
}
