#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace torvex {

class IWritableFile;

// Who may read a file the program writes.
enum class FileAccess : int {
    Shared = 0,    // as the umask allows (settings without secrets, pages, link maps)
    OwnerOnly = 1, // 0600: files that hold passwords or cookies
};

// How far a replacement is carried before it counts as done.
enum class FileSync : int {
    Durable = 0,    // data and the new name on the disk before the call returns
    AtomicOnly = 1, // old or new content, never a part, but not synced: for the files a run
                    // writes by the thousand and rebuilds when lost (link maps, rewritten pages)
};

// Who else may write the file at the same moment.
enum class FileWriters : int {
    Several = 0, // a temporary file of a unique name (settings, the tree: any copy may write)
    One = 1,     // the files of a record, written under the project's running lock: the
                 // temporary file has a fixed name (".tvx-new" appended), so one that a killed
                 // run left behind is replaced by the next write instead of staying in the copy
};

// The one writer of the files the program owns (settings, the project tree, project.log,
// cookies, link maps, index pages, the break point, the registry stand-in, hand-over files).
// Writes `text` as the whole new content of `path`: into a new temporary file beside it (created
// exclusively, so no planted link is followed; of a unique name unless FileWriters::One), synced,
// renamed over `path`, and the folder synced. Readers and a crash at any moment see the old content
// or the new, never a part. The folder is not created. Through CurrentFileEnv(), so tests can fail
// any step.
//
// False on failure, with errno from the failing step and the temporary file removed; `path` then
// still holds its old content, except when only the final folder sync failed (the new content is
// in place but may not survive a power loss, and the caller is told so all the same).
bool ReplaceFileDurably(const std::string &path, std::string_view text,
                        FileAccess access = FileAccess::Shared, FileSync sync = FileSync::Durable,
                        FileWriters writers = FileWriters::Several);

// The same writer as a stream, for a file whose parts come one by one: Open, Append as often as
// needed, then Commit. An object destroyed without a successful Commit removes its temporary
// file and leaves `path` as it was. One thread at a time.
class CDurableFileWriter {
public:
    explicit CDurableFileWriter(std::string path, FileAccess access = FileAccess::Shared,
                                FileSync sync = FileSync::Durable,
                                FileWriters writers = FileWriters::Several);
    ~CDurableFileWriter();
    CDurableFileWriter(const CDurableFileWriter &) = delete;
    CDurableFileWriter &operator=(const CDurableFileWriter &) = delete;

    // Creates the temporary file; false (errno set) when it cannot be created.
    bool Open();
    // False once any part could not be written; later parts are then dropped.
    bool Append(std::string_view text);
    // Syncs, renames over the target and syncs the folder (see ReplaceFileDurably).
    bool Commit();

private:
    void Abandon();

    std::string m_path;
    FileAccess m_access;
    FileSync m_sync;
    FileWriters m_writers;
    std::string m_temporary;
    std::unique_ptr<IWritableFile> m_file;
    bool m_failed = false;
    int m_error = 0;
};

// Appends `text` to `path` (created when missing) in one write and syncs it; false when not all
// of it was written.
bool AppendFileDurably(const std::string &path, std::string_view text);

} // namespace torvex
