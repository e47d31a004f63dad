// The program's life in the runtime: initialisation, run directory and executable name, exit routine, ending.
#pragma once

#include <cstdint>
#include <string>

namespace rt {

using ExitRoutine = void (*)();

// Takes the executable's full path, splits it at the last backslash into the run directory (no trailing
// backslash; empty without one) and the file name, and makes that directory the current directory.
void InitRuntime();
// The split itself, shared by both builds: a backslash that is a GBK trail byte does not count.
void SplitExecutablePath(const std::string& fullPath, std::string* directory, std::string* name);

const std::string& RunDirectory();
const std::string& ExeName();

void SetExitRoutine(ExitRoutine routine);
void ClearExitRoutine();
// Runs the exit routine once (clearing it first) and then every registered shutdown step, newest first.
void RunExitRoutineAndShutdown();
// Libraries register what they must release when the program ends (critical sections, DLL modules, handles).
void AddShutdownStep(void (*step)());

// Ends the program with the exit code. On a worker thread the main thread is asked to end it.
[[noreturn]] void ExitProgram(int32_t code);
bool IsMainThread();

}  // namespace rt
