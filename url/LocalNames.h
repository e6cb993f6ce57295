#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "url/CUrl.h"
#include "url/CUrlEntry.h"

namespace torvex {

// Where a URL is stored inside a record: the local directory (host, "+port" for http on a port
// other than 80, then the base directory of the path) and the file name (the last segment, or
// "index.html"). Reserved characters become '-'. A directory segment or a file name made only
// of dots becomes as many '-', so a stored path can never climb out of its record, whatever
// the server's links say. Returns false when the names do not fit the length limits measured
// with the record download directory's length.
bool LocalNames(const CUrl& url, bool withFile, std::size_t recordDownloadDirLength,
                std::string& localDir, std::string& fileName);

// Fills the entry's local directory and file name from its URL (LocalNames with the file).
bool LocalNames(CUrlEntry& entry, std::size_t recordDownloadDirLength);

// The text under which a run records that it has met an address (`urlText`, the composed text
// of `url`): the address itself, except that an https address counts as the http address
// stored in the same place (https://h/x as http://h/x, https://h:8443/x as http://h:8443/x), so
// a site that links both forms has each file fetched once, in the form met first.
std::string SeenText(const CUrl& url, std::string_view urlText);

// "<record download dir>/<local dir><file name><extension>"; false when it exceeds 260.
bool StoredPath(std::string_view recordDownloadDir, std::string_view localDir,
                std::string_view fileName, std::string_view extension, std::string& out);

// What the stored file's name carries after the file name, by name letter: ".html" for pages
// renamed with it ('2', '3'), ".css" for style sheets ('4'), else nothing.
std::string_view StoredNameSuffix(char nameLetter);
// What a link map's name carries after the file name: the suffix of a file stored with it from
// the start ('3', '4'); a page renamed later keeps the map of its plain name.
std::string_view LinkMapSuffix(char nameLetter);

// "<record linkmap dir>/<local dir><file name>" and LinkMapSuffix.
std::string LinkMapPath(std::string_view recordLinkMapDir, const CUrlEntry& entry);

// True when the text after the file name's last "." begins with "htm" in any case.
bool IsHtmlName(std::string_view fileName);

// How a stored page is named once it is known to be a page.
struct PageNaming {
    char nameLetter = NameLetter::OwnName;
    std::string extension;          // "", ".html" or ".css"
    bool needsConversion = false;   // the task's NeedsConversion flag is to be set
    bool hasRenamedFile = false;    // the task's HasRenamedFile flag is to be set
};

// The page-naming rule: an HTML name stays (letter '0'); a page reached through a referrer or
// from a child start address keeps its name (letter '1', conversion when `autoExt`); a
// stand-alone start page gets ".html" appended (letter '3').
PageNaming NamePage(std::string_view fileName, bool hasReferrerOrChild, bool autoExt);

// How a style sheet whose name does not end in ".css" is named: ".css" appended from the start
// (letter '4'), so that a browser reading the copy from disk applies it; the links to it learn
// the name when the record's links are converted.
PageNaming NameStyleSheet();

// The ".html" renaming is refused when the record download directory, the local directory and
// the file name together exceed 255 characters.
constexpr std::size_t kMaxRenamedPagePath = 255;
bool RenamedPageFits(std::size_t recordDownloadDirLength, std::string_view localDir,
                     std::string_view fileName);

} // namespace torvex
