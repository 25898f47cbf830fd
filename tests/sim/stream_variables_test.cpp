// The NC file stream ("KalTeskDomain.TeskDomain.1") with its cancel hook, and the NC variables
// ("TeskVar.Var2"), bound through COM as the server binds them.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "controller_setup.h"
#include "controller_state.h"
#include "counting_server.h"
#include "host_components.h"
#include "ole_text.h"
#include "scratch.h"
#include "virtual_controller.h"
#include "zov/com_ptr.h"
#include "zov/unique_bstr.h"
#include "zov/unique_safearray.h"
#include "zov/unique_variant.h"
#include "zovserver.h"

namespace {

using zov::com_ptr;
using zov::unique_bstr;
using zov::unique_safearray;
using zov::unique_variant;
using zov::test::BindName;
using zov::test::Bstr;
using zov::test::CountingServer;
using zov::test::Narrow;

constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002);
constexpr HRESULT kPathNotFound = static_cast<HRESULT>(0x80070003);
constexpr HRESULT kNotReady = static_cast<HRESULT>(0x80070015);

// An object without ICZOVServer.
class NotAServer final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown)) {
      *ppv = this;
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
};

class StreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(zov::test::SetUpVirtualController());
    ASSERT_EQ(BindName("KalTeskDomain.TeskDomain.1:", IID_ITeskDomainFile, domain.put_void()),
              S_OK);
  }
  static void Stream(int pieceSize, int cancelOnRead) {
    std::string ini = "[Controller]\r\nDefaultNcu=NCU1\r\n[Stream]\r\nPieceSize=" +
                      std::to_string(pieceSize) + "\r\nCancelOnRead=" +
                      std::to_string(cancelOnRead) + "\r\n";
    ASSERT_TRUE(zov::test::WriteControllerFile("controller.ini", ini));
  }
  // Reads to the end: the pieces' sizes and the bytes.
  std::vector<size_t> ReadAll(std::string* bytes) {
    std::vector<size_t> sizes;
    bytes->clear();
    for (int i = 0; i < 1000; ++i) {
      unique_variant piece;
      if (domain->Read(piece.put()) != S_OK) {
        ADD_FAILURE() << "Read failed";
        break;
      }
      EXPECT_EQ(piece.get()->vt, VT_ARRAY | VT_UI1);
      if (piece.get()->vt != (VT_ARRAY | VT_UI1)) break;
      SAFEARRAY* array = piece.get()->parray;
      LONG low = 0, high = -1;
      SafeArrayGetLBound(array, 1, &low);
      SafeArrayGetUBound(array, 1, &high);
      size_t n = static_cast<size_t>(high - low + 1);
      sizes.push_back(n);
      if (n == 0) break;
      void* data = nullptr;
      SafeArrayAccessData(array, &data);
      bytes->append(static_cast<const char*>(data), n);
      SafeArrayUnaccessData(array);
    }
    return sizes;
  }

  com_ptr<ITeskDomainFile> domain;
};

TEST_F(StreamTest, ReadsTheNcFileInPiecesEndingWithAnEmptyOne) {
  const std::string text = zov::test::kMainNc;
  ASSERT_EQ(text.size(), 18u);
  const struct {
    int pieceSize;
    std::vector<size_t> sizes;
  } cases[] = {
      {8, {8, 8, 2, 0}},
      {18, {18, 0}},
      {1, std::vector<size_t>(18, 1)},
      {128, {18, 0}},
      {0, {18, 0}},  // no usable size: the default, 128
  };
  for (auto c : cases) {
    SCOPED_TRACE(c.pieceSize);
    if (c.pieceSize == 1) c.sizes.push_back(0);
    Stream(c.pieceSize, 0);
    ASSERT_EQ(domain->Open(Bstr("/NC/WKS.DIR/PART1.ZOV/MAIN.MPF").get(), 1), S_OK);
    std::string bytes;
    EXPECT_EQ(ReadAll(&bytes), c.sizes);
    EXPECT_EQ(bytes, text) << "the NC's copy, not the hard disk's";
    EXPECT_EQ(domain->Close(), S_OK);
  }
}

TEST_F(StreamTest, OpenRefusesOtherModesAndMissingFiles) {
  Stream(128, 0);
  const struct {
    const char* path;
    LONG mode;
    HRESULT expected;
  } cases[] = {
      {"/NC/WKS.DIR/PART1.ZOV/MAIN.MPF", 1, S_OK},
      {"/nc/wks.dir/part1.zov/main.mpf", 1, S_OK},
      {"/NC/WKS.DIR/PART1.ZOV/MAIN.MPF", 2, E_INVALIDARG},
      {"/NC/WKS.DIR/PART1.ZOV/MAIN.MPF", 0, E_INVALIDARG},
      {"/NC/WKS.DIR/PART1.ZOV/HDONLY.SPF", 1, kFileNotFound},
      {"/NC/WKS.DIR/PART1.ZOV", 1, kFileNotFound},
      {"/NC/WKS.DIR/../../controller.ini", 1, kPathNotFound},
      {"/WKS.DIR/PART1.ZOV/MAIN.MPF", 1, kPathNotFound},
      {"/NC/", 1, kPathNotFound},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(domain->Open(Bstr(c.path).get(), c.mode), c.expected);
    unique_variant piece;
    EXPECT_EQ(domain->Read(piece.put()), c.expected == S_OK ? S_OK : E_HANDLE)
        << "only an open file is read";
    EXPECT_EQ(domain->Close(), S_OK);
  }
}

TEST_F(StreamTest, CancelOnReadCallsTheTargetsCancelDuringExactlyThatRead) {
  com_ptr<IVirtualController> control = domain.query<IVirtualController>(IID_IVirtualController);
  ASSERT_TRUE(control);
  CountingServer server;
  zov::test::CancelHookScope hook;  // the target cleared and [Stream] restored, whatever happens
  ASSERT_EQ(control->SetCancelTarget(&server), S_OK);
  EXPECT_EQ(server.refs, 2u) << "the controller keeps one reference";
  LONG callsBefore = 0, lastResult = 0;
  HRESULT lastHr = E_FAIL;
  ASSERT_EQ(control->GetCancelCalls(&callsBefore, &lastHr, &lastResult), S_OK);
  const int iniCallsBefore = zov::sim::CancelCalls(zov::test::Controller());

  Stream(4, 3);
  ASSERT_EQ(domain->Open(Bstr("/NC/WKS.DIR/PART1.ZOV/MAIN.MPF").get(), 1), S_OK);
  std::vector<int> cancelsAfterRead;
  for (int read = 1; read <= 6; ++read) {
    unique_variant piece;
    ASSERT_EQ(domain->Read(piece.put()), S_OK);
    cancelsAfterRead.push_back(server.cancels);
  }
  EXPECT_EQ(cancelsAfterRead, (std::vector<int>{0, 0, 1, 1, 1, 1}));
  LONG calls = 0;
  ASSERT_EQ(control->GetCancelCalls(&calls, &lastHr, &lastResult), S_OK);
  EXPECT_EQ(calls, callsBefore + 1);
  EXPECT_EQ(lastHr, S_OK);
  EXPECT_EQ(lastResult, -4);
  EXPECT_EQ(zov::sim::CancelCalls(zov::test::Controller()), iniCallsBefore + 1);

  // Each Open counts its reads afresh.
  ASSERT_EQ(domain->Open(Bstr("/NC/WKS.DIR/PART1.ZOV/MAIN.MPF").get(), 1), S_OK);
  for (int read = 1; read <= 3; ++read) {
    unique_variant piece;
    ASSERT_EQ(domain->Read(piece.put()), S_OK);
  }
  EXPECT_EQ(server.cancels, 2);

  // An object that is no server is refused and the target stays; NULL lets it go.
  NotAServer other;
  EXPECT_EQ(control->SetCancelTarget(&other), E_NOINTERFACE);
  EXPECT_EQ(server.refs, 2u);
  EXPECT_EQ(control->SetCancelTarget(nullptr), S_OK);
  EXPECT_EQ(server.refs, 1u);
  ASSERT_EQ(domain->Open(Bstr("/NC/WKS.DIR/PART1.ZOV/MAIN.MPF").get(), 1), S_OK);
  for (int read = 1; read <= 3; ++read) {
    unique_variant piece;
    ASSERT_EQ(domain->Read(piece.put()), S_OK);
  }
  EXPECT_EQ(server.cancels, 2) << "no target, no call";
  Stream(128, 0);
}

// A server whose Cancel does to the stream what a cancelling host may: nothing, let go of it (its
// last reference), or close it.
class StreamHandlingServer final : public zov::test::CountingServer {
 public:
  enum class Action { Nothing, Release, Close };

  StreamHandlingServer(Action action, com_ptr<ITeskDomainFile> stream)
      : action_(action), stream_(std::move(stream)) {}

  HRESULT STDMETHODCALLTYPE Cancel(LONG* result) override {
    ++cancels;
    if (action_ == Action::Release) stream_.reset();
    if (action_ == Action::Close && stream_) stream_->Close();
    *result = 0;
    return S_OK;
  }

 private:
  Action action_;
  com_ptr<ITeskDomainFile> stream_;
};

// The Read that calls Cancel finishes on a live object whatever the server does to the stream
// meanwhile: released, it still hands out its piece; closed, it answers as a Read without a file.
TEST_F(StreamTest, TheReadCallingCancelSurvivesWhatCancelDoes) {
  using Action = StreamHandlingServer::Action;
  const struct {
    const char* name;
    Action action;
    HRESULT expected;
    const char* piece;  // null: VT_EMPTY
  } cases[] = {
      {"nothing", Action::Nothing, S_OK, "N10 "},
      {"the stream's last reference released", Action::Release, S_OK, "N10 "},
      {"the stream closed", Action::Close, E_HANDLE, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    com_ptr<ITeskDomainFile> stream;
    ASSERT_EQ(BindName("KalTeskDomain.TeskDomain.1:", IID_ITeskDomainFile, stream.put_void()),
              S_OK);
    ITeskDomainFile* const raw = stream.get();
    StreamHandlingServer server(c.action, stream);  // the server holds the stream
    zov::test::CancelHookScope hook;
    Stream(4, 1);
    ASSERT_EQ(stream->Open(Bstr("/NC/WKS.DIR/PART1.ZOV/MAIN.MPF").get(), 1), S_OK);
    {
      com_ptr<IVirtualController> control =
          stream.query<IVirtualController>(IID_IVirtualController);
      ASSERT_TRUE(control);
      ASSERT_EQ(control->SetCancelTarget(&server), S_OK);
    }
    if (c.action == Action::Release) stream.reset();  // now the server's is the last reference
    unique_variant piece;
    EXPECT_EQ(raw->Read(piece.put()), c.expected);
    EXPECT_EQ(server.cancels, 1);
    if (c.piece) {
      ASSERT_EQ(piece.get()->vt, VT_ARRAY | VT_UI1);
      void* data = nullptr;
      ASSERT_EQ(SafeArrayAccessData(piece.get()->parray, &data), S_OK);
      EXPECT_EQ(std::string(static_cast<const char*>(data), 4), c.piece);
      SafeArrayUnaccessData(piece.get()->parray);
    } else {
      EXPECT_EQ(piece.get()->vt, VT_EMPTY);
    }
  }
}

// The stream is bound by its versioned ProgID and by the version-independent one (through its
// CurVer), with nothing after the colon.
TEST(StreamNames, BothProgIdsBindTheStream) {
  ASSERT_TRUE(zov::test::SetUpVirtualController());
  const struct {
    const char* name;
    bool binds;
  } cases[] = {
      {"KalTeskDomain.TeskDomain.1:", true},
      {"KalTeskDomain.TeskDomain:", true},
      {"kalteskdomain.teskdomain.1:", true},
      {"KALTESKDOMAIN.TESKDOMAIN:", true},
      {"KalTeskDomain.TeskDomain.1:x", false},
      {"KalTeskDomain.TeskDomain:/NC", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    com_ptr<ITeskDomainFile> stream;
    const HRESULT hr = BindName(c.name, IID_ITeskDomainFile, stream.put_void());
    EXPECT_EQ(SUCCEEDED(hr), c.binds) << std::hex << hr;
    EXPECT_EQ(static_cast<bool>(stream), c.binds);
    if (!stream) continue;
    EXPECT_EQ(stream->Open(Bstr("/NC/WKS.DIR/PART1.ZOV/MAIN.MPF").get(), 1), S_OK);
    EXPECT_TRUE(stream.query<IVirtualController>(IID_IVirtualController));
  }
}

class VariablesTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(zov::test::SetUpVirtualController()); }

  // Reads one variable: the HRESULT, and the values and status VARIANTs.
  static HRESULT Read(ITeskVar* var, const std::string& name, VARIANT* values, SHORT* status) {
    unique_safearray names(SafeArrayCreateVector(VT_BSTR, 0, 1));
    LONG index = 0;
    unique_bstr text = Bstr(name);
    SafeArrayPutElement(names.get(), &index, text.get());
    unique_variant namesVariant;
    namesVariant.get()->vt = VT_ARRAY | VT_BSTR;
    namesVariant.get()->parray = names.detach();
    unique_variant omitted;
    omitted.get()->vt = VT_ERROR;
    omitted.get()->scode = DISP_E_PARAMNOTFOUND;
    unique_variant errors;
    unique_variant statusArray;
    HRESULT hr = var->Read(*namesVariant.get(), omitted.get(), 0, values, errors.put(),
                           statusArray.put());
    *status = -1;
    if (statusArray.get()->vt == (VT_ARRAY | VT_I2)) {
      LONG first = 0;
      SafeArrayGetElement(statusArray.get()->parray, &first, status);
    }
    return hr;
  }
};

// The value's type and its first element as text.
std::string Describe(const VARIANT& v) {
  if (v.vt == VT_EMPTY) return "empty";
  if (!(v.vt & VT_ARRAY)) return "not an array";
  LONG first = 0;
  std::string type;
  switch (v.vt & ~VT_ARRAY) {
    case VT_I2: {
      SHORT s = 0;
      SafeArrayGetElement(v.parray, &first, &s);
      return "I2 " + std::to_string(s);
    }
    case VT_I4: {
      LONG l = 0;
      SafeArrayGetElement(v.parray, &first, &l);
      return "I4 " + std::to_string(l);
    }
    case VT_BSTR: {
      unique_bstr b;
      SafeArrayGetElement(v.parray, &first, b.put());
      return "S " + Narrow(b.get());
    }
    case VT_VARIANT: {
      unique_variant e;
      SafeArrayGetElement(v.parray, &first, e.put());
      if (e.get()->vt == VT_I2) return "V I2 " + std::to_string(e.get()->iVal);
      if (e.get()->vt == VT_BSTR) return "V S " + Narrow(e.get()->bstrVal);
      return "V ?";
    }
  }
  return "?";
}

TEST_F(VariablesTest, ReadsTheNamedNcusVariables) {
  const struct {
    const char* ncu;  // the display name
    const char* variable;
    HRESULT hr;
    SHORT status;
    const char* value;
  } cases[] = {
      {"@TeskVar.Var2", "/Bag/State/Opmode", S_OK, 192, "I2 1"},
      {"@TeskVar.Var2:NCU1", "/Bag/State/Opmode", S_OK, 192, "I2 1"},
      {"@TeskVar.Var2:ncu2", "/Bag/State/Opmode", S_OK, 192, "I2 2"},
      {"@TeskVar.Var2", "/NCK/Configuration/maxnumChannels", S_OK, 192, "I2 2"},
      {"@TeskVar.Var2:NCU2", "/NCK/Configuration/maxnumChannels", S_OK, 192, "I2 4"},
      {"@TeskVar.Var2", "/NCK/Configuration/chanAssignment[1]", S_OK, 192, "I2 1"},
      {"@TeskVar.Var2", "/NCK/Configuration/chanAssignment[2]", S_OK, 192, "V I2 0"},
      {"@TeskVar.Var2", "/Channel/ProgramPointer/workPNameLong[u1]", S_OK, 192,
       "S /_N_WKS_DIR/_N_PART1_ZOV"},
      {"@TeskVar.Var2", "/Channel/ProgramPointer/progName[u1]", S_OK, 192, "V S _N_MAIN_MPF"},
      {"@TeskVar.Var2", "/Test/Long", S_OK, 192, "I4 70000"},
      {"@TeskVar.Var2", "/Test/Bad", S_OK, 3, "I2 5"},
      {"@TeskVar.Var2", "/Test/Broken", S_OK, 0, "empty"},
      {"@TeskVar.Var2", "/NCK/Configuration/chanAssignment[3]", S_OK, 0, "empty"},
      {"@TeskVar.Var2:NCU2", "/NCK/Configuration/chanAssignment[1]", S_OK, 0, "empty"},
      {"@TeskVar.Var2:NCU3", "/Bag/State/Opmode", kNotReady, -1, "empty"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.ncu) + " " + c.variable);
    com_ptr<ITeskVar> var;
    ASSERT_EQ(BindName(c.ncu, IID_ITeskVar, var.put_void()), S_OK);
    unique_variant values;
    SHORT status = -1;
    EXPECT_EQ(Read(var.get(), c.variable, values.put(), &status), c.hr);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(Describe(*values.get()), c.value);
  }
}

TEST_F(VariablesTest, UnknownNcusDoNotBind) {
  for (const char* name : {"@TeskVar.Var2:NCU9", "@TeskVar.Var2:..\\controller",
                           "@TeskVar.Var2:NCU1.ini"}) {
    com_ptr<ITeskVar> var;
    EXPECT_EQ(BindName(name, IID_ITeskVar, var.put_void()), kFileNotFound) << name;
    EXPECT_FALSE(var);
  }
}

TEST_F(VariablesTest, AnNcuGoingOfflineFailsItsReads) {
  ASSERT_TRUE(zov::test::WriteControllerFile(
      "ncu\\NCU4.ini", "[NCU]\r\nOnline=1\r\n[Variables]\r\n/Bag/State/Opmode=I2:1\r\n"));
  com_ptr<ITeskVar> var;
  ASSERT_EQ(BindName("@TeskVar.Var2:NCU4", IID_ITeskVar, var.put_void()), S_OK);
  unique_variant values;
  SHORT status = -1;
  EXPECT_EQ(Read(var.get(), "/Bag/State/Opmode", values.put(), &status), S_OK);
  ASSERT_TRUE(zov::sim::SetNcuOnline(zov::test::Controller(), "NCU4", false));
  EXPECT_EQ(Read(var.get(), "/Bag/State/Opmode", values.put(), &status), kNotReady);
  EXPECT_EQ(values.get()->vt, VT_EMPTY);
  ASSERT_TRUE(zov::sim::SetNcuOnline(zov::test::Controller(), "NCU4", true));
  EXPECT_EQ(Read(var.get(), "/Bag/State/Opmode", values.put(), &status), S_OK);
  EXPECT_EQ(status, 192);
}

}  // namespace
