// A command not available in this build: calling it is a loud fatal error, never a made-up value.
#pragma once

#include "runtime/errors.h"

#define PENDING_COMMAND(name) \
    void name(Value*, int32_t, Value*) { ::rt::ErrorWithText("命令不可用：" #name); }
