// The table from which IDispatch is served off Windows must say what the interface definition
// says. Under Wine it is compared with the type library the module carries (every member of
// ICZOVServer with its DISPID, help string, parameter names and types and retval, and the result
// enumerators); natively with the generated header's enumeration and the text of zovserver.idl.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#if defined(_WIN32)
#include "ole_text.h"
#include "scratch.h"
#include "zov/com_ptr.h"
#include "zov/unique_bstr.h"
#else
#include <fstream>
#include <regex>
#include <sstream>
#endif

#include "server/dispatch_table.h"
#include "zovserver.h"

namespace {

using zov::server::DispatchEnumerator;
using zov::server::DispatchInterface;
using zov::server::DispatchMember;
using zov::server::ServerInterface;
using zov::server::ServerResultEnumerators;

// One member as a description of ICZOVServer tells it, flattened for comparison.
struct Member {
  std::string name;
  DISPID id;
  std::string help;
  std::vector<std::string> params;  // "name:VT" for [in], "name:VT:retval" for the retval
  bool operator==(const Member& o) const {
    return name == o.name && id == o.id && help == o.help && params == o.params;
  }
};

std::ostream& operator<<(std::ostream& out, const Member& m) {
  out << m.id << " " << m.name << " \"" << m.help << "\" (";
  for (const std::string& p : m.params) out << p << " ";
  return out << ")";
}

std::vector<Member> TableMembers() {
  std::vector<Member> members;
  const DispatchInterface& table = ServerInterface();
  for (size_t i = 0; i < table.memberCount; ++i) {
    const DispatchMember& m = table.members[i];
    Member member{m.name, m.id, m.helpString, {}};
    for (UINT p = 0; p <= m.inCount; ++p)
      member.params.push_back(std::string(m.params[p].name) + ":" +
                              std::to_string(m.params[p].type) + (p == m.inCount ? ":retval" : ""));
    members.push_back(member);
  }
  return members;
}

std::vector<std::pair<std::string, LONG>> TableEnumerators() {
  size_t count = 0;
  const DispatchEnumerator* e = ServerResultEnumerators(&count);
  std::vector<std::pair<std::string, LONG>> out;
  for (size_t i = 0; i < count; ++i) out.emplace_back(e[i].name, e[i].value);
  return out;
}

TEST(DispatchTableTest, EnumeratorsAreTheGeneratedOnes) {
  const std::vector<std::pair<std::string, LONG>> generated = {
      {"errZovServerOk", errZovServerOk},
      {"errZovServerAllocFailed", errZovServerAllocFailed},
      {"errZovServerNoWorkpiece", errZovServerNoWorkpiece},
      {"errZovServerCanceled", errZovServerCanceled},
      {"errZovServerIsIdle", errZovServerIsIdle},
      {"errZovServerErrAccessingFile", errZovServerErrAccessingFile},
      {"errZovServerIllegalSelect", errZovServerIllegalSelect},
      {"errZovServerFileNotFound", errZovServerFileNotFound},
      {"errZovServerErrProfile", errZovServerErrProfile},
      {"errZovServerNoZovName", errZovServerNoZovName},
      {"errZovServerNoInitStatement", errZovServerNoInitStatement},
      {"errZovServerFileIsUnloaded", errZovServerFileIsUnloaded},
      {"errZovServerInvalidChanOrNcu", errZovServerInvalidChanOrNcu},
  };
  EXPECT_EQ(TableEnumerators(), generated);
}

#if defined(_WIN32)

using zov::test::Narrow;

// The type library that ZOVServer.dll carries (resource TYPELIB 1).
zov::com_ptr<ITypeLib> ModuleTypeLibrary() {
  std::string path = zov::test::ExecutableDir() + "ZOVServer.dll";
  std::wstring wide(path.begin(), path.end());
  zov::com_ptr<ITypeLib> library;
  EXPECT_EQ(LoadTypeLibEx(wide.c_str(), REGKIND_NONE, library.put()), S_OK);
  return library;
}

// The library's identity as registration and LoadRegTypeLib use it: GUID, version, locale, and
// the help strings of the library and its types.
TEST(DispatchTableTest, LibraryAttributesAreTheHeadersOnes) {
  zov::com_ptr<ITypeLib> library = ModuleTypeLibrary();
  ASSERT_TRUE(library);
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(library->GetLibAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_ZOVSERVERLib));
  EXPECT_EQ(attr->wMajorVerNum, 1);
  EXPECT_EQ(attr->wMinorVerNum, 0);
  EXPECT_EQ(attr->lcid, 0x409u);
  library->ReleaseTLibAttr(attr);

  zov::unique_bstr name, help;
  ASSERT_EQ(library->GetDocumentation(-1, name.put(), help.put(), nullptr, nullptr), S_OK);
  EXPECT_EQ(Narrow(name.get()), "ZOVSERVERLib");
  EXPECT_EQ(Narrow(help.get()), "ZOVServer 1.0 Type Library");

  struct TypeCase {
    const GUID* guid;
    const char* name;
    const char* help;
  };
  const TypeCase cases[] = {
      {&CLSID_CZOVServer, "CZOVServer", "CZOVServer Class"},
      {&DIID__ICZOVServerEvents, "_ICZOVServerEvents", "_ICZOVServerEvents Interface"},
      {&IID_ICZOVServer, "ICZOVServer", "ICZOVServer Interface"},
  };
  for (const TypeCase& c : cases) {
    SCOPED_TRACE(c.name);
    zov::com_ptr<ITypeInfo> info;
    ASSERT_EQ(library->GetTypeInfoOfGuid(*c.guid, info.put()), S_OK);
    zov::unique_bstr typeName, typeHelp;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, typeName.put(), typeHelp.put(), nullptr,
                                     nullptr),
              S_OK);
    EXPECT_EQ(Narrow(typeName.get()), c.name);
    EXPECT_EQ(Narrow(typeHelp.get()), c.help);
  }
}

TEST(DispatchTableTest, MembersAreTheTypeLibrarysOnes) {
  zov::com_ptr<ITypeLib> library = ModuleTypeLibrary();
  ASSERT_TRUE(library);
  zov::com_ptr<ITypeInfo> info;
  ASSERT_EQ(library->GetTypeInfoOfGuid(IID_ICZOVServer, info.put()), S_OK);
  // The vtable part of the dual interface: its own five functions in slot order.
  HREFTYPE ref;
  ASSERT_EQ(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
  zov::com_ptr<ITypeInfo> vtable;
  ASSERT_EQ(info->GetRefTypeInfo(ref, vtable.put()), S_OK);

  zov::unique_bstr interfaceName, interfaceHelp;
  ASSERT_EQ(vtable->GetDocumentation(MEMBERID_NIL, interfaceName.put(), interfaceHelp.put(),
                                     nullptr, nullptr),
            S_OK);
  EXPECT_EQ(Narrow(interfaceName.get()), ServerInterface().name);
  EXPECT_EQ(Narrow(interfaceHelp.get()), ServerInterface().helpString);

  TYPEATTR* attr = nullptr;
  ASSERT_EQ(vtable->GetTypeAttr(&attr), S_OK);
  std::vector<Member> fromLibrary;
  for (UINT f = 0; f < attr->cFuncs; ++f) {
    FUNCDESC* func = nullptr;
    ASSERT_EQ(vtable->GetFuncDesc(f, &func), S_OK);
    BSTR names[8] = {};
    UINT count = 0;
    EXPECT_EQ(vtable->GetNames(func->memid, names, 8, &count), S_OK);
    zov::unique_bstr help;
    EXPECT_EQ(vtable->GetDocumentation(func->memid, nullptr, help.put(), nullptr, nullptr), S_OK);
    Member member{Narrow(names[0]), func->memid, Narrow(help.get()), {}};
    for (SHORT p = 0; p < func->cParams; ++p) {
      const ELEMDESC& param = func->lprgelemdescParam[p];
      bool retval = (param.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) != 0;
      VARTYPE type = param.tdesc.vt;
      if (retval && type == VT_PTR) type = param.tdesc.lptdesc->vt;
      std::string name = static_cast<UINT>(p + 1) < count ? Narrow(names[p + 1]) : "?";
      member.params.push_back(name + ":" + std::to_string(type) + (retval ? ":retval" : ""));
    }
    EXPECT_EQ(func->elemdescFunc.tdesc.vt, VT_HRESULT);
    for (UINT n = 0; n < count; ++n) zov::unique_bstr owned(names[n]);
    vtable->ReleaseFuncDesc(func);
    fromLibrary.push_back(member);
  }
  vtable->ReleaseTypeAttr(attr);
  EXPECT_EQ(fromLibrary, TableMembers());
}

TEST(DispatchTableTest, EnumeratorsAreTheTypeLibrarysOnes) {
  zov::com_ptr<ITypeLib> library = ModuleTypeLibrary();
  ASSERT_TRUE(library);
  std::vector<std::pair<std::string, LONG>> fromLibrary;
  for (UINT t = 0; t < library->GetTypeInfoCount(); ++t) {
    zov::unique_bstr name;
    library->GetDocumentation(static_cast<INT>(t), name.put(), nullptr, nullptr, nullptr);
    if (Narrow(name.get()) != "tagZovServerResult") continue;
    zov::com_ptr<ITypeInfo> info;
    ASSERT_EQ(library->GetTypeInfo(t, info.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_ENUM);
    for (UINT v = 0; v < attr->cVars; ++v) {
      VARDESC* var = nullptr;
      ASSERT_EQ(info->GetVarDesc(v, &var), S_OK);
      zov::unique_bstr varName;
      info->GetDocumentation(var->memid, varName.put(), nullptr, nullptr, nullptr);
      VARIANT value;
      VariantInit(&value);
      VariantChangeType(&value, var->lpvarValue, 0, VT_I4);
      fromLibrary.emplace_back(Narrow(varName.get()), V_I4(&value));
      info->ReleaseVarDesc(var);
    }
    info->ReleaseTypeAttr(attr);
  }
  EXPECT_EQ(fromLibrary, TableEnumerators());
}

#else

// The members and enumerators as zovserver.idl spells them.
std::string IdlText() {
  std::ifstream in(ZOV_SERVER_IDL_PATH);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

VARTYPE IdlType(const std::string& type) {
  if (type == "BSTR" || type == "BSTR*") return VT_BSTR;
  if (type == "short") return VT_I2;
  if (type == "long*" || type == "long") return VT_I4;
  return VT_EMPTY;
}

TEST(DispatchTableTest, MembersAreTheInterfaceDefinitionsOnes) {
  std::string idl = IdlText();
  ASSERT_FALSE(idl.empty());
  std::smatch header;
  ASSERT_TRUE(std::regex_search(
      idl, header, std::regex(R"re(helpstring\("([^"]*)"\),\s*pointer_default\(unique\)\s*\]\s*interface (\w+))re")));
  EXPECT_EQ(header[1].str(), ServerInterface().helpString);
  EXPECT_EQ(header[2].str(), ServerInterface().name);

  std::vector<Member> fromIdl;
  std::regex method(R"re(\[id\((\d+)\), helpstring\("([^"]*)"\)\]\s*HRESULT (\w+)\(([^)]*)\);)re");
  std::regex param(R"re(\[(in|out, retval)\]\s*(\w+\*?)\s*(\w+))re");
  for (std::sregex_iterator m(idl.begin(), idl.end(), method), end; m != end; ++m) {
    Member member{(*m)[3].str(), std::stoi((*m)[1].str()), (*m)[2].str(), {}};
    std::string params = (*m)[4].str();
    for (std::sregex_iterator p(params.begin(), params.end(), param); p != end; ++p) {
      bool retval = (*p)[1].str() != "in";
      member.params.push_back((*p)[3].str() + ":" + std::to_string(IdlType((*p)[2].str())) +
                              (retval ? ":retval" : ""));
    }
    fromIdl.push_back(member);
  }
  EXPECT_EQ(fromIdl, TableMembers());
}

TEST(DispatchTableTest, EnumeratorsAreTheInterfaceDefinitionsOnes) {
  std::string idl = IdlText();
  std::vector<std::pair<std::string, LONG>> fromIdl;
  std::regex enumerator(R"re((errZovServer\w+) = (-?\d+))re");
  for (std::sregex_iterator e(idl.begin(), idl.end(), enumerator), end; e != end; ++e)
    fromIdl.emplace_back((*e)[1].str(), std::stol((*e)[2].str()));
  EXPECT_EQ(fromIdl, TableEnumerators());
}

#endif

}  // namespace
