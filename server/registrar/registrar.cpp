// The registrar: substitution, tokens, a parse into a tree of keys, then the tree applied in
// register or unregister mode over the platform's registry transaction.
#include "server/registrar/registrar.h"

#include "platform/guarded_call.h"

#include <functional>
#include <new>
#include <optional>
#include <span>
#include <vector>

#include "platform/library.h"
#include "platform/resources.h"

namespace server {

namespace {

const HRESULT kBadFormat = HRESULT_FROM_WIN32(ERROR_BAD_FORMAT);
// Deeper nesting than any registry allows is taken for a broken script.
constexpr int kMaxDepth = 256;

bool EqualFolded(std::string_view a, std::string_view b) noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// %NAME% replaced by its text with each single quote doubled; %% gives one percent sign.
std::optional<std::string> Substitute(std::string_view script, const RegistrarReplacements& replacements) {
    std::string out;
    out.reserve(script.size());
    std::size_t pos = 0;
    while (pos < script.size()) {
        std::size_t percent = script.find('%', pos);
        if (percent == std::string_view::npos) {
            out.append(script.substr(pos));
            break;
        }
        out.append(script.substr(pos, percent - pos));
        std::size_t close = script.find('%', percent + 1);
        if (close == std::string_view::npos) return std::nullopt;
        std::string_view name = script.substr(percent + 1, close - percent - 1);
        if (name.empty()) {
            out += '%';
        } else {
            auto it = replacements.find(name);
            if (it == replacements.end()) return std::nullopt;
            for (char c : it->second) {
                if (c == '\'') out += '\'';
                out += c;
            }
        }
        pos = close + 1;
    }
    return out;
}

enum class TokenKind { End, Word, Quoted, Equals, Open, Close };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text;
};

class Lexer {
public:
    explicit Lexer(std::string_view text) : m_text(text) {}

    // False on a lexical error (unterminated quote, a null character).
    bool Next(Token* token) {
        token->text.clear();
        while (m_pos < m_text.size() && IsSpace(m_text[m_pos])) ++m_pos;
        if (m_pos >= m_text.size()) {
            token->kind = TokenKind::End;
            return true;
        }
        char c = m_text[m_pos];
        if (c == '\0') return false;
        if (c == '=') {
            ++m_pos;
            token->kind = TokenKind::Equals;
            return true;
        }
        if (c == '\'') {
            ++m_pos;
            token->kind = TokenKind::Quoted;
            while (true) {
                if (m_pos >= m_text.size()) return false;
                char q = m_text[m_pos++];
                if (q == '\0') return false;
                if (q == '\'') {
                    if (m_pos < m_text.size() && m_text[m_pos] == '\'') {
                        token->text += '\'';
                        ++m_pos;
                        continue;
                    }
                    return true;
                }
                token->text += q;
            }
        }
        std::size_t start = m_pos;
        while (m_pos < m_text.size() && !IsSpace(m_text[m_pos]) && m_text[m_pos] != '=' && m_text[m_pos] != '\'') {
            if (m_text[m_pos] == '\0') return false;
            ++m_pos;
        }
        token->text = std::string(m_text.substr(start, m_pos - start));
        // A brace alone opens or closes a block; "{...}" is a name (a GUID key).
        token->kind = token->text == "{" ? TokenKind::Open : token->text == "}" ? TokenKind::Close : TokenKind::Word;
        return true;
    }

private:
    static bool IsSpace(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    std::string_view m_text;
    std::size_t m_pos = 0;
};

enum class Removal { Normal, NoRemove, ForceRemove };

struct Entry {
    bool isValue = false;
    std::string name;
    bool hasValue = false;  // keys: a default value is given
    std::string value;
    Removal removal = Removal::Normal;
    std::vector<Entry> children;
};

class Parser {
public:
    explicit Parser(std::string_view text) : m_lexer(text) {}

    // The keys of every root block, in order.
    bool Parse(std::vector<Entry>* keys) {
        if (!Advance()) return false;
        if (m_token.kind == TokenKind::End) return false;  // an empty script is no script
        while (m_token.kind != TokenKind::End) {
            if (m_token.kind != TokenKind::Word ||
                !(EqualFolded(m_token.text, "HKCR") || EqualFolded(m_token.text, "HKEY_CLASSES_ROOT")))
                return false;
            if (!Advance() || m_token.kind != TokenKind::Open) return false;
            if (!ParseBody(keys, 1)) return false;
            if (!Advance()) return false;
        }
        return true;
    }

private:
    bool Advance() { return m_lexer.Next(&m_token); }

    static bool IsName(const Token& t) {
        if (t.kind != TokenKind::Word && t.kind != TokenKind::Quoted) return false;
        if (t.text.empty()) return false;
        return t.text.find_first_of(std::string_view("\\\r\n", 3)) == std::string::npos;
    }

    // After '=': the type letter s and a quoted string.
    bool ParseStringValue(std::string* value) {
        if (!Advance() || m_token.kind != TokenKind::Word || !EqualFolded(m_token.text, "s")) return false;
        if (!Advance() || m_token.kind != TokenKind::Quoted) return false;
        if (m_token.text.find_first_of("\r\n") != std::string::npos) return false;
        *value = m_token.text;
        return true;
    }

    // Entries up to the closing brace of the block just opened; the current token is then
    // that brace.
    bool ParseBody(std::vector<Entry>* entries, int depth) {
        if (depth > kMaxDepth) return false;
        if (!Advance()) return false;
        while (m_token.kind != TokenKind::Close) {
            Entry e;
            if (m_token.kind == TokenKind::Word && EqualFolded(m_token.text, "val")) {
                // The root takes no values of ours.
                if (depth == 1) return false;
                if (!Advance() || !IsName(m_token)) return false;
                e.isValue = true;
                e.name = m_token.text;
                if (!Advance() || m_token.kind != TokenKind::Equals) return false;
                if (!ParseStringValue(&e.value)) return false;
                if (!Advance()) return false;
                entries->push_back(std::move(e));
                continue;
            }
            if (m_token.kind == TokenKind::Word && EqualFolded(m_token.text, "NoRemove")) {
                e.removal = Removal::NoRemove;
                if (!Advance()) return false;
            } else if (m_token.kind == TokenKind::Word && EqualFolded(m_token.text, "ForceRemove")) {
                e.removal = Removal::ForceRemove;
                if (!Advance()) return false;
            }
            if (!IsName(m_token)) return false;
            if (m_token.kind == TokenKind::Word &&
                (EqualFolded(m_token.text, "NoRemove") || EqualFolded(m_token.text, "ForceRemove") ||
                 EqualFolded(m_token.text, "val")))
                return false;
            e.name = m_token.text;
            if (!Advance()) return false;
            if (m_token.kind == TokenKind::Equals) {
                if (!ParseStringValue(&e.value)) return false;
                e.hasValue = true;
                if (!Advance()) return false;
            }
            if (m_token.kind == TokenKind::Open) {
                if (!ParseBody(&e.children, depth + 1)) return false;
                if (!Advance()) return false;
            }
            entries->push_back(std::move(e));
        }
        return true;  // End inside a block fails above: End is neither a name nor "val"
    }

    Lexer m_lexer;
    Token m_token;
};

HRESULT ParseScript(std::string_view script, const RegistrarReplacements& replacements, std::vector<Entry>* keys) {
    std::optional<std::string> text = Substitute(script, replacements);
    if (!text) return kBadFormat;
    Parser parser(*text);
    if (!parser.Parse(keys)) return kBadFormat;
    return S_OK;
}

std::string Child(const std::string& parent, const std::string& name) {
    return parent.empty() ? name : parent + '\\' + name;
}

HRESULT Register(const std::vector<Entry>& entries, const std::string& parent,
                 platform::RegistryTransaction& registry) {
    for (const Entry& e : entries) {
        HRESULT hr = S_OK;
        if (e.isValue) {
            hr = registry.SetValue(parent, e.name, e.value);
            if (FAILED(hr)) return hr;
            continue;
        }
        std::string path = Child(parent, e.name);
        if (e.removal == Removal::ForceRemove) {
            hr = registry.DeleteTree(path);
            if (FAILED(hr)) return hr;
        }
        hr = registry.CreateKey(path);
        if (FAILED(hr)) return hr;
        if (e.hasValue) {
            hr = registry.SetValue(path, "", e.value);
            if (FAILED(hr)) return hr;
        }
        hr = Register(e.children, path, registry);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT Unregister(const std::vector<Entry>& entries, const std::string& parent,
                   platform::RegistryTransaction& registry) {
    for (const Entry& e : entries) {
        if (e.isValue) continue;  // values go with their key
        std::string path = Child(parent, e.name);
        HRESULT hr = S_OK;
        if (e.removal == Removal::ForceRemove) {
            hr = registry.DeleteTree(path);
            if (FAILED(hr)) return hr;
            continue;
        }
        if (!registry.KeyExists(path)) continue;
        hr = Unregister(e.children, path, registry);
        if (FAILED(hr)) return hr;
        if (e.removal == Removal::NoRemove) continue;
        // Keys that someone else put below it keep it in place.
        std::vector<std::string> subkeys;
        hr = registry.EnumSubkeys(path, &subkeys);
        if (FAILED(hr)) return hr;
        if (!subkeys.empty()) continue;
        hr = registry.DeleteKey(path);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

}  // namespace

HRESULT CheckRegistryScript(std::string_view script, const RegistrarReplacements& replacements) noexcept {
    return platform::GuardedCall([&]() -> HRESULT {
        std::vector<Entry> keys;
        return ParseScript(script, replacements, &keys);
    });
}

HRESULT ApplyRegistryScript(std::string_view script, const RegistrarReplacements& replacements, RegistrarMode mode,
                            platform::RegistryTransaction& registry) noexcept {
    return platform::GuardedCall([&]() -> HRESULT {
        std::vector<Entry> keys;
        HRESULT hr = ParseScript(script, replacements, &keys);
        if (FAILED(hr)) return hr;
        return mode == RegistrarMode::Register ? Register(keys, {}, registry) : Unregister(keys, {}, registry);
    });
}

HRESULT ApplyRegistryScript(std::string_view script, const RegistrarReplacements& replacements,
                            RegistrarMode mode) noexcept {
    // Parse first, so that a broken script neither waits for the lock nor reads the file.
    HRESULT hr = CheckRegistryScript(script, replacements);
    if (FAILED(hr)) return hr;
    platform::RegistryTransaction registry;
    hr = registry.Begin();
    if (FAILED(hr)) return hr;
    hr = ApplyRegistryScript(script, replacements, mode, registry);
    if (FAILED(hr)) {
        registry.Abandon();
        return hr;
    }
    return registry.Commit();
}

HRESULT ApplyRegistryResource(int scriptId, const RegistrarReplacements& replacements, RegistrarMode mode) noexcept {
    return platform::GuardedCall([&]() -> HRESULT {
        std::span<const std::byte> data;
        HRESULT hr = platform::FindModuleResource(platform::ResourceType("REGISTRY"), scriptId, &data);
        if (FAILED(hr)) return hr;
        std::string_view script(reinterpret_cast<const char*>(data.data()), data.size());
        return ApplyRegistryScript(script, replacements, mode);
    });
}

HRESULT RunRegistrationSteps(std::span<const std::function<HRESULT()>> steps) noexcept {
    auto runAll = [&]() -> HRESULT {
        HRESULT hr = S_OK;
        for (const std::function<HRESULT()>& step : steps)
            if (FAILED(hr = step())) break;
        return hr;
    };
    return platform::GuardedCall([&]() -> HRESULT {
        {
            platform::RegistryBatch batch;
            if (SUCCEEDED(batch.Begin())) {
                const HRESULT hr = runAll();
                if (SUCCEEDED(hr) && SUCCEEDED(batch.Commit())) return hr;
            }
        }
        return runAll();
    });
}

HRESULT RegisterThisModule(std::span<const int> scriptIds, const platform::TypeLibraryInfo& typeLibrary,
                           RegistrarMode mode) noexcept {
    return platform::GuardedCall([&]() -> HRESULT {
        const std::string path = platform::ModuleFilePath();
        if (path.empty()) return E_FAIL;
        const RegistrarReplacements replacements{{"MODULE", path}};
        std::vector<std::function<HRESULT()>> steps;
        for (const int id : scriptIds)
            steps.emplace_back([&, id] { return ApplyRegistryResource(id, replacements, mode); });
        steps.emplace_back([&] {
            return mode == RegistrarMode::Register ? platform::RegisterModuleTypeLibrary(path, typeLibrary)
                                                   : platform::UnregisterModuleTypeLibrary(path, typeLibrary);
        });
        return RunRegistrationSteps(steps);
    });
}

}  // namespace server
