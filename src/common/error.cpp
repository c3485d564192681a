#include "common/error.h"

namespace hushnote {

std::string FormatErrorMessage(const ErrorValue& error, std::string_view separator) {
    return "Error #" + std::to_string(error.number) + std::string(separator) + error.description;
}

} // namespace hushnote
