// The state of the virtual controller: where it lives, how a name of the directory namespace
// ("TESK://domain/...") maps to a file of it, and its profile files (controller.ini, ncu\*.ini).
// Plain functions over byte strings in the ANSI code page, shared by the controller module and
// by zovctl; no COM types.
//
// Layout of the controller folder (a Windows path, see ControllerFolder):
//   controller.ini        [Controller] DefaultNcu=, [Stream] PieceSize=, CancelOnRead=,
//                         and what the stream records: CancelCalls=, LastCancelResult=
//   hd\                   the hard-disk program store (view "hd")
//   nc\                   the files loaded into the NC (view "nc")
//   ncu\<NAME>.ini        one NCU: [NCU] Online=, [Variables] <path>=<TYPE>:<value>,
//                         [Status] <path>=<status>
#pragma once

#include <string>
#include <vector>

#include "zov/win32.h"

namespace zov::sim {

// The controller's names (views, types, properties, ProgIDs, extensions) compared without regard
// to case: ASCII letters fold, every other byte compares as it is, whatever the code page.
bool EqualNoCase(const std::string& a, const std::string& b);
bool StartsWithNoCase(const std::string& text, const std::string& prefix);

// The controller folder as a Windows path ending in '\'. Off Windows it is "C:\controller\" of the
// machine in use. On Windows it is "%ZOV_MACHINE%\drive_c\controller\", the environment variable
// read at each call; empty when ZOV_MACHINE is not set.
std::string ControllerFolder();

// The stores of the controller, and the three views of the namespace over them.
enum class View { Hd, Nc, HdNc };

// True for a name that may stand as one component of a path inside the controller or a drive:
// not empty, not "." or ".." or any name of dots only, no trailing dot or space (Windows would drop
// them and so could reach another name), no character Windows forbids in names ("<>:\"/\\|?*" and
// control characters), and no device name, which Windows opens as the device in every folder:
// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-COM9, LPT0-LPT9 (COM and LPT with the superscript
// digits 1-3 too), in any case, alone or with any extension ("nul.txt", "Com1.tar.gz"), also with
// spaces before the dot.
bool IsSafeComponent(const std::string& name);

// A name of the directory namespace, taken apart.
struct DomainName {
  enum class Kind { Store, Drive, Share };
  Kind kind = Kind::Store;
  View view = View::HdNc;             // Kind::Store: the view
  std::string root;                   // Kind::Drive: "c:" as written; Kind::Share: "SRV\SHARE"
  std::vector<std::string> components;  // the path below the view, drive or share
};

// The domain prefix every name of the namespace begins with (case ignored).
extern const char kDomainPrefix[];  // "TESK://domain"

enum class ParseResult {
  Ok,
  Syntax,    // not a name of the namespace (no prefix, nothing after it)
  NotFound,  // an unknown view, an unsafe component, a malformed drive or share
};

// Parses "TESK://domain/<view>[/<path>]", "TESK://domain/<X>:/<path>" (a drive) and
// "TESK://domain//<SERVER>/<SHARE>[/<path>]" (a share). Views are "hd", "nc" and "hd-nc", any case.
// Empty components (doubled or trailing '/') are skipped; '\' separates like '/'.
ParseResult ParseDomainName(const std::string& text, DomainName* out);

// The canonical spelling of a name: the prefix, the view in lower case (a drive letter or share as
// written), then the components as given, joined with '/'.
std::string CanonicalDomainName(const DomainName& name);

// The Windows path of a store path: "<folder>hd\A\B" or "<folder>nc\A\B" (no trailing '\'; the
// store folder itself when components is empty). `store` must be View::Hd or View::Nc.
std::string StorePath(const std::string& folder, View store,
                      const std::vector<std::string>& components);
// The Windows path a drive or share name stands for: "C:\DATA\X.MPF", "\\SRV\SHARE\X.MPF".
std::string HostPathOf(const DomainName& name);

// Splits a host path of the stores ("\WKS.DIR\PART1.ZOV\MAIN.MPF", "WKS.DIR/X.ZOV", "/NC/..."
// without its "/NC") into components; false when it is empty or a component is unsafe.
bool SplitStorePath(const std::string& path, std::vector<std::string>* components);

// File facts by Windows path: whether it exists (and is a folder), its size and the time of its
// last write in seconds since 1970 (32 bits, as the C runtime's default _stat gives them).
struct FileFacts {
  bool exists = false;
  bool isDirectory = false;
  long long size = 0;
  long long modified = 0;
};
FileFacts StatPath(const std::string& windowsPath);

// controller.ini
std::string ControllerIni(const std::string& folder);
std::string DefaultNcu(const std::string& folder);  // [Controller] DefaultNcu, "NCU1" when unset
struct StreamSettings {
  int pieceSize = 128;    // [Stream] PieceSize (1 and more; anything else gives the default)
  int cancelOnRead = 0;   // [Stream] CancelOnRead: call Cancel during that Read (1-based); 0 never
};
StreamSettings ReadStreamSettings(const std::string& folder);
// Counts one Cancel call made by the stream and records its HRESULT:
// [Stream] CancelCalls=<n>, LastCancelResult=0x%08X.
bool RecordCancelCall(const std::string& folder, long result);
int CancelCalls(const std::string& folder);

// ncu\<NAME>.ini. An NCU name must be a safe component without a dot.
bool IsValidNcuName(const std::string& name);
std::string NcuIni(const std::string& folder, const std::string& ncu);
bool NcuExists(const std::string& folder, const std::string& ncu);
bool NcuOnline(const std::string& folder, const std::string& ncu);  // [NCU] Online, 1 when unset
bool SetNcuOnline(const std::string& folder, const std::string& ncu, bool online);

// One variable of an NCU as the state file writes it: "<TYPE>:<value>" with TYPE one of
//   I2 (a 16-bit integer), I4 (a 32-bit integer), R8 (a double), S (a string, the rest of the
//   text), each giving an array of that type with one element, or V:<TYPE>:<value>, giving an
//   array of VARIANTs with one element of that type.
struct VariableValue {
  enum class Type { I2, I4, R8, String };
  Type type = Type::I2;
  bool inVariantArray = false;
  long long integer = 0;
  double real = 0;
  std::string text;
};
// Parses the state file's spelling; false for an unknown type or a malformed number (an I2 or I4
// outside its range included).
bool ParseVariableValue(const std::string& spelling, VariableValue* out);

// The status of a good value.
constexpr int kStatusGood = 192;
// The status of a variable the NCU does not have.
constexpr int kStatusMissing = 0;

struct VariableRead {
  bool found = false;       // [Variables] has the name (case ignored)
  std::string spelling;     // its text
  int status = kStatusMissing;  // [Status] of the name, else 192 when found, else 0
};
VariableRead ReadVariable(const std::string& folder, const std::string& ncu,
                          const std::string& name);
// Sets (or, with an empty spelling, removes) a variable in [Variables].
bool WriteVariable(const std::string& folder, const std::string& ncu, const std::string& name,
                   const std::string& spelling);

// The NC name of a host path: each component "X.EXT" becomes "_N_X_EXT", joined with '/' behind a
// leading '/'.
std::string NcNameOf(const std::vector<std::string>& components);

// Copies a whole file (Windows paths); false when the source cannot be read or the target written.
bool CopyFileBytes(const std::string& from, const std::string& to);
// Creates every missing folder of a Windows path (the folder itself included).
bool CreateFolders(const std::string& windowsFolder);

}  // namespace zov::sim
