#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace torvex {

// The file-type filter has eight extension groups, each a text of at most 512 characters made
// of items "ext;flag" joined by "|" (flag "1" retrieve, "0" do not).
constexpr std::size_t kFileFilterGroups = 8;
constexpr std::size_t kMaxFileFilterList = 512;

// The groups' captions, in key order (FileFilter1 .. FileFilter8).
constexpr std::array<std::string_view, kFileFilterGroups> kFileFilterCaptions = {
    "HTML", "Image", "Archive", "Document", "Audio", "Video", "Program", "Other"};

// What a new project holds in each group; a group equal to its default is not written to
// settings files.
constexpr std::array<std::string_view, kFileFilterGroups> kFileFilterDefaults = {
    "htm;1|html;1|shtm;1|shtml;1|asp;1|phtml;1|php;1|php3;1|css;1|js;1|pl;1|stm;1|stml;1|idc;1|"
    "htx;1|xsp;1|jsp;1|xml;1|vxml;1|ctm;1|frm;1",
    "gif;1|jpg;1|jpeg;1|bmp;1|tif;1|tiff;1|xbm;1|fif;1|png;1|jpe;1|psd;1|psp;1|wmf;1|ico;1|cur;1|"
    "ani;1",
    "zip;1|gz;1|z;1|arj;1|arc;1|lzh;1|lha;1|lay;1|lei;1|rar;1|tar;1|pak;1|ace;1|jar;1|rpm;1",
    "pdf;1|doc;1|txt;1|text;1|xls;1",
    "mp3;1|mp2;1|wav;1|mid;1|au;1|aif;1|pcm;1|vox;1|riff;1|snd;1|midi;1|ram;1|aiff;1",
    "avi;1|mov;1|mpg;1|mpeg;1|fli;1|flc;1|viv;1|mpe;1|wml;1|swf;1|rm;1",
    "exe;1|com;1",
    "",
};

// Characters an extension typed by the user may not contain (they separate the lists).
constexpr std::string_view kFileFilterInvalidChars = "|;,";

// The project-wide file-type filter: three switches and the eight extension groups. Plain data,
// named like the settings keys (FileFilter[0] is key FileFilter1); part of every project's
// settings and copied with them into each run.
struct CFileTypeFilter {
    bool NoFileFilter = true;    // "Retrieve all files"
    bool FilterOther = false;    // refuse extensions that no group lists
    bool FilterNoExt = false;    // refuse names without extension
    std::array<std::string, kFileFilterGroups> FileFilter = {
        std::string(kFileFilterDefaults[0]), std::string(kFileFilterDefaults[1]),
        std::string(kFileFilterDefaults[2]), std::string(kFileFilterDefaults[3]),
        std::string(kFileFilterDefaults[4]), std::string(kFileFilterDefaults[5]),
        std::string(kFileFilterDefaults[6]), std::string(kFileFilterDefaults[7])};

    bool operator==(const CFileTypeFilter&) const = default;
};

} // namespace torvex
