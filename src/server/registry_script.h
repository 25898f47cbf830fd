// Registry scripts: the text a module carries as its "REGISTRY" resource to say which keys and
// values below HKEY_CLASSES_ROOT it registers, in the syntax Windows' object-support library reads:
//
//   HKCR
//   {
//       ZOVServer.CZOVServer.1 = s 'CZOVServer Class'
//       {
//           CLSID = s '{09F11B65-8484-4183-A8CE-68B0A5ACF055}'
//       }
//       NoRemove CLSID
//       {
//           ForceRemove {09F11B65-8484-4183-A8CE-68B0A5ACF055} = s 'CZOVServer Class'
//           {
//               InprocServer32 = s '%MODULE%'
//               {
//                   val ThreadingModel = s 'Apartment'
//               }
//           }
//       }
//   }
//
// Tokens are separated by white space; '{' and '}' open and close a key's block; a name is a word
// or a text in single quotes ('' inside stands for one quote). A key is
//   [NoRemove | ForceRemove] name [= type data] [{ ... }]
// and a named value inside a key's block is
//   val name = type data
// with type s (a string, REG_SZ) or d (a number, REG_DWORD: decimal or 0x hexadecimal, at most
// 0xFFFFFFFF). Keywords (HKCR, NoRemove, ForceRemove, Delete, val, s, d) are recognised in any
// letter case and only unquoted. The roots are HKCR or HKEY_CLASSES_ROOT: the registry our modules
// write to is that one alone. %NAME% anywhere in a name or data is replaced by the value given for
// NAME (%% is one '%'); the replacement is made after the token has been read, so a module path
// with a quote or a blank in it stays one value.
//
// Keys nest at most 64 levels below the root. Not read: other roots, the value types b and m, the Delete flag, comments; each is a clear
// error rather than something skipped. A key name with a '\' is refused too: a script names one
// key per level, so that unregistering removes exactly what it names.
//
// The text work is pure (ParseRegistryScript); the registry is touched only by
// RegisterScript/UnregisterScript, after the whole script has been read.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "zov/win32.h"

namespace zov::registration {

enum class KeyFlag { None, NoRemove, ForceRemove };

struct ScriptValue {
  std::string name;  // empty: the key's default value
  bool isNumber = false;
  std::string text;         // the string of an s value
  std::uint32_t number = 0;  // the number of a d value
};

struct ScriptKey {
  std::string name;
  KeyFlag flag = KeyFlag::None;
  std::vector<ScriptValue> values;  // the default value (when given) first, then in script order
  std::vector<ScriptKey> subkeys;
};

// The keys below HKEY_CLASSES_ROOT, in script order (several root blocks are joined).
struct RegistryScript {
  std::vector<ScriptKey> keys;
};

struct ScriptError {
  int line = 0;    // 1-based position of the offending token, or of the end of the text
  int column = 0;
  std::string message;
};

// NAME (without the percent signs, compared without regard to case) -> replacement text.
using Replacements = std::map<std::string, std::string>;

// Reads the whole script. On success fills *script and returns true; otherwise returns false with
// *error saying where and what, and *script is left empty. A NUL byte in the text is an error,
// except NULs at its very end (resource data padded with them). Throws only std::bad_alloc.
bool ParseRegistryScript(const std::string& text, const Replacements& replacements,
                         RegistryScript* script, ScriptError* error);

// The HRESULT a malformed script gives: DISP_E_EXCEPTION, as Windows' interpreter reports it.
constexpr HRESULT kScriptSyntaxError = static_cast<HRESULT>(0x80020009L);

// Writes the script's keys and values below HKEY_CLASSES_ROOT. A ForceRemove key is deleted with
// everything below it before it is written again; other keys are opened or created and keep what
// they hold besides. Values are written as REG_SZ (with their terminating NUL) or REG_DWORD. Stops
// at the first registry error and returns it as HRESULT_FROM_WIN32; what had been written by then
// is taken away again as UnregisterScript would, so that a failed registration leaves no half
// registered class behind.
HRESULT RegisterScript(const RegistryScript& script);

// Removes what the script names, the deepest keys first: a key is deleted after its subkeys have
// been processed. A ForceRemove key is deleted whole (the script owns all of it); any other key is
// deleted when no subkey is left below it (one that holds subkeys the script does not name stays,
// as it is someone else's too). NoRemove keys stay, but their subkeys are processed and their
// named values listed in the script deleted. Keys and values already missing are no error. Goes
// on past an error so as to remove as much as it can, and returns the first one.
HRESULT UnregisterScript(const RegistryScript& script);

// Parses the text with the replacements and registers or unregisters it; a malformed script gives
// kScriptSyntaxError (and, when error is given, where and why) and touches nothing. Running out of
// memory gives E_OUTOFMEMORY. Never throws.
HRESULT ApplyRegistryScript(const std::string& text, const Replacements& replacements,
                            bool doRegister, ScriptError* error = nullptr);

// Deletes the key `name` below `parent` with all its subkeys and values. A
// missing key is no error (ERROR_SUCCESS). Returns a Win32 error code.
LONG DeleteKeyTree(HKEY parent, const std::string& name);

}  // namespace zov::registration
