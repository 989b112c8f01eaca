#pragma once

#include <map>
#include <sstream>
#include <string>

// The samples of a Prometheus text exposition, by series as written
// ("name{label=\"value\"}"); comment lines are left out. A sample missing is 0.
class PrometheusText {
public:
    explicit PrometheusText(const std::string& text)
    {
        std::istringstream lines(text);
        std::string line;
        while (std::getline(lines, line)) {
            if (line.empty() || line[0] == '#')
                continue;
            const size_t space = line.rfind(' ');
            m_samples[line.substr(0, space)] = std::stod(line.substr(space + 1));
        }
    }
    double operator[](const std::string& series) const
    {
        const auto it = m_samples.find(series);
        return it == m_samples.end() ? 0 : it->second;
    }
    bool has(const std::string& series) const { return m_samples.count(series) > 0; }
    const std::map<std::string, double>& samples() const { return m_samples; }

    static std::string requests(const std::string& route, int status)
    {
        return "linguaro_http_requests_total{route=\"" + route + "\",status=\"" + std::to_string(status) + "\"}";
    }

private:
    std::map<std::string, double> m_samples;
};
