// Waiting, in tests, for transfers given up to end: their threads end once the servers holding them let go.
#pragma once

#include <windows.h>

#include "runtime/transfer.h"

namespace testing_support {

// Waits up to 30 s for the count of abandoned transfers to fall to zero; returns the count then.
inline int WaitForNoAbandonedTransfers() {
    for (int i = 0; i < 300 && rt::AbandonedTransfers() > 0; ++i) Sleep(100);
    return rt::AbandonedTransfers();
}

}  // namespace testing_support
