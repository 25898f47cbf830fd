// CZOVServer on its own, in this process: the busy mark that SelectProgram sets for its whole
// duration and that Cancel clears, seen from inside a running selection (as a re-entrant Cancel
// from the apartment would see it).
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <vector>

#include "local_server.h"

namespace {

// A server whose selection runs a test-supplied body instead of the selection's work.
class ScriptedServer final : public zov::test::LocalServer {
 public:
  std::function<LONG(ScriptedServer*)> body;
  int selections = 0;

 protected:
  LONG RunSelection(BSTR, SHORT, SHORT) override {
    ++selections;
    return body ? body(this) : LONG{errZovServerAllocFailed};
  }
};

LONG CancelResult(ICZOVServer* server) {
  LONG result = 12345;
  EXPECT_EQ(server->Cancel(&result), S_OK);
  return result;
}

TEST(ServerObjectTest, BusyProtocol) {
  struct Case {
    const char* what;
    std::function<LONG(ScriptedServer*)> body;  // runs inside SelectProgram
    std::vector<LONG> cancelsInside;            // what Cancel calls made inside stored
    LONG result;                                // what SelectProgram stored
  };
  std::vector<LONG> seen;
  Case cases[] = {
      {"no cancel", [&](ScriptedServer* s) {
         EXPECT_TRUE(s->IsBusy());
         return LONG{errZovServerOk};
       }, {}, errZovServerOk},
      {"cancel twice during one selection", [&](ScriptedServer* s) {
         seen.push_back(CancelResult(s));
         EXPECT_FALSE(s->IsBusy());
         seen.push_back(CancelResult(s));
         return LONG{errZovServerCanceled};
       }, {errZovServerOk, errZovServerIsIdle}, errZovServerCanceled},
      {"a nested selection leaves the outer one idle", [&](ScriptedServer* s) {
         if (s->selections > 1) return LONG{errZovServerOk};  // the nested one
         LONG inner = 0;
         EXPECT_EQ(s->SelectProgram(nullptr, 1, 1, &inner), S_OK);
         EXPECT_EQ(inner, errZovServerOk);
         seen.push_back(CancelResult(s));
         return LONG{errZovServerFileNotFound};
       }, {errZovServerIsIdle}, errZovServerFileNotFound},
      {"the selection runs out of memory", [&](ScriptedServer*) -> LONG {
         throw std::bad_alloc();
       }, {}, errZovServerAllocFailed},
      {"the selection throws something else", [&](ScriptedServer*) -> LONG {
         throw std::runtime_error("broken");
       }, {}, errZovServerAllocFailed},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedServer server;
    seen.clear();
    server.body = c.body;
    EXPECT_EQ(CancelResult(&server), errZovServerIsIdle);
    LONG result = 12345;
    EXPECT_EQ(server.SelectProgram(nullptr, 1, 1, &result), S_OK);
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(seen, c.cancelsInside);
    EXPECT_FALSE(server.IsBusy());
    EXPECT_EQ(CancelResult(&server), errZovServerIsIdle);
  }
}

TEST(ServerObjectTest, NullResultPointerRunsNoSelection) {
  ScriptedServer server;
  EXPECT_EQ(server.SelectProgram(nullptr, 1, 1, nullptr), E_POINTER);
  EXPECT_EQ(server.selections, 0);
  EXPECT_FALSE(server.IsBusy());
}

}  // namespace
