#pragma once

#include <string>
#include <string_view>

namespace torvex {

class CProjectSettings;

constexpr std::string_view kIndexPageName = "index.html";
constexpr std::string_view kIndexMarker = "<!--Start URL-->";
constexpr std::string_view kOriginDirName = "Origin";

// <working directory>/Origin/index_t.en: the template the user may edit (the one installed next
// to the program when the working directory has none).
std::string IndexTemplatePath();

// Writes "index.html" into the record download directory `recordDownloadDir` (whose status log
// is `statusLog`) from the template at `templatePath`: one item per stand-alone start address
// of `project` whose local copy exists, followed by the addresses an earlier index of the record
// listed and the project no longer has, as long as their files exist. The earlier page is kept
// as "index.html.bak" and put back when the new one cannot be written. Returns false when the
// page could not be written. Called on the front end's thread after a run has ended.
bool GenerateIndexPage(const CProjectSettings& project, const std::string& recordDownloadDir,
                       const std::string& statusLog, const std::string& templatePath);

} // namespace torvex
