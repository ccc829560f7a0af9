#pragma once

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>
#include <variant>

namespace fernwick {

/// The failure of one system call: the operation's name and the errno it left.
struct SystemError {
    SystemError() = default;
    SystemError(std::string operation_, int code_, std::string detail_ = {})
        : operation(std::move(operation_)), code(code_), detail(std::move(detail_)) {}

    std::string operation;
    int code = 0;
    /// When set, the whole text shown to the user (a refusal that is more than an errno).
    std::string detail;

    /// `detail` when set, else "operation: strerror text"; for logs and reasons shown to the user.
    std::string message() const {
        return detail.empty() ? operation + ": " + std::strerror(code) : detail;
    }
    /// The error of the last failed call, read from errno.
    static SystemError fromErrno(std::string operation) { return {std::move(operation), errno}; }
};

/// A value or the system error that prevented it. Returned by the platform layer's calls.
template <typename T> class [[nodiscard]] Result {
public:
    Result(T value) : m_state(std::move(value)) {}           // NOLINT: implicit by design
    Result(SystemError error) : m_state(std::move(error)) {} // NOLINT: implicit by design

    bool ok() const { return std::holds_alternative<T>(m_state); }
    explicit operator bool() const { return ok(); }
    T& value() { return std::get<T>(m_state); }
    const T& value() const { return std::get<T>(m_state); }
    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    const SystemError& error() const { return std::get<SystemError>(m_state); }

private:
    std::variant<T, SystemError> m_state;
};

/// A result that carries no value.
struct Ok {};
using Status = Result<Ok>;

} // namespace fernwick
