#pragma once
// The document: it owns the capture (line store, display and line settings,
// the device link) and controls it: opening and closing the link, starting
// and stopping, feeding the probe's records into the store, the five line
// indicators, and the status texts it sends the main frame.
//
// Threads: commands, timers and link open/close run on the UI thread; the
// link's dispatch thread runs OnMonitorData, its reader thread the lost
// callback. Every touch of the line store from either thread happens under the
// view's store lock; flags the worker threads read are atomic.
#include "CFrameLog.h"
#include "CLines.h"
#include "StoreLock.h"
#include "CUSBCom.h"
#include "CCommSetting.h"
#include "CDisplayMode.h"
#include "CCmdTarget.h"
#include "IAnalyzerDisplay.h"

#include <QObject>
#include <QString>

#include <array>
#include <chrono>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

class CRecoveryFile;
class CCaptureReader;
class CSeriesControl;
class QTimer;
class QDialog;
class QWidget;

class CAnalyzerDoc : public QObject, public CCmdTarget {
public:
    // Reads the display and line settings from `settingsPath` (empty: defaults,
    // nothing written back).
    explicit CAnalyzerDoc(std::string settingsPath);
    ~CAnalyzerDoc() override;

    void SetView(IAnalyzerDisplay* view) { this->view = view; }
    void SetFrame(QObject* frame) { this->frame = frame; }
    IAnalyzerDisplay* View() const { return view; }

    // Capture control.
    void OnAnalyzerStart();
    void OnAnalyzerStop();
    bool OpenLink(LinkCallback dataCallback = &CAnalyzerDoc::MonitorDataCallback);
    void CloseLink();
    void ShowLinkLost();
    void ApplyCommSettings();
    void OnIdleTick();
    void SendCounters();

    static void MonitorDataCallback(const uint8_t* data, uint32_t count, void* doc);
    static void LinkLostCallback(const uint8_t* data, uint32_t count, void* doc);
    // One block of the link (dispatch thread), or count 0 when it ran dry.
    void OnMonitorData(const uint8_t* data, uint32_t count);
    // The end of a burst reached the UI thread.
    void OnBurstEndPosted();
    // Live drawing happens at most this often; bursts in between are drawn
    // together (the screen cannot show more, and each draw has a fixed cost).
    static constexpr int kMinDrawIntervalMs = 100;
    // When whole screens of lines arrive between two draws (a fast line),
    // every draw paints the window afresh and nobody reads the lines passing
    // by anyway: drawing then waits this long, so that data is on the
    // screen within 0.15 s while a full repaint a draw stays cheap.
    static constexpr int kBusyDrawIntervalMs = 140;
    static constexpr int kBusyLines = 8;

    // Line indicators: colours 0x00BBGGRR of RTS, CTS, DTR, DSR, CD.
    void UpdateLineIndicators(uint8_t statusByte);
    void ResetLineIndicators();
    void PaintLineIndicators();
    // The frame took the last paint request.
    void IndicatorsPainted() { indicatorPaintPending = false; }
    uint32_t IndicatorColour(int index) const { return indicatorColour[static_cast<std::size_t>(index)].load(); }
    static constexpr uint32_t kIndicatorGrey = 0x808080;
    static constexpr uint32_t kIndicatorGreen = 0x00FF00;
    static constexpr uint32_t kIndicatorBlack = 0x000000;

    // New and open (the framework's document steps).
    void OnNewDocument();
    bool OnOpenDocument(const std::string& path);
    // Before the frame closes: the capture is stopped.
    bool CanCloseFrame();

    // Files. OnSaveDocument writes a ".ksf" file through a temporary file in
    // the same folder that replaces the target only once it is complete, so a
    // failed save leaves an earlier file as it was.
    bool OnSaveDocument(const std::string& path);
    bool OnFileSave();
    bool OnFileSaveAs();
    // Asks whether to save changes; false when the user cancelled (or the
    // save failed), so the caller must not go on.
    bool SaveModified();
    // The end of a session that cannot ask (a termination signal): the
    // capture is written to `path` without a word, whatever its state.
    bool WriteCaptureQuietly(const std::string& path);
    // The changes were dealt with elsewhere: closing does not ask about them
    // (and no recovery file is kept for them).
    void DiscardChanges();
    // The recovery file of the unsaved capture (see CRecoveryFile): brought
    // up to date every few seconds while a capture runs and at its stop.
    const CRecoveryFile& Recovery() const { return *recovery; }
    void UpdateRecovery();
    // Opens `path` as an untitled capture with unsaved changes (a recovered
    // capture is saved under a name of the user's choosing).
    bool OpenAsUntitled(const std::string& path);
    // The name Save As proposes for a document with `path` and `title`.
    static QString ProposedSaveName(const std::string& path, const QString& title);

    // Settings commands (223, 224 and the dialog's Apply, 158).
    void OnCommSettings();
    void OnDisplaySettings();
    // The display settings changed (after OK or Apply): the probe, the timers
    // and the view follow them.
    void AfterDisplaySettings(bool recreatePens);

    // Runs a modal dialog and returns its result; tests replace it so that
    // nothing ever waits for a user.
    std::function<int(QDialog&)> runDialog;
    // A file load that takes longer than this shows its progress and can be
    // cancelled (tests shorten it).
    int loadProgressDelayMs = 500;
    // Lets the user choose the name to save under, starting from `proposed`;
    // empty when cancelled. Replaced in tests.
    std::function<QString(const QString& proposed)> chooseSaveFile;
    // A save under a new name succeeded (the recent-file list takes it).
    std::function<void(const QString& path)> onSavedAs;

    // The auto-save series (commands 226, 1234, 1235).
    CSeriesControl& Series() { return *series; }
    // Lines the live window keeps; older ones are dropped, and the first
    // drop of a capture is told once in the message pane (string 330).
    static constexpr int kLinesDroppedNotice = 330;

    // The transport library a new link loads (empty: the program's own).
    void SetLinkLibraryPath(std::string path) { linkLibraryPath = std::move(path); }
    // The transport the user named cannot be used (the reason was shown at
    // start-up): no link opens, rather than quietly another transport.
    void RefuseLink() { linkRefused = true; }

    // Makes the link a new open uses (tests give links with failing seams).
    std::function<std::unique_ptr<CUSBCom>()> makeLink;
    // An open of the link is in progress further up the stack (a message box
    // it showed runs an event loop); opening or closing the link must wait.
    bool IsLinkBusy() const { return linkBusy; }
    // Bytes of probe data the link delivered while no capture ran, which the
    // monitor path therefore did not keep (a measure for the benchmarks).
    uint64_t BytesDroppedWhileStopped() const { return droppedWhileStopped.load(); }

    bool IsRunning() const { return running.load(); }
    bool IsConnected() const { return connected.load(); }
    bool IsBurstActive() const { return burstActive.load(); }
    CUSBCom* Link() const { return link.get(); }
    // The store and settings. The display settings are written on the UI
    // thread only, under the store lock; the UI thread reads them freely.
    CLines& Lines() { return *lineStore; }
    const CLines& Lines() const { return *lineStore; }
    CDisplayMode& DisplayMode() { return displayMode; }
    const CDisplayMode& DisplayMode() const { return displayMode; }
    CCommSetting& CommSetting() { return commSetting; }
    // The frames decoded from the capture (the frame list shows them): fed
    // every block the store gets, and the whole store after a load.
    CFrameLog& Frames() { return frameLog; }
    CStoreLock& StoreLock();

    const std::string& PathName() const { return pathName; }
    // The settings file the document reads and writes (empty: none).
    const std::string& SettingsPath() const { return settingsPath; }
    QString Title() const;
    // Called when the title changes (new or opened document).
    std::function<void()> onTitleChanged;
    // Called on the UI thread after the end of a burst was drawn (for
    // measuring how long data takes to reach the screen).
    std::function<void()> onBurstDrawn;

    // Line widths beyond this are not laid out (the view's image has to hold
    // one line); wider settings values count as not set.
    static constexpr int kMaxLineWidth = 16000;

protected:
    bool event(QEvent* e) override;

private:
    friend class CSeriesControl;

    void BeginBurstLocked();
    void DrawBurst();
    void SetDisplayOption(int32_t CDisplayMode::*field, int32_t value, bool postState, bool clearMarks);
    void PostPane(int id, intptr_t lParam = 0);
    void SetTitleFromPath(const std::string& path);
    int RunDialog(QDialog& dialog);
    // The view's window (null without a view).
    QWidget* ViewWindow() const { return view ? view->Window() : nullptr; }
    bool SaveAs(const QString& proposed);
    // Loads the records of `reader`'s file laid out with `mode` into a new
    // store, showing progress when it takes long; the store, or null when the
    // load failed (said to the user), ran out of memory or was cancelled.
    std::unique_ptr<CLines> LoadCapture(std::unique_ptr<CCaptureReader> reader, const CDisplayMode& mode,
                                        const std::string& path);
    // "Open file failed!" with the file's name.
    void ShowOpenFailed(const std::string& path, int textId = 304);
    bool WriteCaptureFile(const std::string& path);

    std::string settingsPath;
    std::atomic<bool> running{false};
    CDisplayMode displayMode;
    std::unique_ptr<CUSBCom> link;
    std::atomic<bool> connected{false};
    // The link's loss and the end of its open decide `connected` together:
    // a loss reported while Open still ran must not be overwritten by its
    // success.
    std::mutex connectionLock;
    bool lossReported = false; // guarded by connectionLock
    bool linkBusy = false;     // UI thread: an OpenLink is on the stack
    std::atomic<uint64_t> droppedWhileStopped{0};
    std::array<std::atomic<uint32_t>, 5> indicatorColour;
    // Replaced whole, under the store lock, when a file has been loaded.
    std::unique_ptr<CLines> lineStore = std::make_unique<CLines>();
    CCommSetting commSetting;
    CFrameLog frameLog;
    bool longSaveActive = false;
    int burstStartLine = 0;
    int burstStartItem = -1;
    std::atomic<bool> burstActive{false};
    std::atomic<bool> burstEndPending{false};
    std::atomic<bool> indicatorPaintPending{false};
    bool openingFile = false;
    bool modified = false;
    uint32_t stampAccumulator = 0;

    IAnalyzerDisplay* view = nullptr;
    QObject* frame = nullptr;
    CStoreLock ownLock; // only until a view is attached
    std::string pathName;
    std::string linkLibraryPath;
    bool linkRefused = false;
    std::chrono::steady_clock::time_point lastBurstDraw{};
    int lastDrawnLine = 0; // the store's last line at the last draw, after trimming
    bool busyLine = false; // whole screens of lines came between the last two draws
    bool burstDrawDeferred = false;
    bool linesDroppedTold = false;
    std::unique_ptr<CSeriesControl> series;
    std::unique_ptr<CRecoveryFile> recovery;
    QTimer* recoveryTimer = nullptr; // a child of the document
};
