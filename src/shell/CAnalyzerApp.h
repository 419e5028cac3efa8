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

class CAnalyzerDoc;
class CAnalyzerView;
class CMainFrame;
class CMessageBoxService;

class CAnalyzerApp : public CCmdTarget {
public:
    struct Options {
        // Install the message-box service (tests install their own).
        bool messageBoxes = true;
        // Show the frame maximised at the end of start-up.
        bool showWindow = true;
        // Work out the program paths from the executable (tests set them).
        bool initProgramPaths = true;
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
    // The firmware text the about box shows.
    QString AboutFirmwareText() const;
    // Chooses a file to open; replaced in tests. Empty means cancelled.
    std::function<QString()> chooseOpenFile;
    // The File Open dialog's filters, in order.
    static QStringList OpenFileFilters();

private:
    // --transport NAME, KS_TRANSPORT or the settings file pick the link's
    // transport library; a refused name is said once and opens no link.
    void ChooseLinkTransport(const std::string* commandLineName);
    void ShowAboutBox();
    void PromptOpenFile();
    void AddRecentFile(const QString& path);
    QStringList RecentFiles() const;

    Options options;
    std::unique_ptr<CMessageBoxService> messageBoxes;
    std::unique_ptr<CAnalyzerDoc> doc;
    CAnalyzerView* view = nullptr; // owned by the frame
    CMainFrame* frame = nullptr;   // deleted in the exit steps
    bool noFileGiven = true;
};
