// Counts what happens to the files of one folder, through inotify: how often a file was
// opened and how often a file was renamed into place. Lets a test tell how many times the
// registry file was read and written without timing anything.
#pragma once

#include <map>
#include <string>

#include <sys/inotify.h>
#include <unistd.h>

namespace testfiles {

class FileEvents {
public:
    explicit FileEvents(const std::string& folder)
        : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)),
          m_watch(m_fd >= 0 ? inotify_add_watch(m_fd, folder.c_str(), IN_OPEN | IN_MOVED_TO) : -1) {}
    ~FileEvents() {
        if (m_fd >= 0) close(m_fd);
    }
    FileEvents(const FileEvents&) = delete;
    FileEvents& operator=(const FileEvents&) = delete;

    bool Watching() const { return m_watch >= 0; }
    // Events since the watch began, for one file name.
    int Opens(const std::string& name) { return Drain(), m_opens[name]; }
    int RenamesTo(const std::string& name) { return Drain(), m_renames[name]; }

private:
    void Drain() {
        alignas(inotify_event) char buffer[65536];
        for (;;) {
            const ssize_t n = read(m_fd, buffer, sizeof buffer);
            if (n <= 0) return;
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
                const std::string name = e->len ? e->name : "";
                if (e->mask & IN_OPEN) ++m_opens[name];
                if (e->mask & IN_MOVED_TO) ++m_renames[name];
                at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
        }
    }

    int m_fd;
    int m_watch;
    std::map<std::string, int> m_opens;
    std::map<std::string, int> m_renames;
};

}  // namespace testfiles
