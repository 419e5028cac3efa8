#include "LocalStrings.h"

#include "RegularFile.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QWidget>

#include <unordered_map>

namespace {

struct OwnEntry {
    int id;
    const char* text;
};

// The program's own string table. Command prompts hold "prompt\ntooltip".
constexpr OwnEntry kOwnStrings[] = {
    {1, "&OK"},
    {100, "Kestrane\n\nKestrane\nKestrane files (*.ksf)\n.ksf\n Kestrane.Document\nKestrane Document"},
    {110, "About Kestrane"},
    {111, "Kestrane  V3.3.0.0.0"},
    {113, "Firmware Version: Unknown."},
    {220, "Start the text file converter\nText File Convert"},
    {221, "Show or hide the count bar\nToggle Count Bar"},
    {222, "Go to a line\nGo To Line"},
    {223, "Set the line parameters of the probe\nCOM Settings"},
    {224, "Change the display settings\nDisplay Mode"},
    {225, "Find data, line status or time stamps\nFind"},
    {226, "Record into a series of files\nBuffer"},
    {227, "Start the analyzer\nStart (F5/Ctrl+B)"},
    {228, "Stop the analyzer\nStop (F6/Ctrl+T)"},
    {229, "Show data as ASCii characters\nASCii Mode"},
    {230, "Show data as HEX, horizontally\nHEX Horizontal"},
    {231, "Show data as HEX, vertically\nHEX Vertical"},
    {232, "Show the control lines\nLine Status"},
    {233, "Show time stamps\nTime Stamp"},
    {234, "Record the time when starts or stops the Analyzer\nStart or stop time"},
    {236, "Ln: 99999, Idx: 99999999"},
    {237, "COM: 230400-8-O-2  "},
    {238, "USB: Disconnect"},
    {239, "Firmware Version: V3.0 2008/09/14"},
    {264, "TXD:%u"}, {265, "RXD:%u"}, {266, "RTS:%u"}, {267, "RTS:%u"}, {268, "CTS:%u"},
    {269, "CTS:%u"}, {270, "CD:%u"}, {271, "CD:%u"}, {272, "DTR:%u"}, {273, "DTR:%u"},
    {274, "DSR:%u"}, {275, "DSR:%u"}, {276, "ERR:%u"},
    {277, "TXD count\nTXD count"}, {278, "RXD count\nRXD count"},
    {279, "RTS rise count\nRTS rise count"}, {280, "RTS fall count\nRTS fall count"},
    {281, "CTS rise count\nCTS rise count"}, {282, "CTS fall count\nCTS fall count"},
    {283, "CD rise count\nCD rise count"}, {284, "CD fall count\nCD fall count"},
    {285, "DTR rise count\nDTR rise count"}, {286, "DTR fall count\nDTR fall count"},
    {287, "DSR rise count\nDSR rise count"}, {288, "DSR fall count\nDSR fall count"},
    {289, "Error count\nError count"},
    {290, "Ready"},
    {291, "Scroll to: %u"},
    {292, "File type error!"},
    {293, "COM: "},
    {294, "USB: Connect"},
    {295, "USB: Disconnect"},
    {296, "COM: Disconnect."},
    {297, "Firmware Version: Unknown."},
    {298, " "},
    {299, "Open Device Failed!"},
    {300, "Open Device Successfully!"},
    {301, "ReadFile Error!!!!"},
    {302, "There is not enough disk space."},
    {303, "This operation will CLEAR the Current log. Do you want to continue?"},
    {304, "Open file failed!"},
    {305, "Disk Full!!\r\nPreservation to the disk file is stopped."},
    {306, "Failed to Create the Find Dialog."},
    {307, "Can not Find it"},
    {308, "The specified path is not a directory."},
    {309, "Please input destination file name."},
    {310, "The file of the same file name exists.\r\nDo you want to overwrite it?"},
    {311, "The Analyzer is runing, Do you want to stop it and close the dialog?"},
    {312, "Can not open the TextFile Converter."},
    {313, "Reading Data......"},
    {314, "Select folder"},
    {315, "Current Time:"},
    {316, "Stop Time:"},
    {317, "Milliseconds"},
    {318, "Seconds"},
    {319, "Minutes"},
    {320, "Hours"},
    {321, "Save changes to %s?"},
    {322, "The preservation file cannot be preserved besides HDD."},
    {323, "Please enter an integer between 1 and 999999 of file number."},
    {324, "Reading data!"},
    {325, "Write file failed!"},
    {330, "The display keeps the last 2048 lines; older lines are no longer held. Settings > Buffer... records everything to disk."},
    {331, "The disk did not keep up with the probe: the series stopped. Everything received before that is in its files."},
    {332, "The disk is slow: the last file of the series is still being written. You will be told if that fails."},
    {400, "Kestrane was ended while a capture was not saved, and kept it.\nOpen the recovered capture now?\n\n"
          "Yes opens it, No discards it, Cancel keeps it for the next start."},
    {57600, "Create a new document\nNew"},
    {57601, "Open an existing document\nOpen"},
    {57603, "Save the active document\nSave"},
    {57604, "Save the active document with a new name\nSave As"},
    {57606, "Change the printer and printing options\nPage Setup"},
    {57607, "Print the active document\nPrint"},
    {57608, "Print the active document on the current printer\nPrint"},
    {57609, "Display full pages\nPrint Preview"},
        // What printing tells the user; %s is the printer or file.
    {340, "There is nothing to print: the capture is empty."},
    {341, "Not even one line fits on a page of this size, so nothing was printed.\nChoose a larger paper size or smaller margins."},
    {342, "Printing failed: %s could not be written."},
    {343, "There is no printer to print to.\nChoose File, Print... and \"Print to File (PDF)\" to make a PDF file."},
    {344, "The manual could not be shown: no web browser took it.\nIt is the file %s; open it in a browser of your choice."},
        // Opening a capture file; %1 is the file.
    {345, "%1 is too large to open: its %2 of records need about %3 of memory, and %4 leaves %5.\n"
          "The capture that was open stays as it is."},
    {346, "Opening %1"},
    {347, "There was not enough memory to open %1.\nThe capture that was open stays as it is."},
    {57616, "Open this document"},
    {57664, "Display program information, version number and copyright\nAbout"},
    {57665, "Quit the application; prompts to save documents\nExit"},
    {57667, "List Help topics\nHelp Topics"},
    {59392, "Show or hide the toolbar\nToggle ToolBar"},
    {59393, "Show or hide the status bar\nToggle StatusBar"},
    {61440, "Open"},
    {61441, "Save As"},
    {61442, "All Files (*.*)"},
    {61443, "Untitled"},
    {61446, "For Help, press F1"},
    {61719, "Enter a positive integer."},
};

// A second entry for an id would never be seen (the first one wins), so two
// features that picked the same id would show each other's texts.
constexpr bool IdsAreUnique()
{
    constexpr std::size_t n = sizeof kOwnStrings / sizeof kOwnStrings[0];
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j)
            if (kOwnStrings[i].id == kOwnStrings[j].id) return false;
    return true;
}
static_assert(IdsAreUnique(), "two entries of the string table share an id");

const std::unordered_map<int, const char*>& OwnTable()
{
    static const std::unordered_map<int, const char*> table = [] {
        std::unordered_map<int, const char*> map;
        for (const OwnEntry& entry : kOwnStrings) map.emplace(entry.id, entry.text);
        return map;
    }();
    return table;
}

QString Unescape(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        QChar c = text[i];
        if (c == u'\\' && i + 1 < text.size()) {
            QChar n = text[i + 1];
            if (n == u'n') { out += u'\n'; ++i; continue; }
            if (n == u't') { out += u'\t'; ++i; continue; }
            if (n == u'r') { out += u'\r'; ++i; continue; }
            if (n == u'\\') { out += u'\\'; ++i; continue; }
        }
        out += c;
    }
    return out;
}

} // namespace

QString OwnString(int id)
{
    const auto& table = OwnTable();
    auto it = table.find(id);
    return it == table.end() ? QString() : QString::fromUtf8(it->second);
}

bool CLanguageCatalogue::Load(const std::string& path)
{
    texts.clear();
    // Opened as capture files are: the path's own bytes, and only a regular
    // file (a FIFO of that name would hold up the start for ever).
    std::string bytes;
    if (ks::ReadRegularFile(path, bytes) != ks::FileRead::Ok) return false;
    // A catalogue is a few kilobytes; anything huge is not one.
    constexpr std::size_t kMaxFileSize = 4 * 1024 * 1024;
    if (bytes.size() > kMaxFileSize) return false;
    LoadFromText(QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return true;
}

void CLanguageCatalogue::LoadFromText(const QString& text)
{
    texts.clear();
    const auto lines = QStringView(text).split(u'\n');
    for (QStringView line : lines) {
        if (line.endsWith(u'\r')) line.chop(1);
        QStringView trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(u'#') || trimmed.startsWith(u';')) continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0) continue;
        bool ok = false;
        const int id = line.left(eq).trimmed().toInt(&ok);
        if (!ok || id < 0 || id > 65535) continue;
        QString value = Unescape(line.mid(eq + 1));
        if (value.size() > kMaxLocalStringLength) value.truncate(kMaxLocalStringLength);
        texts[id] = value;
    }
}

QString CLanguageCatalogue::Text(int id) const
{
    auto it = texts.find(id);
    return it == texts.end() ? QString() : it->second;
}

CLanguageCatalogue& LanguageCatalogue()
{
    static CLanguageCatalogue catalogue;
    return catalogue;
}

QString LoadLocalString(int id)
{
    QString text = LanguageCatalogue().Text(id);
    return text.isEmpty() ? OwnString(id) : text;
}

void LocaliseWindowText(QWidget* window, int id)
{
    if (!window) return;
    const QString text = LoadLocalString(id);
    if (text.isEmpty()) return;
    if (auto* label = qobject_cast<QLabel*>(window)) label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(window)) button->setText(text);
    else if (auto* box = qobject_cast<QGroupBox*>(window)) box->setTitle(text);
    else window->setWindowTitle(text);
}

void LocaliseWindowText(QAction* action, int id)
{
    if (!action) return;
    const QString text = LoadLocalString(id);
    if (!text.isEmpty()) action->setText(text);
}

void LocaliseWindowText(QMenu* menu, int id)
{
    if (!menu) return;
    const QString text = LoadLocalString(id);
    if (!text.isEmpty()) menu->setTitle(text);
}

QString FormatString(int id, long long value)
{
    QString format = LoadLocalString(id);
    const QString number = QString::number(value);
    for (const char* conversion : {"%u", "%d", "%i"}) {
        const qsizetype at = format.indexOf(QLatin1String(conversion));
        if (at >= 0) return format.replace(at, 2, number);
    }
    return format;
}
