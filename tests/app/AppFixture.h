#pragma once
// The whole program offscreen: the real application object, frame, view and
// document, the simulated probe loaded for real from its own folder, and a
// message service that records instead of blocking.
#include "CAnalyzerApp.h"
#include "CAnalyzerDoc.h"
#include "CAnalyzerView.h"
#include "CMainFrame.h"
#include "MessageService.h"
#include "support/TempDir.h"

#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <memory>
#include <string>
#include <vector>

class RecordingMessages : public ks::MessageService {
public:
    ks::MessageResult Show(const QString& text, ks::MessageButtons) override
    {
        {
            std::lock_guard<std::mutex> guard(mutex);
            shown.push_back(text);
        }
        if (whileShown) whileShown(text);
        return ks::MessageResult::Ok;
    }
    // Runs while a box "is shown" (UI thread), as the user's time with it.
    std::function<void(const QString&)> whileShown;
    std::vector<QString> Shown()
    {
        std::lock_guard<std::mutex> guard(mutex);
        return shown;
    }

private:
    std::mutex mutex;
    std::vector<QString> shown;
};

// Runs the event loop until `done` or `ms` elapsed; the result of `done`.
bool WaitUntil(const std::function<bool()>& done, int ms = 5000);
// Runs the event loop for `ms`.
void Pump(int ms);

class AppFixture : public ::testing::Test {
protected:
    struct Setup {
        QStringList arguments;
        bool unplugged = false;       // the probe is pulled out: the link fails
        const char* scenario = "modem";
        bool show = true;             // show the frame (which opens the link)
        bool splash = false;          // let a splash greet a start without a file
        std::string linkLibrary;      // the transport to load (empty: the simulated probe's copy)
    };

    void TearDown() override;
    // Starts the program; false when start-up failed.
    bool StartApp(const Setup& setup);
    void StartApp() { ASSERT_TRUE(StartApp(Setup{})); }
    void SetUnplugged(bool unplugged);
    QString Pane(int pane) const;
    QString CounterLabel(int index) const;

    CAnalyzerDoc* Doc() const { return app->Doc(); }
    CAnalyzerView* View() const { return app->View(); }
    CMainFrame* Frame() const { return app->Frame(); }

    TempDir dir;
    RecordingMessages messages;
    std::unique_ptr<CAnalyzerApp> app;
    std::string libraryFolder;
};
