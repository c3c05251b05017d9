#include "PackRun.h"

#include <QEventLoop>
#include <QMetaObject>

#include "check/CheckUnit.h"
#include "package/Build.h"

namespace quorin {

namespace {

// Passes the build's progress on to the window's thread. What it queues
// refers to the run's listener, which outlives it, never to itself.
class TProgressRelay : public TBuildProgress {
public:
    TProgressRelay(std::function<void(std::function<void()>)> tell, const TPackRunListener& listener)
        : tell_(std::move(tell)), listener_(&listener)
    {
    }

    void Copied(std::int64_t done, std::int64_t total) override
    {
        if (listener_->Copied)
            tell_([listener = listener_, done, total] { listener->Copied(done, total); });
    }
    void Embedded(std::string_view path, std::int64_t size) override
    {
        if (listener_->Embedded)
            tell_([listener = listener_, name = QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size())),
                   size] { listener->Embedded(name, size); });
    }

private:
    std::function<void(std::function<void()>)> tell_;
    const TPackRunListener* listener_;
};

} // namespace

TPackRun::TPackRun(TUnitSheet sheet, std::string outputPath, TPackRunListener listener)
    : sheet_(std::move(sheet)), outputPath_(std::move(outputPath)), listener_(std::move(listener))
{
}

TPackRun::~TPackRun()
{
    if (thread_.joinable())
        thread_.join();
}

void TPackRun::Tell(std::function<void()> call)
{
    // Queued on this object, which lives on the window's thread: the calls
    // run there in the order they were made, and never after it is gone.
    QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

void TPackRun::Work()
{
    try {
        const TFindings findings = CheckUnit(sheet_);
        if (listener_.Checked)
            Tell([this, findings] { listener_.Checked(findings); });
        TProgressRelay relay([this](std::function<void()> call) { Tell(std::move(call)); }, listener_);
        completion_ = BuildPackage(sheet_, outputPath_, relay);
    } catch (...) {
        failure_ = std::current_exception();
    }
    Tell([this] {
        running_ = false;
        emit Done();
    });
}

std::string TPackRun::Run()
{
    QEventLoop loop;
    connect(this, &TPackRun::Done, &loop, &QEventLoop::quit);
    running_ = true;
    thread_ = std::thread([this] { Work(); });
    if (running_)
        loop.exec();
    thread_.join();
    if (failure_)
        std::rethrow_exception(failure_);
    return completion_;
}

} // namespace quorin
