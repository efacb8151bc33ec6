#pragma once

#include <stdexcept>
#include <string>

namespace tolvar {

// The program's one error kind. The message loop shows its text in a
// message box and goes on, so the text must make sense to a user.
class AppError : public std::runtime_error {
public:
    explicit AppError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tolvar
