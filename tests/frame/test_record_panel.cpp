// The recording panel, its dialog-unit layout and the up-down control.

#include "frame/CRecordPanel.h"
#include "platform/CSpinButtonCtrl.h"
#include "platform/DialogUnits.h"
#include "res/resource.h"

#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRawFont>
#include <QSignalSpy>
#include <QToolButton>
#include <QtTest>

class TestRecordPanel : public QObject {
    Q_OBJECT
private slots:
    void probe();
};

void TestRecordPanel::probe()
{
    CRecordPanel panel;
    panel.Initialise(60);
    qDebug() << panel.Units().BaseX() << panel.Units().BaseY() << panel.size()
             << QFontInfo(DialogFont()).family() << QFontInfo(DialogFont()).pixelSize();
    for (QWidget* w : panel.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        qDebug() << w->objectName() << w->geometry();
    panel.grab().save("/tmp/record_panel.png");
    panel.SetDlgItemText(IDC_REC_TIME, "1000");
    panel.SetDlgItemText(IDC_DATA_BYTES, "4294967295");
    panel.SetDlgItemText(IDC_DATA_MS, "2646000");
    panel.SetDlgItemText(IDC_CUR_RATE, "22050 Hz");
    panel.SetDlgItemText(IDC_CUR_CHANNELS, "Stereo");
    panel.SetDlgItemText(IDC_CUR_BITS, "16 Bits");
    panel.grab().toImage().scaled(panel.width() * 3, panel.height() * 3).save("/tmp/rp/big2.png");
    panel.grab().toImage().scaled(panel.width() * 3, panel.height() * 3).save("/tmp/rp/big.png");
}

QTEST_MAIN(TestRecordPanel)
#include "test_record_panel.moc"
