#pragma once
// The recent-file list: up to a fixed number of paths, most recent first,
// kept in the profile section "Recent File List" under the keys File1,
// File2, ...

#include "platform/Profile.h"

#include <QString>
#include <QStringList>

class CRecentFileList {
public:
    CRecentFileList(CProfile& profile, int nSize);

    // Puts `path` (made absolute) at the top, dropping an older entry of the
    // same file and the oldest entry when the list is full, and stores the
    // list.
    void Add(const QString& path);
    // Removes entry `nIndex` (0 is the most recent) and stores the list.
    void Remove(int nIndex);
    int GetCount() const { return static_cast<int>(m_paths.size()); }
    int GetSize() const { return m_nSize; }
    const QString& operator[](int nIndex) const { return m_paths[nIndex]; }

    // The menu text of entry `nIndex`: "&1 " and the path, the home folder
    // written as "~" and long paths shortened in the middle.
    QString GetMenuText(int nIndex) const;

    // Reads the list from the profile; entries that are empty are skipped.
    void ReadList();
    // Writes the list to the profile; keys of unused slots are removed.
    bool WriteList();

private:
    CProfile& m_profile;
    int m_nSize;
    QStringList m_paths;
};
