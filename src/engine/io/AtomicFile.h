#pragma once

#include <string>
#include <string_view>

namespace vandrel {

// Writes a file so that it is either replaced whole or left untouched: the
// bytes go to a temporary file in the same folder, which is flushed to disk
// and then renamed over the target. Dropping the object without Commit()
// removes the temporary file.
class AtomicFile {
public:
    explicit AtomicFile(std::string target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file. False (with Error()) when the folder is not
    // writable.
    bool Open();
    // Appends bytes; false when the disk is full or the write fails.
    bool Write(std::string_view bytes);
    // Flushes, closes and renames over the target; false when any step (or an
    // earlier write) failed, in which case the target keeps its old content.
    bool Commit();

    const std::string& Error() const { return error_; }

private:
    void Fail(const std::string& what, int error_number);
    void Discard();

    std::string target_;
    std::string temp_path_;
    int fd_ = -1;
    bool failed_ = false;
    std::string error_;
};

// One-shot form: the whole content at once.
bool WriteFileAtomically(const std::string& path, std::string_view bytes,
                         std::string* error = nullptr);

}  // namespace vandrel
