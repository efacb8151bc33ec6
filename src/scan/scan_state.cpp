#include "scan/scan_state.h"

namespace tolvar {

std::string ScanState = scan_state::kIdle;

}  // namespace tolvar
