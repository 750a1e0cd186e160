// Plays a scenario on the simulated phone: a platform thread that sleeps
// until each event's device time and then does what the event says, through
// the simulator's side of the platform (posting to windows, mounting cards,
// turning the handset...). An event aimed at a window that does not exist
// (yet, or any more), or at a dialog when none is open, is logged and skipped.
// The registry events that open the scenario at time 0 are written by
// StartScenarioRunner itself, before it returns: they are the settings the
// program reads when it starts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/base/types.h"
#include "sim/scenario.h"

namespace sim {

// Starts the runner; `endAtMs` adds an end of the run at that device time,
// `powerCutAtMs` a power cut. False when the thread cannot be made.
bool StartScenarioRunner(const Scenario& scenario, std::optional<std::int64_t> endAtMs,
                         std::optional<std::int64_t> powerCutAtMs = std::nullopt);
// What a power cut does beyond the file system: the launcher ends the
// process from it. Without one, a cut only cuts the files' power (the
// profile's default loss: the unflushed bytes dropped).
void SetPowerCutHandler(void (*handler)());
// True once the runner has posted an end of the run to the program.
bool ScenarioEndPosted();
// The runner's thread, signalled once the last event is played; null when no
// runner was started. Valid until StopScenarioRunner.
os::HANDLE ScenarioRunnerThread();
// Stops it (the remaining events are dropped) and waits for it to end.
void StopScenarioRunner();
// Performs one event now, on the calling platform thread.
void PerformScenarioEvent(const ScenarioEvent& event);

}  // namespace sim
