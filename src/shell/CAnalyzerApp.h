#pragma once
// The application: start-up in its fixed order, the program-wide values (the
// program directory, the settings file, the language catalogue), the single
// document, frame and view, the command line (one optional capture file), the
// about box and the File Open dialog.
#include "CCmdTarget.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>
#include <string>

class CAnalyzerDoc;
class CAnalyzerView;
class CMainFrame;
class CMessageBoxService;
namespace ks {
class TerminationSignals;
}

class CAnalyzerApp : public CCmdTarget {
public:
    struct Options {
        // Install the message-box service (tests install their own).
        bool messageBoxes = true;
        // Show the frame maximised at the end of start-up.
        bool showWindow = true;
        // Work out the program paths from the executable (tests set them).
        bool initProgramPaths = true;
        // Close the normal way on SIGTERM, SIGHUP and SIGINT.
        bool handleSignals = true;
        // A splash may greet a start without a file (tests turn it off, so
        // that it never takes their first key or click).
        bool splash = true;
    };

    CAnalyzerApp();
    explicit CAnalyzerApp(Options options);
    ~CAnalyzerApp() override; // the exit steps

    // Start-up; `arguments` without the program name. False ends the program.
    bool InitInstance(const QStringList& arguments);

    CMainFrame* Frame() const { return frame; }
    CAnalyzerDoc* Doc() const { return doc.get(); }
    CAnalyzerView* View() const { return view; }
    bool NoFileGiven() const { return noFileGiven; }

    // Opens a capture file the framework's way (the recent-file list too).
    bool OpenDocumentFile(const QString& path);
    // The same with the name's bytes as the system has them; `shown` is
    // what the recent-file list keeps.
    bool OpenDocumentBytes(const std::string& path, const QString& shown);
    // The command line's arguments as bytes, in the order of those given to
    // InitInstance (main sets them; a file's name is taken from here).
    void SetArgumentBytes(std::vector<std::string> bytes) { argumentBytes = std::move(bytes); }
    // The firmware text the about box shows.
    QString AboutFirmwareText() const;
    // Chooses a file to open; replaced in tests. Empty means cancelled.
    std::function<QString()> chooseOpenFile;
    // The File Open dialog's filters, in order.
    static QStringList OpenFileFilters();
    // Ends the event loop once the frame has closed; replaced in tests,
    // which run no loop of their own to end.
    std::function<void()> quitApplication;

    // Captures kept at the end of a session that could not ask about them:
    // "recovered-<date>-<time>.ksf" in the per-user data directory, oldest
    // first. Each is offered at the next start without a file to open.
    static QStringList RecoveredCaptures();

private:
    // A termination signal: the capture stops, unsaved data goes to a
    // recovery file, the frame closes and the settings are written back as
    // at any other exit.
    void EndSession(int signal);
    void OfferRecoveredCaptures();
    // --transport NAME, KS_TRANSPORT or the settings file pick the link's
    // transport library; a refused name is said once and opens no link.
    void ChooseLinkTransport(const std::string* commandLineName);
    void ShowAboutBox();
    void PromptOpenFile();
    void AddRecentFile(const QString& path);
    QStringList RecentFiles() const;

    Options options;
    std::unique_ptr<CMessageBoxService> messageBoxes;
    std::unique_ptr<ks::TerminationSignals> terminationSignals;
    std::unique_ptr<CAnalyzerDoc> doc;
    CAnalyzerView* view = nullptr; // owned by the frame
    CMainFrame* frame = nullptr;   // deleted in the exit steps
    bool noFileGiven = true;
    bool sessionEnded = false; // a termination signal was handled
    std::vector<std::string> argumentBytes;
};
