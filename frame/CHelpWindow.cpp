#include "frame/CHelpWindow.h"

#include "res/Strings.h"
#include "res/resource.h"

#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

CHelpWindow::CHelpWindow(QWidget* parent) : QDialog(parent), m_pBrowser(new QTextBrowser(this))
{
    setWindowTitle(AfxLoadString(AFX_IDS_APP_TITLE) + QStringLiteral(" ﾍﾙﾌﾟ"));
    setModal(false);
    m_pBrowser->setSource(QUrl(QStringLiteral("qrc:/help/index.html")));
    m_pBrowser->setOpenExternalLinks(true);
    auto* close = new QPushButton(QStringLiteral("閉じる(&C)"), this);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pBrowser);
    layout->addWidget(close, 0, Qt::AlignRight);
    resize(560, 480);
}
