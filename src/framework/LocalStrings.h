#pragma once
// Texts by numeric id: the program's own string table, and the optional
// language catalogue "lang.ini" in the program directory that overrides any of
// them. Every user-visible text is looked up by its id.
#include <QString>

#include <map>
#include <string>

class QWidget;
class QAction;
class QMenu;

// The longest text a catalogue entry may give (longer ones are cut).
inline constexpr int kMaxLocalStringLength = 259;

// The framework's message for a number field that does not hold an unsigned
// number ("Enter a positive integer.").
inline constexpr int kParseUintStringId = 61719;

// The program's own entry for `id`, empty when there is none.
QString OwnString(int id);

// A language catalogue: lines "id=text" (id in decimal); blank lines and lines
// starting with '#' or ';' are comments; "\n", "\t" and "\\" are escapes.
class CLanguageCatalogue {
public:
    // Reads the file; false (and an empty catalogue) when it cannot be read.
    bool Load(const std::string& path);
    void LoadFromText(const QString& text);
    QString Text(int id) const;
    bool Empty() const { return texts.empty(); }
    void Clear() { texts.clear(); }

private:
    std::map<int, QString> texts;
};

// The catalogue in force (loaded at start-up, released at exit).
CLanguageCatalogue& LanguageCatalogue();
inline constexpr const char* kLanguageFileName = "lang.ini";

// The catalogue's text for `id`, or the program's own when that is empty.
QString LoadLocalString(int id);
// The window's text becomes LoadLocalString(id) when the window exists and the
// text is not empty; otherwise it keeps its text.
void LocaliseWindowText(QWidget* window, int id);
void LocaliseWindowText(QAction* action, int id);
void LocaliseWindowText(QMenu* menu, int id);

// printf-style "%u"/"%d" of a table text with one number.
QString FormatString(int id, long long value);
