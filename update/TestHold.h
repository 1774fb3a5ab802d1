#pragma once

namespace update {

// A test's hold at a named point of a run, for races that only a test can time: when the
// environment's DPH2012_TEST_HOLD is "<point>=<file>", the run creates <file> at that point,
// writes its process id into it and waits, a minute at most, until the test has removed it.
// Anything else: nothing happens.
void holdForTest(const char* point);

} // namespace update
