#pragma once
// The console report, keeping each benchmark's time for the ratios a program
// prints at the end: the median when repetitions are asked for, else the
// single run. CPU time, so that other processes on a shared machine disturb
// the ratios less.

#include <benchmark/benchmark.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quorin::bench {

class TTimesReporter : public benchmark::ConsoleReporter {
public:
    // Wall-clock times instead, for work that waits for the disk.
    explicit TTimesReporter(bool realTime = false) : realTime_(realTime) {}

    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations <= 0)
                continue;
            const std::string name = run.run_name.function_name;
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians_[name] = realTime_ ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime();
            else if (run.run_type == Run::RT_Iteration)
                singles_[name] = realTime_ ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // The benchmark's time, or none when it did not run.
    std::optional<double> Time(const std::string& name) const
    {
        if (auto median = medians_.find(name); median != medians_.end())
            return median->second;
        if (auto single = singles_.find(name); single != singles_.end())
            return single->second;
        return std::nullopt;
    }

private:
    bool realTime_;
    std::map<std::string, double> singles_;
    std::map<std::string, double> medians_;
};

} // namespace quorin::bench
