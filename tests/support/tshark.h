// tshark as the independent decoder of what we write: its output for a
// command line, and its -T fields output split into rows and fields.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace testsupport {

// tshark's standard output, or nothing when it is not installed.
inline std::optional<std::string> tshark(const std::string& arguments) {
    if (std::system("command -v tshark >/dev/null 2>&1") != 0) return std::nullopt;
    std::FILE* pipe = popen(("tshark " + arguments + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return std::nullopt;
    std::string out;
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    pclose(pipe);
    return out;
}

// Lines of tab-separated fields.
inline std::vector<std::vector<std::string>> fieldRows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields;
        size_t from = 0;
        for (size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
            fields.push_back(line.substr(from, tab - from));
        fields.push_back(line.substr(from));
        rows.push_back(fields);
    }
    return rows;
}

}  // namespace testsupport
