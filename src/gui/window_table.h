#pragma once
// The window table: the window object of each layer window, by layer id, and the
// router that hands each window event to the right operation of the right object.
// The table refers to the objects; an object is freed only by DestroyWindowObject
// (the close event, a viewpoint's window group closing). The message loop's window
// procedures call DispatchWindowEvent; the view dispatcher, the pane port, the frame
// and the viewpoint groups find windows here.

#include <cstdint>
#include <exception>

#include "core/viewpoint_handle.h"
#include "gui/window_event.h"

namespace zentor {

class WinSuper;

class WindowTable {
 public:
  // Stores the object in the slot of its layer id (0..63).
  static void Store(WinSuper* window);
  // The object of ids 1..63; null for other ids (0 among them) and empty slots.
  static WinSuper* Get(int32_t id);
  // Empties the slot of an id 0..63.
  static void Clear(int32_t id);
  // The first object in slot order of the kind whose viewpoint equals the given one.
  static WinSuper* FindByKindAndViewpoint(int32_t kind, ViewpointHandle viewpoint);
  static int32_t CountByKindAndViewpoint(int32_t kind, ViewpointHandle viewpoint);
  // The caller's cursor: Next answers the object of the first filled slot at or after
  // it and moves it past that slot; null (the cursor at 64) when none is left, and
  // null with the cursor unchanged when it lies outside 0..63.
  static void ResetIterator(int32_t& cursor) { cursor = 0; }
  static WinSuper* Next(int32_t& cursor);
  // Frees every window object in the table (the end of a run, and tests).
  static void DestroyAll();
};

// Frees the window object of the id and empties its slot.
void DestroyWindowObject(int32_t id);

int32_t CountWindowsOfKind(int32_t kind, uint32_t viewpointValue);
// Activates the layer window of the kind's window for the viewpoint, if there is one.
void ActivateWindowOfKind(int32_t kind, uint32_t viewpointValue);
int32_t WindowKindOf(const WinSuper& window);
uint32_t ViewpointValueOf(const WinSuper& window);
// The kind of the id's window object; the General window's (6) for an id without one.
int32_t GetWindowKindAt(int32_t id);

// Routes the event to the id's window object: 0 when one exists, -1 otherwise (a paint
// event for no object is still begun and ended, so the area counts as painted). No
// exception leaves it: an error a handler raises is reported, and anything the program
// cannot go on from (a fatal error, an exception that is no DVError) is kept for the
// message loop, which raises it again once the window procedure has returned
// (RaisePendingWindowError).
int32_t DispatchWindowEvent(int32_t id, WindowEvent& event);
// Raises again what DispatchWindowEvent kept; nothing when it kept nothing.
void RaisePendingWindowError();
// What every window, dialog, hook and timer procedure does in its catch of anything:
// a DVError is reported there, unless it is fatal; a fatal one or an exception that is
// no DVError is kept for RaisePendingWindowError.
void HandleWindowProcedureException();

// Calls the engine-notification operation of the first window of the kind that
// belongs to the viewpoint; kind 0xFFFF does it for every window kind.
void NotifyViewpointWindows(uint32_t viewpointValue, int32_t kind);

// Before every wait for input: with message pumping off, each window but the General
// window refreshes with its own viewpoint pushed as the current one, then the General
// window refreshes.
void RefreshAllWindows(int32_t code);

// The GUI's side of the viewpoint manager (its ViewpointWindowPort): the window groups,
// the Command window's viewpoint, the colour slots and the busy cursor.
void InstallGuiViewpointWindows();

}  // namespace zentor
