#include "CSplashWnd.h"

#include <QApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>

namespace {

// The two program-wide values of the splash: may one be shown in this run,
// and the one that exists now.
bool splashEnabled = false;
CSplashWnd* currentSplash = nullptr;

QString& PictureSource()
{
    static QString path = QStringLiteral(":/splash/splash.png");
    return path;
}

} // namespace

void CSplashWnd::EnableSplashScreen(bool enable) { splashEnabled = enable; }

CSplashWnd* CSplashWnd::Current() { return currentSplash; }

void CSplashWnd::SetPicturePath(const QString& path) { PictureSource() = path; }

QString CSplashWnd::PicturePath() { return PictureSource(); }

double CSplashWnd::CoverageAfter(int steps)
{
    double white = 1.0;
    for (int i = 0; i < steps && i < static_cast<int>(kFadeAlphas.size()); ++i)
        white *= 1.0 - kFadeAlphas[static_cast<std::size_t>(i)] / 255.0;
    return 1.0 - white;
}

void CSplashWnd::OpenSplash(QWidget* owner)
{
    if (!splashEnabled || currentSplash) return;
    auto* splash = new CSplashWnd(owner);
    currentSplash = splash;
    // No picture or no window: no splash, no message.
    if (!splash->Create()) delete splash;
}

CSplashWnd::CSplashWnd(QWidget* owner)
    : QWidget(owner, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Splash"));
}

CSplashWnd::~CSplashWnd()
{
    if (currentSplash == this) currentSplash = nullptr;
}

bool CSplashWnd::Create()
{
    if (!picture.load(PictureSource()) || picture.isNull()) return false;
    picture = picture.convertToFormat(QImage::Format_RGB32);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setCursor(Qt::ArrowCursor);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);
    setFixedSize(picture.size());
    CentreWindow();
    // Owned by the frame, so that the window manager keeps it above the
    // frame, which is shown after it: that takes the frame's native window.
    if (QWidget* owner = parentWidget()) (void)owner->winId();

    // Before anything else sees them: key and button presses while it shows.
    qApp->installEventFilter(this);

    fadeTimer = new QTimer(this);
    fadeTimer->setTimerType(Qt::PreciseTimer);
    connect(fadeTimer, &QTimer::timeout, this, [this] { OnFadeStep(); });
    closeTimer = new QTimer(this);
    closeTimer->setTimerType(Qt::PreciseTimer);
    closeTimer->setSingleShot(true);
    connect(closeTimer, &QTimer::timeout, this, [this] { OnTimer(kCloseTimerId); });

    show();
    OnFadeStep(); // the first step at once, then one every 100 ms
    fadeTimer->start(kFadeStepMs);
    closeTimer->start(kCloseAfterMs);
    repaint();
    return true;
}

void CSplashWnd::CentreWindow()
{
    QWidget* owner = parentWidget();
    QPoint centre;
    if (owner && owner->isVisible()) {
        centre = owner->frameGeometry().center();
    } else {
        // The owner is not on the screen yet: the middle of its screen.
        QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
        if (!screen) screen = QGuiApplication::primaryScreen();
        centre = screen ? screen->availableGeometry().center() : QPoint(width() / 2, height() / 2);
    }
    move(centre - QPoint(width() / 2, height() / 2));
}

void CSplashWnd::OnFadeStep()
{
    if (done) {
        fadeTimer->stop();
        return;
    }
    if (fadeSteps < static_cast<int>(kFadeAlphas.size())) {
        ++fadeSteps;
    } else {
        // The last step has had its 100 ms: the picture now shows as it is.
        done = true;
        fadeTimer->stop();
    }
    update();
}

void CSplashWnd::OnTimer(int id)
{
    if (id != kCloseTimerId) return;
    closeTimer->stop();
    CloseSplash();
}

void CSplashWnd::CloseSplash()
{
    if (closing) return;
    closing = true;
    done = true;
    // Gone for everybody from now on, so that a new one may open; the object
    // itself follows when control is back in the event loop.
    if (currentSplash == this) currentSplash = nullptr;
    fadeTimer->stop();
    closeTimer->stop();
    hide();
    // Called from its own timer or from inside event filtering: not deleted
    // under either.
    deleteLater();
    if (QWidget* owner = parentWidget(); owner && owner->isVisible()) owner->repaint();
}

void CSplashWnd::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (done) {
        painter.drawImage(0, 0, picture);
        return;
    }
    painter.fillRect(rect(), Qt::white);
    painter.setOpacity(CoverageAfter(fadeSteps));
    painter.drawImage(0, 0, picture);
}

bool CSplashWnd::eventFilter(QObject*, QEvent* event) { return SplashFilterMessage(event); }

bool CSplashWnd::SplashFilterMessage(QEvent* event)
{
    CSplashWnd* splash = currentSplash;
    if (!splash) return false;
    switch (event->type()) {
    case QEvent::Shortcut: // a key that is a shortcut comes as this, not as a key press
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::NonClientAreaMouseButtonPress:
        splash->CloseSplash();
        return true;
    default:
        return false;
    }
}
