#pragma once
// The base of the view managers: the object behind one open data window that answers
// the window's requests and writes its lines. The view dispatcher of the GUI creates
// one per window (by the window's kind) when the window opens and destroys it when the
// window closes; the panel library calls a manager's content writer while it captures
// the program's output into the window's panel. Managers live in the target interface
// (the register view) and in the engine, so the base sits below both.

#include <cstdint>

#include "core/dv_error.h"
#include "core/dv_error_code.h"

namespace zentor {

struct TextPane;

class BaseManager {
 public:
  // The pane is the window's, not the manager's; it outlives the manager.
  explicit BaseManager(TextPane* pane) : m_pane(pane) {}
  BaseManager(const BaseManager&) = delete;
  BaseManager& operator=(const BaseManager&) = delete;
  virtual ~BaseManager();

  // The request entry: the outcome goes into `status`, the result back to the window.
  virtual int32_t HandleRequest(DVError& status, int32_t code, intptr_t argument) = 0;
  // Writes the manager's whole content to the program's output (captured into a
  // panel by the caller). The base writes nothing.
  virtual DVErrorCode WriteContent(intptr_t argument);

  TextPane* Pane() const { return m_pane; }

 protected:
  TextPane* m_pane;
};

}  // namespace zentor
