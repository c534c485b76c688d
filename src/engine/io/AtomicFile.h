#pragma once

#include <string>
#include <string_view>

namespace vandrel {

// Writes a file so that it is either replaced whole or left untouched: the
// bytes go to a temporary file in the same folder, which is flushed to disk
// and then put in the target's place. Dropping the object without Commit()
// removes the temporary file.
//
// The temporary file has no name (O_TMPFILE) until Commit links it in, so
// that nothing is left behind however the process ends, a kill -9 included.
// On a file system without unnamed files (or with no /proc, through which
// one is linked in) it is a named file beside the target ("<target>.XXXXXX"),
// which RemoveTemporaryFilesOnSignals removes on the signals that can be
// caught.
//
// A symbolic link is written through: the file it points to is replaced and
// the link stays. A target that is no regular file (a device, a FIFO,
// /dev/stdout, anything under /dev or /proc) cannot be replaced; it is opened
// and written directly instead.
class AtomicFile {
public:
    explicit AtomicFile(std::string target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file (or opens a target that is written
    // directly). False (with Error()) when the folder is not writable.
    bool Open();
    // Appends bytes; false when the disk is full or the write fails.
    bool Write(std::string_view bytes);
    // Flushes, closes and renames over the target; false when any step (or an
    // earlier write) failed, in which case the target keeps its old content.
    bool Commit();
    // The same, but only where no file is: when one is there (or comes while
    // writing), nothing is replaced and the temporary file goes.
    bool CommitNew();

    const std::string& Error() const { return error_; }

private:
    void Fail(const std::string& what, int error_number);
    void Discard();
    // Links the unnamed file in under `name`; 0 or the error number.
    int LinkAs(const std::string& name);
    // Gives the unnamed file its name: the target's when nothing is there,
    // else a temporary one in temp_path_ that Commit renames over it.
    bool NameUnnamedFile();

    std::string target_;     // as given
    std::string final_;      // the file replaced: the target with its links followed
    std::string temp_path_;  // the named temporary file; empty when there is none
    int temp_slot_ = -1;     // where the temporary file is listed for the signal handler
    int fd_ = -1;
    bool direct_ = false;
    bool unnamed_ = false;  // fd_ is an unnamed file (O_TMPFILE) not yet linked in
    bool failed_ = false;
    bool no_replace_ = false;  // CommitNew: a file at the target is an error
    std::string error_;
};

// One-shot form: the whole content at once.
bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         std::string* error = nullptr);

// The file a path names once its symbolic links are followed (at most 40 of
// them, as the kernel does); the path itself when it is no link. A link whose
// file does not exist yet gives the path where it would be.
std::string FollowLinks(const std::string& path);

// Lists a finished file for the handler of RemoveTemporaryFilesOnSignals to
// remove while it exists: a file written whole whose checks have not passed
// yet. Dropping the object takes it off the list (it does not remove it).
class RemovedOnSignal {
public:
    explicit RemovedOnSignal(const std::string& path);
    ~RemovedOnSignal();
    RemovedOnSignal(const RemovedOnSignal&) = delete;
    RemovedOnSignal& operator=(const RemovedOnSignal&) = delete;

private:
    int slot_ = -1;
};

// Makes SIGINT, SIGTERM and SIGHUP remove the temporary files of every
// AtomicFile still open, then end the process as the signal would have. A
// signal that is ignored stays ignored. For programs that end on these
// signals without unwinding (the command-line tool).
void RemoveTemporaryFilesOnSignals();

}  // namespace vandrel
