#pragma once
// The start-up picture: a borderless window with the program's picture,
// centred over the main window, fading in over about 0.8 s in eight steps
// and gone 1.3 s after it appeared, or at once at the first key or mouse
// button pressed anywhere in the program (that press does nothing else).
//
// Everything runs on the UI thread: the fade is a timer that repaints the
// picture blended over white a little more each step, so no other thread
// ever draws into the window or reads its state.
#include <QImage>
#include <QString>
#include <QWidget>

#include <array>

class QTimer;

class CSplashWnd : public QWidget {
public:
    static constexpr int kCloseTimerId = 105;
    static constexpr int kCloseAfterMs = 1300;
    static constexpr int kFadeStepMs = 100;
    // The opacity of each blend step, out of 255; each blends the picture
    // over what the step before left, starting from white.
    static constexpr std::array<int, 8> kFadeAlphas = {0, 35, 70, 105, 140, 175, 210, 245};

    // Whether this run may show a splash at all (set once at start-up).
    static void EnableSplashScreen(bool enable);
    // Opens the splash over `owner` unless splashes are off or one is open.
    static void OpenSplash(QWidget* owner);
    // The splash that exists now, or null.
    static CSplashWnd* Current();
    // The application's first look at every event: a key or button press
    // while a splash is open closes it and is swallowed (true).
    static bool SplashFilterMessage(QEvent* event);

    // Where the picture comes from (a Qt resource; tests point elsewhere).
    static void SetPicturePath(const QString& path);
    static QString PicturePath();

    // How much of the picture shows after `steps` blend steps (0 to 1).
    static double CoverageAfter(int steps);

    void CloseSplash();
    int FadeSteps() const { return fadeSteps; }
    bool IsDone() const { return done; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    explicit CSplashWnd(QWidget* owner);
    ~CSplashWnd() override;
    bool Create();
    void CentreWindow();
    void OnFadeStep();
    void OnTimer(int id);

    QImage picture;
    bool done = false;      // the fade has ended or the window is closing
    bool closing = false;   // CloseSplash ran; the object goes at the next turn of the event loop
    int fadeSteps = 0;      // blend steps applied so far
    QTimer* fadeTimer = nullptr;
    QTimer* closeTimer = nullptr; // timer 105
};
