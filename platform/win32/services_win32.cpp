#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/error.h"
#include "platform/win32/sys_win32.h"
#include "platform/win32/text.h"

namespace tf {

namespace {

// Far beyond the largest list a system holds (hundreds of services, under 256 KB).
const size_t kMaxServiceListBytes = 16u << 20;

const wchar_t* machineName(const std::wstring& m) { return m.empty() ? nullptr : m.c_str(); }

class Win32ServiceControl : public ServiceControl {
 public:
  Win32ServiceControl(SC_HANDLE manager, SC_HANDLE service) : manager_(manager), service_(service) {}
  ~Win32ServiceControl() override {
    CloseServiceHandle(service_);
    CloseServiceHandle(manager_);
  }
  bool start() override { return StartServiceW(service_, 0, nullptr) != 0; }
  bool stop() override {
    SERVICE_STATUS s;
    return ControlService(service_, SERVICE_CONTROL_STOP, &s) != 0;
  }
  bool query(ServiceStatus& status) override {
    SERVICE_STATUS s;
    if (!QueryServiceStatus(service_, &s)) return false;
    status.state = s.dwCurrentState;
    status.checkPoint = s.dwCheckPoint;
    status.waitHint = s.dwWaitHint;
    return true;
  }

 private:
  SC_HANDLE manager_, service_;
};

}  // namespace

std::vector<std::string> Win32Services::serviceNames(const std::string& machine) {
  std::wstring m = widen(machine);
  SC_HANDLE scm = OpenSCManagerW(machineName(m), nullptr, SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE);
  if (!scm) throw Error(systemErrorText(GetLastError()));
  std::vector<std::string> names;
  // Drivers of every kind and both kinds of Win32 service, active and inactive.
  const DWORD kTipos = SERVICE_DRIVER | SERVICE_WIN32;  // 0x3B
  std::vector<ULONGLONG> buffer(firstBufferBytes_ / sizeof(ULONGLONG) + 1);
  DWORD resume = 0;
  bool complete = false;
  DWORD error = ERROR_MORE_DATA;
  for (int pasada = 0; pasada < 64 && !complete; ++pasada) {  // bounded against a manager that never ends
    DWORD needed = 0, count = 0, from = resume;
    DWORD bytes = (DWORD)(buffer.size() * sizeof(ULONGLONG));
    BOOL ok = EnumServicesStatusW(scm, kTipos, SERVICE_STATE_ALL, reinterpret_cast<ENUM_SERVICE_STATUSW*>(buffer.data()),
                                  bytes, &needed, &count, &resume);
    error = ok ? ERROR_SUCCESS : GetLastError();
    if (!ok && error != ERROR_MORE_DATA) break;
    if (!ok && (count == 0 || resume == from)) {
      // Nothing fitted, or a manager that cannot resume (Wine keeps the position at 0): this
      // part is dropped and asked for again from the same position, with room for the rest.
      resume = from;
      size_t want = std::max<size_t>((size_t)needed, (size_t)bytes * 2);
      if (want > kMaxServiceListBytes) break;
      buffer.assign(want / sizeof(ULONGLONG) + 1, 0);
      continue;
    }
    const ENUM_SERVICE_STATUSW* records = reinterpret_cast<const ENUM_SERVICE_STATUSW*>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
      if (records[i].lpServiceName && records[i].lpServiceName[0]) names.push_back(narrow(records[i].lpServiceName));
    complete = ok != FALSE;
  }
  // A list cut short would tell an installed service as missing.
  if (!complete) {
    CloseServiceHandle(scm);
    throw Error(systemErrorText(error));
  }
  CloseServiceHandle(scm);
  return names;
}

namespace {
std::unique_ptr<ServiceControl> abrirServicio(const std::string& machine, const std::string& name, DWORD rights) {
  std::wstring m = widen(machine);
  SC_HANDLE scm = OpenSCManagerW(machineName(m), nullptr, SC_MANAGER_CONNECT);
  if (!scm) return nullptr;
  SC_HANDLE service = OpenServiceW(scm, widen(name).c_str(), rights | SERVICE_QUERY_STATUS);
  if (!service) {
    CloseServiceHandle(scm);
    return nullptr;
  }
  return std::make_unique<Win32ServiceControl>(scm, service);
}
}  // namespace

std::unique_ptr<ServiceControl> Win32Services::openForStart(const std::string& machine, const std::string& name) {
  return abrirServicio(machine, name, SERVICE_START);
}

std::unique_ptr<ServiceControl> Win32Services::openForStop(const std::string& machine, const std::string& name) {
  return abrirServicio(machine, name, SERVICE_STOP);
}

void Win32Services::waitForMessages(unsigned ms) {
  MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

}  // namespace tf
