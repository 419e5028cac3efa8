#include "NoticeRecorder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

std::vector<uint32_t> NoticeRecorder::Codes() const
{
    std::vector<uint32_t> codes;
    for (const Notice& n : notices) codes.push_back(n.eventCode);
    return codes;
}

bool NoticeRecorder::event(QEvent* e)
{
    if (static_cast<int>(e->type()) != ks::kDeviceChangeMessage) return QObject::event(e);
    auto* change = static_cast<CDeviceChangeEvent*>(e);
    std::optional<ks::DeviceNotice> header;
    if (change->Notice()) header = ks::DeviceNotice::FromBytes(change->Notice(), ks::DeviceNotice::kSize);
    notices.push_back({change->EventCode(), header});
    return true;
}

bool NoticeRecorder::WaitFor(std::size_t count, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (notices.size() < count && timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return notices.size() >= count;
}

void NoticeRecorder::Settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}
