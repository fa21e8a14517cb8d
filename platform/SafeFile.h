#pragma once
// Crash-safe replacement of a file: the new content goes to a temporary file
// in the target's own folder, and only when every byte is written and on the
// disk is it renamed over the target. Until then the target is untouched; a
// failure or a crash at any moment leaves either the old or the new content.

#include "platform/Reason.h"

#include <string>

class CSafeSave {
public:
    CSafeSave() = default;
    CSafeSave(const CSafeSave&) = delete;
    CSafeSave& operator=(const CSafeSave&) = delete;
    // Removes the temporary file if Commit has not succeeded.
    ~CSafeSave();

    // Creates an empty temporary file beside `target` (a symbolic link is
    // followed, so the file it names is the one replaced). Returns false
    // with GetError set (FileWrite of the target) when the folder cannot
    // take a new file.
    bool Begin(const std::string& target);

    // Path of the temporary file to write the new content to.
    const std::string& GetTempPath() const { return m_strTemp; }

    // Flushes the temporary file to the disk, gives it the permission bits
    // of the file it replaces (or the default ones for a new file), renames
    // it over the target and flushes the folder. Returns false with GetError
    // set (FileWrite, or FileReplace when the rename fails; FileWrite with
    // no errno without a Begin), and removes the temporary file, when any
    // step fails. With
    // `bDurable` false both flushes are skipped, for scratch files that need
    // not survive a crash: the rename still replaces the target in one step.
    bool Commit(bool bDurable = true);

    // Removes the temporary file; the target is left as it was.
    void Abort();

    // Why the last Begin or Commit failed.
    const SReason& GetError() const { return m_error; }

private:
    std::string m_strTarget;
    std::string m_strTemp;
    SReason m_error;
};

// Text for an errno value: "No space left on device" and the like.
std::string ErrnoText(int err);
