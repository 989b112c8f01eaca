#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Unsets the given environment variables for one test and puts their former
// values back when it ends.
class ScopedEnvironment {
public:
    explicit ScopedEnvironment(std::vector<std::string> names) : m_names(std::move(names))
    {
        for (const std::string& name : m_names) {
            const char* value = std::getenv(name.c_str());
            m_saved.push_back(value ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(name.c_str());
        }
    }
    ~ScopedEnvironment()
    {
        for (size_t i = 0; i < m_names.size(); ++i) {
            if (m_saved[i])
                setenv(m_names[i].c_str(), m_saved[i]->c_str(), 1);
            else
                unsetenv(m_names[i].c_str());
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    void set(const char* name, const char* value) { setenv(name, value, 1); }

private:
    std::vector<std::string> m_names;
    std::vector<std::optional<std::string>> m_saved;
};
