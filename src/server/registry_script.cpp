#include "registry_script.h"

#include <cctype>
#include <new>
#include <utility>

namespace zov::registration {
namespace {

// ---------------------------------------------------------------------------------------------
// Tokens

enum class TokenKind { Word, Quoted, Open, Close, Equals, End };

struct Token {
  TokenKind kind = TokenKind::End;
  std::string raw;   // as written (a quoted text without its quotes, '' made one quote)
  std::string text;  // with the %NAME% replacements made
  int line = 0;
  int column = 0;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool SameNoCase(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i)
    if (std::toupper(static_cast<unsigned char>(a[i])) !=
        std::toupper(static_cast<unsigned char>(b[i])))
      return false;
  return i == a.size() && !b[i];
}

class ScriptReader {
 public:
  ScriptReader(const std::string& text, const Replacements& replacements, ScriptError* error)
      : text_(text), replacements_(replacements), error_(error) {}

  // Splits the whole text into tokens; false (with the error set) on a malformed token.
  bool Tokenize(std::vector<Token>* tokens) {
    size_t end = text_.size();
    while (end > 0 && text_[end - 1] == '\0') --end;  // padding of resource data
    while (pos_ < end) {
      char c = text_[pos_];
      if (IsBlank(c)) {
        Advance();
        continue;
      }
      Token token;
      token.line = line_;
      token.column = column_;
      if (c == '\0') return Fail(token.line, token.column, "a NUL byte in the script");
      if (c == '\'') {
        Advance();
        bool closed = false;
        while (pos_ < end) {
          char q = text_[pos_];
          if (q == '\'') {
            Advance();
            if (pos_ < end && text_[pos_] == '\'') {
              token.raw += '\'';
              Advance();
              continue;
            }
            closed = true;
            break;
          }
          if (q == '\n' || q == '\r' || q == '\0') break;
          token.raw += q;
          Advance();
        }
        if (!closed)
          return Fail(token.line, token.column, "a quoted text is not closed on its line");
        token.kind = TokenKind::Quoted;
      } else {
        while (pos_ < end && !IsBlank(text_[pos_]) && text_[pos_] != '\'') {
          if (text_[pos_] == '\0')
            return Fail(line_, column_, "a NUL byte in the script");
          token.raw += text_[pos_];
          Advance();
        }
        token.kind = token.raw == "{"   ? TokenKind::Open
                     : token.raw == "}" ? TokenKind::Close
                     : token.raw == "=" ? TokenKind::Equals
                                        : TokenKind::Word;
      }
      if (token.kind == TokenKind::Word || token.kind == TokenKind::Quoted) {
        if (!Replace(token)) return false;
      }
      tokens->push_back(std::move(token));
    }
    Token last;
    last.kind = TokenKind::End;
    last.line = line_;
    last.column = column_;
    tokens->push_back(std::move(last));
    return true;
  }

 private:
  void Advance() {
    if (text_[pos_] == '\n') {
      ++line_;
      column_ = 1;
    } else {
      ++column_;
    }
    ++pos_;
  }

  bool Fail(int line, int column, std::string message) {
    error_->line = line;
    error_->column = column;
    error_->message = std::move(message);
    return false;
  }

  // %NAME% -> its replacement, %% -> %.
  bool Replace(Token& token) {
    const std::string& raw = token.raw;
    std::string out;
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] != '%') {
        out += raw[i];
        continue;
      }
      size_t close = raw.find('%', i + 1);
      if (close == std::string::npos)
        return Fail(token.line, token.column, "a '%' without its closing '%'");
      std::string name = raw.substr(i + 1, close - i - 1);
      if (name.empty()) {
        out += '%';
      } else {
        const std::string* value = nullptr;
        for (const auto& [key, replacement] : replacements_)
          if (SameNoCase(name, key.c_str())) value = &replacement;
        if (!value) return Fail(token.line, token.column, "unknown replacement %" + name + "%");
        out += *value;
      }
      i = close;
    }
    token.text = std::move(out);
    return true;
  }

  const std::string& text_;
  const Replacements& replacements_;
  ScriptError* error_;
  size_t pos_ = 0;
  int line_ = 1;
  int column_ = 1;
};

// ---------------------------------------------------------------------------------------------
// Grammar

class ScriptParser {
 public:
  ScriptParser(const std::vector<Token>& tokens, ScriptError* error)
      : tokens_(tokens), error_(error) {}

  bool Parse(RegistryScript* script) {
    while (Peek().kind != TokenKind::End) {
      const Token& root = Next();
      if (root.kind != TokenKind::Word ||
          !(SameNoCase(root.raw, "HKCR") || SameNoCase(root.raw, "HKEY_CLASSES_ROOT")))
        return Fail(root, "expected a root key, HKCR or HKEY_CLASSES_ROOT" + Found(root));
      const Token& open = Next();
      if (open.kind != TokenKind::Open)
        return Fail(open, "expected '{' after the root key" + Found(open));
      if (!ParseBlock(nullptr, &script->keys)) return false;
    }
    return true;
  }

 private:
  const Token& Peek() const { return tokens_[next_]; }
  const Token& Next() {
    const Token& token = tokens_[next_];
    if (token.kind != TokenKind::End) ++next_;
    return token;
  }

  static std::string Found(const Token& token) {
    switch (token.kind) {
      case TokenKind::End: return ", found the end of the script";
      case TokenKind::Open: return ", found '{'";
      case TokenKind::Close: return ", found '}'";
      case TokenKind::Equals: return ", found '='";
      default: return ", found '" + token.raw + "'";
    }
  }

  bool Fail(const Token& at, std::string message) {
    error_->line = at.line;
    error_->column = at.column;
    error_->message = std::move(message);
    return false;
  }

  static bool IsName(const Token& token) {
    return token.kind == TokenKind::Word || token.kind == TokenKind::Quoted;
  }
  static bool IsKeyword(const Token& token, const char* keyword) {
    return token.kind == TokenKind::Word && SameNoCase(token.raw, keyword);
  }

  // The entries of one block up to its '}'; owner is null for a root block.
  bool ParseBlock(ScriptKey* owner, std::vector<ScriptKey>* keys) {
    if (++depth_ > kMaxDepth) return Fail(tokens_[next_ - 1], "keys nested too deeply");
    for (;;) {
      const Token& token = Next();
      if (token.kind == TokenKind::Close) {
        --depth_;
        return true;
      }
      if (token.kind == TokenKind::End) return Fail(token, "a '{' is not closed by its '}'");
      if (!IsName(token)) return Fail(token, "expected a key or 'val'" + Found(token));
      if (IsKeyword(token, "val")) {
        if (!owner) return Fail(token, "a value directly below the root key; values belong to keys");
        ScriptValue value;
        const Token& name = Next();
        if (!IsName(name)) return Fail(name, "expected the value's name after 'val'" + Found(name));
        value.name = name.text;
        if (value.name.empty()) return Fail(name, "a value named by 'val' needs a name");
        const Token& equals = Next();
        if (equals.kind != TokenKind::Equals)
          return Fail(equals, "expected '=' after the value's name" + Found(equals));
        if (!ParseData(&value)) return false;
        owner->values.push_back(std::move(value));
        continue;
      }
      if (IsKeyword(token, "Delete"))
        return Fail(token, "the Delete flag is not supported (NoRemove and ForceRemove are)");
      ScriptKey key;
      const Token* name = &token;
      if (IsKeyword(token, "NoRemove") || IsKeyword(token, "ForceRemove")) {
        key.flag = IsKeyword(token, "NoRemove") ? KeyFlag::NoRemove : KeyFlag::ForceRemove;
        name = &Next();
        if (!IsName(*name))
          return Fail(*name, "expected a key name after " + token.raw + Found(*name));
      }
      key.name = name->text;
      if (key.name.empty()) return Fail(*name, "a key needs a name");
      if (key.name.find('\\') != std::string::npos)
        return Fail(*name, "a key name with '\\' in it; name one key per level");
      if (Peek().kind == TokenKind::Equals) {
        Next();
        ScriptValue value;
        if (!ParseData(&value)) return false;
        key.values.push_back(std::move(value));
      }
      if (Peek().kind == TokenKind::Open) {
        Next();
        if (!ParseBlock(&key, &key.subkeys)) return false;
      }
      keys->push_back(std::move(key));
    }
  }

  // "type data" after '='.
  bool ParseData(ScriptValue* value) {
    const Token& type = Next();
    if (IsKeyword(type, "b") || IsKeyword(type, "m"))
      return Fail(type, "value type '" + type.raw + "' is not supported (only s and d)");
    bool isString = IsKeyword(type, "s");
    if (!isString && !IsKeyword(type, "d"))
      return Fail(type, "expected a value type, s or d, after '='" + Found(type));
    const Token& data = Next();
    if (!IsName(data)) return Fail(data, "expected the value's data" + Found(data));
    if (isString) {
      value->text = data.text;
      return true;
    }
    value->isNumber = true;
    if (!ParseNumber(data.text, &value->number))
      return Fail(data, "'" + data.text + "' is no number for a d value (0 to 4294967295, or 0x...)");
    return true;
  }

  static bool ParseNumber(const std::string& text, std::uint32_t* number) {
    unsigned base = 10;
    size_t i = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
      base = 16;
      i = 2;
    }
    if (i >= text.size()) return false;
    std::uint64_t result = 0;
    for (; i < text.size(); ++i) {
      int c = std::tolower(static_cast<unsigned char>(text[i]));
      unsigned digit;
      if (c >= '0' && c <= '9') digit = static_cast<unsigned>(c - '0');
      else if (base == 16 && c >= 'a' && c <= 'f') digit = static_cast<unsigned>(c - 'a' + 10);
      else return false;
      result = result * base + digit;
      if (result > 0xFFFFFFFFull) return false;
    }
    *number = static_cast<std::uint32_t>(result);
    return true;
  }

  // Deeper than any registration needs, and shallow enough for the recursion here and in the
  // registry calls that follow.
  static constexpr int kMaxDepth = 64;

  const std::vector<Token>& tokens_;
  ScriptError* error_;
  size_t next_ = 0;
  int depth_ = 0;
};

// ---------------------------------------------------------------------------------------------
// The registry

// An open registry key, closed when it goes.
class OpenKey {
 public:
  OpenKey() = default;
  ~OpenKey() { Close(); }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  HKEY get() const { return key_; }
  HKEY* put() {
    Close();
    return &key_;
  }
  void Close() {
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
  }

 private:
  HKEY key_ = nullptr;
};

constexpr REGSAM kKeyAccess = KEY_READ | KEY_WRITE;

LONG SetValue(HKEY key, const ScriptValue& value) {
  const char* name = value.name.empty() ? nullptr : value.name.c_str();
  if (value.isNumber) {
    DWORD number = value.number;
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                          sizeof number);
  }
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.text.c_str()),
                        static_cast<DWORD>(value.text.size() + 1));
}

LONG RegisterKeys(HKEY parent, const std::vector<ScriptKey>& keys) {
  for (const ScriptKey& key : keys) {
    LONG rc;
    if (key.flag == KeyFlag::ForceRemove) {
      rc = DeleteKeyTree(parent, key.name);
      if (rc != ERROR_SUCCESS) return rc;
    }
    OpenKey opened;
    rc = RegCreateKeyExA(parent, key.name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kKeyAccess,
                         nullptr, opened.put(), nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    for (const ScriptValue& value : key.values) {
      rc = SetValue(opened.get(), value);
      if (rc != ERROR_SUCCESS) return rc;
    }
    rc = RegisterKeys(opened.get(), key.subkeys);
    if (rc != ERROR_SUCCESS) return rc;
  }
  return ERROR_SUCCESS;
}

void Remember(LONG rc, LONG* first) {
  if (rc != ERROR_SUCCESS && *first == ERROR_SUCCESS) *first = rc;
}

LONG UnregisterKeys(HKEY parent, const std::vector<ScriptKey>& keys) {
  LONG first = ERROR_SUCCESS;
  for (const ScriptKey& key : keys) {
    if (key.flag == KeyFlag::ForceRemove) {
      Remember(DeleteKeyTree(parent, key.name), &first);
      continue;
    }
    OpenKey opened;
    LONG rc = RegOpenKeyExA(parent, key.name.c_str(), 0, kKeyAccess, opened.put());
    if (rc == ERROR_FILE_NOT_FOUND) continue;  // nothing of it is left
    if (rc != ERROR_SUCCESS) {
      Remember(rc, &first);
      continue;
    }
    Remember(UnregisterKeys(opened.get(), key.subkeys), &first);
    if (key.flag == KeyFlag::NoRemove) {
      for (const ScriptValue& value : key.values) {
        if (value.name.empty()) continue;  // the default value belongs to the key that stays
        rc = RegDeleteValueA(opened.get(), value.name.c_str());
        if (rc != ERROR_FILE_NOT_FOUND) Remember(rc, &first);
      }
      continue;
    }
    char subkey[256];
    DWORD length = sizeof subkey;
    rc = RegEnumKeyExA(opened.get(), 0, subkey, &length, nullptr, nullptr, nullptr, nullptr);
    opened.Close();
    if (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) continue;  // keys of others below it
    if (rc != ERROR_NO_MORE_ITEMS) {
      Remember(rc, &first);
      continue;
    }
    rc = RegDeleteKeyA(parent, key.name.c_str());
    if (rc != ERROR_FILE_NOT_FOUND) Remember(rc, &first);
  }
  return first;
}

}  // namespace

bool ParseRegistryScript(const std::string& text, const Replacements& replacements,
                         RegistryScript* script, ScriptError* error) {
  script->keys.clear();
  *error = ScriptError{};
  std::vector<Token> tokens;
  ScriptReader reader(text, replacements, error);
  if (!reader.Tokenize(&tokens)) return false;
  RegistryScript parsed;
  ScriptParser parser(tokens, error);
  if (!parser.Parse(&parsed)) return false;
  *script = std::move(parsed);
  return true;
}

LONG DeleteKeyTree(HKEY parent, const std::string& name) {
  // An empty name would open the parent itself.
  if (name.empty()) return ERROR_INVALID_PARAMETER;
  OpenKey opened;
  LONG rc = RegOpenKeyExA(parent, name.c_str(), 0, kKeyAccess, opened.put());
  if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (rc != ERROR_SUCCESS) return rc;
  std::string previous;
  for (;;) {
    char subkey[256];  // key names are at most 255 characters
    DWORD length = sizeof subkey;
    rc = RegEnumKeyExA(opened.get(), 0, subkey, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) return rc;
    std::string current(subkey, length);
    // A subkey that is still there after it was deleted would keep this loop going for ever.
    if (current == previous) return ERROR_ACCESS_DENIED;
    rc = DeleteKeyTree(opened.get(), current);
    if (rc != ERROR_SUCCESS) return rc;
    previous = std::move(current);
  }
  opened.Close();
  rc = RegDeleteKeyA(parent, name.c_str());
  return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

HRESULT RegisterScript(const RegistryScript& script) {
  LONG rc = RegisterKeys(HKEY_CLASSES_ROOT, script.keys);
  if (rc == ERROR_SUCCESS) return S_OK;
  UnregisterKeys(HKEY_CLASSES_ROOT, script.keys);  // what can be taken back; the first error counts
  return HRESULT_FROM_WIN32(static_cast<unsigned long>(rc));
}

HRESULT UnregisterScript(const RegistryScript& script) {
  LONG rc = UnregisterKeys(HKEY_CLASSES_ROOT, script.keys);
  return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<unsigned long>(rc));
}

HRESULT ApplyRegistryScript(const std::string& text, const Replacements& replacements,
                            bool doRegister, ScriptError* error) {
  try {
    RegistryScript script;
    ScriptError parseError;
    if (!ParseRegistryScript(text, replacements, &script, &parseError)) {
      if (error) *error = std::move(parseError);
      return kScriptSyntaxError;
    }
    return doRegister ? RegisterScript(script) : UnregisterScript(script);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace zov::registration
