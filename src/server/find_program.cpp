// FindProgram and what it rests on: the domain path of a name in the default view, whether the NC
// answers, and the program search over the object's configuration and DomainFile.
#include <new>
#include <optional>
#include <string>

#include "ncpath/domain_path.h"
#include "ncpath/program_search.h"
#include "server/zov_server.h"
#include "services/ansi_text.h"

namespace zov::server {

namespace {

// The search's view of the server: names become domain paths in the default view, candidates are
// opened with the object's DomainFile.
class ServerSearchHost final : public zov::ncpath::SearchHost {
 public:
  ServerSearchHost(bool localMachine, zov::services::NcVar* ncVar,
                   zov::services::DomainFile* domainFile)
      : localMachine_(localMachine), ncVar_(ncVar), domainFile_(domainFile) {}

  std::optional<std::string> DomainPath(std::string_view name) override {
    return zov::ncpath::MakeDomainPathText(name, nullptr, localMachine_, ncVar_);
  }
  bool Open(const std::string& candidate) override {
    unique_bstr path = zov::services::BstrFromAnsi(candidate);
    if (!path.get()) throw std::bad_alloc();
    return domainFile_->Open(path.get());
  }

 private:
  bool localMachine_;
  zov::services::NcVar* ncVar_;
  zov::services::DomainFile* domainFile_;
};

}  // namespace

unique_bstr CZOVServer::MakeDomainPath(const char* path, const char* view) {
  return zov::ncpath::MakeDomainPath(path, view, m_bLocalMachine != 0, m_pNcVar.get());
}

bool CZOVServer::IsNcReachable(const char* ncName) {
  return zov::ncpath::IsNcReachable(m_bLocalMachine != 0, m_pNcVar.get(), ncName);
}

unique_bstr CZOVServer::SearchProgram(BSTR workingDirectory, BSTR searchName, SHORT accessLevel) {
  if (!searchName || !m_pDomainFile) return unique_bstr();
  zov::ncpath::SearchRoot roots[kMaxDirectories] = {};
  for (LONG i = 0; i < m_nDirectories; ++i) {
    roots[i] = {m_apszDirectory[i].get(), m_anDirectoryAccess[i]};
  }
  ServerSearchHost host(m_bLocalMachine != 0, m_pNcVar.get(), m_pDomainFile.get());
  const std::optional<std::string> found = zov::ncpath::SearchProgram(
      zov::services::AnsiFromBstr(workingDirectory), zov::services::AnsiFromBstr(searchName),
      accessLevel, roots, static_cast<int>(m_nDirectories), host);
  if (!found) return unique_bstr();
  unique_bstr result = zov::services::BstrFromAnsi(*found);
  if (!result.get()) throw std::bad_alloc();
  return result;
}

HRESULT CZOVServer::FindProgram(BSTR sWorkingDirectory, BSTR sSearchName, SHORT nAccessLevel,
                                BSTR* sProgram) {
  if (!sProgram) return E_POINTER;
  // A pure out-parameter, as COM has it for [out, retval]: what it held is not read or freed
  // (marshalled calls always bring null; a caller's leftover would be freed twice or garbage).
  *sProgram = nullptr;
  unique_bstr found;
  // Without the domain file nothing can be opened: nothing is searched, the NC is not asked.
  if (m_pDomainFile) {
    try {
      unique_bstr workingDirectory;
      if (sWorkingDirectory) {
        workingDirectory = MakeDomainPath(
            zov::services::AnsiFromBstr(sWorkingDirectory).c_str(), nullptr);
      }
      found = SearchProgram(workingDirectory.get(), sSearchName, nAccessLevel);
    } catch (...) {
      // Every failure on the way finds nothing.
      found.reset();
    }
  }
  // Nothing found: the empty string, or null (the empty string to an automation client) when
  // even that cannot be allocated.
  if (!found.get()) found.reset(SysAllocString(OLESTR("")));
  *sProgram = found.detach();
  return S_OK;
}

}  // namespace zov::server
