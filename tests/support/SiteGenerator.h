#pragma once

#include <string>
#include <vector>

namespace torvex::test {

// One file of a generated site and its anchor depth from /index.html (-1: not reached by
// anchors). Kinds: "index", "page", "img", "css", "cssimg" (named only by the style sheet),
// "missing" (linked, never served) and "redirect" (a directory linked without its slash).
struct SiteFile {
    std::string path;
    std::string kind;
    int depth = -1;
};

// Writes a deterministic site of about `pages` HTML documents under `root` for a server at
// `host` ("127.0.0.1:port"): ten sections of pages and sub-pages, linked in the forms real sites
// use (relative with "../", root-absolute, full http:// addresses, directory links, fragments,
// upper-case tags, a missing page, a directory without its slash), with images and a style
// sheet that names images of its own. Returns the files, as a manifest.
std::vector<SiteFile> GenerateSite(const std::string& root, int pages, const std::string& host);

} // namespace torvex::test
