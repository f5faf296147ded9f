#pragma once
// The one error type of the program: an exception carrying an 8-bit message, worded
// "Class.Operation. name=value" by the foundation library. User commands catch it at the
// boundary and show Message(); nothing below the editor shows a dialog.

#include <exception>
#include <string>
#include <utility>

namespace gm {

class ErrorQX : public std::exception {
public:
    explicit ErrorQX(std::string message) : Message_(std::move(message)) {}
    const char* what() const noexcept override { return Message_.c_str(); }
    const std::string& Message() const noexcept { return Message_; }

private:
    std::string Message_;
};

[[noreturn]] inline void RaiseQX(std::string message) {
    throw ErrorQX(std::move(message));
}

} // namespace gm
