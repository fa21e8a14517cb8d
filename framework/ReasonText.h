#pragma once
// The window's words for a failure: a reason from the layers below
// (platform/Reason.h) as the Japanese text a message box shows.

#include "platform/Reason.h"

#include <QString>

// The Japanese text for `reason`: one or two polite sentences naming the
// file and the details, a hint from the system's errno where it helps, and
// the context's own sentence on a line before them. Empty for
// EReason::None (the user has been told already, or nothing failed).
QString ReasonText(const SReason& reason);
