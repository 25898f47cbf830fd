// zovctl's server calls without a server: parsing of a call and of a batch, the result-code names,
// the plain and JSON lines, the exit-status rule and the console text. The same cases run natively
// and under Wine.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "batch.h"
#include "call_format.h"
#include "command_line.h"
#include "console_text.h"
#include "hresult_text.h"
#include "result_names.h"
#include "server_call.h"
#include "zovserver.h"

namespace zovctl {
namespace {

// Parses `words` as zovctl's command line is parsed: options included, every option of zovctl
// known to the command line, so that the call itself must refuse those it does not take.
ServerCall Parse(const std::vector<std::string>& words) {
  std::vector<std::string> copy = words;
  std::vector<char*> argv{const_cast<char*>("zovctl")};
  for (auto& w : copy) argv.push_back(&w[0]);
  CommandLine line(static_cast<int>(argv.size()), argv.data(),
                   {"machine", "channel", "access", "default", "ncu"}, {"help", "json", "trace"});
  return ParseServerCall(line.words(), line);
}

std::string UsageMessage(const std::vector<std::string>& words) {
  try {
    Parse(words);
  } catch (const UsageError& e) {
    return e.message;
  }
  return "";
}

struct CallCase {
  std::vector<std::string> words;
  ServerMethod method;
  std::string first, second;  // the string parameters in order
  short channel, access;
};

TEST(ZovctlCall, ParsesEachCommandWithItsParametersAndDefaults) {
  const CallCase cases[] = {
      {{"select", "C:\\WKS\\A.ZOV"}, ServerMethod::SelectProgram, "C:\\WKS\\A.ZOV", "", 1, 7},
      {{"select", "A.MPF", "--channel", "2", "--access", "0"}, ServerMethod::SelectProgram, "A.MPF", "", 2, 0},
      {{"select", "--channel=3", "A.MPF"}, ServerMethod::SelectProgram, "A.MPF", "", 3, 7},
      {{"select", "A", "--channel", "-32768", "--access", "32767"}, ServerMethod::SelectProgram, "A", "", -32768, 32767},
      {{"select", "A", "--access", "+5"}, ServerMethod::SelectProgram, "A", "", 1, 5},
      {{"select", ""}, ServerMethod::SelectProgram, "", "", 1, 7},
      {{"find", "/NC/WKS.DIR", "SUB.SPF"}, ServerMethod::FindProgram, "/NC/WKS.DIR", "SUB.SPF", 1, 7},
      {{"find", "W", "N", "--access", "3"}, ServerMethod::FindProgram, "W", "N", 1, 3},
      {{"check", "D:\\A.DAT"}, ServerMethod::CheckDatFile, "D:\\A.DAT", "", 1, 7},
      {{"update", "D:\\A.DAT"}, ServerMethod::UpdateDatFile, "D:\\A.DAT", "", 1, 7},
      {{"cancel"}, ServerMethod::Cancel, "", "", 1, 7},
  };
  for (const CallCase& c : cases) {
    SCOPED_TRACE(c.words[0] + " " + (c.words.size() > 1 ? c.words[1] : ""));
    ServerCall call = Parse(c.words);
    EXPECT_EQ(call.method, c.method);
    switch (call.method) {
      case ServerMethod::SelectProgram: EXPECT_EQ(call.program, c.first); break;
      case ServerMethod::FindProgram:
        EXPECT_EQ(call.workingDirectory, c.first);
        EXPECT_EQ(call.searchName, c.second);
        break;
      case ServerMethod::CheckDatFile:
      case ServerMethod::UpdateDatFile: EXPECT_EQ(call.datFile, c.first); break;
      case ServerMethod::Cancel: break;
    }
    EXPECT_EQ(call.channel, c.channel);
    EXPECT_EQ(call.accessLevel, c.access);
  }
}

TEST(ZovctlCall, RefusesWhatIsWrongSayingWhat) {
  const struct {
    std::vector<std::string> words;
    const char* message;
  } cases[] = {
      {{"selct", "A"}, "unknown command \"selct\""},
      {{"batch"}, "unknown command \"batch\""},
      {{"select"}, "missing argument"},
      {{"find", "W"}, "missing argument"},
      {{"check"}, "missing argument"},
      {{"select", "A", "B"}, "too many arguments (\"B\")"},
      {{"cancel", "now"}, "too many arguments (\"now\")"},
      {{"update", "A", "B"}, "too many arguments"},
      {{"check", "A", "--access", "3"}, "option --access does not apply to check"},
      {{"cancel", "--access", "3"}, "option --access does not apply to cancel"},
      {{"find", "W", "N", "--channel", "2"}, "option --channel does not apply to find"},
      {{"select", "A", "--default", "x"}, "option --default does not apply to select"},
      {{"select", "A", "--ncu", "NCU2"}, "option --ncu does not apply to select"},
      {{"find", "W", "N", "--ncu", "NCU2"}, "option --ncu does not apply to find"},
      {{"check", "A", "--default", "x"}, "option --default does not apply to check"},
      {{"update", "A", "--ncu=NCU1"}, "option --ncu does not apply to update"},
      {{"cancel", "--channel", "1"}, "option --channel does not apply to cancel"},
      {{"select", "A", "--channel", "32768"}, "option --channel needs a whole number from -32768 to 32767, not \"32768\""},
      {{"select", "A", "--channel", "-32769"}, "not \"-32769\""},
      {{"select", "A", "--access", "99999999999999999999999"}, "option --access needs a whole number"},
      {{"select", "A", "--access", ""}, "option --access needs a whole number"},
      {{"select", "A", "--access", "-"}, "option --access needs a whole number"},
      {{"select", "A", "--access", "0x10"}, "option --access needs a whole number"},
      {{"select", "A", "--access", " 7"}, "option --access needs a whole number"},
      {{"select", "A", "--access", "7.0"}, "option --access needs a whole number"},
  };
  for (const auto& c : cases) {
    std::string message = UsageMessage(c.words);
    EXPECT_NE(message.find(c.message), std::string::npos) << "got \"" << message << "\" for " << c.words[0];
  }
}

TEST(ZovctlBatch, SplitsLinesIntoWords) {
  const struct {
    const char* line;
    std::vector<std::string> words;
  } cases[] = {
      {"select A", {"select", "A"}},
      {"  select \t A  ", {"select", "A"}},
      {"check \"C:\\Program Files\\A.DAT\"", {"check", "C:\\Program Files\\A.DAT"}},
      {"check C:\\\"Program Files\"\\A.DAT", {"check", "C:\\Program Files\\A.DAT"}},
      {"find \"\" N", {"find", "", "N"}},
      {"a\"\"b", {"ab"}},
      {"select A --channel=2", {"select", "A", "--channel=2"}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitCallLine(c.line), c.words) << c.line;
}

TEST(ZovctlBatch, RefusesAnOpenQuoteAndNul) {
  EXPECT_THROW(SplitCallLine("check \"C:\\A.DAT"), UsageError);
  EXPECT_THROW(SplitCallLine(std::string("check A\0B", 9)), UsageError);
}

TEST(ZovctlBatch, ReadsCallsInOrderSkippingBlankAndCommentLines) {
  std::istringstream input(
      "# a selection, then its check\n"
      "select C:\\WKS\\A.ZOV --channel 2\r\n"
      "\n"
      "   \t\n"
      "  # indented comment\n"
      "check \"D:\\my dat\\A.DAT\"\n"
      "cancel");  // no line end on the last line
  std::vector<ServerCall> calls = ParseBatch(input);
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].method, ServerMethod::SelectProgram);
  EXPECT_EQ(calls[0].program, "C:\\WKS\\A.ZOV");  // the \r of a CRLF line end is not part of it
  EXPECT_EQ(calls[0].channel, 2);
  EXPECT_EQ(calls[0].lineNumber, 2);
  EXPECT_EQ(calls[1].method, ServerMethod::CheckDatFile);
  EXPECT_EQ(calls[1].datFile, "D:\\my dat\\A.DAT");
  EXPECT_EQ(calls[1].lineNumber, 6);
  EXPECT_EQ(calls[2].method, ServerMethod::Cancel);
  EXPECT_EQ(calls[2].lineNumber, 7);
}

TEST(ZovctlBatch, OptionsBelongToTheirOwnLine) {
  std::istringstream input("select A --access 3\nselect B\n");
  std::vector<ServerCall> calls = ParseBatch(input);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].accessLevel, 3);
  EXPECT_EQ(calls[1].accessLevel, kDefaultAccessLevel);
}

TEST(ZovctlCall, TakesZovctlsOwnOptionsAndJsonEverywhere) {
  for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
           {"select", "A", "--json", "--machine", "m"},
           {"find", "W", "N", "--json"},
           {"check", "A", "--json"},
           {"cancel", "--json", "--machine=m"}}) {
    EXPECT_EQ(UsageMessage(words), "") << words[0];
  }
}

TEST(ZovctlBatch, ALineTakesOnlyTheOptionsOfItsCall) {
  const struct {
    const char* line;
    const char* message;
  } cases[] = {
      {"select A --ncu NCU2", "line 1: unknown option --ncu"},
      {"select A --default x", "line 1: unknown option --default"},
      {"cancel --machine m", "line 1: unknown option --machine"},
      {"check A --access 3", "line 1: option --access does not apply to check"},
      {"find W N --channel=2", "line 1: option --channel does not apply to find"},
  };
  for (const auto& c : cases) {
    std::istringstream input(c.line);
    try {
      ParseBatch(input);
      ADD_FAILURE() << "no usage error for " << c.line;
    } catch (const UsageError& e) {
      EXPECT_EQ(e.message, c.message);
    }
  }
}

// --trace belongs to find alone, on the command line as on a batch line.
TEST(ZovctlCall, OnlyFindTakesTrace) {
  EXPECT_TRUE(Parse({"find", "W", "N", "--trace"}).trace);
  EXPECT_TRUE(Parse({"--trace", "find", "W", "N", "--access", "2", "--json"}).trace);
  EXPECT_FALSE(Parse({"find", "W", "N"}).trace);
  for (const char* command : {"select", "check", "update"})
    EXPECT_EQ(UsageMessage({command, "A", "--trace"}),
              std::string("option --trace does not apply to ") + command);
  EXPECT_EQ(UsageMessage({"cancel", "--trace"}), "option --trace does not apply to cancel");
  EXPECT_EQ(UsageMessage({"find", "W", "N", "--trace=1"}), "option --trace takes no value");

  std::istringstream input("find W N --trace\nfind W N\nselect A --trace\n");
  try {
    ParseBatch(input);
    ADD_FAILURE() << "no usage error";
  } catch (const UsageError& e) {
    EXPECT_EQ(e.message, "line 3: option --trace does not apply to select");
  }
  std::istringstream good("find W N --trace\nfind W N\n");
  std::vector<ServerCall> calls = ParseBatch(good);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_TRUE(calls[0].trace);
  EXPECT_FALSE(calls[1].trace);
}

TEST(ZovctlBatch, AnyBadLineRefusesTheWholeBatchNamingEveryBadLine) {
  std::istringstream input(
      "select A\n"
      "selct B\n"
      "cancel\n"
      "check \"open\n"
      "--json cancel\n"
      "batch\n"
      "select C --channel 40000\n");
  try {
    ParseBatch(input);
    FAIL() << "no usage error";
  } catch (const UsageError& e) {
    EXPECT_EQ(e.message,
              "line 2: unknown command \"selct\"\n"
              "line 4: a quote is left open\n"
              "line 5: unknown option --json\n"
              "line 6: unknown command \"batch\"\n"
              "line 7: option --channel needs a whole number from -32768 to 32767, not \"40000\"");
  }
}

TEST(ZovctlBatch, AnEmptyBatchHasNoCalls) {
  std::istringstream input("\n# nothing\n");
  EXPECT_TRUE(ParseBatch(input).empty());
}

// Each enumerator of the generated header, spelled by the preprocessor from the enumerator itself.
#define RESULT_CASE(code) {code, #code}
TEST(ZovctlResultNames, EveryEnumeratorMapsToItsName) {
  const struct {
    long value;
    const char* name;
  } enumerators[] = {
      RESULT_CASE(errZovServerOk),
      RESULT_CASE(errZovServerAllocFailed),
      RESULT_CASE(errZovServerNoWorkpiece),
      RESULT_CASE(errZovServerCanceled),
      RESULT_CASE(errZovServerIsIdle),
      RESULT_CASE(errZovServerErrAccessingFile),
      RESULT_CASE(errZovServerIllegalSelect),
      RESULT_CASE(errZovServerFileNotFound),
      RESULT_CASE(errZovServerErrProfile),
      RESULT_CASE(errZovServerNoZovName),
      RESULT_CASE(errZovServerNoInitStatement),
      RESULT_CASE(errZovServerFileIsUnloaded),
      RESULT_CASE(errZovServerInvalidChanOrNcu),
  };
  for (const auto& e : enumerators) {
    const char* name = ResultName(e.value);
    ASSERT_NE(name, nullptr) << e.name;
    EXPECT_STREQ(name, e.name);
  }
  EXPECT_EQ(ResultCodeCount(), sizeof enumerators / sizeof enumerators[0]);
}
#undef RESULT_CASE

TEST(ZovctlResultNames, ValuesThatAreNoResultCodeHaveNoName) {
  for (long value : {1L, 7L, -13L, -2147467259L, 2147483647L}) EXPECT_EQ(ResultName(value), nullptr) << value;
}

ServerCall Call(ServerMethod method) {
  ServerCall call;
  call.method = method;
  return call;
}

CallOutcome Returned(long result, const std::string& path = "") {
  CallOutcome outcome;
  outcome.result = result;
  outcome.path = path;
  return outcome;
}

CallOutcome Failed(int32_t hresult) {
  CallOutcome outcome;
  outcome.hresult = hresult;
  return outcome;
}

TEST(ZovctlFormat, PlainLines) {
  const struct {
    ServerMethod method;
    CallOutcome outcome;
    const char* line;
  } cases[] = {
      {ServerMethod::SelectProgram, Returned(-7), "-7 errZovServerFileNotFound"},
      {ServerMethod::CheckDatFile, Returned(0), "0 errZovServerOk"},
      {ServerMethod::Cancel, Returned(-4), "-4 errZovServerIsIdle"},
      {ServerMethod::UpdateDatFile, Returned(-12), "-12 errZovServerInvalidChanOrNcu"},
      {ServerMethod::SelectProgram, Returned(-13), "-13"},
      {ServerMethod::SelectProgram, Returned(3), "3"},
      {ServerMethod::FindProgram, Returned(0, "C:\\WKS\\SUB.SPF"), "C:\\WKS\\SUB.SPF"},
      {ServerMethod::FindProgram, Returned(0, ""), ""},
      {ServerMethod::SelectProgram, Failed(static_cast<int32_t>(0x80004005u)), "HRESULT 0x80004005"},
      {ServerMethod::FindProgram, Failed(static_cast<int32_t>(0x8007000Eu)), "HRESULT 0x8007000E"},
  };
  for (const auto& c : cases) EXPECT_EQ(PlainLine(Call(c.method), c.outcome), c.line);
}

TEST(ZovctlFormat, SuccessAndExitStatus) {
  EXPECT_TRUE(CallSucceeded(Call(ServerMethod::SelectProgram), Returned(0)));
  EXPECT_FALSE(CallSucceeded(Call(ServerMethod::SelectProgram), Returned(-7)));
  EXPECT_FALSE(CallSucceeded(Call(ServerMethod::Cancel), Returned(-4)));
  EXPECT_FALSE(CallSucceeded(Call(ServerMethod::CheckDatFile), Returned(2)));
  EXPECT_TRUE(CallSucceeded(Call(ServerMethod::FindProgram), Returned(0, "C:\\A.SPF")));
  EXPECT_FALSE(CallSucceeded(Call(ServerMethod::FindProgram), Returned(0, "")));
  EXPECT_FALSE(CallSucceeded(Call(ServerMethod::FindProgram), Returned(-1, "")));
  EXPECT_FALSE(CallSucceeded(Call(ServerMethod::SelectProgram), Failed(static_cast<int32_t>(0x80004005u))));
  EXPECT_TRUE(CallSucceeded(Call(ServerMethod::SelectProgram), Failed(1)));  // S_FALSE is no failure

  EXPECT_EQ(ExitStatus({}), 0);
  EXPECT_EQ(ExitStatus({true, true}), 0);
  EXPECT_EQ(ExitStatus({true, false, true}), 1);
  EXPECT_EQ(ExitStatus({false}), 1);
}

// The one format of an HRESULT in messages: its code, then what it means where zovctl knows.
TEST(ZovctlHresultText, CodeThenMeaning) {
  const struct {
    uint32_t hr;
    const char* text;
  } cases[] = {
      {0x800401F3u, "HRESULT 0x800401F3 (the ProgID is not registered)"},
      {0x80040154u, "HRESULT 0x80040154 (the class is not registered)"},
      {0x80040201u, "HRESULT 0x80040201 (the classes could not be registered)"},
      {0x8007007Eu, "HRESULT 0x8007007E (the module or one it needs is not found)"},
      {0x80070002u, "HRESULT 0x80070002 (file not found)"},   // other Win32 codes: their text
      {0x80070091u, "HRESULT 0x80070091 (the folder is not empty)"},
      {0x80070457u, "HRESULT 0x80070457 (error 1111)"},
      {0x80004005u, "HRESULT 0x80004005"},                    // no text for it
      {0x0000000Au, "HRESULT 0x0000000A"},
  };
  for (const auto& c : cases) EXPECT_EQ(DescribeHresult(static_cast<int32_t>(c.hr)), c.text);
  EXPECT_EQ(HresultCode(static_cast<int32_t>(0x8000FFFFu)), "0x8000FFFF");
}

TEST(ZovctlJson, EscapesStrings) {
  const struct {
    std::string in;
    const char* out;
  } cases[] = {
      {"", "\"\""},
      {"C:\\WKS\\A.ZOV", "\"C:\\\\WKS\\\\A.ZOV\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"a\nb\rc\td\be\ff", "\"a\\nb\\rc\\td\\be\\ff\""},
      {std::string("\x01\x1f\x7f", 3), "\"\\u0001\\u001f\\u007f\""},
      {std::string("a\0b", 3), "\"a\\u0000b\""},
      {"/ stays", "\"/ stays\""},
      {"M\xC3\x9CLLER", "\"M\xC3\x9CLLER\""},                       // Ü kept as UTF-8
      {"\xE2\x82\xAC", "\"\xE2\x82\xAC\""},                          // €
      {"\xF0\x9F\x98\x80", "\"\xF0\x9F\x98\x80\""},                  // U+1F600, four bytes
      {"\xF4\x8F\xBF\xBF", "\"\xF4\x8F\xBF\xBF\""},                  // U+10FFFF, the last one
      {"a\xE2\x80\xA8" "b\xE2\x80\xA9", "\"a\\u2028b\\u2029\""},
      {"\x80", "\"\\ufffd\""},                                       // a lone continuation byte
      {"\xDC" "X", "\"\\ufffdX\""},                                  // 1252 text that is no UTF-8
      {"\xC0\xAF", "\"\\ufffd\\ufffd\""},                            // overlong '/'
      {"\xE0\x80\xAF", "\"\\ufffd\\ufffd\\ufffd\""},                 // overlong, three bytes
      {"\xED\xA0\x80", "\"\\ufffd\\ufffd\\ufffd\""},                 // a surrogate
      {"\xF4\x90\x80\x80", "\"\\ufffd\\ufffd\\ufffd\\ufffd\""},      // above U+10FFFF
      {"\xE2\x82", "\"\\ufffd\\ufffd\""},                            // cut short at the end
      {"\xE2\x82" "A", "\"\\ufffd\\ufffdA\""},                       // cut short before ASCII
      {"\xFE\xFF", "\"\\ufffd\\ufffd\""},
  };
  for (const auto& c : cases) EXPECT_EQ(JsonString(c.in), c.out) << c.out;
}

TEST(ZovctlJson, OneObjectPerCall) {
  ServerCall select = Call(ServerMethod::SelectProgram);
  select.program = "C:\\WKS\\A.ZOV";
  select.channel = 2;
  EXPECT_EQ(JsonLine(select, Returned(-7)),
            "{\"method\":\"SelectProgram\",\"args\":{\"sProgram\":\"C:\\\\WKS\\\\A.ZOV\",\"nChannelId\":2,"
            "\"nAccessLevel\":7},\"result\":-7,\"resultName\":\"errZovServerFileNotFound\",\"fileList\":null}");

  ServerCall find = Call(ServerMethod::FindProgram);
  find.workingDirectory = "/NC/WKS.DIR";
  find.searchName = "S\"1";
  find.accessLevel = -1;
  EXPECT_EQ(JsonLine(find, Returned(0, "C:\\S.SPF")),
            "{\"method\":\"FindProgram\",\"args\":{\"sWorkingDirectory\":\"/NC/WKS.DIR\",\"sSearchName\":\"S\\\"1\","
            "\"nAccessLevel\":-1},\"result\":\"C:\\\\S.SPF\",\"resultName\":null,\"fileList\":null}");
  EXPECT_EQ(JsonLine(find, Returned(0, "")),
            "{\"method\":\"FindProgram\",\"args\":{\"sWorkingDirectory\":\"/NC/WKS.DIR\",\"sSearchName\":\"S\\\"1\","
            "\"nAccessLevel\":-1},\"result\":\"\",\"resultName\":null,\"fileList\":null}");

  ServerCall check = Call(ServerMethod::CheckDatFile);
  check.datFile = "A.DAT";
  EXPECT_EQ(JsonLine(check, Returned(-20)),
            "{\"method\":\"CheckDatFile\",\"args\":{\"sDatFile\":\"A.DAT\"},\"result\":-20,\"resultName\":null,"
            "\"fileList\":null}");
  ServerCall update = Call(ServerMethod::UpdateDatFile);
  update.datFile = "A.DAT";
  EXPECT_EQ(JsonLine(update, Failed(static_cast<int32_t>(0x8000FFFFu))),
            "{\"method\":\"UpdateDatFile\",\"args\":{\"sDatFile\":\"A.DAT\"},\"result\":null,\"resultName\":null,"
            "\"hresult\":\"0x8000FFFF\",\"fileList\":null}");
  EXPECT_EQ(JsonLine(Call(ServerMethod::Cancel), Returned(-4)),
            "{\"method\":\"Cancel\",\"args\":{},\"result\":-4,\"resultName\":\"errZovServerIsIdle\",\"fileList\":null}");
}

CallOutcome Traced(const std::string& path, std::vector<std::string> tried) {
  CallOutcome outcome = Returned(0, path);
  outcome.traced = true;
  outcome.tried = std::move(tried);
  return outcome;
}

// A traced call's names follow its line, one per line; JSON carries them as "tried", also when
// none was tried, and only for a traced call.
TEST(ZovctlFormat, TracedCallsListTheNamesTried) {
  const struct {
    CallOutcome outcome;
    const char* plain;
    const char* json;  // the JSON line's part between "resultName":null and "fileList"
  } cases[] = {
      {Returned(0, ""), "", ""},
      {Traced("", {}), "", ",\"tried\":[]"},
      {Traced("", {"TESK://domain/hd/SPF.DIR/n"}), "  tried TESK://domain/hd/SPF.DIR/n\n",
       ",\"tried\":[\"TESK://domain/hd/SPF.DIR/n\"]"},
      {Traced("T/b", {"T/a", "T/a", "T/b"}), "  tried T/a\n  tried T/a\n  tried T/b\n",
       ",\"tried\":[\"T/a\",\"T/a\",\"T/b\"]"},
      {Traced("", {"C:\\x \"q\""}), "  tried C:\\x \"q\"\n", ",\"tried\":[\"C:\\\\x \\\"q\\\"\"]"},
  };
  ServerCall find = Call(ServerMethod::FindProgram);
  find.workingDirectory = "W";
  find.searchName = "n";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.plain);
    EXPECT_EQ(PlainTrace(c.outcome), c.plain);
    EXPECT_EQ(JsonLine(find, c.outcome),
              "{\"method\":\"FindProgram\",\"args\":{\"sWorkingDirectory\":\"W\",\"sSearchName\":\"n\","
              "\"nAccessLevel\":7},\"result\":" + JsonString(c.outcome.path) + ",\"resultName\":null" + c.json +
                  ",\"fileList\":null}");
  }
  // A failed call keeps its trace after the HRESULT.
  CallOutcome failed = Failed(static_cast<int32_t>(0x8000FFFFu));
  failed.traced = true;
  failed.tried = {"T/a"};
  EXPECT_EQ(JsonLine(find, failed),
            "{\"method\":\"FindProgram\",\"args\":{\"sWorkingDirectory\":\"W\",\"sSearchName\":\"n\","
            "\"nAccessLevel\":7},\"result\":null,\"resultName\":null,\"hresult\":\"0x8000FFFF\","
            "\"tried\":[\"T/a\"],\"fileList\":null}");
}

WideString Wide(std::initializer_list<int> units) {
  WideString s;
  for (int u : units) s += static_cast<WCHAR>(u);
  return s;
}

TEST(ZovctlConsoleText, AsciiRoundTripsOnEveryPlatform) {
  WideString wide;
  ASSERT_TRUE(ConsoleToWide("C:\\WKS\\A B.ZOV", &wide));
  EXPECT_EQ(wide.size(), 14u);
  EXPECT_EQ(WideToConsole(wide.data(), static_cast<UINT>(wide.size())), "C:\\WKS\\A B.ZOV");
  EXPECT_EQ(WideToUtf8(wide.data(), static_cast<UINT>(wide.size())), "C:\\WKS\\A B.ZOV");
  ASSERT_TRUE(ConsoleToWide("", &wide));
  EXPECT_TRUE(wide.empty());
  EXPECT_EQ(WideToConsole(nullptr, 0), "");
}

TEST(ZovctlConsoleText, NonAsciiBecomesUtf8ForJson) {
  EXPECT_EQ(WideToUtf8(Wide({'M', 0xDC, 'L'}).data(), 3), "M\xC3\x9CL");
  EXPECT_EQ(WideToUtf8(Wide({0xD83D, 0xDE00}).data(), 2), "\xF0\x9F\x98\x80");
  EXPECT_EQ(WideToUtf8(Wide({'a', 0xD800, 'b'}).data(), 3), "a\xEF\xBF\xBD" "b");  // unpaired surrogate
}

TEST(ZovctlConsoleText, NativeConsoleIsUtf8AndRefusesIllFormedText) {
  if (ConsoleCodePage() != CP_UTF8) GTEST_SKIP() << "the console's text is the ANSI code page here";
  WideString wide;
  ASSERT_TRUE(ConsoleToWide("M\xC3\x9CLLER", &wide));
  EXPECT_EQ(wide, Wide({'M', 0xDC, 'L', 'L', 'E', 'R'}));
  EXPECT_EQ(WideToConsole(wide.data(), static_cast<UINT>(wide.size())), "M\xC3\x9CLLER");
  EXPECT_FALSE(ConsoleToWide("M\xDCLLER", &wide));
}

}  // namespace
}  // namespace zovctl
