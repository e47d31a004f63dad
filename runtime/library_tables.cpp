// The command tables of the five optional libraries, each in its fixed index order.
#include "runtime/library_commands.h"

namespace rt {

const CommandEntry kThreadCommands[kThreadCommandCount] = {
    {"StartThread", &StartThread},     {"EnterSection", &EnterSection},   {"LeaveSection", &LeaveSection},
    {"CreateSection", &CreateSection}, {"DeleteSection", &DeleteSection},
};

const CommandEntry kRegexCommands[kRegexCommandCount] = {
    {"RegexSearchAll", &RegexSearchAll}, {"RegexMatchFree", &RegexMatchFree}, {"RegexMatchText", &RegexMatchText},
    {"RegexCompile", &RegexCompile},     {"RegexInit", &RegexInit},           {"RegexFree", &RegexFree},
};

const CommandEntry kInternetCommands[kInternetCommandCount] = {
    {"HttpReadFile", &HttpReadFile},
};

const CommandEntry kShellCommands[kShellCommandCount] = {
    {"BrowseForFolder", &BrowseForFolder},
    {"CreateShortcut", &CreateShortcut},
};

const CommandEntry kAppInterfaceCommands[kAppInterfaceCommandCount] = {
    {"OpenWebPage", &OpenWebPage},
};

}  // namespace rt
