#include "framework/CRecentFileList.h"

#include <QDir>
#include <QFileInfo>

namespace {
const char* const kSection = "Recent File List";

std::string KeyOf(int nIndex) { return "File" + std::to_string(nIndex + 1); }
} // namespace

CRecentFileList::CRecentFileList(CProfile& profile, int nSize) : m_profile(profile), m_nSize(nSize) {}

void CRecentFileList::Add(const QString& path)
{
    const QString full = QFileInfo(path).absoluteFilePath();
    m_paths.removeAll(full);
    m_paths.prepend(full);
    while (m_paths.size() > m_nSize)
        m_paths.removeLast();
    WriteList();
}

void CRecentFileList::Remove(int nIndex)
{
    if (nIndex < 0 || nIndex >= m_paths.size())
        return;
    m_paths.removeAt(nIndex);
    WriteList();
}

QString CRecentFileList::GetMenuText(int nIndex) const
{
    QString path = m_paths[nIndex];
    const QString home = QDir::homePath();
    if (!home.isEmpty() && home != QLatin1String("/") && path.startsWith(home + QLatin1Char('/')))
        path = QLatin1Char('~') + path.mid(home.size());
    constexpr int kMaxChars = 48;
    if (path.size() > kMaxChars) {
        // Keep the start and the file name: "/home/…/folder/name.wav".
        const QString name = path.section(QLatin1Char('/'), -2);
        const int head = std::max(0, kMaxChars - static_cast<int>(name.size()) - 2);
        path = path.left(head) + QStringLiteral("…/") + name;
    }
    // "&" in a path would read as a mnemonic.
    path.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return QStringLiteral("&%1 %2").arg(nIndex + 1).arg(path);
}

void CRecentFileList::ReadList()
{
    m_paths.clear();
    for (int i = 0; i < m_nSize; ++i) {
        QString path = QString::fromStdString(m_profile.GetProfileString(kSection, KeyOf(i), ""));
        if (!path.isEmpty() && !m_paths.contains(path))
            m_paths.append(path);
    }
}

bool CRecentFileList::WriteList()
{
    bool ok = true;
    for (int i = 0; i < m_nSize; ++i) {
        if (i < m_paths.size())
            ok = m_profile.WriteProfileString(kSection, KeyOf(i), m_paths[i].toStdString()) && ok;
        else
            ok = m_profile.DeleteProfileKey(kSection, KeyOf(i)) && ok;
    }
    return ok;
}
