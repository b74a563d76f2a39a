// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

namespace lexwick {

// One of Qt's settings that Qt reads from the environment once: set for the moment it is read,
// unless the user set it, and taken back afterwards, so that the programs Lexwick starts (a
// browser for a link) do not inherit it.
class ScopedQtSetting {
public:
    ScopedQtSetting(const char* name, const char* value)
        : m_name(name)
        , m_ours(!qEnvironmentVariableIsSet(name))
    {
        if (m_ours)
            qputenv(name, value);
    }
    ~ScopedQtSetting()
    {
        if (m_ours)
            qunsetenv(m_name);
    }
    ScopedQtSetting(const ScopedQtSetting&) = delete;
    ScopedQtSetting& operator=(const ScopedQtSetting&) = delete;

private:
    const char* m_name;
    bool m_ours;
};

} // namespace lexwick
