// Pairs of benchmarks reported as a ratio: "<name>" against "<name>_baseline".
#pragma once

namespace gozbench {

// Registers that runs named `subject`... are compared with `baseline`... of the
// same arguments, e.g. "ReadConfig/1024" with "RawScan/1024".
void CompareWith(const char* subject, const char* baseline);

} // namespace gozbench
