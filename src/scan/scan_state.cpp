#include "scan/scan_state.h"

namespace tolvar {

std::string ScanState = "idle";

}  // namespace tolvar
