#include "App/desktop/RunLoopPump.h"

#include "Platform/runloop/RunLoop.h"

#include <QPointer>
#include <limits>

namespace orvaneh {

RunLoopPump::RunLoopPump(RunLoop& loop, QObject* parent) : QObject(parent), loop_(loop) {
    deadline_.setSingleShot(true);
    deadline_.setTimerType(Qt::PreciseTimer);
    connect(&deadline_, &QTimer::timeout, this, &RunLoopPump::pump);
    // Called from whichever thread posts; a queued call on this object reaches the GUI thread
    // and is dropped by Qt if the object is gone by then.
    loop_.setWakeUpHook(
        [this] { QMetaObject::invokeMethod(this, &RunLoopPump::pump, Qt::QueuedConnection); });
    armDeadline();
}

RunLoopPump::~RunLoopPump() {
    loop_.setWakeUpHook(nullptr);
}

void RunLoopPump::pump() {
    ++pumps_;
    // A task may destroy the window (and this object) while it runs.
    QPointer<RunLoopPump> alive(this);
    loop_.runPending();
    if (alive) {
        armDeadline();
    }
}

void RunLoopPump::armDeadline() {
    const auto wait = loop_.realWaitUntilNextDeadline();
    if (!wait) {
        deadline_.stop();
        return;
    }
    const auto capped = std::min<long long>(wait->count(), std::numeric_limits<int>::max());
    deadline_.start(static_cast<int>(capped));
}

} // namespace orvaneh
