#include "CMessageBoxService.h"

#include "CSplashWnd.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

namespace {

// A box is never owned by the splash: its timer closes and deletes it with
// everything parented to it, a box still open on the stack among them. The
// window the splash stands over lives on.
QWidget* BoxParent()
{
    QWidget* active = QApplication::activeWindow();
    CSplashWnd* splash = CSplashWnd::Current();
    if (active && splash && active == splash) {
        QWidget* under = splash->parentWidget();
        return under ? under->window() : nullptr;
    }
    return active;
}

} // namespace

ks::MessageResult CMessageBoxService::Show(const QString& text, ks::MessageButtons buttons)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return ks::MessageResult::Ok;
    if (QThread::currentThread() != app->thread()) {
        // A worker thread must never wait on the UI thread (which may be
        // waiting for that worker): the box is shown later, answered Ok.
        QMetaObject::invokeMethod(app, [text] {
            QMessageBox::warning(BoxParent(), QStringLiteral("Kestrane"), text);
        }, Qt::QueuedConnection);
        return ks::MessageResult::Ok;
    }
    QWidget* parent = BoxParent();
    const QString title = QStringLiteral("Kestrane");
    switch (buttons) {
    case ks::MessageButtons::Ok:
        QMessageBox::warning(parent, title, text);
        return ks::MessageResult::Ok;
    case ks::MessageButtons::OkCancel:
        return QMessageBox::warning(parent, title, text, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok
                   ? ks::MessageResult::Ok : ks::MessageResult::Cancel;
    case ks::MessageButtons::YesNo:
        return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes
                   ? ks::MessageResult::Yes : ks::MessageResult::No;
    case ks::MessageButtons::YesNoCancel: {
        const auto answer = QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        if (answer == QMessageBox::Yes) return ks::MessageResult::Yes;
        if (answer == QMessageBox::No) return ks::MessageResult::No;
        return ks::MessageResult::Cancel;
    }
    }
    return ks::MessageResult::Ok;
}
