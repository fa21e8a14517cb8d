// Settings store kept in a private INI file.
//
// Every call reads the file anew (nothing is cached between calls), so a
// change made by another running editor is seen at the next read. Writes
// replace the file atomically and keep everything they do not touch
// (comments, blank lines, order, other sections, the spelling of names and
// each line's own line ending) byte for byte.
#pragma once

#include <string>

class CProfile {
public:
    // The INI file this store reads and writes.
    explicit CProfile(std::string path);

    // $XDG_CONFIG_HOME/ondrel/ondrel.ini when XDG_CONFIG_HOME is an absolute
    // path, otherwise $HOME/.config/ondrel/ondrel.ini.
    static std::string DefaultPath();

    const std::string& GetPath() const;

    // Missing file, section or key gives nDefault. Otherwise the leading
    // decimal integer of the value (blanks and one sign allowed before the
    // digits), 0 when the value does not start with digits, saturated to the
    // int range on overflow.
    int GetProfileInt(const std::string& section, const std::string& key, int nDefault) const;
    std::string GetProfileString(const std::string& section, const std::string& key,
                                 const std::string& strDefault) const;

    // Store a value, creating the folder (mode 0700), the file, the section
    // or the key as needed. On failure returns false, leaves the old file
    // unchanged and sets GetLastError().
    bool WriteProfileString(const std::string& section, const std::string& key, const std::string& value);
    bool WriteProfileInt(const std::string& section, const std::string& key, int value);
    // Removes every occurrence of the key in the section; success if absent.
    bool DeleteProfileKey(const std::string& section, const std::string& key);

    // One English line describing why the last write or delete failed;
    // empty after a call that succeeded.
    const std::string& GetLastError() const;

private:
    std::string m_path;
    std::string m_lastError;
};
