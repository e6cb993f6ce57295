#include "url/LocalNames.h"

#include "base/AsciiCase.h"

namespace torvex {

namespace {

constexpr std::size_t kMaxDirectoryTotal = 258;

void ReplaceReserved(std::string& text, std::string_view reserved) {
    for (char& c : text) {
        if (reserved.find(c) != std::string_view::npos) {
            c = '-';
        }
    }
}

// "." and ".." would let a server's path climb out of the record on disk; as names of their own
// they become "-" and "--", which keeps every stored path inside its record.
void DefuseDotNames(std::string& directory) {
    std::size_t start = 0;
    while (start < directory.size()) {
        std::size_t end = directory.find('/', start);
        if (end == std::string::npos) {
            end = directory.size();
        }
        const std::string_view segment = std::string_view(directory).substr(start, end - start);
        if (segment == "." || segment == "..") {
            for (std::size_t i = start; i < end; ++i) {
                directory[i] = '-';
            }
        }
        start = end + 1;
    }
}

} // namespace

std::string SeenText(const CUrl& url, std::string_view urlText) {
    const int port = url.EffectivePort();
    // http://h:80/x and http://h:21/x compose as http://h/x, yet are stored apart from
    // https://h:80/x and https://h:21/x: those keep their own text.
    if (url.Scheme() != "https" || port == 80 || port == 21 || urlText.substr(0, 5) != "https") {
        return std::string(urlText);
    }
    // Both forms leave out their own default port, so the rest of the text is the same.
    return "http" + std::string(urlText.substr(5));
}

bool LocalNames(const CUrl& url, bool withFile, std::size_t recordDownloadDirLength,
                std::string& localDir, std::string& fileName) {
    std::string directory = url.Host();
    // An https address lives where the same http address does: the folder names only a port
    // that is not its scheme's own, so a site linking both forms keeps one copy of each file.
    const bool otherPort = (url.Scheme() == "http" && url.EffectivePort() != 80) ||
                           (url.Scheme() == "https" && url.EffectivePort() != 443);
    if (otherPort) {
        directory += '+';
        directory += std::to_string(url.EffectivePort());
    }
    const std::string base = BaseDirectory(url.Path(), kMaxUrlPath);
    if (recordDownloadDirLength + directory.size() + base.size() > kMaxDirectoryTotal) {
        return false;
    }
    directory += base;
    ReplaceReserved(directory, "\"%*:<>?|");
    DefuseDotNames(directory);

    std::string file;
    if (withFile) {
        file = LastSegment(url.Path(), kMaxLocalPath);
        if (file.empty()) {
            file = "index.html";
        } else {
            ReplaceReserved(file, "\"%*/:<>?\\|");
            if (file == "." || file == "..") {
                file.assign(file.size(), '-');
            }
        }
    }
    if (recordDownloadDirLength + directory.size() + file.size() >= kMaxLocalPath) {
        return false;
    }
    localDir = std::move(directory);
    if (withFile) {
        fileName = std::move(file);
    }
    return true;
}

bool LocalNames(CUrlEntry& entry, std::size_t recordDownloadDirLength) {
    return LocalNames(entry.url, true, recordDownloadDirLength, entry.localDir, entry.fileName);
}

bool StoredPath(std::string_view recordDownloadDir, std::string_view localDir,
                std::string_view fileName, std::string_view extension, std::string& out) {
    if (recordDownloadDir.size() + localDir.size() + fileName.size() + extension.size() + 1 >
        kMaxLocalPath) {
        return false;
    }
    out.clear();
    out += recordDownloadDir;
    out += '/';
    out += localDir;
    out += fileName;
    out += extension;
    return true;
}

std::string LinkMapPath(std::string_view recordLinkMapDir, const CUrlEntry& entry) {
    std::string out(recordLinkMapDir);
    out += '/';
    out += entry.localDir;
    out += entry.fileName;
    out += LinkMapSuffix(entry.nameLetter);
    return out;
}

std::string_view StoredNameSuffix(char nameLetter) {
    switch (nameLetter) {
    case NameLetter::RenamedLater:
    case NameLetter::HtmlAppended:
        return ".html";
    case NameLetter::CssAppended:
        return ".css";
    default:
        return "";
    }
}

std::string_view LinkMapSuffix(char nameLetter) {
    return nameLetter == NameLetter::RenamedLater ? "" : StoredNameSuffix(nameLetter);
}

namespace {

// A file stored with `extension` appended from the start: the links to it learn the name when
// the record's links are converted.
PageNaming AppendedFromTheStart(char nameLetter, std::string_view extension) {
    PageNaming naming;
    naming.nameLetter = nameLetter;
    naming.extension = extension;
    naming.needsConversion = true;
    naming.hasRenamedFile = true;
    return naming;
}

} // namespace

PageNaming NameStyleSheet() {
    return AppendedFromTheStart(NameLetter::CssAppended, ".css");
}

bool IsHtmlName(std::string_view fileName) {
    const auto dot = fileName.rfind('.');
    return dot != std::string_view::npos && StartsWithNoCase(fileName.substr(dot + 1), "htm");
}

PageNaming NamePage(std::string_view fileName, bool hasReferrerOrChild, bool autoExt) {
    PageNaming naming;
    if (IsHtmlName(fileName)) {
        return naming;
    }
    if (hasReferrerOrChild) {
        naming.nameLetter = NameLetter::PageOwnName;
        naming.needsConversion = autoExt;
        return naming;
    }
    return AppendedFromTheStart(NameLetter::HtmlAppended, ".html");
}

bool RenamedPageFits(std::size_t recordDownloadDirLength, std::string_view localDir,
                     std::string_view fileName) {
    return recordDownloadDirLength + localDir.size() + fileName.size() <= kMaxRenamedPagePath;
}

} // namespace torvex
