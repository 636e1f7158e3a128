// The registry below HKEY_CLASSES_ROOT as a REGEDIT4 text file, read and written whole under
// an advisory lock. Every line we do not change is written back as it was read.
#include "platform/registry.h"

#include "platform/guarded_call.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#include <optional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kClassesRoot = "HKEY_CLASSES_ROOT";

char FoldChar(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Fold(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = FoldChar(c);
    return out;
}

bool EqualFolded(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldChar(a[i]) != FoldChar(b[i])) return false;
    return true;
}

bool HasLineBreak(std::string_view text) noexcept {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

std::string_view TrimRight(std::string_view text) noexcept {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

// Splits a path below the root into its components; nullopt when a component is empty or
// holds a line break. The empty path gives no components.
std::optional<std::vector<std::string>> SplitPath(std::string_view path) {
    std::vector<std::string> parts;
    if (path.empty()) return parts;
    std::size_t start = 0;
    while (true) {
        std::size_t end = path.find('\\', start);
        std::size_t length = end == std::string_view::npos ? std::string_view::npos : end - start;
        std::string_view part = path.substr(start, length);
        if (part.empty() || HasLineBreak(part)) return std::nullopt;
        parts.emplace_back(part);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return parts;
}

std::string JoinFolded(const std::vector<std::string>& parts, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        if (i) out += '\\';
        out += Fold(parts[i]);
    }
    return out;
}

// A quoted string of the file starting at text[pos] == '"'. On success pos is just past the
// closing quote. Backslash takes the next character literally.
bool ReadQuoted(std::string_view text, std::size_t& pos, std::string* out) {
    out->clear();
    ++pos;
    while (pos < text.size()) {
        char c = text[pos++];
        if (c == '"') return true;
        if (c == '\\') {
            if (pos >= text.size()) return false;
            c = text[pos++];
        }
        out->push_back(c);
    }
    return false;
}

void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
}

// A line inside a section: a value, or anything else (comment) kept as read. A value we have
// not changed keeps its original text (with continuation lines of long binary values).
struct Line {
    bool isValue = false;
    std::string name;   // value name, empty for the default value
    bool isString = true;
    std::string data;   // decoded string, or the text after '=' for other types
    std::vector<std::string> raw;  // original lines; empty once changed
};

struct Section {
    std::string header;  // text between the brackets, as read or as written by us
    bool classesRoot = false;
    std::vector<std::string> parts;  // components below HKEY_CLASSES_ROOT (classesRoot only)
    std::string folded;              // parts joined and case-folded
    std::vector<Line> lines;
};

// Is a section with folded path 'p' the key 'key' itself or below it?
bool InSubtree(std::string_view p, std::string_view key) noexcept {
    if (key.empty()) return true;
    if (p.size() < key.size() || p.substr(0, key.size()) != key) return false;
    return p.size() == key.size() || p[key.size()] == '\\';
}
bool StrictlyBelow(std::string_view p, std::string_view key) noexcept {
    return p.size() != key.size() && InSubtree(p, key);
}

void ClassifyHeader(Section& s) {
    s.classesRoot = false;
    std::string_view h = s.header;
    if (h.size() < kClassesRoot.size() || !EqualFolded(h.substr(0, kClassesRoot.size()), kClassesRoot)) return;
    std::string_view rest = h.substr(kClassesRoot.size());
    if (!rest.empty()) {
        if (rest.front() != '\\') return;
        rest.remove_prefix(1);
        if (rest.empty()) return;
    }
    auto parts = SplitPath(rest);
    if (!parts) return;  // kept as read, not one of ours to interpret
    s.parts = std::move(*parts);
    s.folded = JoinFolded(s.parts, s.parts.size());
    s.classesRoot = true;
}

HRESULT ErrnoStatus(int error) noexcept {
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS: return E_ACCESSDENIED;
    case ENOENT:
    case ENOTDIR: return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    case ENOMEM: return E_OUTOFMEMORY;
    default: return E_FAIL;
    }
}

std::string FolderPart(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

HRESULT MakeFolders(const std::string& folder) {
    if (folder.empty()) return S_OK;
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = folder.find('/', pos + 1);
        std::string prefix = folder.substr(0, pos);
        if (prefix.empty()) continue;
        if (mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return ErrnoStatus(errno);
    }
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0) return ErrnoStatus(errno);
    return S_ISDIR(st.st_mode) ? S_OK : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
}

// The file a path names after following symbolic links, so that the registry is written
// through a link to its target instead of replacing the link. A link to a file that does not
// exist yet resolves to that file.
HRESULT ResolveLinks(const std::string& path, std::string* resolved) {
    std::string current = path;
    for (int hop = 0;; ++hop) {
        struct stat st {};
        if (lstat(current.c_str(), &st) != 0) {
            if (errno == ENOENT) break;
            return ErrnoStatus(errno);
        }
        if (!S_ISLNK(st.st_mode)) break;
        if (hop == 40) return ErrnoStatus(ELOOP);  // the kernel's own limit of links in a path
        std::string target(PATH_MAX, '\0');
        ssize_t n = readlink(current.c_str(), target.data(), target.size());
        if (n < 0) return ErrnoStatus(errno);
        if (static_cast<std::size_t>(n) >= target.size()) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        target.resize(static_cast<std::size_t>(n));
        if (target.empty()) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        if (target.front() != '/') {
            std::string folder = FolderPart(current);
            target = (folder.empty() ? std::string() : folder == "/" ? folder : folder + "/") + target;
        }
        current = std::move(target);
    }
    *resolved = std::move(current);
    return S_OK;
}

// Temporary files are named <file>.tmp.XXXXXX (mkstemp's six letters and digits).
constexpr std::string_view kTempInfix = ".tmp.";
constexpr std::size_t kTempSuffixLength = 6;
constexpr std::time_t kStaleAfter_s = 60;

std::string NamePart(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsTemporaryOf(std::string_view name, std::string_view file) noexcept {
    if (name.size() != file.size() + kTempInfix.size() + kTempSuffixLength) return false;
    if (name.substr(0, file.size()) != file || name.substr(file.size(), kTempInfix.size()) != kTempInfix) return false;
    for (char c : name.substr(file.size() + kTempInfix.size()))
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

// Removes the temporaries of the registry file that a writer killed before its rename left
// behind. Called under the lock, so none of them is still being written; one younger than a
// minute is kept all the same, in case a writer without the lock is at work.
void RemoveStaleTemporaries(const std::string& path) {
    const std::string folder = FolderPart(path);
    const std::string file = NamePart(path);
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return;
    const std::time_t now = std::time(nullptr);
    while (const dirent* entry = readdir(dir)) {
        if (!IsTemporaryOf(entry->d_name, file)) continue;
        struct stat st {};
        if (fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
        if (now - st.st_mtime < kStaleAfter_s) continue;
        unlinkat(dirfd(dir), entry->d_name, 0);  // a file we may not remove stays
    }
    closedir(dir);
}

// Whether an existing file may be replaced: the caller may write it, and it is not marked
// read-only (no write permission for anyone), which even a privileged user respects here.
bool MayReplace(const std::string& path, const struct stat& st) {
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
    return faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

HRESULT WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return ErrnoStatus(errno);
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return S_OK;
}

}  // namespace

// The batch open on this thread, if any (see RegistryBatch).
thread_local RegistryBatch* t_batch = nullptr;

struct RegistryTransaction::State {
    std::string path;  // the file itself, symbolic links followed
    int lockFd = -1;
    RegistryBatch* lentBy = nullptr;  // the batch this state returns to at the end
    bool orphaned = false;            // its batch ended first: nothing more is written
    bool modified = false;
    unsigned long changes = 0;  // counts every change, so that a batch knows what a transaction did
    unsigned long changesWhenLent = 0;
    bool crlf = false;  // line ends of the file as read; new files get LF
    std::vector<std::string> preamble;  // comments before the first section
    std::vector<Section> sections;

    ~State() {
        if (lockFd >= 0) close(lockFd);
    }

    void Touch() {
        modified = true;
        ++changes;
    }
    HRESULT Parse(std::string_view text);
    std::string Serialise() const;

    bool Exists(std::string_view folded) const {
        if (folded.empty()) return true;
        for (const Section& s : sections)
            if (s.classesRoot && InSubtree(s.folded, folded)) return true;
        return false;
    }
    bool HasSection(std::string_view folded) const {
        for (const Section& s : sections)
            if (s.classesRoot && s.folded == folded) return true;
        return false;
    }
    // The stored spelling of component 'index' of an existing key, taken from any section at
    // or below it.
    const std::string* Spelling(std::string_view folded, std::size_t index) const {
        for (const Section& s : sections)
            if (s.classesRoot && InSubtree(s.folded, folded) && index < s.parts.size()) return &s.parts[index];
        return nullptr;
    }
    void InsertSection(std::vector<std::string> parts);
    // Creates the key of 'parts' and every key above it that has no section yet.
    bool Create(const std::vector<std::string>& parts);
};

HRESULT RegistryTransaction::State::Parse(std::string_view text) {
    if (text.empty()) return S_OK;  // an empty file is an empty registry
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    const HRESULT bad = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    if (lines.empty() || TrimRight(lines[0]) != kHeader) return bad;
    crlf = !lines[0].empty() && lines[0].back() == '\r';

    Section* current = nullptr;
    bool continuing = false;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (continuing) {  // continuation of a long binary value
            current->lines.back().raw.emplace_back(line);
            continuing = !TrimRight(line).empty() && TrimRight(line).back() == '\\';
            continue;
        }
        std::string_view trimmed = TrimRight(line);
        if (trimmed.empty()) continue;
        if (trimmed.front() == ';') {
            if (current) {
                Line l;
                l.raw.emplace_back(line);
                current->lines.push_back(std::move(l));
            } else {
                preamble.emplace_back(line);
            }
            continue;
        }
        if (trimmed.front() == '[') {
            if (trimmed.size() < 2 || trimmed.back() != ']') return bad;
            Section s;
            s.header = std::string(trimmed.substr(1, trimmed.size() - 2));
            ClassifyHeader(s);
            sections.push_back(std::move(s));
            current = &sections.back();
            continue;
        }
        if (!current || (trimmed.front() != '@' && trimmed.front() != '"')) return bad;
        Line l;
        l.isValue = true;
        std::size_t pos = 0;
        if (trimmed.front() == '@') {
            pos = 1;
        } else if (!ReadQuoted(trimmed, pos, &l.name)) {
            return bad;
        }
        if (pos >= trimmed.size() || trimmed[pos] != '=') return bad;
        ++pos;
        std::string_view rhs = trimmed.substr(pos);
        if (!rhs.empty() && rhs.front() == '"') {
            std::size_t q = 0;
            if (!ReadQuoted(rhs, q, &l.data)) return bad;
            if (q != rhs.size()) return bad;
        } else {
            if (rhs.empty()) return bad;
            l.isString = false;
            l.data = std::string(rhs);
            continuing = rhs.back() == '\\';
        }
        l.raw.emplace_back(line);
        current->lines.push_back(std::move(l));
    }
    if (continuing) return bad;  // the file ends inside a binary value
    return S_OK;
}

std::string RegistryTransaction::State::Serialise() const {
    const char* eol = crlf ? "\r\n" : "\n";
    std::string out;
    out += kHeader;
    out += eol;
    out += eol;
    for (const std::string& p : preamble) {
        out += p;
        out += eol;
    }
    if (!preamble.empty()) out += eol;
    for (const Section& s : sections) {
        out += '[';
        out += s.header;
        out += ']';
        out += eol;
        for (const Line& l : s.lines) {
            if (!l.raw.empty()) {
                for (const std::string& r : l.raw) {
                    out += r;
                    out += eol;
                }
                continue;
            }
            if (l.name.empty())
                out += '@';
            else
                AppendQuoted(out, l.name);
            out += '=';
            if (l.isString)
                AppendQuoted(out, l.data);
            else
                out += l.data;
            out += eol;
        }
        out += eol;
    }
    return out;
}

void RegistryTransaction::State::InsertSection(std::vector<std::string> parts) {
    Section s;
    s.header = std::string(kClassesRoot);
    for (const std::string& p : parts) {
        s.header += '\\';
        s.header += p;
    }
    s.parts = std::move(parts);
    s.folded = JoinFolded(s.parts, s.parts.size());
    s.classesRoot = true;
    // After the last section of the parent's subtree, so that the file reads as a tree.
    std::string parent = JoinFolded(s.parts, s.parts.size() - 1);
    std::size_t at = sections.size();
    for (std::size_t i = sections.size(); i-- > 0;) {
        if (sections[i].classesRoot && InSubtree(sections[i].folded, parent)) {
            at = i + 1;
            break;
        }
    }
    sections.insert(sections.begin() + static_cast<std::ptrdiff_t>(at), std::move(s));
    Touch();
}

bool RegistryTransaction::State::Create(const std::vector<std::string>& parts) {
    bool created = false;
    std::vector<std::string> spelled;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        std::string folded = JoinFolded(parts, i + 1);
        const std::string* stored = Spelling(folded, i);
        spelled.push_back(stored ? *stored : parts[i]);
        if (!HasSection(folded)) {
            InsertSection(spelled);
            created = true;
        }
    }
    return created;
}

RegistryTransaction::RegistryTransaction() = default;
RegistryTransaction::~RegistryTransaction() { Abandon(); }

std::string DefaultRegistryFilePath() {
    const char* explicitPath = std::getenv("CALORIX_REGISTRY");
    if (explicitPath && *explicitPath) return explicitPath;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && dataHome[0] == '/') return std::string(dataHome) + "/calorix/registry.reg";
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.local/share/calorix/registry.reg";
    return {};
}

HRESULT RegistryTransaction::Begin() noexcept {
    return platform::GuardedCall([&]() -> HRESULT {
        std::string path = DefaultRegistryFilePath();
        if (path.empty()) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        return Begin(path);
    });
}

HRESULT RegistryTransaction::Begin(const std::string& filePath) noexcept {
    if (m_state) return E_UNEXPECTED;
    if (filePath.empty()) return E_INVALIDARG;
    return platform::GuardedCall([&]() -> HRESULT {
        auto state = std::make_unique<State>();
        HRESULT hr = ResolveLinks(filePath, &state->path);
        if (FAILED(hr)) return hr;
        // A transaction on the file of this thread's batch works on the batch's state.
        if (t_batch && t_batch->m_transaction.m_state && t_batch->m_transaction.m_state->path == state->path) {
            m_state = std::move(t_batch->m_transaction.m_state);
            m_state->lentBy = t_batch;
            m_state->changesWhenLent = m_state->changes;
            t_batch->m_lent = m_state.get();
            return S_OK;
        }
        hr = MakeFolders(FolderPart(state->path));
        if (FAILED(hr)) return hr;
        // The lock lives on a file of its own beside the target: the registry file is replaced
        // on every commit, and every link to it shares the one lock.
        std::string lockPath = state->path + ".lock";
        state->lockFd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (state->lockFd < 0) return ErrnoStatus(errno);
        while (flock(state->lockFd, LOCK_EX) != 0) {
            if (errno != EINTR) return HRESULT_FROM_WIN32(ERROR_LOCK_VIOLATION);
        }
        std::string text;
        int fd = open(state->path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            if (errno != ENOENT) return ErrnoStatus(errno);
        } else {
            char buffer[65536];
            while (true) {
                ssize_t n = read(fd, buffer, sizeof buffer);
                if (n < 0) {
                    if (errno == EINTR) continue;
                    int error = errno;
                    close(fd);
                    return ErrnoStatus(error);
                }
                if (n == 0) break;
                text.append(buffer, static_cast<std::size_t>(n));
            }
            close(fd);
        }
        hr = state->Parse(text);
        if (FAILED(hr)) return hr;
        m_state = std::move(state);
        return S_OK;
    });
}

HRESULT RegistryTransaction::Commit() noexcept {
    if (!m_state) return E_UNEXPECTED;
    if (RegistryBatch* batch = m_state->lentBy) {  // the batch writes the changes
        m_state->lentBy = nullptr;
        batch->m_lent = nullptr;
        batch->m_transaction.m_state = std::move(m_state);
        return S_OK;
    }
    std::unique_ptr<State> state = std::move(m_state);  // the lock goes with it
    if (state->orphaned) return E_ABORT;
    if (!state->modified) return S_OK;
    return platform::GuardedCall([&]() -> HRESULT {
        // A file marked read-only is refused, not replaced behind its owner's back.
        struct stat old {};
        const bool exists = stat(state->path.c_str(), &old) == 0;
        if (!exists && errno != ENOENT) return ErrnoStatus(errno);
        if (exists && !MayReplace(state->path, old)) return E_ACCESSDENIED;
        RemoveStaleTemporaries(state->path);

        std::string text = state->Serialise();
        std::string temp = state->path + std::string(kTempInfix) + "XXXXXX";
        int fd = mkstemp(temp.data());
        if (fd < 0) return ErrnoStatus(errno);
        const mode_t mode = exists ? (old.st_mode & 07777) : 0644;
        HRESULT hr = WriteAll(fd, text);
        // The replacement keeps the owner and group of the file it replaces where we may
        // give them (a privileged registration); otherwise it is ours, as any new file.
        if (SUCCEEDED(hr) && exists && (old.st_uid != geteuid() || old.st_gid != getegid()) &&
            fchown(fd, old.st_uid, old.st_gid) != 0 && errno != EPERM)
            hr = ErrnoStatus(errno);
        if (SUCCEEDED(hr) && fchmod(fd, mode) != 0) hr = ErrnoStatus(errno);
        if (SUCCEEDED(hr) && fsync(fd) != 0) hr = ErrnoStatus(errno);
        if (close(fd) != 0 && SUCCEEDED(hr)) hr = ErrnoStatus(errno);
        if (SUCCEEDED(hr) && rename(temp.c_str(), state->path.c_str()) != 0) hr = ErrnoStatus(errno);
        if (FAILED(hr)) unlink(temp.c_str());
        return hr;
    });
}

void RegistryTransaction::Abandon() noexcept {
    if (m_state && m_state->lentBy) {  // the batch gets its state back, spoilt by any change
        RegistryBatch* batch = m_state->lentBy;
        m_state->lentBy = nullptr;
        batch->m_lent = nullptr;
        if (m_state->changes != m_state->changesWhenLent) batch->m_abandoned = true;
        batch->m_transaction.m_state = std::move(m_state);
    }
    m_state.reset();
}

RegistryBatch::~RegistryBatch() {
    if (t_batch == this) t_batch = m_outer;
    if (m_lent) {  // a transaction on the batch's state outlives it: it may write nothing
        m_lent->lentBy = nullptr;
        m_lent->orphaned = true;
    }
}

HRESULT RegistryBatch::Begin() noexcept {
    if (t_batch == this) return E_UNEXPECTED;
    HRESULT hr = m_transaction.Begin();
    if (FAILED(hr)) return hr;
    m_outer = t_batch;
    t_batch = this;
    return S_OK;
}

HRESULT RegistryBatch::Commit() noexcept {
    if (t_batch != this) return E_UNEXPECTED;
    t_batch = m_outer;
    // A transaction still open on the state, or one that gave up, spoils the batch.
    if (!m_transaction.m_state || m_abandoned) {
        m_transaction.Abandon();
        return E_ABORT;
    }
    return m_transaction.Commit();
}

bool RegistryTransaction::KeyExists(std::string_view path) const noexcept {
    if (!m_state) return false;
    try {
        auto parts = SplitPath(path);
        return parts && m_state->Exists(JoinFolded(*parts, parts->size()));
    } catch (...) {
        return false;
    }
}

HRESULT RegistryTransaction::EnumSubkeys(std::string_view path, std::vector<std::string>* names) const noexcept {
    if (!names) return E_POINTER;
    names->clear();
    if (!m_state) return E_UNEXPECTED;
    return platform::GuardedCall([&]() -> HRESULT {
        auto parts = SplitPath(path);
        if (!parts) return E_INVALIDARG;
        std::string key = JoinFolded(*parts, parts->size());
        if (!m_state->Exists(key)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        std::size_t depth = parts->size();
        std::vector<std::string> folded;
        for (const Section& s : m_state->sections) {
            if (!s.classesRoot || !StrictlyBelow(s.folded, key)) continue;
            std::string child = Fold(s.parts[depth]);
            bool seen = false;
            for (const std::string& f : folded) seen = seen || f == child;
            if (seen) continue;
            folded.push_back(child);
            names->push_back(s.parts[depth]);
        }
        return S_OK;
    });
}

HRESULT RegistryTransaction::EnumValues(std::string_view path, std::vector<RegistryValue>* values) const noexcept {
    if (!values) return E_POINTER;
    values->clear();
    if (!m_state) return E_UNEXPECTED;
    return platform::GuardedCall([&]() -> HRESULT {
        auto parts = SplitPath(path);
        if (!parts) return E_INVALIDARG;
        std::string key = JoinFolded(*parts, parts->size());
        if (!m_state->Exists(key)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        for (const Section& s : m_state->sections) {
            if (!s.classesRoot || s.folded != key) continue;
            for (const Line& l : s.lines) {
                if (!l.isValue) continue;
                // A name written twice: the later line wins, as on import.
                RegistryValue* existing = nullptr;
                for (RegistryValue& v : *values)
                    if (EqualFolded(v.name, l.name)) existing = &v;
                if (!existing) existing = &values->emplace_back();
                existing->name = l.name;
                existing->isString = l.isString;
                existing->data = l.data;
            }
        }
        return S_OK;
    });
}

HRESULT RegistryTransaction::QueryValue(std::string_view path, std::string_view name,
                                        std::string* data) const noexcept {
    if (!data) return E_POINTER;
    data->clear();
    std::vector<RegistryValue> values;
    HRESULT hr = EnumValues(path, &values);
    if (FAILED(hr)) return hr;
    try {
        for (const RegistryValue& v : values) {
            if (!EqualFolded(v.name, name)) continue;
            if (!v.isString) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
            *data = v.data;
            return S_OK;
        }
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT RegistryTransaction::CreateKey(std::string_view path) noexcept {
    if (!m_state) return E_UNEXPECTED;
    return platform::GuardedCall([&]() -> HRESULT {
        auto parts = SplitPath(path);
        if (!parts) return E_INVALIDARG;
        return m_state->Create(*parts) ? S_OK : S_FALSE;
    });
}

HRESULT RegistryTransaction::SetValue(std::string_view path, std::string_view name, std::string_view data) noexcept {
    if (!m_state) return E_UNEXPECTED;
    if (HasLineBreak(name) || HasLineBreak(data)) return E_INVALIDARG;
    return platform::GuardedCall([&]() -> HRESULT {
        auto parts = SplitPath(path);
        if (!parts || parts->empty()) return E_INVALIDARG;  // the root holds no values of ours
        m_state->Create(*parts);
        std::string key = JoinFolded(*parts, parts->size());
        Section* first = nullptr;
        bool found = false;
        for (Section& s : m_state->sections) {
            if (!s.classesRoot || s.folded != key) continue;
            if (!first) first = &s;
            for (Line& l : s.lines) {
                if (!l.isValue || !EqualFolded(l.name, name)) continue;
                found = true;
                if (l.isString && l.data == data) continue;
                l.isString = true;
                l.data = std::string(data);
                l.raw.clear();
                m_state->Touch();
            }
        }
        if (!found) {
            Line l;
            l.isValue = true;
            l.name = std::string(name);
            l.data = std::string(data);
            // The default value first, as it is listed on export.
            auto at = first->lines.end();
            if (name.empty()) at = first->lines.begin();
            first->lines.insert(at, std::move(l));
            m_state->Touch();
        }
        return S_OK;
    });
}

HRESULT RegistryTransaction::DeleteKey(std::string_view path) noexcept {
    if (!m_state) return E_UNEXPECTED;
    return platform::GuardedCall([&]() -> HRESULT {
        auto parts = SplitPath(path);
        if (!parts || parts->empty()) return E_INVALIDARG;
        std::string key = JoinFolded(*parts, parts->size());
        auto& sections = m_state->sections;
        bool exists = false;
        for (const Section& s : sections) {
            if (!s.classesRoot) continue;
            if (StrictlyBelow(s.folded, key)) return E_ACCESSDENIED;
            exists = exists || s.folded == key;
        }
        if (!exists) return S_FALSE;
        std::erase_if(sections, [&](const Section& s) { return s.classesRoot && s.folded == key; });
        m_state->Touch();
        return S_OK;
    });
}

HRESULT RegistryTransaction::DeleteTree(std::string_view path) noexcept {
    if (!m_state) return E_UNEXPECTED;
    return platform::GuardedCall([&]() -> HRESULT {
        auto parts = SplitPath(path);
        if (!parts || parts->empty()) return E_INVALIDARG;
        std::string key = JoinFolded(*parts, parts->size());
        auto removed = std::erase_if(m_state->sections,
                                     [&](const Section& s) { return s.classesRoot && InSubtree(s.folded, key); });
        if (removed == 0) return S_FALSE;
        m_state->Touch();
        return S_OK;
    });
}

}  // namespace platform
