#include "ScopedVariable.h"

#include <cstdlib>
#include <utility>

namespace torvex::test {

ScopedVariable::ScopedVariable(std::string name, const char* value) : m_name(std::move(name)) {
    if (const char* old = std::getenv(m_name.c_str())) {
        m_old = old;
    }
    value != nullptr ? ::setenv(m_name.c_str(), value, 1) : ::unsetenv(m_name.c_str());
}

ScopedVariable::~ScopedVariable() {
    m_old ? ::setenv(m_name.c_str(), m_old->c_str(), 1) : ::unsetenv(m_name.c_str());
}

} // namespace torvex::test
