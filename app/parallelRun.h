// The conversion loop of a batch run with several engines at once (the
// console tool's --jobs). The log, the text files, the overwrite questions and
// the outcome are those of the one-at-a-time loop, in the same order.
#pragma once

#include <string>

class Application;

// Converts app.targetFiles[0 .. app.targetCount) with up to jobs engines on
// threads of their own; the calling thread asks the overwrite questions, in
// file order, and writes the log, in file order.
void convertTargetsInParallel(Application& app, int jobs);

// The text file that belongs to a PDF.
std::string outputFileNameFor(const std::string& pdfPath);
