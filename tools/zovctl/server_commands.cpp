#include "server_commands.h"

#include <cstdio>
#include <iostream>
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif
#include <memory>

#include "batch.h"
#include "bind_trace.h"
#include "call_format.h"
#include "cancel_target.h"
#include "com_apartment.h"
#include "console_text.h"
#include "hresult_text.h"
#include "server_call.h"
#include "zov/com_ptr.h"
#include "zov/unique_bstr.h"
#include "zov/win32.h"
#include "zovserver.h"

namespace zovctl {
namespace {

const char kServerProgId[] = "ZOVServer.CZOVServer.1";

// A call with its strings made ready for the interface (BSTRs) and for JSON (UTF-8).
struct PreparedCall {
  ServerCall call;  // as typed, in the console's text
  ServerCall utf8;  // the same in UTF-8
  zov::unique_bstr first, second;  // the call's string parameters in order
};

// Converts one string parameter; bad text is a usage error naming where it came from.
std::string Prepare(const std::string& text, const ServerCall& call, zov::unique_bstr* bstr) {
  WideString wide;
  if (!ConsoleToWide(text, &wide)) {
    std::string where = call.lineNumber ? "line " + std::to_string(call.lineNumber) + ": " : "";
    throw UsageError{where + "\"" + text + "\" is not valid text in the console's encoding"};
  }
  bstr->reset(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
  if (!bstr->get()) throw std::bad_alloc();
  return WideToUtf8(wide.data(), static_cast<UINT>(wide.size()));
}

std::unique_ptr<PreparedCall> PrepareCall(const ServerCall& call) {
  auto prepared = std::make_unique<PreparedCall>();
  prepared->call = call;
  prepared->utf8 = call;
  switch (call.method) {
    case ServerMethod::SelectProgram:
      prepared->utf8.program = Prepare(call.program, call, &prepared->first);
      break;
    case ServerMethod::FindProgram:
      prepared->utf8.workingDirectory = Prepare(call.workingDirectory, call, &prepared->first);
      prepared->utf8.searchName = Prepare(call.searchName, call, &prepared->second);
      break;
    case ServerMethod::CheckDatFile:
    case ServerMethod::UpdateDatFile:
      prepared->utf8.datFile = Prepare(call.datFile, call, &prepared->first);
      break;
    case ServerMethod::Cancel: break;
  }
  return prepared;
}

// Makes the call through the vtable and prints its line; a traced call (`trace` given for it)
// prints the names the server asked to bind during the call as well.
bool MakeCall(ICZOVServer* server, const PreparedCall& p, bool json, BindTrace* trace) {
  CallOutcome outcome;
  LONG result = 0;
  zov::unique_bstr path;
  HRESULT hr = S_OK;
  std::vector<WideString> tried;
  // What was bound before the call is not the call's.
  HRESULT traceHr = trace ? trace->Take(&tried) : S_OK;
  switch (p.call.method) {
    case ServerMethod::SelectProgram:
      hr = server->SelectProgram(p.first.get(), p.call.channel, p.call.accessLevel, &result);
      break;
    case ServerMethod::Cancel: hr = server->Cancel(&result); break;
    case ServerMethod::FindProgram:
      hr = server->FindProgram(p.first.get(), p.second.get(), p.call.accessLevel, path.put());
      break;
    case ServerMethod::CheckDatFile: hr = server->CheckDatFile(p.first.get(), &result); break;
    case ServerMethod::UpdateDatFile: hr = server->UpdateDatFile(p.first.get(), &result); break;
  }
  outcome.hresult = hr;
  outcome.result = result;
  if (trace && SUCCEEDED(traceHr)) traceHr = trace->Take(&tried);
  outcome.traced = trace && SUCCEEDED(traceHr);
  auto text = json ? WideToUtf8 : WideToConsole;
  for (const WideString& name : tried)
    outcome.tried.push_back(text(name.data(), static_cast<UINT>(name.size())));
  outcome.path = text(path.get(), path.length());
  std::string line = json ? JsonLine(p.utf8, outcome) : PlainLine(p.call, outcome);
  line += '\n';
  if (!json) line += PlainTrace(outcome);
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);  // each line as soon as its call returns: a selection may take a while
  if (trace && FAILED(traceHr)) {
    std::fprintf(stderr, "zovctl: the bind log of the call could not be taken: %s\n", DescribeHresult(traceHr).c_str());
    return false;
  }
  return CallSucceeded(p.call, outcome);
}

// Creates the server as a host program does: its CLSID from the ProgID, then an in-process
// object asked for ICZOVServer.
HRESULT CreateServer(zov::com_ptr<ICZOVServer>* server, const char** step) {
  WCHAR progId[sizeof kServerProgId];
  for (size_t i = 0; i < sizeof kServerProgId; ++i) progId[i] = static_cast<WCHAR>(kServerProgId[i]);
  CLSID clsid;
  *step = "CLSIDFromProgID";
  HRESULT hr = CLSIDFromProgID(progId, &clsid);
  if (FAILED(hr)) return hr;
  *step = "CoCreateInstance";
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ICZOVServer, server->put_void());
}

int RunCalls(const std::vector<std::unique_ptr<PreparedCall>>& calls, bool json) {
  ComApartment apartment;
  if (FAILED(apartment.result())) {
    std::fprintf(stderr, "zovctl: cannot enter a COM apartment: %s\n", DescribeHresult(apartment.result()).c_str());
    return 1;
  }
  // Declared in this order so that they go in the reverse one: the controller gives the server
  // back, then the server is released, then the apartment is left.
  zov::com_ptr<ICZOVServer> server;
  const char* step = "";
  HRESULT hr = CreateServer(&server, &step);
  if (FAILED(hr) || !server) {
    if (SUCCEEDED(hr)) hr = E_NOINTERFACE;
    std::fprintf(stderr, "zovctl: cannot create the server %s: %s: %s\n", kServerProgId, step,
                 DescribeHresult(hr).c_str());
    return 1;
  }
  CancelTargetLink controller(server.get());
  // A traced call reads the virtual controller's bind log; without it no call is made.
  std::unique_ptr<BindTrace> trace;
  for (const auto& call : calls) {
    if (!call->call.trace || trace) continue;
    trace = std::make_unique<BindTrace>();
    if (FAILED(trace->result())) {
      std::fprintf(stderr, "zovctl: --trace needs the bind log of the virtual controller (KalTeskDomain.TeskDomain.1: with IVirtualController): %s\n",
                   DescribeHresult(trace->result()).c_str());
      return 1;
    }
  }
  std::vector<bool> succeeded;
  for (const auto& call : calls)
    succeeded.push_back(MakeCall(server.get(), *call, json, call->call.trace ? trace.get() : nullptr));
  return ExitStatus(succeeded);
}

}  // namespace

bool IsServerCommand(const std::string& command) { return IsServerCallCommand(command) || command == "batch"; }

int RunServerCommand(const std::vector<std::string>& words, const CommandLine& line) {
  std::vector<ServerCall> calls;
  if (!words.empty() && words[0] == "batch") {
    if (words.size() != 1) throw UsageError{"batch takes no arguments: the calls come from standard input"};
    for (const char* option : {"channel", "access", "trace"})
      if (line.has(option))
        throw UsageError{"option --" + std::string(option) + " does not apply to batch; give it on the call's line"};
    line.refuseOptionsBut("batch", {"json"});
    calls = ParseBatch(std::cin);
    // No call, nothing failed: the server is not even created (and need not be registered).
    if (calls.empty()) return 0;
  } else {
    calls.push_back(ParseServerCall(words, line));
  }
  std::vector<std::unique_ptr<PreparedCall>> prepared;
  for (const ServerCall& call : calls) prepared.push_back(PrepareCall(call));
#if defined(_WIN32)
  // Lines end in "\n" on every platform, so that the output (JSON lines above all) is the same
  // bytes natively and on Windows.
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  return RunCalls(prepared, line.has("json"));
}

}  // namespace zovctl
