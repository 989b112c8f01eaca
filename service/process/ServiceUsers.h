#pragma once

#include <string>

// The programs that use a service started on demand. Each holds a shared
// lock (flock) on the service's users file for as long as it may send
// requests; the kernel lets go of it however the program ends, a kill
// included. The service ends once it can lock the file for itself: nobody
// uses it any more. It stops listening before it lets go, so a program that
// joins later finds the port closed and starts a fresh service.
class ServiceUsers {
public:
    ServiceUsers() = default;
    ~ServiceUsers();
    ServiceUsers(const ServiceUsers&) = delete;
    ServiceUsers& operator=(const ServiceUsers&) = delete;

    // The users file of the built-in service on a port: in $XDG_RUNTIME_DIR,
    // else in a folder of this user's own in the temporary folder. Empty,
    // with error set, when no such folder can be had.
    static std::string filePath(int port, std::string& error);

    // One more user: opens the file (creating it) and holds a shared lock.
    // Waits while a service that found itself unused stops listening.
    bool join(const std::string& path, std::string& error);
    bool joined() const { return m_fd >= 0; }
    const std::string& path() const { return m_path; }

    // Leaves; true when this was the last user. The file is then held
    // alone, so no one joins before Leave(). Otherwise returns once a
    // service that is stopping by itself no longer listens.
    bool leaveLast();

    // Lets go of whatever is held.
    void leave();

    // For the service: true when nobody holds the file (or it is gone); the
    // file is then held alone until Leave().
    bool noneLeft(const std::string& path);

private:
    int m_fd = -1;
    std::string m_path;
};
