#include "app/CAboutDlg.h"

#include "app/CommandLine.h"
#include "framework/DialogUnits.h"
#include "res/AppIcon.h"

#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(Ondrel)"));
    setFont(DialogFont());
    const CDialogUnits du(font());
    setFixedSize(du.MapX(206), du.MapY(47));

    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("icon"));
    const int iconSize = 32;
    icon->setPixmap(CreateAppIcon().pixmap(iconSize, iconSize));
    icon->setGeometry(du.MapX(11), du.MapY(9), iconSize, iconSize);

    auto* name = new QLabel(VersionText(), this);
    name->setObjectName(QStringLiteral("version"));
    name->setGeometry(du.MapRect(40, 10, 119, 8));
    auto* line = new QLabel(QStringLiteral("PCM WAV ﾌｧｲﾙ ｴﾃﾞｨﾀ"), this);
    line->setObjectName(QStringLiteral("description"));
    line->setGeometry(du.MapRect(40, 25, 119, 8));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("IDOK"));
    ok->setDefault(true);
    ok->setGeometry(du.MapRect(165, 14, 32, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
