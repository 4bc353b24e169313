#pragma once
// The desktop program's PAD commands without their windows. "Import PAD File..."
// chooses a file, reads it (refusals and failures shown as errors), offers to save
// unsaved profile changes, asks before an existing application is updated,
// shows the change table through the preview (the window's Import and Cancel) and
// then writes through the profile pages. "Export PAD File..." writes the shown
// company and application to a file chosen with the save chooser. Everything the
// person sees goes through the session's prompt; nothing throws. The session's thread.
#include <functional>

#include "app/session.h"
#include "exchange/pad_plan.h"

namespace vendrix {

// The preview: true when the person chose Import.
using PadPreview = std::function<bool(const PadPlan& plan)>;

inline constexpr const char* kPadFilter = "PAD Files|*.XML";

// True when the profiles were changed.
bool ImportPadFile(Session& session, const PadPreview& preview);
// True when a file was written.
bool ExportPadFile(Session& session);

}  // namespace vendrix
