#pragma once
// The part of the log one connection's server may fill: its dumps, its frame
// lines and the scan lines of its answers share one budget, so that no
// console, however much it says, pushes the monitor's own lines (the banner,
// the home folder, the adapters, the decisions and errors) out of the log.
// Past the budget nothing more of that connection is logged; one WARN line
// says how much when the connection ends.
#include <cstddef>
#include <mutex>
#include <string>

class LogFile;

const size_t kTrafficLogBudget = 64 * 1024;

class TrafficLog {
public:
    explicit TrafficLog(size_t budget = kTrafficLogBudget) : m_budget(budget) {}
    TrafficLog(const TrafficLog&) = delete;
    TrafficLog& operator=(const TrafficLog&) = delete;

    void Attach(LogFile* log);
    // From here on nothing reaches the log (the worker outlives its window).
    void Detach() { Attach(nullptr); }

    // A line the server's bytes caused: counted against the budget.
    void Write(int level, const std::string& text);
    void Dump(int direction, const char* data, int length);
    // The monitor's own line: never counted, never dropped.
    void WriteOwn(int level, const std::string& text);
    // The connection is over: one line for what the budget kept out, if anything.
    void Close();

private:
    template <class Entry>
    void Counted(Entry entry);

    std::mutex m_lock;
    LogFile* m_log = nullptr;
    size_t m_budget;
    size_t m_used = 0;
    size_t m_dropped = 0;  // entries left out
    bool m_closed = false;
};
