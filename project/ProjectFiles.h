#pragma once

#include <string>

namespace torvex {

// The files a project directory holds beside its settings, removed in one go when a project is
// deleted (from the tree, or when its last record goes). Any thread; never throws.

// Deletes the download, linkmap and logs trees, project.log and the cookies with their copies;
// `withSettings` also deletes project.conf and then the project directory when it is empty.
// True when everything named is gone.
bool DeleteProjectFiles(const std::string& projectDir, bool withSettings);

} // namespace torvex
