#pragma once
// The slot of a service that a lower layer calls and a higher one provides: the
// service's base class gives the least behaviour the callers need until the owner
// installs its implementation at start-up. Install returns what was installed before
// (null for the base), so a test can put it back.

namespace zentor {

template <typename Service>
class InstalledService {
 public:
  // The caller keeps the service alive; null puts the base behaviour back.
  Service* Install(Service* service) {
    Service* before = m_installed;
    m_installed = service;
    return before;
  }
  Service& Get() { return m_installed != nullptr ? *m_installed : m_base; }

 private:
  Service m_base;
  Service* m_installed = nullptr;
};

}  // namespace zentor
