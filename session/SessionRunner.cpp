#include "session/SessionRunner.h"

#include "log/LogLevel.h"

#include <cassert>

namespace {

bool Awaited(SessionActionKind kind)
{
    return kind == SessionActionKind::Send || kind == SessionActionKind::DeleteCapture ||
           kind == SessionActionKind::ReadCapture || kind == SessionActionKind::ReadNewCapture;
}

}  // namespace

bool RunSessionActions(SessionStateMachine& machine, SessionActions actions, SessionEffects& effects,
                       std::atomic<int32_t>& workerState)
{
    bool inOrder = true;
    while (!actions.empty()) {
        SessionActions next;
        for (size_t i = 0; i < actions.size(); ++i) {
            const SessionAction& a = actions[i];
            switch (a.kind) {
            case SessionActionKind::Log:
                effects.Log(a.number, a.text);
                break;
            case SessionActionKind::Send:
                next = machine.OnSent(effects.Send(a.text));
                break;
            case SessionActionKind::DeleteCapture:
                next = machine.OnCaptureDeleted(effects.DeleteCapture());
                break;
            case SessionActionKind::ReadCapture: {
                bool opened = effects.ReadCapture([&](const std::string& line) {
                    if (!RunSessionActions(machine, machine.OnCaptureLine(line), effects, workerState))
                        inOrder = false;
                    return machine.WantsCaptureLines();
                });
                next = machine.OnCaptureEnd(opened);
                break;
            }
            case SessionActionKind::ReadNewCapture: {
                bool opened = effects.ReadCaptureFrom(
                    a.number, [&](const std::string& bytes) { machine.OnCaptureBytes(bytes); });
                next = machine.OnNewCaptureEnd(opened);
                break;
            }
            case SessionActionKind::StartTimer:
                effects.StartTimer(a.number, a.period);
                break;
            case SessionActionKind::StopTimer:
                effects.StopTimer(a.number);
                break;
            case SessionActionKind::ShowReminder:
                effects.ShowReminder(a.number);
                break;
            case SessionActionKind::ShowWarning:
                effects.ShowWarning(a.number);
                break;
            case SessionActionKind::ShowBox:
                effects.ShowBox(a.text);
                break;
            case SessionActionKind::StartWorker:
                effects.StartWorker();
                break;
            case SessionActionKind::Close:
                effects.Close();
                break;
            }
            if (Awaited(a.kind) && i + 1 < actions.size()) {
                // A second outcome in one list would be lost: the machine
                // is waiting for the first one's.
                effects.Log(kLogError, "session actions out of order: an awaited action was not the last");
                assert(!"an awaited session action must end its list");
                inOrder = false;
                break;
            }
        }
        actions = std::move(next);
    }
    workerState.store(machine.m_state);
    return inOrder;
}
