// Runs this test program again as a child in a named scenario, for behaviour that ends the process.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace rt {

struct ChildResult {
    DWORD exitCode = 0;
    std::string output;    // what the child wrote to its standard output
    std::string boxTitle;  // the message box the child showed, when answerErrorBox was set
    std::string boxText;
};

// Starts "win_tests.exe --child=<scenario>", collects its output and exit code. With answerErrorBox, a watcher
// finds the child's message box, reads its title and text and presses its button.
// With a program path, that copy of the test program runs instead (its directory is then the run directory).
ChildResult RunChild(const std::string& scenario, bool answerErrorBox = false, DWORD timeoutMs = 30000,
                     const std::string& program = "");

// An error hook for child scenarios: prints "fatal " and the runtime's fatal message, and keeps the box away.
int PrintFatalError(int32_t number, const char* message);

// Registers a scenario that RunChild can start; use CHILD_SCENARIO at namespace scope in any test file.
bool RegisterChildScenario(const char* name, void (*body)());
#define CHILD_SCENARIO_CAT2(a, b) a##b
#define CHILD_SCENARIO_CAT(a, b) CHILD_SCENARIO_CAT2(a, b)
#define CHILD_SCENARIO(name)                                                              \
    static void CHILD_SCENARIO_CAT(ChildScenario_, __LINE__)();                           \
    static const bool CHILD_SCENARIO_CAT(childScenarioRegistered_, __LINE__) =            \
        ::rt::RegisterChildScenario(name, &CHILD_SCENARIO_CAT(ChildScenario_, __LINE__)); \
    static void CHILD_SCENARIO_CAT(ChildScenario_, __LINE__)()

// Text of the first message box (dialog class #32770) of a process: its title and its static text.
bool FindMessageBox(DWORD processId, HWND* box, std::string* title, std::string* text);

}  // namespace rt
