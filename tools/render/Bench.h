#pragma once

#include "Options.h"

namespace tz::render
{

// "--bench": CPU time per second of audio and the real-time factor for a few representative patches.
int runBench (const Options& options);

} // namespace tz::render
