// The listing's stage times, for the benchmark: when the environment variable PEXO_STAGE_TIMES names a file,
// the end of each stage appends a line "stage milliseconds" to it. Otherwise nothing is written.
#pragma once

namespace app {

class StageTimes {
public:
    StageTimes();
    // The stage that began where the previous one (or the object) ended has ended now.
    void Mark(const char* stage);
    // Time the window thread spent taking over the workers' results during the running stage, written with the
    // next Mark as a line of its own ("stage-hand-off milliseconds").
    static void AddHandOver(double milliseconds);

private:
    double last_ = 0;
};

// Milliseconds on a steady clock.
double NowMilliseconds();

}  // namespace app
