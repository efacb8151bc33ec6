#include "core/registry_rules.h"

#include <algorithm>

#include "core/app_error.h"

namespace tolvar {

void ApplyBinaryValue(std::uint8_t* record, std::size_t recordSize, RegistryValueType type,
                      const std::uint8_t* data, std::size_t size) {
    switch (type) {
        case RegistryValueType::Missing:
            return;
        case RegistryValueType::Binary:
            if (size > recordSize) {
                throw AppError("Registry read error: the stored value is larger than expected.");
            }
            if (size > 0) std::copy(data, data + size, record);
            return;
        case RegistryValueType::String:
        case RegistryValueType::Other:
            break;
    }
    throw AppError("Registry read error: the stored value is not binary data.");
}

std::string ReadTextValue(RegistryValueType type, std::string_view data) {
    switch (type) {
        case RegistryValueType::Missing:
            return {};
        case RegistryValueType::String:
            return std::string(data.substr(0, data.find('\0')));
        case RegistryValueType::Binary:
        case RegistryValueType::Other:
            break;
    }
    throw AppError("Registry read error: the stored value is not text.");
}

}  // namespace tolvar
