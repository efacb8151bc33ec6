#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace tolvar {

// The program's one error kind. The message loop shows its text in a
// message box and goes on, so the text must make sense to a user.
class AppError : public std::runtime_error {
public:
    explicit AppError(const std::string& message) : std::runtime_error(message) {}
};

// The words of an error caught as an exception_ptr (a worker thread's,
// handed to the thread that reports it).
inline std::string ErrorText(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "an unexpected error";
    }
}

}  // namespace tolvar
