// A PostgreSQL server of the test's own: initdb into a temporary folder, listening on 127.0.0.1 at
// a free port, with a password login, stopped and removed with the object. As root the server runs
// as "nobody" (PostgreSQL refuses to run as root). Used by the index tests.
#pragma once

#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class LocalPostgres {
public:
    static constexpr const char* kUser = "quillent";
    static constexpr const char* kPassword = "trips-test";
    static constexpr const char* kDatabase = "postgres";

    LocalPostgres() {
        const std::string bin = findBin();
        if (bin.empty()) {
            m_error = "initdb and pg_ctl not found (Debian package postgresql)";
            return;
        }
        // Directly under /tmp rather than $TMPDIR: the server's socket path must stay short.
        char pattern[] = "/tmp/quillent-pg.XXXXXX";
        if (!mkdtemp(pattern)) {
            m_error = "no temporary folder";
            return;
        }
        m_dir = pattern;
        m_port = freePort();
        { std::ofstream(m_dir / "pw") << kPassword << "\n"; }
        std::string prefix;
        if (geteuid() == 0) {
            // The server runs as an unprivileged user that must own its folder.
            if (passwd* pw = getpwnam("nobody")) {
                for (const auto& p : {m_dir, m_dir / "pw"})
                    if (chown(p.c_str(), pw->pw_uid, pw->pw_gid) != 0)
                        m_error = "cannot hand the folder to nobody";
            }
            prefix = "runuser -u nobody -- ";
        }
        m_pgctl = prefix + "'" + bin + "/pg_ctl' -D '" + (m_dir / "data").string() + "'";
        const std::string initdb = prefix + "'" + bin + "/initdb' -D '" + (m_dir / "data").string() +
                                   "' -U " + kUser + " --pwfile='" + (m_dir / "pw").string() +
                                   "' -A scram-sha-256 --no-sync -E UTF8 --locale=C > '" +
                                   (m_dir / "initdb.log").string() + "' 2>&1";
        if (std::system(initdb.c_str()) != 0) {
            m_error = "initdb failed: " + tail(m_dir / "initdb.log");
            return;
        }
        const std::string start = m_pgctl + " -l '" + (m_dir / "server.log").string() +
                                  "' -w -t 60 -o \"-p " + std::to_string(m_port) + " -k '" + m_dir.string() +
                                  "' -c listen_addresses=127.0.0.1 -c fsync=off\" start > /dev/null 2>&1";
        if (std::system(start.c_str()) != 0) {
            m_error = "the server did not start: " + tail(m_dir / "server.log");
            return;
        }
        m_running = true;
    }
    ~LocalPostgres() {
        if (m_running)
            std::system((m_pgctl + " -m immediate -w stop > /dev/null 2>&1").c_str());
        if (!m_dir.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(m_dir, ec);
        }
    }
    LocalPostgres(const LocalPostgres&) = delete;
    LocalPostgres& operator=(const LocalPostgres&) = delete;

    bool running() const { return m_running; }
    const std::string& error() const { return m_error; }
    int port() const { return m_port; }
    std::string url(const std::string& password = kPassword) const {
        return std::string("postgresql://") + kUser + ":" + password +
               "@127.0.0.1:" + std::to_string(m_port) + "/" + kDatabase;
    }

    // A port nothing listens on (taken from the system, then released).
    static int freePort() {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        int port = 0;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n) == 0)
            port = ntohs(a.sin_port);
        ::close(fd);
        return port;
    }

private:
    static std::string findBin() {
        namespace fs = std::filesystem;
        std::error_code ec;
        std::string best;
        for (const auto& e : fs::directory_iterator("/usr/lib/postgresql", ec))
            if (fs::exists(e.path() / "bin/initdb") && fs::exists(e.path() / "bin/pg_ctl") &&
                e.path().string() > best)
                best = (e.path() / "bin").string();
        return best;
    }
    static std::string tail(const std::filesystem::path& log) {
        std::ifstream in(log);
        std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return all.size() > 600 ? all.substr(all.size() - 600) : all;
    }

    std::filesystem::path m_dir;
    std::string m_pgctl;
    std::string m_error;
    int m_port = 0;
    bool m_running = false;
};
