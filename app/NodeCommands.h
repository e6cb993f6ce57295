#pragma once

#include <functional>
#include <vector>

#include "project/CProjectTree.h"

// Which commands the main window offers for the selected tree node, from the node's kind and
// what the runs of the projects below it are doing. Pure functions on the front end's thread.

namespace torvex {

// Whether Stop may be given to a running project now: its task's monitor runs and it is not
// stopping already.
using StopAllowed = std::function<bool(const CProjectSettings&)>;

struct CNodeCommands {
    bool start = false; // also Update and Resume
    bool stop = false;
    bool deleteItem = false;
    bool rename = false;
    bool exportItem = false;
    bool properties = false; // the property pages of a project
    bool newAddress = false; // stand-alone and child addresses of a project
    bool addToTimer = false;
    bool removeFromTimer = false; // an idle project on the timer list, or a folder holding one
    bool backupLatest = false;
    bool copyUrl = false; // also Browse Online
    bool newItem = false; // new folder, new project, import: below the node
};

// The projects at and below `node`, depth first in tree order.
std::vector<CProjectSettings*> ProjectsBelow(const CTreeNode& node);
bool IsIdleProject(const CTreeNode& node); // kinds 4 and 7
CNodeCommands CommandsFor(const CTreeNode* node, const StopAllowed& stopAllowed);

} // namespace torvex
