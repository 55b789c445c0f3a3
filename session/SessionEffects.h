#pragma once
// What the conversation does to the world around it: the main window
// implements these, the unit tests record them. A send, a deletion or a read
// returns its outcome, and the conversation goes on in the same call.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

class SessionEffects {
public:
    virtual void Log(int level, const std::string& text) = 0;
    // The worker's send result: the length when all went, else 0 or less.
    virtual int Send(const std::string& command) = 0;
    // False when an old capture exists and cannot be deleted (the user has been told).
    virtual bool DeleteCapture() = 0;
    // Hands the capture's bytes from `offset` on to onBytes, as they are;
    // false when the capture cannot be opened.
    virtual bool ReadCaptureFrom(int64_t offset, const std::function<void(const char*, size_t)>& onBytes) = 0;
    virtual void StartTimer(int id, int periodMs) = 0;
    virtual void StopTimer(int id) = 0;
    virtual void ShowReminder(int rTime) = 0;
    virtual void ShowWarning(int remainSec) = 0;
    virtual void ShowBox(const std::string& text) = 0;
    virtual void StartWorker() = 0;
    // Asks the running worker to end its conversation; it ends on its own.
    virtual void AskWorkerToStop() = 0;
    virtual void Close() = 0;

protected:
    ~SessionEffects() = default;
};
