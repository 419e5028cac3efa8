#pragma once
// The document's side of the auto-save series. Command 226 clears the log
// (after asking) and shows the buffer dialog; the dialog's Start and Stop
// reach the document as the commands 1234 and 1235, which reopen the device
// link with the long-save data callback and back. While a series records,
// the link's dispatch thread hands every block to the series writer instead
// of the line store.
//
// The writer and the dispatch thread never wait for the UI thread: what they
// have to tell (the first data, the end of the series and why) is posted
// here, and the answer on the UI thread is the dialog's Stop, which ends the
// series behind every buffer already handed over.
#include "CBufferSetup.h"
#include "CSeriesWriter.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <string>

class CAnalyzerDoc;
class CBufferDlg;

class CSeriesControl : public QObject {
public:
    // Reads the "BufSetting" keys from `settingsPath` (empty: defaults).
    CSeriesControl(CAnalyzerDoc& doc, std::string settingsPath);
    ~CSeriesControl() override;

    // Command 226: ask, clear the log, show the dialog, save its settings.
    void OnBufferSetup();
    // Command 1234; true when the series runs.
    bool OnLongSaveStart();
    // Command 1235.
    void OnLongSaveStop();
    // The link is being closed (the probe is gone) while a series may run.
    void StopForCloseLink();

    // The link's data callback during a series (dispatch thread).
    static void LongSaveDataCallback(const uint8_t* data, uint32_t count, void* doc);

    CBufferSetup& Setup() { return setup; }
    const CSeriesWriter& Writer() const { return writer; }
    // The dialog while it is shown, else null.
    CBufferDlg* Dialog() const { return dialog; }
    // Where the series go unless the settings say otherwise.
    const QString& DefaultDirectory() const { return defaultDirectory; }

    // Small buffers and a moved disk threshold, for tests.
    void SetLimitsForTesting(const SeriesLimits& l) { limits = l; }

protected:
    bool event(QEvent* e) override;

private:
    void OnData(const uint8_t* data, uint32_t count);
    void OnSeriesEnd(SeriesEnd why, int error);
    void StopSeries();
    void CloseDialog();

    CAnalyzerDoc& doc;
    std::string settingsPath;
    QString defaultDirectory;
    CBufferSetup setup;
    SeriesLimits limits;
    CSeriesWriter writer;
    CBufferDlg* dialog = nullptr;
    // Events of an earlier series that arrive late are dropped.
    unsigned seriesNumber = 0;
};
