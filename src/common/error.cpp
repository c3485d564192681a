#include "common/error.h"

namespace hushnote {

std::string FormatErrorMessage(const ErrorValue& error) {
    return "Error #" + std::to_string(error.number) + "\r\n\r\n" + error.description;
}

} // namespace hushnote
