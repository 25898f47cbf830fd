#include "call_format.h"

#include <cstdio>

#include "hresult_text.h"
#include "result_names.h"

namespace zovctl {
namespace {

// The length of the well-formed UTF-8 sequence at s[i], or 0 when it is ill-formed (overlong
// forms, surrogates, values above U+10FFFF and cut-short sequences are ill-formed).
size_t Utf8SequenceLength(const std::string& s, size_t i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char lead = byte(i);
  size_t length;
  unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // overlong
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // overlong
    if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (i + length > s.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 2; k < length; ++k)
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  return length;
}

std::string JsonNumber(long value) { return std::to_string(value); }

}  // namespace

bool CallReturned(const CallOutcome& outcome) { return outcome.hresult >= 0; }

bool CallSucceeded(const ServerCall& call, const CallOutcome& outcome) {
  if (!CallReturned(outcome)) return false;
  if (call.method == ServerMethod::FindProgram) return !outcome.path.empty();
  return outcome.result == 0;
}

int ExitStatus(const std::vector<bool>& succeeded) {
  for (bool ok : succeeded)
    if (!ok) return 1;
  return 0;
}

std::string PlainLine(const ServerCall& call, const CallOutcome& outcome) {
  if (!CallReturned(outcome)) return "HRESULT " + HresultCode(outcome.hresult);
  if (call.method == ServerMethod::FindProgram) return outcome.path;
  std::string line = std::to_string(outcome.result);
  if (const char* name = ResultName(outcome.result)) line += std::string(" ") + name;
  return line;
}

std::string PlainTrace(const CallOutcome& outcome) {
  std::string lines;
  if (!outcome.traced) return lines;
  for (const std::string& name : outcome.tried) lines += "  tried " + name + "\n";
  return lines;
}

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (size_t i = 0; i < utf8.size();) {
    unsigned char c = static_cast<unsigned char>(utf8[i]);
    switch (c) {
      case '"': out += "\\\""; ++i; continue;
      case '\\': out += "\\\\"; ++i; continue;
      case '\b': out += "\\b"; ++i; continue;
      case '\f': out += "\\f"; ++i; continue;
      case '\n': out += "\\n"; ++i; continue;
      case '\r': out += "\\r"; ++i; continue;
      case '\t': out += "\\t"; ++i; continue;
      default: break;
    }
    if (c < 0x20 || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
      ++i;
      continue;
    }
    size_t length = Utf8SequenceLength(utf8, i);
    if (length == 0) {
      out += "\\ufffd";
      ++i;  // one replacement per ill-formed byte, then go on with the next
    } else if (length == 3 && c == 0xE2 && static_cast<unsigned char>(utf8[i + 1]) == 0x80 &&
               (static_cast<unsigned char>(utf8[i + 2]) == 0xA8 || static_cast<unsigned char>(utf8[i + 2]) == 0xA9)) {
      // U+2028 and U+2029 are valid in JSON but end a line for JavaScript and some readers.
      out += static_cast<unsigned char>(utf8[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
      i += 3;
    } else {
      out.append(utf8, i, length);
      i += length;
    }
  }
  out += '"';
  return out;
}

std::string JsonLine(const ServerCall& call, const CallOutcome& outcome) {
  std::string args;
  switch (call.method) {
    case ServerMethod::SelectProgram:
      args = "\"sProgram\":" + JsonString(call.program) + ",\"nChannelId\":" + JsonNumber(call.channel) +
             ",\"nAccessLevel\":" + JsonNumber(call.accessLevel);
      break;
    case ServerMethod::FindProgram:
      args = "\"sWorkingDirectory\":" + JsonString(call.workingDirectory) +
             ",\"sSearchName\":" + JsonString(call.searchName) +
             ",\"nAccessLevel\":" + JsonNumber(call.accessLevel);
      break;
    case ServerMethod::CheckDatFile:
    case ServerMethod::UpdateDatFile: args = "\"sDatFile\":" + JsonString(call.datFile); break;
    case ServerMethod::Cancel: break;
  }
  std::string result = "null", resultName = "null", hresult;
  if (!CallReturned(outcome)) {
    hresult = ",\"hresult\":\"" + HresultCode(outcome.hresult) + "\"";
  } else if (call.method == ServerMethod::FindProgram) {
    result = JsonString(outcome.path);
  } else {
    result = JsonNumber(outcome.result);
    if (const char* name = ResultName(outcome.result)) resultName = JsonString(name);
  }
  std::string tried;
  if (outcome.traced) {
    tried = ",\"tried\":[";
    for (size_t i = 0; i < outcome.tried.size(); ++i) tried += (i ? "," : "") + JsonString(outcome.tried[i]);
    tried += "]";
  }
  return std::string("{\"method\":\"") + MethodName(call.method) + "\",\"args\":{" + args +
         "},\"result\":" + result + ",\"resultName\":" + resultName + hresult + tried +
         ",\"fileList\":null}";
}

}  // namespace zovctl
