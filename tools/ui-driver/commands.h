// The UI driver's command table and the runner of one command line.
#pragma once

#include <string>
#include <vector>

#include "tools/ui-driver/driver.h"

namespace uidriver {

struct Command {
    const char* name;
    int minArgs, maxArgs;
    const char* usage;
    Result (*run)(Target& target, const std::vector<Token>& args);
};

const Command* FindCommand(const std::string& name);
// Runs words[0] with the remaining words as arguments.
Result Run(Target& target, const std::vector<Token>& words);

}  // namespace uidriver
