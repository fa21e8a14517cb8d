#pragma once
// A private scratch folder for this run of the editor (the undo copy lives
// there), under $XDG_CACHE_HOME/ondrel/ or, when XDG_CACHE_HOME is unset,
// empty or not an absolute path, under $HOME/.cache/ondrel/.
//
// Each process gets its own folder, named "<pid>-XXXXXX", mode 0700. The
// folder holds a file "lock" on which the process keeps an exclusive flock
// for as long as it runs: a folder whose lock can be taken belongs to an
// editor that has ended (crashed, killed) and is removed by the next editor
// that creates its folder. At normal exit the process removes its own folder
// with everything in it.

#include "platform/Reason.h"

#include <string>

// This process's folder, created on the first call and the same path on
// every later one. Missing parent folders are created with mode 0700. When
// the folder cannot be made, returns "" and sets *pError (when given) to the
// reason: CacheHomeUnknown, or FolderCreate / FolderLock with the folder and
// errno (FolderCreate of "/x/ondrel" with ENOTDIR when /x is a file);
// *pError is left alone on success. A failed call is tried again by the next
// one.
//
// Creating the folder also removes the folders of editors that no longer
// run. A process started by fork gets a folder of its own on its first call.
// Thread-safe.
std::string ProcessCacheFolder(SReason* pError = nullptr);

// Removes this process's folder and everything in it now, and releases its
// lock; the next ProcessCacheFolder call makes a new folder. Nothing happens
// when there is no folder.
void RemoveProcessCacheFolder();
