#pragma once
// One press of "Начать создание": the checks, then the build, on a thread of
// their own so the window keeps drawing the log and the gauge. What they
// tell arrives on the window's thread, in the order it was told.

#include <QObject>
#include <exception>
#include <functional>
#include <string>
#include <thread>

#include "check/Finding.h"
#include "package/UnitSheet.h"

namespace quorin {

struct TPackRunListener {
    std::function<void(const TFindings&)> Checked;
    std::function<void(qint64 done, qint64 total)> Copied;
    std::function<void(const QString& path, qint64 size)> Embedded;
};

class TPackRun : public QObject {
    Q_OBJECT
public:
    TPackRun(TUnitSheet sheet, std::string outputPath, TPackRunListener listener);
    ~TPackRun() override; // waits for the thread

    // Starts the thread and runs an event loop until it has told everything;
    // returns the completion text, or throws what the build threw.
    std::string Run();
    bool Running() const { return running_; }

signals:
    void Done();

private:
    void Work();
    // Runs call on the window's thread, after what was told before.
    void Tell(std::function<void()> call);

    TUnitSheet sheet_;
    std::string outputPath_;
    TPackRunListener listener_;
    std::thread thread_;
    bool running_ = false;
    std::string completion_;
    std::exception_ptr failure_;
};

} // namespace quorin
