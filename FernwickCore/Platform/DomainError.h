#pragma once

#include <stdexcept>
#include <string>

namespace fernwick {

/// An error an engine operation throws to the interface: a domain, a code within it and the
/// text the user reads (`what()` returns the same text).
class DomainError : public std::runtime_error {
public:
    DomainError(std::string domain, int code, const std::string& localizedDescription)
        : std::runtime_error(localizedDescription), m_domain(std::move(domain)), m_code(code) {}

    const std::string& domain() const { return m_domain; }
    int code() const { return m_code; }
    std::string localizedDescription() const { return what(); }

private:
    std::string m_domain;
    int m_code;
};

} // namespace fernwick
