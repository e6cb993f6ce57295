#pragma once

#include <QIcon>

#include "project/CProjectTree.h"

namespace torvex {

// The pictures of the window, drawn at run time: one per tree node kind, one per record-state
// image index (0..5). Made on the GUI thread.
QIcon NodeKindIcon(NodeKind kind);
QIcon RecordStateIcon(int image);

} // namespace torvex
