#pragma once

#include <optional>
#include <string>

namespace torvex::test {

// Sets an environment variable (or removes it, for a null value) for the life of the object and
// puts the old value back.
class ScopedVariable {
public:
    ScopedVariable(std::string name, const char* value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

} // namespace torvex::test
