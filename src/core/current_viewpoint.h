#pragma once
// The current viewpoint and the stack of viewpoints selected on top of the base.
// Exactly one viewpoint is current at any moment: every target-interface call is made
// for it, every DVError is stamped with it, and commands use its symbol context and
// call-stack frames. A command that works in another viewpoint pushes it and pops it
// again; after a failed command the command loop resets the stack to the base. Every
// change tells the target interface which viewpoint is now current.

#include "core/viewpoint_handle.h"

#include <cstdint>

namespace zentor {

class FrameList;
class RWCString;
class SymbolContext;

// The viewpoint now current: the top of the stack, or the base when it is empty.
const ViewpointHandle& CurrentViewpoint();
uint32_t GetCurrentViewpointValue();
ViewpointHandle GetBaseViewpoint();
// Viewpoints on the stack above the base.
uint32_t ViewpointStackDepth();

// Each of these changes the local state first and then tells the target the new
// current viewpoint; a failing target status is thrown after the state has changed.
// Makes `handle` the base, empties the stack and makes the base current.
void SetBaseViewpoint(ViewpointHandle handle);
void PushViewpoint(ViewpointHandle handle);
// The new top becomes current, or the base when the stack is empty (also when it was
// empty already).
void PopViewpoint();
// Empties the stack; the base becomes current.
void ResetViewpointStack();

// The viewpoint current for the life of the object (the work of a window or a record
// of another viewpoint), popped at its end. A target that fails to take the push
// raises its failure with the stack as it was; a failing pop is reported.
class ViewpointPushed {
 public:
  explicit ViewpointPushed(ViewpointHandle handle);
  ~ViewpointPushed();
  ViewpointPushed(const ViewpointPushed&) = delete;
  ViewpointPushed& operator=(const ViewpointPushed&) = delete;
};

// Command actions. SelectViewpointByName takes the viewpoint's alias or its text form
// from the current token and pushes that viewpoint; an unknown name raises message
// 251 ("The specified viewpoint is not valid.", ERROR, command output) and changes
// nothing. SelectViewpointNamed does the same for a given name.
void SelectViewpointByName();
void SelectViewpointNamed(const char* name);
// Selects the current viewpoint again, one level up.
void PushCurrentViewpoint();
void PopViewpointAction();

// Stores the context in the current viewpoint's record; internal-consistency error
// when no viewpoint is current.
void SetCurrentSymbolContext_Checked(SymbolContext* context);
// The current viewpoint's call-stack frames; internal-consistency error when no
// viewpoint is current or it has no frame list.
FrameList* GetCurrentFrameList();

// Created on first use; later calls return the same object.
const RWCString& GetSharedEmptyString();

}  // namespace zentor
