#pragma once
// The buffer setup dialog (188): where the user sets up and runs an auto-save
// series (directory, file name, file size, number of files, Overwrite), with
// the start time, a running clock, the free, required and remaining space and
// the "Reading data!" indicator. It edits the document's CBufferSetup and
// asks the document to start and stop the series through its hooks (the
// commands 1234 and 1235). A series runs only while the dialog is open.
#include "CBufferSetup.h"

#include <QDialog>

#include <functional>
#include <map>

class QLabel;
class QLineEdit;
class QSlider;
class QCheckBox;
class QPushButton;
class QTimer;

class CBufferDlg : public QDialog {
public:
    CBufferDlg(CBufferSetup& values, QWidget* parent = nullptr);
    ~CBufferDlg() override;

    // Whether the probe is connected (the document's flag).
    std::function<bool()> isConnected;
    // Command 1234: the document starts the series; true when it runs.
    std::function<bool()> startSeries;
    // Command 1235: the document stops the series; returns when it has.
    std::function<void()> stopSeries;
    // Whether the series writer still takes records (false in the moment
    // between an overrun and the writer's own end of the series).
    std::function<bool()> seriesRecording;

    // The buttons, also called by the document and the series' end.
    void OnStart();
    void OnStop();
    void OnBrowse();
    // The Close button (167): takes the values and closes the dialog.
    void OnClose();
    // The first data of the series arrived.
    void ShowReadingIndicator();
    // The series takes no more records (an overrun) and ends by itself once
    // its buffers are written: the indicator goes and Stop is disabled.
    void OnSeriesStopping();

    bool IsRunning() const { return running; }
    bool ReadingShown() const { return readingShown; }
    // The control with the given resource number, or null.
    QWidget* Control(int id) const;

    // The close request (title bar, Esc): see the .cpp for what happens
    // while a series runs.
    void reject() override;

protected:
    void changeEvent(QEvent* e) override;

private:
    template <typename T> T* Add(int id, T* widget);
    void TakeValues();
    void LoadControls();
    bool UpdateSpace();
    void ShowSpace(const CBufferSetup::Space& space);
    void SetRunningControls(bool running);
    void OnClockTick();
    void ShowMessage(int id);
    void FocusControl(int id, bool selectAll);

    CBufferSetup& values;
    std::map<int, QWidget*> controls;
    QTimer* clock = nullptr; // timer 108
    QString startTimeText;
    QString stopTimeText;
    bool running = false;
    bool readingShown = false;
    bool loading = false;
};
