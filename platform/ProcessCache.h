#pragma once
// A private scratch folder for this run of the editor (the undo copy lives
// there), under $XDG_CACHE_HOME/ondrel/ or, when XDG_CACHE_HOME is unset,
// empty or not an absolute path, under $HOME/.cache/ondrel/.
//
// Each process gets its own folder, named "<pid>-XXXXXX", mode 0700. The
// folder holds a file "lock" on which the process keeps an exclusive flock
// for as long as it runs: a folder whose lock can be taken belongs to an
// editor that has ended (crashed, killed). Such a folder is removed by the
// next editor that creates its folder, unless it holds a recovery record
// (kRecoveryRecordName): then it stays until an editor has claimed it
// (ClaimRecoverableFolders) and offered it to the user. At normal exit the
// process removes its own folder with everything in it.

#include "platform/Reason.h"

#include <string>
#include <vector>

// The file in a process folder that says the folder holds unsaved work to
// recover; a dead editor's folder with this file is kept for the offer.
inline constexpr const char* kRecoveryRecordName = "recovery.rec";

// This process's folder, created on the first call and the same path on
// every later one. Missing parent folders are created with mode 0700. When
// the folder cannot be made, returns "" and sets *pError (when given) to the
// reason: CacheHomeUnknown, or FolderCreate / FolderLock with the folder and
// errno (FolderCreate of "/x/ondrel" with ENOTDIR when /x is a file);
// *pError is left alone on success. A failed call is tried again by the next
// one.
//
// Creating the folder also removes the folders of editors that no longer
// run and hold no recovery record. A process started by fork gets a folder of its own on its first call.
// Thread-safe.
std::string ProcessCacheFolder(SReason* pError = nullptr);

// Removes this process's folder and everything in it now, and releases its
// lock; the next ProcessCacheFolder call makes a new folder. Nothing happens
// when there is no folder.
void RemoveProcessCacheFolder();

// The folders of ended editors that hold a recovery record, each now locked
// by this process, so that no other editor offers or removes it while this
// one asks the user. Creates this process's folder first (an empty list when
// it cannot). Folders another running editor holds are never listed.
std::vector<std::string> ClaimRecoverableFolders();

// Lets go of a folder ClaimRecoverableFolders gave: with `bRemove` it is
// removed with everything in it, else it stays for a later start. Nothing
// happens for a folder this process has not claimed. Claims still held at
// exit are let go of without removing.
void ReleaseRecoverableFolder(const std::string& folder, bool bRemove);
