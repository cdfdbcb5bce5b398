// What the layout editor works on while it is open: the program's own table and
// settings, never copies.
#pragma once

#include <string_view>

#include "core/data/settings.h"
#include "core/data/table.h"
#include "core/device/platform.h"
#include "core/editor/assign.h"

namespace vantrel::editor {

// What the editor works on while it is open. The shell's port is closed for that
// time; the editor opens its own port (with settings.com_port and settings.fk_model)
// and must have closed it again when it returns.
struct EditorSession {
  AssignmentTable& table;
  Settings& settings;
  bool& layout_loaded;  // a layout named by settings.layout_path is in the table
  std::u16string_view working_folder;
  device::DevicePort& port;
  // The key-assignment dialog's capture state, kept for the whole run.
  CaptureState& capture;
  // The mouse state the last FK key press was played with (0 before any): where
  // the editor starts when the model does not choose a page itself.
  int last_mouse_state = 0;
};

}  // namespace vantrel::editor
