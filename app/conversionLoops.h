// The conversion loops of a batch run: one file at a time (the desktop
// program), or several engines at once (the console tool's --jobs). Both write
// the same log, text files, overwrite questions and outcome, in the same order.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

struct p2tEngine;

// One run's state, made afresh for every run; it stays in memory after the
// run until the next one starts.
struct BatchRun {
    std::vector<std::string> targetFiles = std::vector<std::string>(1);
    int32_t targetCount = 0;
    std::set<std::pair<dev_t, ino_t>> foldersEntered; // each folder is searched once

    // How the run went (the console tool's exit status).
    int32_t filesConverted = 0;
    int32_t filesFailed = 0;
    bool runCancelled = false;
};

// The "...done(1.234秒)" text of a conversion that took elapsedMs.
std::string doneMessage(uint32_t elapsedMs);

// Converts run.targetFiles[0 .. run.targetCount) with eng, and with up to jobs
// engines of their own when jobs > 1 and there is more than one file.
void convertTargets(p2tEngine& eng, BatchRun& run, int jobs);

// The two loops convertTargets chooses between. In parallel, the calling
// thread asks the overwrite questions and writes the log, both in file order.
void convertTargetsOneByOne(p2tEngine& eng, BatchRun& run);
void convertTargetsInParallel(p2tEngine& eng, BatchRun& run, int jobs);
