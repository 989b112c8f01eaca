#pragma once

#include <QString>

#include <optional>

// The Windows version table that the window and the component installers
// branch on. Linux is index 0, "a platform that is neither the 9x nor the NT
// family"; LINGUARO_WINVER pretends another version so that every branch can
// be reached: "nt 6.1 workstation", "nt 6.2 server", "9x 4.10 A",
// "nt 6.1 workstation wow64" (a 32-bit process on 64-bit Windows), "other".
namespace WindowsVersion {

enum class Platform { Other, Win9x, NT };

// What the system reports to the process.
struct Query {
    Platform platform = Platform::Other;
    int major = 0;
    int minor = 0;
    bool server = false;
    QString service;  // the service text ("A", " C", "Service Pack 1")
    bool wow64 = false;
};

constexpr int Count = 23;

// The table's index for a query (0 to 22).
int detect(const Query& query);
// The table's name for an index; empty outside 0 to 22.
QString name(int index);
// Indices 17 to 22 (Windows 8 and later) use no animated character.
bool agentUnavailable(int index);
// Major version above 6, or 6 with a minor version of 1 or more.
bool aboveSixPointZero(const Query& query);

// A LINGUARO_WINVER text read as a query; no value when it is not one.
std::optional<Query> parse(const QString& text);
// The query in force: LINGUARO_WINVER when set and valid, else Linux.
Query current();

}  // namespace WindowsVersion
